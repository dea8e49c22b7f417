// Key handles shared by the functions that make session keys: a handle is a
// pointer whose first four bytes hold a key index; 0 names a session key (an
// SdfKey registered in the session), any other value a device key slot.
#pragma once

#include <quorsdf.h>

#include <cstddef>
#include <string_view>

#include "commands/Exchange.h"
#include "sdf/Handles.h"

namespace Quor::Sdf {

// No LMK cipher of a session key is longer; a longer answer is SDR_COMMFAIL.
inline constexpr size_t kLmkCipherCapacity = 128;

// Ends a key-making function once the device has returned the new key's LMK
// cipher, inside the function's Guard body:
//   - *phKeyHandle null: a new SdfKey holding the cipher is registered in the
//     session and its address stored in *phKeyHandle;
//   - otherwise *phKeyHandle points to a device key index: the key is stored
//     into that slot (check value, then the store command); *phKeyHandle is
//     left as it was and no SdfKey is made.
// Logs the handle lines and the end line and returns SDR_OK; a failing
// command ends the call with its code (thrown as Commands::Failure, which the
// Guard returns). phKeyHandle must not be null (callers check it first and
// return SDR_INARGERR).
SGD_RV CompleteKeyHandle(Commands::Call& c, SdfSession& session, std::string_view lmkCipher, SGD_HANDLE* phKeyHandle);

}  // namespace Quor::Sdf
