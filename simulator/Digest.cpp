// Merkle-Damgard hashes with 64-byte blocks and a 64-bit big-endian length.
#include "simulator/Digest.h"

#include <algorithm>
#include <cstring>

#include "common/Bytes.h"

namespace QuorSim {
namespace {

// n may be 0 (SM3 rotates its constants by j mod 32): (32 - n) & 31 keeps the shift defined.
inline uint32_t Rotl(uint32_t x, int n) { return (x << (n & 31)) | (x >> ((32 - n) & 31)); }
inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void Sha1Compress(std::array<uint32_t, 8>& h, const unsigned char* p) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) w[i] = Quor::GetU32(p + 4 * i);
  for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = t;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

constexpr uint32_t kSha256K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

void Sha256Compress(std::array<uint32_t, 8>& h, const unsigned char* p) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) w[i] = Quor::GetU32(p + 4 * i);
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t S1 = Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25);
    const uint32_t ch = (e & f) ^ (~e & g);
    const uint32_t t1 = hh + S1 + ch + kSha256K[i] + w[i];
    const uint32_t S0 = Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22);
    const uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
    const uint32_t t2 = S0 + maj;
    hh = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
  h[5] += f;
  h[6] += g;
  h[7] += hh;
}

inline uint32_t Sm3P0(uint32_t x) { return x ^ Rotl(x, 9) ^ Rotl(x, 17); }
inline uint32_t Sm3P1(uint32_t x) { return x ^ Rotl(x, 15) ^ Rotl(x, 23); }

void Sm3Compress(std::array<uint32_t, 8>& v, const unsigned char* p) {
  uint32_t w[68], w1[64];
  for (int i = 0; i < 16; ++i) w[i] = Quor::GetU32(p + 4 * i);
  for (int i = 16; i < 68; ++i)
    w[i] = Sm3P1(w[i - 16] ^ w[i - 9] ^ Rotl(w[i - 3], 15)) ^ Rotl(w[i - 13], 7) ^ w[i - 6];
  for (int i = 0; i < 64; ++i) w1[i] = w[i] ^ w[i + 4];
  uint32_t a = v[0], b = v[1], c = v[2], d = v[3], e = v[4], f = v[5], g = v[6], h = v[7];
  for (int j = 0; j < 64; ++j) {
    const uint32_t tj = j < 16 ? 0x79CC4519u : 0x7A879D8Au;
    const uint32_t ss1 = Rotl(Rotl(a, 12) + e + Rotl(tj, j % 32), 7);
    const uint32_t ss2 = ss1 ^ Rotl(a, 12);
    const uint32_t ff = j < 16 ? (a ^ b ^ c) : ((a & b) | (a & c) | (b & c));
    const uint32_t gg = j < 16 ? (e ^ f ^ g) : ((e & f) | (~e & g));
    const uint32_t tt1 = ff + d + ss2 + w1[j];
    const uint32_t tt2 = gg + h + ss1 + w[j];
    d = c;
    c = Rotl(b, 9);
    b = a;
    a = tt1;
    h = g;
    g = Rotl(f, 19);
    f = e;
    e = Sm3P0(tt2);
  }
  v[0] ^= a;
  v[1] ^= b;
  v[2] ^= c;
  v[3] ^= d;
  v[4] ^= e;
  v[5] ^= f;
  v[6] ^= g;
  v[7] ^= h;
}

}  // namespace

std::optional<HashAlg> HashAlgFromCode(uint32_t code) {
  switch (code) {
    case 1: return HashAlg::Sha1;
    case 6: return HashAlg::Sha256;
    case 20: return HashAlg::Sm3;
    default: return std::nullopt;
  }
}

Digest::Digest(HashAlg alg) : alg_(alg) {
  switch (alg) {
    case HashAlg::Sha1:
      h_ = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0, 0, 0, 0};
      break;
    case HashAlg::Sha256:
      h_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
      break;
    case HashAlg::Sm3:
      h_ = {0x7380166F, 0x4914B2B9, 0x172442D7, 0xDA8A0600, 0xA96F30BC, 0x163138AA, 0xE38DEE4D, 0xB0FB0E4E};
      break;
  }
}

