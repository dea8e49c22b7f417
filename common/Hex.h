// Hexadecimal text <-> bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Quor {

inline std::string HexEncode(std::string_view bytes, bool upper = true) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  out.resize(bytes.size() * 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out[2 * i] = digits[b >> 4];
    out[2 * i + 1] = digits[b & 0x0F];
  }
  return out;
}

inline std::string HexEncode(const void* p, size_t n, bool upper = true) {
  return HexEncode(n ? std::string_view(static_cast<const char*>(p), n) : std::string_view(), upper);
}

inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Lenient decoding of stored constants: a character that is not a hex digit
// counts as 0 and a final odd character is ignored.
inline std::string HexDecodeLenient(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int hi = HexDigitValue(text[i]);
    const int lo = HexDigitValue(text[i + 1]);
    out.push_back(static_cast<char>(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo)));
  }
  return out;
}

// Strict decoding: even length and hex digits only, else nothing.
inline std::optional<std::string> HexDecodeStrict(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigitValue(text[i]);
    const int lo = HexDigitValue(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<char>((hi << 4) | lo));
  }
  return out;
}

}  // namespace Quor
