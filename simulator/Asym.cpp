// RSA and SM2 on OpenSSL 3.0. SM2 cipher texts and signatures are converted
// between OpenSSL's DER forms and the device's fixed-width forms here.
#include "simulator/Asym.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstring>

namespace QuorSim {
namespace {

struct CtxFree {
  void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
  void operator()(BIGNUM* b) const { BN_free(b); }
  void operator()(OSSL_PARAM_BLD* b) const { OSSL_PARAM_BLD_free(b); }
  void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
  void operator()(ECDSA_SIG* s) const { ECDSA_SIG_free(s); }
  void operator()(BIO* b) const { BIO_free(b); }
  void operator()(EC_GROUP* g) const { EC_GROUP_free(g); }
  void operator()(EC_POINT* p) const { EC_POINT_free(p); }
  void operator()(BN_CTX* c) const { BN_CTX_free(c); }
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
template <typename T>
using Own = std::unique_ptr<T, CtxFree>;

const unsigned char* U(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

Own<BIGNUM> Bn(std::string_view s) { return Own<BIGNUM>(BN_bin2bn(U(s), static_cast<int>(s.size()), nullptr)); }

std::string BnBytes(const BIGNUM* b, size_t width = 0) {
  const size_t n = static_cast<size_t>(BN_num_bytes(b));
  std::string out(std::max(n, width), '\0');
  BN_bn2binpad(b, reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(out.size()));
  return out;
}

std::string GetBn(const EVP_PKEY* key, const char* name, size_t width = 0) {
  BIGNUM* b = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &b) != 1) return {};
  Own<BIGNUM> own(b);
  return BnBytes(b, width);
}

Own<EVP_PKEY_CTX> KeyCtx(EVP_PKEY* key) { return Own<EVP_PKEY_CTX>(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr)); }

const EVP_MD* MdFor(uint32_t code) {
  switch (code) {
    case 1: return EVP_sha1();
    case 6: return EVP_sha256();
    case 20: return EVP_sm3();
    default: return nullptr;
  }
}

Pkey FromParams(const char* type, int selection, OSSL_PARAM_BLD* bld) {
  Own<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(bld));
  Own<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, type, nullptr));
  EVP_PKEY* key = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, selection, params.get()) != 1)
    return nullptr;
  return Pkey(key);
}

// Minimal DER for the SM2 cipher text SEQUENCE { INTEGER x, INTEGER y, OCTET STRING M, OCTET STRING C }.
void DerLen(std::string& o, size_t n) {
  if (n < 128) {
    o.push_back(static_cast<char>(n));
    return;
  }
  std::string b;
  for (; n; n >>= 8) b.insert(b.begin(), static_cast<char>(n & 0xFF));
  o.push_back(static_cast<char>(0x80 | b.size()));
  o += b;
}
void DerItem(std::string& o, unsigned char tag, std::string_view v) {
  o.push_back(static_cast<char>(tag));
  DerLen(o, v.size());
  o += v;
}
std::string DerInt(std::string_view be) {
  while (be.size() > 1 && be[0] == 0) be.remove_prefix(1);
  std::string v(be);
  if (v.empty() || (static_cast<unsigned char>(v[0]) & 0x80)) v.insert(v.begin(), '\0');
  return v;
}
bool DerRead(std::string_view& in, unsigned char tag, std::string_view* v) {
  if (in.size() < 2 || static_cast<unsigned char>(in[0]) != tag) return false;
  size_t len = static_cast<unsigned char>(in[1]), off = 2;
  if (len & 0x80) {
    const size_t k = len & 0x7F;
    if (k == 0 || k > 4 || in.size() < 2 + k) return false;
    len = 0;
    for (size_t i = 0; i < k; ++i) len = len << 8 | static_cast<unsigned char>(in[2 + i]);
    off += k;
  }
  if (in.size() - off < len) return false;
  *v = in.substr(off, len);
  in.remove_prefix(off + len);
  return true;
}
std::optional<std::string> Fixed32(std::string_view v) {
  while (v.size() > 32 && v[0] == 0) v.remove_prefix(1);
  if (v.size() > 32) return std::nullopt;
  return std::string(32 - v.size(), '\0') + std::string(v);
}

std::optional<std::string> CbcPad(bool decrypt, std::string_view key, std::string_view data) {
  Own<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new());
  const std::string iv(16, '\0');
  if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_sm4_cbc(), nullptr, U(key), U(iv), decrypt ? 0 : 1) != 1)
    return std::nullopt;
  std::string out(data.size() + 32, '\0');
  int n = 0, m = 0;
  if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n, U(data),
                       static_cast<int>(data.size())) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n, &m) != 1)
    return std::nullopt;
  out.resize(static_cast<size_t>(n + m));
  return out;
}

}  // namespace