void Digest::Compress(const unsigned char* block) {
  switch (alg_) {
    case HashAlg::Sha1: Sha1Compress(h_, block); break;
    case HashAlg::Sha256: Sha256Compress(h_, block); break;
    case HashAlg::Sm3: Sm3Compress(h_, block); break;
  }
}

void Digest::Update(std::string_view data) {
  auto p = reinterpret_cast<const unsigned char*>(data.data());
  size_t n = data.size();
  total_ += n;
  if (bufLen_ > 0) {
    const size_t take = std::min(n, kBlockSize - bufLen_);
    std::memcpy(buf_.data() + bufLen_, p, take);
    bufLen_ += take;
    p += take;
    n -= take;
    if (bufLen_ < kBlockSize) return;
    Compress(buf_.data());
    bufLen_ = 0;
  }
  for (; n >= kBlockSize; p += kBlockSize, n -= kBlockSize) Compress(p);
  if (n > 0) std::memcpy(buf_.data(), p, n);
  bufLen_ = n;
}

std::string Digest::Final() const {
  Digest copy = *this;
  const uint64_t bits = total_ * 8;
  unsigned char pad[kBlockSize * 2] = {0x80};
  const size_t padLen = (bufLen_ < 56 ? 56 - bufLen_ : 120 - bufLen_);
  for (int i = 0; i < 8; ++i) pad[padLen + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  copy.Update(std::string_view(reinterpret_cast<const char*>(pad), padLen + 8));
  std::string out;
  const size_t words = DigestSize() / 4;
  for (size_t i = 0; i < words; ++i) Quor::PutU32(out, copy.h_[i]);
  return out;
}

std::string Digest::Serialize() const {
  std::string out;
  out.push_back(static_cast<char>(alg_));
  Quor::PutU32(out, static_cast<uint32_t>(total_ >> 32));
  Quor::PutU32(out, static_cast<uint32_t>(total_));
  for (uint32_t w : h_) Quor::PutU32(out, w);
  out.push_back(static_cast<char>(bufLen_));
  out.append(reinterpret_cast<const char*>(buf_.data()), buf_.size());
  return out;
}

std::optional<Digest> Digest::Deserialize(std::string_view b) {
  if (b.size() != kSerializedSize) return std::nullopt;
  const auto alg = HashAlgFromCode(static_cast<unsigned char>(b[0]));
  if (!alg) return std::nullopt;
  Digest d(*alg);
  d.total_ = (uint64_t{Quor::GetU32(b.data() + 1)} << 32) | Quor::GetU32(b.data() + 5);
  for (size_t i = 0; i < 8; ++i) d.h_[i] = Quor::GetU32(b.data() + 9 + 4 * i);
  d.bufLen_ = static_cast<unsigned char>(b[41]);
  // The buffered count must agree with the total, or Update would run past the buffer.
  if (d.bufLen_ >= kBlockSize || d.bufLen_ != d.total_ % kBlockSize) return std::nullopt;
  std::memcpy(d.buf_.data(), b.data() + 42, kBlockSize);
  return d;
}

std::string HashOnce(HashAlg alg, std::string_view data) {
  Digest d(alg);
  d.Update(data);
  return d.Final();
}

std::string Sm2Z(std::string_view x, std::string_view y, std::string_view id) {
  static const char kCurve[] =
      "FFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00000000FFFFFFFFFFFFFFFC"   // a
      "28E9FA9E9D9F5E344D5A9E4BCF6509A7F39789F515AB8F92DDBCBD414D940E93"   // b
      "32C4AE2C1F1981195F9904466A39C9948FE30BBFF2660BE1715A4589334C74C7"   // xG
      "BC3736A2F4F6779C59BDCEE36B692153D0A9877CC62A474002DF32E52139F0A0";  // yG
  std::string curve;
  for (size_t i = 0; i + 1 < sizeof kCurve - 1; i += 2) {
    auto v = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    curve.push_back(static_cast<char>(v(kCurve[i]) * 16 + v(kCurve[i + 1])));
  }
  Digest d(HashAlg::Sm3);
  std::string entl;
  Quor::PutU16(entl, static_cast<uint16_t>(id.size() * 8));
  d.Update(entl);
  d.Update(id);
  d.Update(curve);
  d.Update(x);
  d.Update(y);
  return d.Final();
}

}  // namespace QuorSim
