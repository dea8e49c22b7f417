// Command functions that are not exported, and the forms of exported ones that
// internal callers use when they know their buffers' capacities.
#pragma once

#include <quorsdf.h>

#include "commands/Exchange.h"

namespace Quor::Commands {

// The access-right command for one key type (01 03); logs under the name
// "GetPrivateKeyAccessRight".
SGD_RV GetPrivateKeyAccessRight(SGD_HANDLE session, int32_t keyIndex, int32_t keyType, const SGD_UCHAR* password,
                                SGD_UINT32 passwordLength) noexcept;
// Sends the access-right command for key type 1 and then for key type 2:
// 0 when either succeeded, else the first one's code.
SGD_RV requestPrivateKeyAccessRight(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* password,
                                    SGD_UINT32 passwordLength) noexcept;

// Quor_GetDeviceInfo with text buffers of known capacity.
SGD_RV GetDeviceInfo(SGD_HANDLE session, Out issuer, Out deviceName, Out serial, SGD_UINT32* value1, SGD_UINT32* value2,
                     SGD_UINT64* value64a, SGD_UINT32* value3, SGD_UINT32* value4, SGD_UINT64* value64b) noexcept;

// The hash commands with state and digest buffers of known capacity.
SGD_RV HashInit(SGD_HANDLE session, int32_t hashCode, const SGD_UCHAR* x, SGD_UINT32 xLength, const SGD_UCHAR* y,
                SGD_UINT32 yLength, const SGD_UCHAR* id, SGD_UINT32 idLength, Out state) noexcept;
SGD_RV HashUpdate(SGD_HANDLE session, const SGD_UCHAR* state, SGD_UINT32 stateLength, const SGD_UCHAR* data,
                  SGD_UINT32 dataLength, Out newState) noexcept;
SGD_RV HashFinal(SGD_HANDLE session, const SGD_UCHAR* state, SGD_UINT32 stateLength, Out digest) noexcept;

// No digest the device computes is longer (SHA-512).
inline constexpr size_t kMaxDigest = 64;

}  // namespace Quor::Commands
