#include "config/IniErrors.h"

#include <algorithm>
#include <array>

namespace Quor::Base {
namespace {

// Sorted by code; constant-initialised, so it exists before any code runs.
constexpr std::array<ErrorInfo, 12> kTable{{
    {0, "Success"},
    {101, "Haven't loaded or load failed"},
    {102, "Open file failed"},
    {103, "Format error"},
    {104, "The section doesn't exist"},
    {105, "The section has existed"},
    {106, "The section is a null string"},
    {107, "The key doesn't exist"},
    {108, "The key has exist"},
    {109, "The key is a null string"},
    {110, "The value is a null string"},
    {111, "Unknow error"},
}};

}  // namespace

ErrorInfo IniError(int32_t code) noexcept {
  const auto it = std::lower_bound(kTable.begin(), kTable.end(), code,
                                   [](const ErrorInfo& e, int32_t c) { return e.code < c; });
  if (it != kTable.end() && it->code == code) return *it;
  return kTable.back();
}

}  // namespace Quor::Base
