// Device return codes: their messages and their GM/T 0018 meaning.
#pragma once

#include <cstdint>

namespace Quor::Commands {

// Message of a device return code; the message of -1 ("Unknow error") for
// codes not in the table.
const char* deviceErrorMessage(int32_t code) noexcept;

// The GM/T 0018 code for a device return code. functionName (the exported
// name of the calling function) decides code 42.
uint32_t mapDeviceError(const char* functionName, int32_t code) noexcept;

// Number of entries of the message table (for tests).
int deviceErrorTableSize() noexcept;

}  // namespace Quor::Commands