// ---- RSA ----

Pkey RsaGenerate(unsigned bits, unsigned long exponent) {
  InitCrypto();
  Own<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  size_t b = bits;
  OSSL_PARAM params[] = {OSSL_PARAM_construct_size_t(OSSL_PKEY_PARAM_RSA_BITS, &b),
                         OSSL_PARAM_construct_ulong(OSSL_PKEY_PARAM_RSA_E, &exponent), OSSL_PARAM_construct_end()};
  EVP_PKEY* key = nullptr;
  if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_CTX_set_params(ctx.get(), params) != 1 ||
      EVP_PKEY_generate(ctx.get(), &key) != 1)
    return nullptr;
  return Pkey(key);
}

Pkey RsaFromComponents(const std::vector<std::string>& parts) {
  static const char* kNames[] = {OSSL_PKEY_PARAM_RSA_N,        OSSL_PKEY_PARAM_RSA_E,
                                 OSSL_PKEY_PARAM_RSA_D,        OSSL_PKEY_PARAM_RSA_FACTOR1,
                                 OSSL_PKEY_PARAM_RSA_FACTOR2,  OSSL_PKEY_PARAM_RSA_EXPONENT1,
                                 OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
  if (parts.size() != 2 && parts.size() != 8) return nullptr;
  Own<OSSL_PARAM_BLD> bld(OSSL_PARAM_BLD_new());
  std::vector<Own<BIGNUM>> bns;
  for (size_t i = 0; i < parts.size(); ++i) {
    bns.push_back(Bn(parts[i]));
    if (!bns.back() || BN_is_zero(bns.back().get()) || !OSSL_PARAM_BLD_push_BN(bld.get(), kNames[i], bns.back().get()))
      return nullptr;
  }
  Pkey key = FromParams("RSA", parts.size() == 8 ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, bld.get());
  if (key && parts.size() == 8) {
    Own<EVP_PKEY_CTX> ctx = KeyCtx(key.get());
    if (EVP_PKEY_pairwise_check(ctx.get()) != 1) return nullptr;
  }
  return key;
}

std::vector<std::string> RsaComponents(const EVP_PKEY* key) {
  return {GetBn(key, OSSL_PKEY_PARAM_RSA_N),         GetBn(key, OSSL_PKEY_PARAM_RSA_E),
          GetBn(key, OSSL_PKEY_PARAM_RSA_D),         GetBn(key, OSSL_PKEY_PARAM_RSA_FACTOR1),
          GetBn(key, OSSL_PKEY_PARAM_RSA_FACTOR2),   GetBn(key, OSSL_PKEY_PARAM_RSA_EXPONENT1),
          GetBn(key, OSSL_PKEY_PARAM_RSA_EXPONENT2), GetBn(key, OSSL_PKEY_PARAM_RSA_COEFFICIENT1)};
}

size_t RsaBytes(const EVP_PKEY* key) { return static_cast<size_t>(EVP_PKEY_get_size(key)); }

std::string RsaPrivateDer(const EVP_PKEY* key) {
  unsigned char* der = nullptr;
  const int n = i2d_PrivateKey(key, &der);
  if (n <= 0) return {};
  std::string out(reinterpret_cast<char*>(der), static_cast<size_t>(n));
  OPENSSL_free(der);
  return out;
}

Pkey RsaFromPrivateDer(std::string_view der) {
  InitCrypto();
  const unsigned char* p = U(der);
  return Pkey(d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &p, static_cast<long>(der.size())));
}

namespace {
bool SetRsaPadding(EVP_PKEY_CTX* ctx, int padding, uint32_t hash, std::string_view label, int saltLen, bool sign) {
  switch (padding) {
    case 0: return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) == 1;
    case 1: return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1;
    case 2: {
      const EVP_MD* md = MdFor(hash);
      if (sign || !md || EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) != 1 ||
          EVP_PKEY_CTX_set_rsa_oaep_md(ctx, md) != 1)
        return false;
      if (!label.empty()) {
        void* copy = OPENSSL_memdup(label.data(), label.size());
        if (EVP_PKEY_CTX_set0_rsa_oaep_label(ctx, copy, static_cast<int>(label.size())) != 1) {
          OPENSSL_free(copy);
          return false;
        }
      }
      return true;
    }
    case 4: {
      const EVP_MD* md = MdFor(hash);
      return sign && md && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PSS_PADDING) == 1 &&
             EVP_PKEY_CTX_set_signature_md(ctx, md) == 1 && EVP_PKEY_CTX_set_rsa_pss_saltlen(ctx, saltLen) == 1;
    }
    default: return false;
  }
}

