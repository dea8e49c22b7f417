// Symmetric cryptography on OpenSSL's EVP ciphers; GCM and CCM are built on
// the block cipher here because OpenSSL 3.0 has them for AES only.
#include "simulator/Crypto.h"

#include <openssl/evp.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <cstring>
#include <memory>

#include "common/Bytes.h"

namespace QuorSim {
namespace {

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

const EVP_CIPHER* CipherFor(uint32_t alg, uint32_t mode) {
  // Rows by algorithm code, columns ECB, CBC, CFB, OFB.
  switch (alg) {
    case 0: {
      const EVP_CIPHER* t[] = {EVP_des_ecb(), EVP_des_cbc(), EVP_des_cfb64(), EVP_des_ofb()};
      return t[mode];
    }
    case 1: {
      const EVP_CIPHER* t[] = {EVP_des_ede_ecb(), EVP_des_ede_cbc(), EVP_des_ede_cfb64(), EVP_des_ede_ofb()};
      return t[mode];
    }
    case 2: {
      const EVP_CIPHER* t[] = {EVP_des_ede3_ecb(), EVP_des_ede3_cbc(), EVP_des_ede3_cfb64(), EVP_des_ede3_ofb()};
      return t[mode];
    }
    case 3: {
      const EVP_CIPHER* t[] = {EVP_aes_128_ecb(), EVP_aes_128_cbc(), EVP_aes_128_cfb128(), EVP_aes_128_ofb()};
      return t[mode];
    }
    case 4: {
      const EVP_CIPHER* t[] = {EVP_aes_192_ecb(), EVP_aes_192_cbc(), EVP_aes_192_cfb128(), EVP_aes_192_ofb()};
      return t[mode];
    }
    case 5: {
      const EVP_CIPHER* t[] = {EVP_aes_256_ecb(), EVP_aes_256_cbc(), EVP_aes_256_cfb128(), EVP_aes_256_ofb()};
      return t[mode];
    }
    case 7: {
      const EVP_CIPHER* t[] = {EVP_sm4_ecb(), EVP_sm4_cbc(), EVP_sm4_cfb128(), EVP_sm4_ofb()};
      return t[mode];
    }
    default:
      return nullptr;
  }
}

// One pass of an EVP cipher without padding. False on any OpenSSL failure.
bool RunCipher(const EVP_CIPHER* cipher, bool decrypt, std::string_view key, std::string_view iv,
               std::string_view data, std::string* out, std::string* ivOut) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return false;
  const auto* k = reinterpret_cast<const unsigned char*>(key.data());
  const auto* v = iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data());
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, k, v, decrypt ? 0 : 1) != 1) return false;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  out->resize(data.size() + 32);
  int n = 0, m = 0;
  if (!data.empty() && EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out->data()), &n,
                                        reinterpret_cast<const unsigned char*>(data.data()),
                                        static_cast<int>(data.size())) != 1)
    return false;
  if (EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out->data()) + n, &m) != 1) return false;
  out->resize(static_cast<size_t>(n + m));
  if (ivOut) {
    ivOut->clear();
    if (!iv.empty()) {
      ivOut->resize(iv.size());
      if (EVP_CIPHER_CTX_get_updated_iv(ctx.get(), ivOut->data(), ivOut->size()) != 1) return false;
    }
  }
  return true;
}

void Xor(std::string& a, std::string_view b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) a[i] = static_cast<char>(a[i] ^ b[i]);
}

// Encrypts one 16-byte block (or several) in ECB.
std::string Ecb(const SymAlg& alg, std::string_view key, std::string_view blocks) {
  std::string out;
  if (!EcbCrypt(alg, false, key, blocks, &out)) out.assign(blocks.size(), '\0');
  return out;
}

void IncrementCounter(std::string& block, size_t width) {
  for (size_t i = 0; i < width; ++i) {
    auto& c = block[block.size() - 1 - i];
    c = static_cast<char>(static_cast<unsigned char>(c) + 1);
    if (c != 0) break;
  }
}

// Keystream of n bytes from counter blocks starting at ctr, leaving ctr at the next unused block.
std::string CtrKeystream(const SymAlg& alg, std::string_view key, std::string& ctr, size_t n, size_t width) {
  const size_t blocks = (n + 15) / 16;
  std::string in;
  in.reserve(blocks * 16);
  for (size_t i = 0; i < blocks; ++i) {
    in += ctr;
    IncrementCounter(ctr, width);
  }
  std::string ks = Ecb(alg, key, in);
  ks.resize(n);
  return ks;
}

