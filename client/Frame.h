// The SDF wire frame: a 2-byte big-endian length L, then msgHead, the body
// and msgTail (L bytes together). These are the callbacks and probe bytes the
// SDF layer hands to ClientOpen.
#pragma once

#include <cstddef>

#include "client/Client.h"

namespace Quor::Base {

// Frames body with ctx's head and tail. Refuses (-1) a frame whose length
// does not fit 16 bits, and a capacity below the frame size.
long FormatFrame(const char* body, size_t bodyLen, const MessageContext* ctx, void* dst, size_t* dstLen);
// Checks length, head and tail of a received frame and yields its body.
long ParseFrame(const char* raw, size_t rawLen, const MessageContext* ctx, void* dst, size_t* dstLen);
// The number of bytes after the 2-byte length prefix.
long ReadFrameLength(const char* prefix, size_t prefixLen);
void IgnoreHostStatus(unsigned long hostNumber, unsigned long online, const char* answer, unsigned long answerLen);

inline constexpr size_t kFrameLengthSize = 2;
// The random-number command asking for 4 bytes, and the start of its healthy answer.
inline constexpr char kHeartbeatRequest[] = {0x01, 0x02, 0x00, 0x00, 0x00, 0x04};
inline constexpr char kHeartbeatAnswer[] = {0x01, 0x03, 0x00, 0x00};

}  // namespace Quor::Base
