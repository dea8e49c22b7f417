// The framework's one way of reporting failure: a code and its fixed text.
#pragma once

#include <cstdint>
#include <exception>

namespace Quor {

// One entry of an error table. The text is static and never freed.
struct ErrorInfo {
  int32_t code;
  const char* text;
};

class Exception : public std::exception {
 public:
  Exception(int32_t code, const char* message) noexcept : code_(code), message_(message ? message : "") {}
  explicit Exception(ErrorInfo info) noexcept : Exception(info.code, info.text) {}

  int32_t Code() const noexcept { return code_; }
  const char* what() const noexcept override { return message_; }

 private:
  int32_t code_;
  const char* message_;
};

}  // namespace Quor
