// Error tables of the transport framework: connections (2xx), client object
// (3xx) and TLS (4xx). The configuration table (1xx) lives with the INI parser.
#pragma once

#include <cstdint>

#include "client/Exception.h"

namespace Quor::Base {

// Each lookup yields the entry of the code, or the table's "Unknow error" entry.
ErrorInfo ConnectionError(int32_t code) noexcept;
ErrorInfo BaseError(int32_t code) noexcept;
ErrorInfo TlsError(int32_t code) noexcept;

// Builds the exception for a code of the connection, base or TLS table
// (chosen as ClientErrorText chooses).
Exception MakeError(int32_t code) noexcept;

// Connection table.
inline constexpr int32_t kErrSocket = 201;
inline constexpr int32_t kErrTimeout = 202;
inline constexpr int32_t kErrConnect = 203;
inline constexpr int32_t kErrSend = 204;
inline constexpr int32_t kErrReceive = 205;
inline constexpr int32_t kErrPoolNotAlive = 206;
inline constexpr int32_t kErrNoConnection = 207;
inline constexpr int32_t kErrResolve = 208;
inline constexpr int32_t kErrConnectionUnknown = 209;

// Base table.
inline constexpr int32_t kErrInvalidConfig = 301;
inline constexpr int32_t kErrNotInitialized = 302;
inline constexpr int32_t kErrHostOverflow = 303;
inline constexpr int32_t kErrNoHostOnline = 304;
inline constexpr int32_t kErrHostOffline = 305;
inline constexpr int32_t kErrFormatRequest = 306;
inline constexpr int32_t kErrParseResponse = 307;
inline constexpr int32_t kErrParseLength = 308;
inline constexpr int32_t kErrBufferTooSmall = 309;
inline constexpr int32_t kErrInvalidPointer = 310;
inline constexpr int32_t kErrInvalidValue = 311;
inline constexpr int32_t kErrInvalidBase = 313;
inline constexpr int32_t kErrBaseUnknown = 316;

// TLS table.
inline constexpr int32_t kErrTlsLibrary = 403;
inline constexpr int32_t kErrTlsPfx = 405;
inline constexpr int32_t kErrTlsCaCert = 406;
inline constexpr int32_t kErrTlsConnect = 407;
inline constexpr int32_t kErrTlsWrite = 408;
inline constexpr int32_t kErrTlsRead = 409;
inline constexpr int32_t kErrTlsTimeout = 410;
inline constexpr int32_t kErrTlsMemory = 414;
inline constexpr int32_t kErrTlsNotInitialized = 415;
inline constexpr int32_t kErrTlsPointer = 417;
inline constexpr int32_t kErrTlsValue = 418;
inline constexpr int32_t kErrTlsUnknown = 419;

}  // namespace Quor::Base

// Text of any framework code; never null.
const char* ClientErrorText(int code) noexcept;
