// Bounds-checked reading of request fields: every read checks that enough
// bytes remain, and a request must be consumed exactly.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/Bytes.h"

namespace QuorSim {

// Thrown for a request that does not match its command's layout.
struct Malformed : std::runtime_error {
  Malformed() : std::runtime_error("malformed request") {}
};

class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}

  uint32_t U32() {
    Need(4);
    const uint32_t v = Quor::GetU32(data_.data() + pos_);
    pos_ += 4;
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint16_t U16() {
    Need(2);
    const uint16_t v = Quor::GetU16(data_.data() + pos_);
    pos_ += 2;
    return v;
  }
  std::string_view Raw(size_t n) {
    Need(n);
    const auto v = data_.substr(pos_, n);
    pos_ += n;
    return v;
  }
  // A byte string with its 4-byte length; longer than maxLen is malformed.
  std::string_view Bytes(size_t maxLen = SIZE_MAX) {
    const uint32_t n = U32();
    if (n > maxLen) throw Malformed();
    return Raw(n);
  }
  void Done() const {
    if (pos_ != data_.size()) throw Malformed();
  }
  size_t Remaining() const { return data_.size() - pos_; }

 private:
  void Need(size_t n) const {
    if (data_.size() - pos_ < n) throw Malformed();
  }
  std::string_view data_;
  size_t pos_ = 0;
};

}  // namespace QuorSim