std::optional<std::string> Run(EVP_PKEY* key, bool encrypt, int padding, uint32_t hash, std::string_view label,
                               std::string_view data) {
  Own<EVP_PKEY_CTX> ctx = KeyCtx(key);
  if (!ctx || (encrypt ? EVP_PKEY_encrypt_init(ctx.get()) : EVP_PKEY_decrypt_init(ctx.get())) != 1 ||
      !SetRsaPadding(ctx.get(), padding, hash, label, 0, false))
    return std::nullopt;
  size_t n = 0;
  auto op = encrypt ? EVP_PKEY_encrypt : EVP_PKEY_decrypt;
  if (op(ctx.get(), nullptr, &n, U(data), data.size()) != 1) return std::nullopt;
  std::string out(n, '\0');
  if (op(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n, U(data), data.size()) != 1) return std::nullopt;
  out.resize(n);
  return out;
}
}  // namespace

std::optional<std::string> RsaEncrypt(EVP_PKEY* key, int padding, uint32_t oaepHash, std::string_view label,
                                      std::string_view data) {
  if (padding == 0 && data.size() != RsaBytes(key)) return std::nullopt;
  return Run(key, true, padding, oaepHash, label, data);
}

std::optional<std::string> RsaDecrypt(EVP_PKEY* key, int padding, uint32_t oaepHash, std::string_view label,
                                      std::string_view data) {
  if (data.size() != RsaBytes(key)) return std::nullopt;
  return Run(key, false, padding, oaepHash, label, data);
}

std::optional<std::string> RsaSign(EVP_PKEY* key, int padding, uint32_t pssHash, int saltLen, std::string_view data) {
  if (padding == 0) {
    // The raw private-key operation: the input must be below the modulus, as a block of its length.
    if (data.size() != RsaBytes(key)) return std::nullopt;
    return Run(key, false, 0, 0, {}, data);
  }
  Own<EVP_PKEY_CTX> ctx = KeyCtx(key);
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 || !SetRsaPadding(ctx.get(), padding, pssHash, {}, saltLen, true))
    return std::nullopt;
  size_t n = 0;
  if (EVP_PKEY_sign(ctx.get(), nullptr, &n, U(data), data.size()) != 1) return std::nullopt;
  std::string out(n, '\0');
  if (EVP_PKEY_sign(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n, U(data), data.size()) != 1)
    return std::nullopt;
  out.resize(n);
  return out;
}

bool RsaVerify(EVP_PKEY* key, int padding, uint32_t pssHash, int saltLen, std::string_view data, std::string_view sig) {
  if (padding == 0) {
    auto back = RsaEncrypt(key, 0, 0, {}, sig);
    return back && data.size() <= back->size() &&
           back->substr(back->size() - data.size()) == data &&
           back->find_first_not_of('\0') >= back->size() - data.size();
  }
  Own<EVP_PKEY_CTX> ctx = KeyCtx(key);
  return ctx && EVP_PKEY_verify_init(ctx.get()) == 1 && SetRsaPadding(ctx.get(), padding, pssHash, {}, saltLen, true) &&
         EVP_PKEY_verify(ctx.get(), U(sig), sig.size(), U(data), data.size()) == 1;
}

// ---- SM2 ----

Pkey Sm2Generate() {
  InitCrypto();
  return Pkey(EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2"));
}

Pkey Sm2FromPrivate(std::string_view d) {
  InitCrypto();
  Own<EC_GROUP> group(EC_GROUP_new_by_curve_name(NID_sm2));
  Own<BIGNUM> priv = Bn(d);
  Own<BN_CTX> bctx(BN_CTX_new());
  if (!group || !priv || BN_is_zero(priv.get()) || BN_cmp(priv.get(), EC_GROUP_get0_order(group.get())) >= 0)
    return nullptr;
  Own<EC_POINT> pub(EC_POINT_new(group.get()));
  if (!pub || EC_POINT_mul(group.get(), pub.get(), priv.get(), nullptr, nullptr, bctx.get()) != 1) return nullptr;
  unsigned char buf[65];
  if (EC_POINT_point2oct(group.get(), pub.get(), POINT_CONVERSION_UNCOMPRESSED, buf, sizeof buf, bctx.get()) != 65)
    return nullptr;
  Own<OSSL_PARAM_BLD> bld(OSSL_PARAM_BLD_new());
  if (!OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0) ||
      !OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, buf, sizeof buf) ||
      !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_PRIV_KEY, priv.get()))
    return nullptr;
  return FromParams("SM2", EVP_PKEY_KEYPAIR, bld.get());
}

