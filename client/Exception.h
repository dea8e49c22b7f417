// The framework's one way of reporting failure: a code and its fixed text.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

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
  // For messages composed at run time ("Format error at line [7]"); the
  // text is shared by every copy of the exception.
  Exception(int32_t code, std::string message)
      : code_(code), owned_(std::make_shared<const std::string>(std::move(message))), message_(owned_->c_str()) {}

  int32_t Code() const noexcept { return code_; }
  const char* what() const noexcept override { return message_; }

 private:
  int32_t code_;
  std::shared_ptr<const std::string> owned_;
  const char* message_;
};

}  // namespace Quor