// Multiplication in GF(2^128) with GCM's bit order.
void GfMul(unsigned char x[16], const unsigned char y[16]) {
  unsigned char z[16] = {0}, v[16];
  std::memcpy(v, y, 16);
  for (int i = 0; i < 128; ++i) {
    if (x[i / 8] & (0x80 >> (i % 8)))
      for (int j = 0; j < 16; ++j) z[j] ^= v[j];
    const bool lsb = v[15] & 1;
    for (int j = 15; j > 0; --j) v[j] = static_cast<unsigned char>((v[j] >> 1) | (v[j - 1] << 7));
    v[0] >>= 1;
    if (lsb) v[0] ^= 0xE1;
  }
  std::memcpy(x, z, 16);
}

void Ghash(unsigned char y[16], const unsigned char h[16], std::string_view data) {
  for (size_t off = 0; off < data.size(); off += 16) {
    const size_t n = std::min<size_t>(16, data.size() - off);
    for (size_t i = 0; i < n; ++i) y[i] ^= static_cast<unsigned char>(data[off + i]);
    GfMul(y, h);
  }
}

bool TagEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

void PutU64(std::string& out, uint64_t v) {
  Quor::PutU32(out, static_cast<uint32_t>(v >> 32));
  Quor::PutU32(out, static_cast<uint32_t>(v));
}

}  // namespace

void InitCrypto() {
  // Loading any provider stops the default one loading by itself, so both are
  // loaded. The holder is made after OpenSSL has initialised itself, so its
  // destructor runs before OpenSSL's own clean-up at exit.
  struct Providers {
    OSSL_PROVIDER* def = OSSL_PROVIDER_load(nullptr, "default");
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    ~Providers() {
      if (legacy) OSSL_PROVIDER_unload(legacy);
      if (def) OSSL_PROVIDER_unload(def);
    }
  };
  static Providers providers;
}

uint16_t FindSymAlg(uint32_t code, SymAlg* out) {
  static const SymAlg kTable[] = {{0, 8, 8},   {1, 16, 8},  {2, 24, 8}, {3, 16, 16},
                                  {4, 24, 16}, {5, 32, 16}, {7, 16, 16}};
  for (const auto& a : kTable) {
    if (a.code == code) {
      *out = a;
      return Dev::kOk;
    }
  }
  return Dev::kAlgNotSupported;
}

uint16_t SymCrypt(const SymAlg& alg, uint32_t mode, bool decrypt, std::string_view key, std::string_view iv,
                  std::string_view data, std::string* out, std::string* ivOut) {
  InitCrypto();
  if (mode > 3) return Dev::kAlgNotSupported;
  if (key.size() != alg.keyLen) return Dev::kKeyLengthError;
  if (mode != 0 && iv.size() != alg.block) return Dev::kInvalidInput;
  if (mode <= 1 && data.size() % alg.block != 0) return Dev::kInvalidInput;
  const EVP_CIPHER* cipher = CipherFor(alg.code, mode);
  if (!cipher) return Dev::kAlgNotSupported;
  if (!RunCipher(cipher, decrypt, key, mode == 0 ? std::string_view() : iv, data, out, ivOut))
    return Dev::kCryptoFailed;
  return Dev::kOk;
}

bool EcbCrypt(const SymAlg& alg, bool decrypt, std::string_view key, std::string_view data, std::string* out) {
  std::string iv;
  return SymCrypt(alg, 0, decrypt, key, {}, data, out, &iv) == Dev::kOk;
}

std::string CheckValue(const SymAlg& alg, std::string_view key) {
  std::string out;
  if (!EcbCrypt(alg, false, key, std::string(alg.block, '\0'), &out)) return std::string(8, '\0');
  out.resize(8);
  return out;
}

uint16_t CbcMac(const SymAlg& alg, std::string_view key, std::string_view iv, std::string_view data,
                std::string* mac) {
  std::string padded(data);
  if (padded.empty() || padded.size() % alg.block != 0) padded.resize((padded.size() / alg.block + 1) * alg.block);
  std::string ct, next;
  const uint16_t rc = SymCrypt(alg, 1, false, key, iv, padded, &ct, &next);
  if (rc != Dev::kOk) return rc;
  *mac = ct.substr(ct.size() - alg.block);
  return Dev::kOk;
}