Pkey Sm2FromPublic(std::string_view x, std::string_view y) {
  InitCrypto();
  auto fx = Fixed32(x), fy = Fixed32(y);
  if (!fx || !fy) return nullptr;
  const std::string point = "\x04" + *fx + *fy;
  Own<OSSL_PARAM_BLD> bld(OSSL_PARAM_BLD_new());
  if (!OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0) ||
      !OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()))
    return nullptr;
  Pkey key = FromParams("SM2", EVP_PKEY_PUBLIC_KEY, bld.get());
  if (key) {
    Own<EVP_PKEY_CTX> ctx = KeyCtx(key.get());
    if (EVP_PKEY_public_check(ctx.get()) != 1) return nullptr;  // a point off the curve
  }
  return key;
}

bool Sm2Public(const EVP_PKEY* key, std::string* x, std::string* y) {
  *x = GetBn(key, OSSL_PKEY_PARAM_EC_PUB_X, 32);
  *y = GetBn(key, OSSL_PKEY_PARAM_EC_PUB_Y, 32);
  return x->size() == 32 && y->size() == 32;
}

std::string Sm2PrivateScalar(const EVP_PKEY* key) { return GetBn(key, OSSL_PKEY_PARAM_PRIV_KEY, 32); }

std::optional<std::string> Sm2SignHash(EVP_PKEY* key, std::string_view hash) {
  Own<EVP_PKEY_CTX> ctx = KeyCtx(key);
  unsigned char der[128];
  size_t n = sizeof der;
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 || EVP_PKEY_sign(ctx.get(), der, &n, U(hash), hash.size()) != 1)
    return std::nullopt;
  const unsigned char* p = der;
  Own<ECDSA_SIG> sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(n)));
  if (!sig) return std::nullopt;
  return BnBytes(ECDSA_SIG_get0_r(sig.get()), 32) + BnBytes(ECDSA_SIG_get0_s(sig.get()), 32);
}

bool Sm2VerifyHash(EVP_PKEY* key, std::string_view hash, std::string_view rs) {
  if (rs.size() != 64) return false;
  Own<ECDSA_SIG> sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(U(rs), 32, nullptr);
  BIGNUM* s = BN_bin2bn(U(rs) + 32, 32, nullptr);
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return false;
  }
  unsigned char* der = nullptr;
  const int n = i2d_ECDSA_SIG(sig.get(), &der);
  if (n <= 0) return false;
  Own<EVP_PKEY_CTX> ctx = KeyCtx(key);
  const bool ok = ctx && EVP_PKEY_verify_init(ctx.get()) == 1 &&
                  EVP_PKEY_verify(ctx.get(), der, static_cast<size_t>(n), U(hash), hash.size()) == 1;
  OPENSSL_free(der);
  return ok;
}

std::optional<std::string> Sm2Encrypt(EVP_PKEY* key, std::string_view data) {
  if (data.empty()) return std::nullopt;
  Own<EVP_PKEY_CTX> ctx = KeyCtx(key);
  size_t n = 0;
  if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) != 1 || EVP_PKEY_encrypt(ctx.get(), nullptr, &n, U(data), data.size()) != 1)
    return std::nullopt;
  std::string der(n, '\0');
  if (EVP_PKEY_encrypt(ctx.get(), reinterpret_cast<unsigned char*>(der.data()), &n, U(data), data.size()) != 1)
    return std::nullopt;
  der.resize(n);
  std::string_view in(der), seq, x, y, m, c;
  if (!DerRead(in, 0x30, &seq) || !DerRead(seq, 0x02, &x) || !DerRead(seq, 0x02, &y) || !DerRead(seq, 0x04, &m) ||
      !DerRead(seq, 0x04, &c))
    return std::nullopt;
  auto fx = Fixed32(x), fy = Fixed32(y);
  if (!fx || !fy || m.size() != 32) return std::nullopt;
  return *fx + *fy + std::string(m) + std::string(c);
}

