// Buffered, size-rotated log file. Callers only append to memory; a writer
// thread moves the buffer to the file about every 10 ms.
#pragma once

#include <cstdint>
#include <string_view>

#include "config/INICfgFile.h"

namespace Quor::Base {

class Logger {
 public:
  explicit Logger(const LoggerSettings& settings);
  ~Logger();  // final flush of everything buffered, then joins its threads
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Appends one line "[TAG]<timestamp>|message\n"; levels other than 1..4 write nothing.
  void Write(int32_t level, std::string_view message);
  int32_t GetLevel() const;

  // Implementation is private to config/Logger.cpp.
  struct State;

 private:
  State* state_;
};

}  // namespace Quor::Base