bool LmkWrap(const Lmk& lmk, std::string_view key, std::string* cipher) {
  SymAlg a{};
  if (key.size() == 16 || key.size() == 32) {
    FindSymAlg(7, &a);
    return EcbCrypt(a, false, lmk.sm4, key, cipher);
  }
  if (key.size() == 8 || key.size() == 24) {
    FindSymAlg(2, &a);
    return EcbCrypt(a, false, lmk.des3, key, cipher);
  }
  return false;
}

bool LmkUnwrap(const Lmk& lmk, std::string_view cipher, std::string* key) {
  SymAlg a{};
  if (cipher.size() == 16 || cipher.size() == 32) {
    FindSymAlg(7, &a);
    return EcbCrypt(a, true, lmk.sm4, cipher, key);
  }
  if (cipher.size() == 8 || cipher.size() == 24) {
    FindSymAlg(2, &a);
    return EcbCrypt(a, true, lmk.des3, cipher, key);
  }
  return false;
}

uint16_t GcmCrypt(const SymAlg& alg, bool decrypt, std::string_view key, std::string_view iv, std::string_view aad,
                  std::string_view data, std::string_view tagIn, std::string* out, std::string* tagOut) {
  if (alg.block != 16) return Dev::kAlgNotSupported;
  if (key.size() != alg.keyLen) return Dev::kKeyLengthError;
  if (iv.empty()) return Dev::kInvalidInput;
  if (decrypt && (tagIn.size() < 4 || tagIn.size() > 16)) return Dev::kInvalidInput;
  unsigned char h[16];
  std::memcpy(h, Ecb(alg, key, std::string(16, '\0')).data(), 16);
  std::string j0;
  if (iv.size() == 12) {
    j0 = std::string(iv) + std::string("\0\0\0\1", 4);
  } else {
    unsigned char y[16] = {0};
    Ghash(y, h, iv);
    std::string lens(8, '\0');
    PutU64(lens, uint64_t{iv.size()} * 8);
    Ghash(y, h, lens);
    j0.assign(reinterpret_cast<char*>(y), 16);
  }
  std::string ctr = j0;
  IncrementCounter(ctr, 4);
  std::string result(data);
  Xor(result, CtrKeystream(alg, key, ctr, data.size(), 4));
  const std::string_view ct = decrypt ? data : std::string_view(result);
  unsigned char y[16] = {0};
  Ghash(y, h, aad);
  Ghash(y, h, ct);
  std::string lens;
  PutU64(lens, uint64_t{aad.size()} * 8);
  PutU64(lens, uint64_t{ct.size()} * 8);
  Ghash(y, h, lens);
  std::string tag(reinterpret_cast<char*>(y), 16);
  Xor(tag, Ecb(alg, key, j0));
  if (decrypt) {
    if (!TagEqual(tag.substr(0, tagIn.size()), tagIn)) return Dev::kVerifyFailed;
  } else {
    *tagOut = tag;
  }
  *out = std::move(result);
  return Dev::kOk;
}

namespace {

// CCM's formatting of B0 and the additional data (RFC 3610).
std::string CcmHeader(std::string_view nonce, std::string_view aad, uint64_t total, uint32_t tagLen) {
  const size_t q = 15 - nonce.size();
  std::string b0(16, '\0');
  b0[0] = static_cast<char>((aad.empty() ? 0 : 0x40) | (((tagLen - 2) / 2) << 3) | (q - 1));
  std::memcpy(b0.data() + 1, nonce.data(), nonce.size());
  for (size_t i = 0; i < q; ++i) b0[15 - i] = static_cast<char>(i < 8 ? (total >> (8 * i)) & 0xFF : 0);
  std::string hdr = b0;
  if (!aad.empty()) {
    if (aad.size() < 0xFF00) {
      Quor::PutU16(hdr, static_cast<uint16_t>(aad.size()));
    } else {
      hdr += "\xFF\xFE";
      Quor::PutU32(hdr, static_cast<uint32_t>(aad.size()));
    }
    hdr += aad;
    if (hdr.size() % 16) hdr.resize((hdr.size() / 16 + 1) * 16);
  }
  return hdr;
}

void MacBlocks(const SymAlg& alg, std::string_view key, std::string& mac, std::string_view blocks) {
  for (size_t off = 0; off + 16 <= blocks.size(); off += 16) {
    Xor(mac, blocks.substr(off, 16));
    mac = Ecb(alg, key, mac);
  }
}

bool CcmParamsValid(size_t nonceLen, uint64_t total, uint32_t tagLen) {
  if (nonceLen < 7 || nonceLen > 13) return false;
  if (tagLen < 4 || tagLen > 16 || tagLen % 2) return false;
  const size_t q = 15 - nonceLen;
  return q >= 8 || total < (uint64_t{1} << (8 * q));
}

}  // namespace