std::optional<std::string> Sm2Decrypt(EVP_PKEY* key, std::string_view cipher) {
  if (cipher.size() <= 96) return std::nullopt;
  std::string body;
  DerItem(body, 0x02, DerInt(cipher.substr(0, 32)));
  DerItem(body, 0x02, DerInt(cipher.substr(32, 32)));
  DerItem(body, 0x04, cipher.substr(64, 32));
  DerItem(body, 0x04, cipher.substr(96));
  std::string der;
  DerItem(der, 0x30, body);
  Own<EVP_PKEY_CTX> ctx = KeyCtx(key);
  size_t n = 0;
  if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1 || EVP_PKEY_decrypt(ctx.get(), nullptr, &n, U(der), der.size()) != 1)
    return std::nullopt;
  std::string out(n, '\0');
  if (EVP_PKEY_decrypt(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n, U(der), der.size()) != 1)
    return std::nullopt;
  out.resize(n);
  return out;
}

// ---- LMK ciphers of private keys, PEM ----

namespace {
// A private key under the LMK carries the first 16 bytes of its SHA-256, so a
// damaged cipher is refused instead of giving a different key.
std::string WithCheck(std::string_view material) {
  return std::string(material) + HashOnce(HashAlg::Sha256, material).substr(0, 16);
}
std::optional<std::string> WithoutCheck(std::string_view plain) {
  if (plain.size() < 16) return std::nullopt;
  const std::string_view material = plain.substr(0, plain.size() - 16);
  if (CRYPTO_memcmp(HashOnce(HashAlg::Sha256, material).data(), plain.data() + material.size(), 16) != 0)
    return std::nullopt;
  return std::string(material);
}
}  // namespace

std::string LmkWrapPrivate(const Lmk& lmk, bool rsa, std::string_view material) {
  if (!rsa) {
    // 32-byte scalar and 16-byte check: three SM4 blocks in ECB, 48 bytes.
    SymAlg sm4{};
    FindSymAlg(7, &sm4);
    std::string out;
    if (material.size() != 32 || !EcbCrypt(sm4, false, lmk.sm4, WithCheck(material), &out)) return {};
    return out;
  }
  auto ct = CbcPad(false, lmk.sm4, WithCheck(material));
  return ct ? "R" + *ct : std::string();
}

std::optional<std::string> LmkUnwrapPrivate(const Lmk& lmk, bool rsa, std::string_view cipher) {
  if (!rsa) {
    SymAlg sm4{};
    FindSymAlg(7, &sm4);
    std::string plain;
    if (cipher.size() != 48 || !EcbCrypt(sm4, true, lmk.sm4, cipher, &plain)) return std::nullopt;
    return WithoutCheck(plain);
  }
  if (cipher.size() < 33 || cipher[0] != 'R' || (cipher.size() - 1) % 16 != 0) return std::nullopt;
  auto plain = CbcPad(true, lmk.sm4, cipher.substr(1));
  if (!plain) return std::nullopt;
  return WithoutCheck(*plain);
}

bool IsSm2(const EVP_PKEY* key) {
  if (EVP_PKEY_is_a(key, "SM2")) return true;
  char name[32] = {0};
  size_t len = 0;
  return EVP_PKEY_is_a(key, "EC") &&
         EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, name, sizeof name, &len) == 1 &&
         std::strcmp(name, "SM2") == 0;
}

bool IsRsa(const EVP_PKEY* key) { return EVP_PKEY_is_a(key, "RSA"); }

std::string PemPrivate(const EVP_PKEY* key) {
  Own<BIO> bio(BIO_new(BIO_s_mem()));
  if (!PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr)) return {};
  char* p = nullptr;
  const long n = BIO_get_mem_data(bio.get(), &p);
  return std::string(p, static_cast<size_t>(n));
}

std::string PemPublic(const EVP_PKEY* key) {
  Own<BIO> bio(BIO_new(BIO_s_mem()));
  if (!PEM_write_bio_PUBKEY(bio.get(), key)) return {};
  char* p = nullptr;
  const long n = BIO_get_mem_data(bio.get(), &p);
  return std::string(p, static_cast<size_t>(n));
}

Pkey FromPem(std::string_view pem) {
  InitCrypto();
  Own<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  Pkey key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  // An EC key on the SM2 curve is rebuilt as an SM2 key, which OpenSSL's SM2 operations need.
  if (key && !EVP_PKEY_is_a(key.get(), "SM2") && IsSm2(key.get())) return Sm2FromPrivate(Sm2PrivateScalar(key.get()));
  return key;
}

}  // namespace QuorSim
