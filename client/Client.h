// The client core's facade: the only entry points the rest of the library
// uses to reach device hosts. Every function returns 0 or a framework code
// and never throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Quor::Base {
class Base;
}

// What the framing callbacks see of the host and the request. Unset byte
// strings are non-null pointers with length 0.
struct MessageContext {
  const char* head;
  uint64_t headLen;
  const char* tail;
  uint64_t tailLen;
  const char* sysname;
  uint64_t sysnameLen;
  const char* signkey;
  uint64_t signkeyLen;
  const char* request;  // the framed request while an answer is parsed
  uint64_t requestLen;
  const char* sm2PubKey;
  uint64_t sm2PubKeyLen;
  int32_t hostNumber;
  Quor::Base::Base* client;
};

// Two-call protocol: dst null asks for the size; a negative result rejects.
using FormatRequestFn = long (*)(const char* body, size_t bodyLen, const MessageContext* ctx, void* dst,
                                 size_t* dstLen);
using ParseResponseFn = long (*)(const char* raw, size_t rawLen, const MessageContext* ctx, void* dst,
                                 size_t* dstLen);
using ParseLengthFn = long (*)(const char* prefix, size_t prefixLen);
using HostStatusFn = void (*)(unsigned long hostNumber, unsigned long online, const char* answer,
                              unsigned long answerLen);
using HeartbeatCheckFn = int (*)(unsigned long hostNumber, const char* answer, unsigned long answerLen);

// Shared ownership of one client object.
struct ClientHandle;

int ClientOpen(const char* configPath, FormatRequestFn formatRequest, ParseResponseFn parseResponse,
               unsigned long lengthPrefixSize, ParseLengthFn parseLength, HostStatusFn hostStatus,
               const char* heartbeatRequest, unsigned long heartbeatRequestLen, HeartbeatCheckFn heartbeatCheck,
               const char* heartbeatAnswer, unsigned long heartbeatAnswerLen, ClientHandle** out) noexcept;

// hostNumber 0 lets the client choose; 1..N names a host. With answer null
// only the length is stored in *answerLen.
int ClientCommunicate(ClientHandle* handle, const char* request, unsigned long requestLen, int hostNumber,
                      void* answer, unsigned long* answerLen) noexcept;

int ClientClose(ClientHandle* handle) noexcept;

const char* ClientErrorText(int code) noexcept;

// The log front: formats and buffers one line if level passes the threshold.
void LogMessage(ClientHandle* handle, int level, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));

// Whether a line of this level would be written; lets callers skip building
// expensive arguments (hex dumps of large buffers) for suppressed lines.
bool LogEnabled(ClientHandle* handle, int level) noexcept;
