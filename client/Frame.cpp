#include "client/Frame.h"

#include <cstring>

namespace Quor::Base {
namespace {

constexpr size_t kMaxFrameLength = 0xFFFF;

bool Matches(const char* at, const char* expected, uint64_t n) { return n == 0 || std::memcmp(at, expected, n) == 0; }

}  // namespace

long FormatFrame(const char* body, size_t bodyLen, const MessageContext* ctx, void* dst, size_t* dstLen) {
  if (ctx == nullptr || dstLen == nullptr || (body == nullptr && bodyLen != 0)) return -1;
  // Each part is checked alone first so the sum cannot wrap.
  if (ctx->headLen > kMaxFrameLength || ctx->tailLen > kMaxFrameLength || bodyLen > kMaxFrameLength) return -1;
  const size_t length = ctx->headLen + bodyLen + ctx->tailLen;
  if (length > kMaxFrameLength) return -1;
  const size_t size = length + kFrameLengthSize;
  if (dst == nullptr) {
    *dstLen = size;
    return static_cast<long>(size);
  }
  if (*dstLen < size) return -1;
  auto* out = static_cast<char*>(dst);
  out[0] = static_cast<char>(length >> 8);
  out[1] = static_cast<char>(length & 0xFF);
  size_t at = kFrameLengthSize;
  if (ctx->headLen) std::memcpy(out + at, ctx->head, ctx->headLen);
  at += ctx->headLen;
  if (bodyLen) std::memcpy(out + at, body, bodyLen);
  at += bodyLen;
  if (ctx->tailLen) std::memcpy(out + at, ctx->tail, ctx->tailLen);
  *dstLen = size;
  return static_cast<long>(size);
}

long ParseFrame(const char* raw, size_t rawLen, const MessageContext* ctx, void* dst, size_t* dstLen) {
  if (raw == nullptr || ctx == nullptr || dstLen == nullptr || rawLen < kFrameLengthSize) return -1;
  const size_t length = (static_cast<size_t>(static_cast<unsigned char>(raw[0])) << 8) |
                        static_cast<unsigned char>(raw[1]);
  if (rawLen != length + kFrameLengthSize) return -1;
  if (ctx->headLen >= length || ctx->tailLen >= length || ctx->headLen + ctx->tailLen >= length) return -1;
  if (!Matches(raw + kFrameLengthSize, ctx->head, ctx->headLen)) return -1;
  if (!Matches(raw + rawLen - ctx->tailLen, ctx->tail, ctx->tailLen)) return -1;
  const size_t bodyLen = length - ctx->headLen - ctx->tailLen;
  if (dst == nullptr) {
    *dstLen = bodyLen;
    return static_cast<long>(bodyLen);
  }
  if (*dstLen < bodyLen) return -1;
  std::memcpy(dst, raw + kFrameLengthSize + ctx->headLen, bodyLen);
  *dstLen = bodyLen;
  return static_cast<long>(bodyLen);
}

long ReadFrameLength(const char* prefix, size_t prefixLen) {
  if (prefix == nullptr || prefixLen < kFrameLengthSize) return -1;
  return (static_cast<long>(static_cast<unsigned char>(prefix[0])) << 8) | static_cast<unsigned char>(prefix[1]);
}

void IgnoreHostStatus(unsigned long, unsigned long, const char*, unsigned long) {}

}  // namespace Quor::Base
