// Trimming and number parsing with the configuration's rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Quor {

inline bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsAsciiSpace(s[b])) ++b;
  while (e > b && IsAsciiSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

inline std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

// Decimal integer in the manner of atol: leading white space, an optional
// sign, digits up to the first non-digit; no digits gives 0. Saturates
// instead of overflowing.
inline int64_t ParseLeadingInt(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsAsciiSpace(s[i])) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  int64_t v = 0;
  constexpr int64_t kLimit = INT64_MAX / 10 - 10;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    if (v < kLimit) v = v * 10 + (s[i] - '0');
  }
  return neg ? -v : v;
}

}  // namespace Quor
