// The log timestamp: local time "%Y-%m-%d_%H:%M:%S" followed by ".%03d" milliseconds.
#pragma once

#include <sys/time.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace Quor {

// Writes the timestamp (23 bytes) into buf, which must hold at least 32 bytes; returns its length.
inline size_t FormatLogTimestamp(char* buf, size_t size) {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  tm local{};
  localtime_r(&tv.tv_sec, &local);
  size_t n = strftime(buf, size, "%Y-%m-%d_%H:%M:%S", &local);
  const int m = snprintf(buf + n, size - n, ".%03d", static_cast<int>(tv.tv_usec / 1000));
  if (m > 0) n += static_cast<size_t>(m);
  return n;
}

inline std::string LogTimestamp() {
  char buf[64];
  return std::string(buf, FormatLogTimestamp(buf, sizeof buf));
}

}  // namespace Quor
