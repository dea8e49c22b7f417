// Stand-ins for the client core's SDF frame set until the transport lands.
#pragma once

#include <cstddef>

#include "client/Client.h"

namespace Quor::Base {

long FormatFrame(const char* body, size_t bodyLen, const MessageContext* ctx, void* dst, size_t* dstLen);
long ParseFrame(const char* raw, size_t rawLen, const MessageContext* ctx, void* dst, size_t* dstLen);
long ReadFrameLength(const char* prefix, size_t prefixLen);
void IgnoreHostStatus(unsigned long hostNumber, unsigned long online, const char* answer, unsigned long answerLen);

inline constexpr size_t kFrameLengthSize = 2;
inline constexpr char kHeartbeatRequest[] = {0x01, 0x02, 0x00, 0x00, 0x00, 0x04};
inline constexpr char kHeartbeatAnswer[] = {0x01, 0x03, 0x00, 0x00};

}  // namespace Quor::Base
