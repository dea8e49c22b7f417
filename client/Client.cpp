// The client facade: argument checks, exceptions turned into codes.
#include "client/Client.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "client/Base.h"

struct ClientHandle {
  std::shared_ptr<Quor::Base::Base> base;
};

using Quor::Base::kErrBaseUnknown;
using Quor::Base::kErrBufferTooSmall;
using Quor::Base::kErrInvalidBase;
using Quor::Base::kErrInvalidPointer;
using Quor::Base::kErrInvalidValue;

int ClientOpen(const char* configPath, FormatRequestFn formatRequest, ParseResponseFn parseResponse,
               unsigned long lengthPrefixSize, ParseLengthFn parseLength, HostStatusFn hostStatus,
               const char* heartbeatRequest, unsigned long heartbeatRequestLen, HeartbeatCheckFn heartbeatCheck,
               const char* heartbeatAnswer, unsigned long heartbeatAnswerLen, ClientHandle** out) noexcept {
  if (configPath == nullptr || formatRequest == nullptr || parseResponse == nullptr) return kErrInvalidPointer;
  if (lengthPrefixSize != 0 && parseLength == nullptr) return kErrInvalidPointer;
  if (heartbeatRequest == nullptr) return kErrInvalidPointer;
  if (heartbeatRequestLen == 0) return kErrInvalidValue;
  if (heartbeatCheck == nullptr) {
    if (heartbeatAnswer == nullptr) return kErrInvalidPointer;
    if (heartbeatAnswerLen == 0) return kErrInvalidValue;
  }
  if (out == nullptr) return kErrInvalidPointer;
  if (lengthPrefixSize > UINT32_MAX) return kErrInvalidValue;
  try {
    auto base = std::make_shared<Quor::Base::Base>(
        configPath, formatRequest, parseResponse, static_cast<uint32_t>(lengthPrefixSize), parseLength, hostStatus,
        heartbeatCheck, std::string(heartbeatRequest, heartbeatRequestLen),
        heartbeatAnswer ? std::string(heartbeatAnswer, heartbeatAnswerLen) : std::string());
    base->Initialize();
    *out = new ClientHandle{std::move(base)};
    return 0;
  } catch (const Quor::Exception& e) {
    return e.Code();
  } catch (...) {
    return kErrBaseUnknown;
  }
}

int ClientCommunicate(ClientHandle* handle, const char* request, unsigned long requestLen, int hostNumber,
                      void* answer, unsigned long* answerLen) noexcept {
  if (handle == nullptr || request == nullptr) return kErrInvalidPointer;
  if (requestLen == 0) return kErrInvalidValue;
  if (answerLen == nullptr) return kErrInvalidPointer;
  if (!handle->base) return kErrInvalidBase;
  // Reused per thread, so a steady stream of requests allocates nothing.
  thread_local std::string result;
  try {
    // A negative host number wraps to a huge one and is refused as overflow.
    handle->base->Communicate(std::string_view(request, requestLen), static_cast<uint32_t>(hostNumber), result);
  } catch (const Quor::Exception& e) {
    return e.Code();
  } catch (...) {
    return kErrBaseUnknown;
  }
  const unsigned long capacity = *answerLen;
  *answerLen = result.size();
  int rc = 0;
  if (answer != nullptr) {
    if (capacity < result.size()) {
      rc = kErrBufferTooSmall;
    } else if (!result.empty()) {
      std::memcpy(answer, result.data(), result.size());
    }
  }
  if (result.capacity() > (size_t{1} << 20)) std::string().swap(result);
  return rc;
}

int ClientClose(ClientHandle* handle) noexcept {
  if (handle == nullptr) return kErrInvalidPointer;
  if (!handle->base) return kErrInvalidBase;
  try {
    handle->base->Finalize();
  } catch (...) {
    // Finalize stops threads and closes sockets; nothing in it is expected
    // to throw, and the handle must be freed regardless.
  }
  delete handle;
  return 0;
}

void LogMessage(ClientHandle* handle, int level, const char* format, ...) noexcept {
  if (handle == nullptr || format == nullptr || !handle->base) return;
  Quor::Base::Base& base = *handle->base;
  if (level < base.LogLevel()) return;
  try {
    char first[20480];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(first, sizeof first, format, args);
    va_end(args);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof first) return base.Log(level, std::string_view(first, n));
    for (size_t size = sizeof first * 2;; size *= 2) {
      std::unique_ptr<char[]> buf(new (std::nothrow) char[size]);
      if (!buf) return;
      va_start(args, format);
      n = std::vsnprintf(buf.get(), size, format, args);
      va_end(args);
      if (n < 0) return;
      if (static_cast<size_t>(n) < size) return base.Log(level, std::string_view(buf.get(), n));
    }
  } catch (...) {
    // Logging never fails towards its caller.
  }
}

bool LogEnabled(ClientHandle* handle, int level) noexcept {
  return handle != nullptr && handle->base && level >= handle->base->LogLevel();
}