uint16_t CcmStreamInit(const SymAlg& alg, bool decrypt, std::string_view key, std::string keyCipher,
                       std::string_view nonce, std::string_view aad, uint64_t total, uint32_t tagLen,
                       CcmStream* st) {
  if (alg.block != 16) return Dev::kAlgNotSupported;
  if (key.size() != alg.keyLen) return Dev::kKeyLengthError;
  if (!CcmParamsValid(nonce.size(), total, tagLen)) return Dev::kInvalidInput;
  *st = CcmStream{};
  st->decrypt = decrypt;
  st->alg = alg.code;
  st->keyCipher = std::move(keyCipher);
  st->total = total;
  st->tagLen = tagLen;
  st->mac.assign(16, '\0');
  MacBlocks(alg, key, st->mac, CcmHeader(nonce, aad, total, tagLen));
  std::string a0(16, '\0');
  a0[0] = static_cast<char>(14 - nonce.size());
  std::memcpy(a0.data() + 1, nonce.data(), nonce.size());
  st->s0 = Ecb(alg, key, a0);
  st->counter = a0;
  IncrementCounter(st->counter, 15 - nonce.size());
  return Dev::kOk;
}

uint16_t CcmStreamUpdate(CcmStream& st, std::string_view key, std::string_view data, std::string* out) {
  SymAlg alg{};
  if (FindSymAlg(st.alg, &alg) != Dev::kOk || key.size() != alg.keyLen) return Dev::kInvalidInput;
  if (data.size() > st.total - st.done) return Dev::kInvalidInput;
  const size_t width = static_cast<size_t>(static_cast<unsigned char>(st.counter[0])) + 1;
  std::string ks = st.keystream;
  if (ks.size() < data.size()) {
    // Whole blocks: what this piece does not use is kept for the next one.
    const size_t need = data.size() - ks.size();
    ks += CtrKeystream(alg, key, st.counter, (need + 15) / 16 * 16, width);
  }
  std::string result(data);
  Xor(result, ks);
  st.keystream = ks.substr(data.size());
  const std::string_view plain = st.decrypt ? std::string_view(result) : data;
  std::string pending = st.macPending + std::string(plain);
  const size_t whole = pending.size() / 16 * 16;
  MacBlocks(alg, key, st.mac, std::string_view(pending).substr(0, whole));
  st.macPending = pending.substr(whole);
  st.done += data.size();
  *out = std::move(result);
  return Dev::kOk;
}

uint16_t CcmStreamFinal(CcmStream& st, std::string_view key, std::string_view tagIn, std::string* tagOut) {
  SymAlg alg{};
  if (FindSymAlg(st.alg, &alg) != Dev::kOk || key.size() != alg.keyLen) return Dev::kInvalidInput;
  if (st.done != st.total) return Dev::kInvalidInput;
  if (!st.macPending.empty()) {
    std::string last = st.macPending;
    last.resize(16, '\0');
    MacBlocks(alg, key, st.mac, last);
  }
  std::string tag = st.mac;
  Xor(tag, st.s0);
  tag.resize(st.tagLen);
  if (st.decrypt) {
    if (!TagEqual(tag, tagIn)) return Dev::kVerifyFailed;
  } else {
    *tagOut = tag;
  }
  return Dev::kOk;
}

uint16_t CcmCrypt(const SymAlg& alg, bool decrypt, std::string_view key, std::string_view nonce,
                  std::string_view aad, std::string_view data, size_t tagLen, std::string_view tagIn,
                  std::string* out, std::string* tagOut) {
  CcmStream st;
  uint16_t rc = CcmStreamInit(alg, decrypt, key, {}, nonce, aad, data.size(), static_cast<uint32_t>(tagLen), &st);
  if (rc != Dev::kOk) return rc;
  std::string result;
  if ((rc = CcmStreamUpdate(st, key, data, &result)) != Dev::kOk) return rc;
  if ((rc = CcmStreamFinal(st, key, tagIn, tagOut)) != Dev::kOk) return rc;
  *out = std::move(result);
  return Dev::kOk;
}

