// Error table of the INI configuration file (codes 0 and 101 to 111).
#pragma once

#include <cstdint>

#include "client/Exception.h"

namespace Quor::Base {

inline constexpr int32_t kIniNotLoaded = 101;
inline constexpr int32_t kIniOpenFile = 102;
inline constexpr int32_t kIniFormat = 103;
inline constexpr int32_t kIniNoSection = 104;
inline constexpr int32_t kIniSectionExists = 105;
inline constexpr int32_t kIniEmptySection = 106;
inline constexpr int32_t kIniNoKey = 107;
inline constexpr int32_t kIniKeyExists = 108;
inline constexpr int32_t kIniEmptyKey = 109;
inline constexpr int32_t kIniEmptyValue = 110;
inline constexpr int32_t kIniUnknown = 111;

// The entry of a code, or the "Unknow error" entry (111) for any other code.
ErrorInfo IniError(int32_t code) noexcept;

}  // namespace Quor::Base
