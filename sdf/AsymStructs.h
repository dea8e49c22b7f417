// Conversions between the GM/T 0018 key, signature and cipher structures
// (right-aligned big-endian values) and the device's byte strings. Every
// value a device answer puts into a structure is checked against the room
// there: an answer that does not fit is SDR_COMMFAIL, never an overflow.
#pragma once

#include <quorsdf.h>

#include <cstring>
#include <string>
#include <string_view>

#include "commands/Exchange.h"

namespace Quor::Sdf {

using Commands::FailWith;

inline constexpr SGD_UINT32 kSm2CoordLength = 32;
inline constexpr SGD_UINT32 kSm2Bits = 256;
// x, y and M in front of C in the device's SM2 cipher text.
inline constexpr size_t kSm2CipherHead = 3 * kSm2CoordLength;

inline bool IsSm2Algorithm(SGD_UINT32 algId) {
  return algId == SGD_SM2 || algId == SGD_SM2_1 || algId == SGD_SM2_2 || algId == SGD_SM2_3;
}

// The last n bytes of an array, for a value the caller sized with bits; a
// bits field that claims more than the array holds is an argument error.
inline const SGD_UCHAR* Tail(const SGD_UCHAR* array, size_t arraySize, size_t n) {
  if (n > arraySize) FailWith(SDR_INARGERR);
  return array + arraySize - n;
}

// Clears the array and puts the value into its tail.
inline void PutRightAligned(SGD_UCHAR* array, size_t arraySize, std::string_view value) {
  if (value.size() > arraySize) FailWith(SDR_COMMFAIL);
  std::memset(array, 0, arraySize);
  if (!value.empty()) std::memcpy(array + arraySize - value.size(), value.data(), value.size());
}

inline std::string_view View(const SGD_UCHAR* p, size_t n) { return {reinterpret_cast<const char*>(p), n}; }

// x || y || M || C as the device answers it -> ECCCipher. Coordinates are
// coordLength bytes; C may hold at most maxC bytes (the room the caller was
// asked to provide, see docs/sdf.md).
inline void ToEccCipher(std::string_view device, size_t coordLength, size_t maxC, ECCCipher* out) {
  if (coordLength > ECCref_MAX_LEN || device.size() < 2 * coordLength + sizeof out->M) FailWith(SDR_COMMFAIL);
  const std::string_view c = device.substr(2 * coordLength + sizeof out->M);
  if (c.size() > maxC) FailWith(SDR_COMMFAIL);
  PutRightAligned(out->x, sizeof out->x, device.substr(0, coordLength));
  PutRightAligned(out->y, sizeof out->y, device.substr(coordLength, coordLength));
  std::memcpy(out->M, device.data() + 2 * coordLength, sizeof out->M);
  out->L = static_cast<SGD_UINT32>(c.size());
  if (!c.empty()) std::memcpy(out->C, c.data(), c.size());
}

// ECCCipher -> x || y || M || C with 32-byte coordinates.
inline std::string FromEccCipher(const ECCCipher& in) {
  std::string s;
  s.reserve(kSm2CipherHead + in.L);
  s.append(View(in.x + sizeof in.x - kSm2CoordLength, kSm2CoordLength));
  s.append(View(in.y + sizeof in.y - kSm2CoordLength, kSm2CoordLength));
  s.append(View(in.M, sizeof in.M));
  s.append(View(in.C, in.L));
  return s;
}

// Logs x, y, M, L and C of a cipher the caller gave.
inline void LogEccCipher(const Commands::Call& c, const char* prefix, const ECCCipher& in) {
  const std::string p(prefix);
  c.LogHex((p + "->x").c_str(), in.x, sizeof in.x);
  c.LogHex((p + "->y").c_str(), in.y, sizeof in.y);
  c.LogHex((p + "->M").c_str(), in.M, sizeof in.M);
  c.LogNumber((p + "->L").c_str(), in.L);
  c.LogHex((p + "->C").c_str(), in.C, in.L);
}

// A public key of the device: bits 256 and the first 32 bytes of each answer.
inline void ToSm2PublicKey(std::string_view x, std::string_view y, ECCrefPublicKey* out) {
  if (x.size() < kSm2CoordLength || y.size() < kSm2CoordLength) FailWith(SDR_COMMFAIL);
  ECCrefPublicKey k{};
  k.bits = kSm2Bits;
  PutRightAligned(k.x, sizeof k.x, x.substr(0, kSm2CoordLength));
  PutRightAligned(k.y, sizeof k.y, y.substr(0, kSm2CoordLength));
  *out = k;
}

}  // namespace Quor::Sdf