// Context layout: magic "CCM1", flags, algorithm, tag length, total, done,
// then length-prefixed strings. Every length is checked on the way back in.
std::string CcmStream::Serialize() const {
  std::string o = "CCM1";
  o.push_back(decrypt ? 1 : 0);
  Quor::PutU32(o, alg);
  Quor::PutU32(o, tagLen);
  PutU64(o, total);
  PutU64(o, done);
  for (const std::string* s : {&keyCipher, &counter, &mac, &s0, &macPending, &keystream}) {
    Quor::PutU32(o, static_cast<uint32_t>(s->size()));
    o += *s;
  }
  return o;
}

bool CcmStream::Deserialize(std::string_view b, CcmStream* st) {
  if (b.size() < 29 || b.substr(0, 4) != "CCM1") return false;
  CcmStream s;
  s.decrypt = b[4] != 0;
  s.alg = Quor::GetU32(b.data() + 5);
  s.tagLen = Quor::GetU32(b.data() + 9);
  s.total = (uint64_t{Quor::GetU32(b.data() + 13)} << 32) | Quor::GetU32(b.data() + 17);
  s.done = (uint64_t{Quor::GetU32(b.data() + 21)} << 32) | Quor::GetU32(b.data() + 25);
  size_t off = 29;
  for (std::string* f : {&s.keyCipher, &s.counter, &s.mac, &s.s0, &s.macPending, &s.keystream}) {
    if (b.size() - off < 4) return false;
    const uint32_t n = Quor::GetU32(b.data() + off);
    off += 4;
    if (b.size() - off < n) return false;
    f->assign(b.substr(off, n));
    off += n;
  }
  if (off != b.size()) return false;
  const unsigned char flags = s.counter.empty() ? 0 : static_cast<unsigned char>(s.counter[0]);
  if (s.counter.size() != 16 || s.mac.size() != 16 || s.s0.size() != 16 || s.macPending.size() >= 16 ||
      s.keystream.size() >= 16 || flags < 1 || flags > 7 || s.done > s.total || s.tagLen < 4 || s.tagLen > 16)
    return false;
  *st = std::move(s);
  return true;
}

uint16_t HmacStep(HashAlg alg, std::string_view key, std::string_view state, std::string_view data,
                  std::string* newState, std::string* mac) {
  std::string k(key);
  if (k.size() > Digest::kBlockSize) k = HashOnce(alg, k);
  k.resize(Digest::kBlockSize, '\0');
  std::string ipad = k, opad = k;
  for (size_t i = 0; i < k.size(); ++i) {
    ipad[i] = static_cast<char>(ipad[i] ^ 0x36);
    opad[i] = static_cast<char>(opad[i] ^ 0x5c);
  }
  std::optional<Digest> inner;
  if (state.empty()) {
    inner.emplace(alg);
    inner->Update(ipad);
  } else {
    inner = Digest::Deserialize(state);
    if (!inner || inner->alg() != alg) return Dev::kInvalidInput;
  }
  inner->Update(data);
  Digest outer(alg);
  outer.Update(opad);
  outer.Update(inner->Final());
  *newState = inner->Serialize();
  *mac = outer.Final();
  return Dev::kOk;
}

void RandomBytes(size_t n, std::string* out) {
  out->resize(n);
  if (n == 0) return;
  auto* p = reinterpret_cast<unsigned char*>(out->data());
  // Small requests (the heartbeat asks for 4 bytes) are served from a
  // per-thread block of DRBG output, each byte used once: a call into the DRBG
  // costs a system call and several locks, which would show in the request rate.
  constexpr size_t kBlock = 4096;
  thread_local unsigned char block[kBlock];
  thread_local size_t left = 0;
  if (n <= 64) {
    if (left < n) {
      if (RAND_bytes(block, static_cast<int>(kBlock)) != 1) {
        out->assign(n, '\0');  // the DRBG does not fail once seeded; this would be a broken system
        return;
      }
      left = kBlock;
    }
    std::memcpy(p, block + kBlock - left, n);
    OPENSSL_cleanse(block + kBlock - left, n);
    left -= n;
    return;
  }
  if (RAND_bytes(p, static_cast<int>(n)) != 1) out->assign(n, '\0');
}

}  // namespace QuorSim
