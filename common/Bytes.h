// Big-endian integer encoding and small byte-string helpers shared by all subsystems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Quor {

// Byte strings are std::string: they hold any byte, zero included.
using Bytes = std::string;

inline void PutU32(Bytes& out, uint32_t v) {
  const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                     static_cast<char>(v)};
  out.append(b, 4);
}

inline void PutU16(Bytes& out, uint16_t v) {
  const char b[2] = {static_cast<char>(v >> 8), static_cast<char>(v)};
  out.append(b, 2);
}

inline uint32_t GetU32(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

inline uint16_t GetU16(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

inline std::string_view AsView(const void* p, size_t n) {
  return n == 0 ? std::string_view() : std::string_view(static_cast<const char*>(p), n);
}

}  // namespace Quor
