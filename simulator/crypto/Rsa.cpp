// RSA keys and operations on OpenSSL's EVP interface.
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <array>

#include "simulator/crypto/Ossl.h"

namespace QuorSim::Asym {
namespace {

using namespace Ossl;

// Leaves no stale entries in the thread's OpenSSL error queue.
struct ErrScope {
  ~ErrScope() { ERR_clear_error(); }
};

constexpr size_t kMaxComponent = kRsaMaxBits / 8;
constexpr size_t kMaxPem = 64 * 1024;

Bn GetBn(EVP_PKEY* pkey, const char* name) {
  BIGNUM* v = nullptr;
  if (EVP_PKEY_get_bn_param(pkey, name, &v) != 1) return nullptr;
  return Bn(v);
}

bool ModulusBitsOk(const BIGNUM* n) {
  const int bits = BN_num_bits(n);
  return bits >= static_cast<int>(kRsaMinBits) && bits <= static_cast<int>(kRsaMaxBits);
}

Rc CheckExponent(const BIGNUM* e, const BIGNUM* n) {
  if (!BN_is_odd(e) || BN_cmp(e, BN_value_one()) <= 0 || BN_cmp(e, n) >= 0) return Rc::ExponentInvalid;
  return Rc::Ok;
}

// The private components must describe one key: a device must not compute
// with a garbage key that only happens to load.
Rc CheckPrivate(const BIGNUM* n, const BIGNUM* e, const BIGNUM* d, const BIGNUM* p, const BIGNUM* q,
                const BIGNUM* dp, const BIGNUM* dq, const BIGNUM* qinv) {
  BnCtx ctx(BN_CTX_new());
  Bn t = NewBn(), pm1 = NewBn(), qm1 = NewBn();
  if (!ctx || !t || !pm1 || !qm1) return Rc::CryptoFailed;
  if (BN_cmp(p, BN_value_one()) <= 0 || BN_cmp(q, BN_value_one()) <= 0 || BN_is_zero(d) || BN_cmp(d, n) >= 0)
    return Rc::KeyDataInvalid;
  if (!BN_mul(t.get(), p, q, ctx.get()) || BN_cmp(t.get(), n) != 0) return Rc::KeyDataInvalid;
  if (!BN_sub(pm1.get(), p, BN_value_one()) || !BN_sub(qm1.get(), q, BN_value_one())) return Rc::CryptoFailed;
  const std::array<std::pair<const BIGNUM*, const BIGNUM*>, 2> crt{{{dp, pm1.get()}, {dq, qm1.get()}}};
  for (const auto& [exp, mod] : crt) {
    if (!BN_mod(t.get(), d, mod, ctx.get()) || BN_cmp(t.get(), exp) != 0) return Rc::KeyDataInvalid;
    if (!BN_mod_mul(t.get(), e, d, mod, ctx.get()) || !BN_is_one(t.get())) return Rc::KeyDataInvalid;
  }
  if (!BN_mod_mul(t.get(), qinv, q, p, ctx.get()) || !BN_is_one(t.get()) || BN_cmp(qinv, p) >= 0)
    return Rc::KeyDataInvalid;
  return Rc::Ok;
}

PkeyPtr FromData(const OSSL_PARAM_BLD* bld, int selection) {
  Params params(OSSL_PARAM_BLD_to_param(const_cast<OSSL_PARAM_BLD*>(bld)));
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* pkey = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &pkey, selection, params.get()) != 1)
    return nullptr;
  return Own(pkey);
}

// A number of a request: at most kMaxComponent bytes.
Rc ParseNumber(std::string_view b, Bn* out) {
  if (b.empty() || b.size() > kMaxComponent) return Rc::InvalidInput;
  *out = FromBytes(b);
  return *out ? Rc::Ok : Rc::CryptoFailed;
}

// An input block of exactly the modulus length whose value is below n.
Rc CheckBlock(const RsaKey& key, std::string_view in) {
  if (in.size() != key.modulusBytes()) return Rc::InvalidInput;
  Bn v = FromBytes(in);
  Bn n = GetBn(key.pkey(), OSSL_PKEY_PARAM_RSA_N);
  if (!v || !n) return Rc::CryptoFailed;
  return BN_cmp(v.get(), n.get()) < 0 ? Rc::Ok : Rc::InvalidInput;
}

enum class Op { Encrypt, Decrypt, Sign, Verify };

PkeyCtx NewCtx(const RsaKey& key, Op op) {
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.pkey(), nullptr));
  if (!ctx) return nullptr;
  int rc = 0;
  switch (op) {
    case Op::Encrypt: rc = EVP_PKEY_encrypt_init(ctx.get()); break;
    case Op::Decrypt: rc = EVP_PKEY_decrypt_init(ctx.get()); break;
    case Op::Sign: rc = EVP_PKEY_sign_init(ctx.get()); break;
    case Op::Verify: rc = EVP_PKEY_verify_init(ctx.get()); break;
  }
  return rc == 1 ? std::move(ctx) : nullptr;
}

bool SetOaep(EVP_PKEY_CTX* ctx, const EVP_MD* md, std::string_view label) {
  if (EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) != 1 || EVP_PKEY_CTX_set_rsa_oaep_md(ctx, md) != 1 ||
      EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, md) != 1)
    return false;
  if (label.empty()) return true;
  void* copy = OPENSSL_memdup(label.data(), label.size());
  if (!copy) return false;
  if (EVP_PKEY_CTX_set0_rsa_oaep_label(ctx, copy, static_cast<int>(label.size())) != 1) {
    OPENSSL_free(copy);
    return false;
  }
  return true;
}

std::string Hash(const EVP_MD* md, std::string_view data) {
  std::string out(static_cast<size_t>(EVP_MD_get_size(md)), '\0');
  if (EVP_Digest(data.data(), data.size(), U(out), nullptr, md, nullptr) != 1) return {};
  return out;
}

std::string Mgf1(const EVP_MD* md, std::string_view seed, size_t len) {
  std::string out, block(seed);
  block.append(4, '\0');
  for (uint32_t ct = 0; out.size() < len; ++ct) {
    for (int i = 0; i < 4; ++i) block[seed.size() + i] = static_cast<char>(ct >> (24 - 8 * i));
    const std::string h = Hash(md, block);
    if (h.empty()) return {};
    out += h;
  }
  out.resize(len);
  return out;
}

// EMSA-PSS of RFC 8017, written here because OpenSSL's RSA signature
// provider refuses SM3; the same code serves every hash.
struct Pss {
  const EVP_MD* md;
  size_t hLen, emBits, emLen;

  Pss(const RsaKey& key, const EVP_MD* m)
      : md(m),
        hLen(static_cast<size_t>(EVP_MD_get_size(m))),
        emBits(static_cast<size_t>(EVP_PKEY_get_bits(key.pkey())) - 1),
        emLen((emBits + 7) / 8) {}

  size_t MaxSalt() const { return emLen < hLen + 2 ? 0 : emLen - hLen - 2; }
  unsigned char TopMask() const { return static_cast<unsigned char>(0xFF >> (8 * emLen - emBits)); }

  std::string MPrimeHash(std::string_view mHash, std::string_view salt) const {
    std::string m(8, '\0');
    m.append(mHash);
    m.append(salt);
    return Hash(md, m);
  }

  // EM, or empty on failure.
  std::string Encode(std::string_view mHash, size_t sLen) const {
    std::string salt(sLen, '\0');
    if (sLen && RAND_bytes(U(salt), static_cast<int>(sLen)) != 1) return {};
    const std::string h = MPrimeHash(mHash, salt);
    const size_t dbLen = emLen - hLen - 1;
    std::string db(dbLen - sLen - 1, '\0');
    db.push_back('\x01');
    db += salt;
    const std::string mask = Mgf1(md, h, dbLen);
    if (h.empty() || mask.size() != dbLen) return {};
    for (size_t i = 0; i < dbLen; ++i) db[i] = static_cast<char>(db[i] ^ mask[i]);
    db[0] = static_cast<char>(static_cast<unsigned char>(db[0]) & TopMask());
    return db + h + '\xBC';
  }

  bool Verify(std::string_view mHash, std::string_view em, size_t sLen) const {
    if (em.size() != emLen || static_cast<unsigned char>(em.back()) != 0xBC) return false;
    const size_t dbLen = emLen - hLen - 1;
    const std::string_view masked = em.substr(0, dbLen), h = em.substr(dbLen, hLen);
    if (static_cast<unsigned char>(masked[0]) & ~TopMask()) return false;
    std::string db = Mgf1(md, h, dbLen);
    if (db.size() != dbLen) return false;
    for (size_t i = 0; i < dbLen; ++i) db[i] = static_cast<char>(db[i] ^ masked[i]);
    db[0] = static_cast<char>(static_cast<unsigned char>(db[0]) & TopMask());
    const size_t one = dbLen - sLen - 1;
    for (size_t i = 0; i < one; ++i)
      if (db[i] != 0) return false;
    if (db[one] != '\x01') return false;
    const std::string expect = MPrimeHash(mHash, std::string_view(db).substr(one + 1));
    return expect.size() == hLen && CRYPTO_memcmp(expect.data(), h.data(), hLen) == 0;
  }
};

// A device reports a bad padding as such, never a substitute plaintext.
void NoImplicitRejection(EVP_PKEY_CTX* ctx) {
#ifdef OSSL_ASYM_CIPHER_PARAM_IMPLICIT_REJECTION
  unsigned int off = 0;
  OSSL_PARAM p[] = {OSSL_PARAM_construct_uint(OSSL_ASYM_CIPHER_PARAM_IMPLICIT_REJECTION, &off), OSSL_PARAM_END};
  EVP_PKEY_CTX_set_params(ctx, p);
#else
  (void)ctx;
#endif
}

}  // namespace

// ---------------------------------------------------------------- keys

Rc RsaKey::FromPkey(EVP_PKEY* pkey, RsaKey* out) {
  ErrScope es;
  if (!pkey || !out || EVP_PKEY_get_base_id(pkey) != EVP_PKEY_RSA) return Rc::KeyDataInvalid;
  Bn n = GetBn(pkey, OSSL_PKEY_PARAM_RSA_N), e = GetBn(pkey, OSSL_PKEY_PARAM_RSA_E);
  if (!n || !e) return Rc::KeyDataInvalid;
  if (!ModulusBitsOk(n.get())) return Rc::ModulusLength;
  if (!BN_is_odd(n.get())) return Rc::KeyDataInvalid;
  if (Rc rc = CheckExponent(e.get(), n.get()); rc != Rc::Ok) return rc;
  bool priv = false;
  if (Bn d = GetBn(pkey, OSSL_PKEY_PARAM_RSA_D)) {
    Bn p = GetBn(pkey, OSSL_PKEY_PARAM_RSA_FACTOR1), q = GetBn(pkey, OSSL_PKEY_PARAM_RSA_FACTOR2);
    Bn dp = GetBn(pkey, OSSL_PKEY_PARAM_RSA_EXPONENT1), dq = GetBn(pkey, OSSL_PKEY_PARAM_RSA_EXPONENT2);
    Bn qi = GetBn(pkey, OSSL_PKEY_PARAM_RSA_COEFFICIENT1);
    // Keys without CRT values are not accepted: the device always holds all eight.
    if (!p || !q || !dp || !dq || !qi) return Rc::KeyDataInvalid;
    if (Rc rc = CheckPrivate(n.get(), e.get(), d.get(), p.get(), q.get(), dp.get(), dq.get(), qi.get()); rc != Rc::Ok)
      return rc;
    priv = true;
  }
  if (!EVP_PKEY_up_ref(pkey)) return Rc::CryptoFailed;
  out->pkey_ = Own(pkey);
  out->private_ = priv;
  out->bytes_ = static_cast<size_t>(BN_num_bytes(n.get()));
  return Rc::Ok;
}

Rc RsaKey::Generate(unsigned bits, uint32_t exponent, RsaKey* out) {
  ErrScope es;
  if (!out) return Rc::InvalidInput;
  if (bits < kRsaMinBits || bits > kRsaMaxBits || bits % 16 != 0) return Rc::ModulusLength;
  if (exponent < 3 || exponent % 2 == 0) return Rc::ExponentInvalid;
  Bn e = NewBn();
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* pkey = nullptr;
  if (!e || !BN_set_word(e.get(), exponent) || !ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), static_cast<int>(bits)) != 1 ||
      EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), e.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &pkey) != 1)
    return Rc::CryptoFailed;
  PkeyPtr owned = Own(pkey);
  return FromPkey(owned.get(), out);
}

Rc RsaKey::FromPublic(std::string_view nb, std::string_view eb, RsaKey* out) {
  ErrScope es;
  if (!out) return Rc::InvalidInput;
  Bn n, e;
  if (Rc rc = ParseNumber(nb, &n); rc != Rc::Ok) return rc;
  if (Rc rc = ParseNumber(eb, &e); rc != Rc::Ok) return rc;
  if (!ModulusBitsOk(n.get())) return Rc::ModulusLength;
  if (!BN_is_odd(n.get())) return Rc::KeyDataInvalid;
  if (Rc rc = CheckExponent(e.get(), n.get()); rc != Rc::Ok) return rc;
  ParamBld bld(OSSL_PARAM_BLD_new());
  if (!bld || !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) ||
      !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_E, e.get()))
    return Rc::CryptoFailed;
  PkeyPtr pkey = FromData(bld.get(), EVP_PKEY_PUBLIC_KEY);
  if (!pkey) return Rc::KeyDataInvalid;
  return FromPkey(pkey.get(), out);
}

Rc RsaKey::FromComponents(const RsaComponents& c, RsaKey* out) {
  ErrScope es;
  if (!out) return Rc::InvalidInput;
  const std::array<const std::string*, 6> priv{&c.d, &c.p, &c.q, &c.dp, &c.dq, &c.qinv};
  if (std::all_of(priv.begin(), priv.end(), [](const std::string* s) { return s->empty(); }))
    return FromPublic(c.n, c.e, out);
  const std::array<const std::string*, 8> all{&c.n, &c.e, &c.d, &c.p, &c.q, &c.dp, &c.dq, &c.qinv};
  std::array<Bn, 8> v;
  for (size_t i = 0; i < all.size(); ++i)
    if (Rc rc = ParseNumber(*all[i], &v[i]); rc != Rc::Ok) return rc;
  if (!ModulusBitsOk(v[0].get())) return Rc::ModulusLength;
  if (!BN_is_odd(v[0].get())) return Rc::KeyDataInvalid;
  if (Rc rc = CheckExponent(v[1].get(), v[0].get()); rc != Rc::Ok) return rc;
  if (Rc rc = CheckPrivate(v[0].get(), v[1].get(), v[2].get(), v[3].get(), v[4].get(), v[5].get(), v[6].get(),
                           v[7].get());
      rc != Rc::Ok)
    return rc;
  static constexpr std::array<const char*, 8> kNames{
      OSSL_PKEY_PARAM_RSA_N,         OSSL_PKEY_PARAM_RSA_E,         OSSL_PKEY_PARAM_RSA_D,
      OSSL_PKEY_PARAM_RSA_FACTOR1,   OSSL_PKEY_PARAM_RSA_FACTOR2,   OSSL_PKEY_PARAM_RSA_EXPONENT1,
      OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
  ParamBld bld(OSSL_PARAM_BLD_new());
  if (!bld) return Rc::CryptoFailed;
  for (size_t i = 0; i < v.size(); ++i)
    if (!OSSL_PARAM_BLD_push_BN(bld.get(), kNames[i], v[i].get())) return Rc::CryptoFailed;
  PkeyPtr pkey = FromData(bld.get(), EVP_PKEY_KEYPAIR);
  if (!pkey) return Rc::KeyDataInvalid;
  return FromPkey(pkey.get(), out);
}

Rc RsaKey::FromBlob(std::string_view der, RsaKey* out) {
  ErrScope es;
  if (!out) return Rc::InvalidInput;
  if (der.empty() || der.size() > kRsaMaxBlob) return Rc::KeyDataInvalid;
  const unsigned char* p = U(der);
  PkeyPtr pkey = Own(d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &p, static_cast<long>(der.size())));
  if (!pkey || p != U(der) + der.size()) return Rc::KeyDataInvalid;
  Rc rc = FromPkey(pkey.get(), out);
  if (rc == Rc::Ok && !out->isPrivate()) {
    *out = RsaKey();
    return Rc::KeyDataInvalid;
  }
  return rc;
}

namespace {
// Encrypted PEM files are refused instead of prompting on the terminal.
int NoPassword(char*, int, int, void*) { return -1; }
}  // namespace

Rc RsaKey::FromPem(std::string_view pem, RsaKey* out) {
  ErrScope es;
  if (!out) return Rc::InvalidInput;
  if (pem.empty() || pem.size() > kMaxPem) return Rc::KeyDataInvalid;
  Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return Rc::CryptoFailed;
  PkeyPtr pkey = Own(PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassword, nullptr));
  if (!pkey) return Rc::KeyDataInvalid;
  RsaKey k;
  if (Rc rc = FromPkey(pkey.get(), &k); rc != Rc::Ok) return rc;
  if (!k.isPrivate()) return Rc::KeyDataInvalid;
  *out = std::move(k);
  return Rc::Ok;
}

Rc RsaKey::Export(RsaComponents* out) const {
  ErrScope es;
  if (!valid() || !out) return Rc::InvalidInput;
  Bn n = GetBn(pkey(), OSSL_PKEY_PARAM_RSA_N), e = GetBn(pkey(), OSSL_PKEY_PARAM_RSA_E);
  if (!n || !e) return Rc::CryptoFailed;
  RsaComponents c;
  c.n = ToBytes(n.get(), bytes_);
  c.e = ToMinBytes(e.get());
  if (private_) {
    const size_t half = (bytes_ + 1) / 2;
    const std::array<std::pair<const char*, std::string*>, 6> parts{{{OSSL_PKEY_PARAM_RSA_D, &c.d},
                                                                      {OSSL_PKEY_PARAM_RSA_FACTOR1, &c.p},
                                                                      {OSSL_PKEY_PARAM_RSA_FACTOR2, &c.q},
                                                                      {OSSL_PKEY_PARAM_RSA_EXPONENT1, &c.dp},
                                                                      {OSSL_PKEY_PARAM_RSA_EXPONENT2, &c.dq},
                                                                      {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, &c.qinv}}};
    for (const auto& [name, dst] : parts) {
      Bn v = GetBn(pkey(), name);
      if (!v) return Rc::CryptoFailed;
      const size_t width = dst == &c.d ? bytes_ : half;
      *dst = ToBytes(v.get(), std::max(width, static_cast<size_t>(BN_num_bytes(v.get()))));
    }
  }
  *out = std::move(c);
  return Rc::Ok;
}

Rc RsaKey::ToBlob(std::string* der) const {
  ErrScope es;
  if (!private_ || !der) return Rc::InvalidInput;
  unsigned char* buf = nullptr;
  const int len = i2d_PrivateKey(pkey(), &buf);
  if (len <= 0) return Rc::CryptoFailed;
  std::string out(reinterpret_cast<char*>(buf), static_cast<size_t>(len));
  OPENSSL_clear_free(buf, static_cast<size_t>(len));
  if (out.size() > kRsaMaxBlob) return Rc::CryptoFailed;
  *der = std::move(out);
  return Rc::Ok;
}

std::string RsaKey::PublicPem() const {
  ErrScope es;
  if (!valid()) return {};
  Bio bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PUBKEY(bio.get(), pkey()) != 1) return {};
  char* data = nullptr;
  const long len = BIO_get_mem_data(bio.get(), &data);
  return len > 0 ? std::string(data, static_cast<size_t>(len)) : std::string();
}

// ---------------------------------------------------------------- operations

Rc RsaPublicRaw(const RsaKey& key, std::string_view in, std::string* out) {
  ErrScope es;
  if (!key.valid() || !out) return Rc::InvalidInput;
  if (Rc rc = CheckBlock(key, in); rc != Rc::Ok) return rc;
  PkeyCtx ctx = NewCtx(key, Op::Encrypt);
  std::string res(key.modulusBytes(), '\0');
  size_t len = res.size();
  if (!ctx || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1 ||
      EVP_PKEY_encrypt(ctx.get(), U(res), &len, U(in), in.size()) != 1 || len != res.size())
    return Rc::CryptoFailed;
  *out = std::move(res);
  return Rc::Ok;
}

Rc RsaPrivateRaw(const RsaKey& key, std::string_view in, std::string* out) {
  ErrScope es;
  if (!key.isPrivate() || !out) return Rc::InvalidInput;
  if (Rc rc = CheckBlock(key, in); rc != Rc::Ok) return rc;
  PkeyCtx ctx = NewCtx(key, Op::Decrypt);
  std::string res(key.modulusBytes(), '\0');
  size_t len = res.size();
  if (!ctx || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1 ||
      EVP_PKEY_decrypt(ctx.get(), U(res), &len, U(in), in.size()) != 1 || len != res.size())
    return Rc::CryptoFailed;
  *out = std::move(res);
  return Rc::Ok;
}

Rc RsaEncrypt(const RsaKey& key, uint32_t padding, uint32_t oaepHash, std::string_view label, std::string_view data,
              std::string* out) {
  ErrScope es;
  if (!key.valid() || !out || data.empty()) return Rc::InvalidInput;
  const size_t k = key.modulusBytes();
  PkeyCtx ctx;
  switch (padding) {
    case kPadNone: return RsaPublicRaw(key, data, out);
    case kPadPkcs1:
      if (data.size() + 11 > k) return Rc::InvalidInput;
      ctx = NewCtx(key, Op::Encrypt);
      if (!ctx || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) return Rc::CryptoFailed;
      break;
    case kPadOaep: {
      const EVP_MD* md = HashByCode(oaepHash);
      if (!md) return Rc::HashAlgInvalid;
      if (data.size() + 2 * static_cast<size_t>(EVP_MD_get_size(md)) + 2 > k) return Rc::InvalidInput;
      ctx = NewCtx(key, Op::Encrypt);
      if (!ctx || !SetOaep(ctx.get(), md, label)) return Rc::CryptoFailed;
      break;
    }
    default: return Rc::InvalidInput;
  }
  std::string res(k, '\0');
  size_t len = res.size();
  if (EVP_PKEY_encrypt(ctx.get(), U(res), &len, U(data), data.size()) != 1) return Rc::CryptoFailed;
  res.resize(len);
  *out = std::move(res);
  return Rc::Ok;
}

Rc RsaDecrypt(const RsaKey& key, uint32_t padding, uint32_t oaepHash, std::string_view label, std::string_view data,
              std::string* out) {
  ErrScope es;
  if (!key.isPrivate() || !out || data.empty()) return Rc::InvalidInput;
  PkeyCtx ctx;
  switch (padding) {
    case kPadNone: return RsaPrivateRaw(key, data, out);
    case kPadPkcs1:
      ctx = NewCtx(key, Op::Decrypt);
      if (!ctx || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) return Rc::CryptoFailed;
      NoImplicitRejection(ctx.get());
      break;
    case kPadOaep: {
      const EVP_MD* md = HashByCode(oaepHash);
      if (!md) return Rc::HashAlgInvalid;
      ctx = NewCtx(key, Op::Decrypt);
      if (!ctx || !SetOaep(ctx.get(), md, label)) return Rc::CryptoFailed;
      break;
    }
    default: return Rc::InvalidInput;
  }
  if (Rc rc = CheckBlock(key, data); rc != Rc::Ok) return rc;
  std::string res(key.modulusBytes(), '\0');
  size_t len = res.size();
  if (EVP_PKEY_decrypt(ctx.get(), U(res), &len, U(data), data.size()) != 1) {
    OPENSSL_cleanse(res.data(), res.size());
    return Rc::UnpaddingFailed;
  }
  res.resize(len);
  *out = std::move(res);
  return Rc::Ok;
}

Rc RsaSign(const RsaKey& key, uint32_t padding, uint32_t pssHash, uint32_t saltLen, std::string_view data,
           std::string* sig) {
  ErrScope es;
  if (!key.isPrivate() || !sig || data.empty()) return Rc::InvalidInput;
  const size_t k = key.modulusBytes();
  PkeyCtx ctx;
  switch (padding) {
    case kPadNone: return RsaPrivateRaw(key, data, sig);
    case kPadPkcs1:
      if (data.size() + 11 > k) return Rc::InvalidInput;
      ctx = NewCtx(key, Op::Sign);
      if (!ctx || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) return Rc::CryptoFailed;
      break;
    case kPadPss: {
      const EVP_MD* md = HashByCode(pssHash);
      if (!md) return Rc::HashAlgInvalid;
      const Pss pss(key, md);
      if (data.size() != pss.hLen || saltLen > pss.MaxSalt()) return Rc::InvalidInput;
      std::string em = pss.Encode(data, saltLen);
      if (em.empty()) return Rc::CryptoFailed;
      em.insert(0, k - em.size(), '\0');
      return RsaPrivateRaw(key, em, sig);
    }
    default: return Rc::InvalidInput;
  }
  std::string res(k, '\0');
  size_t len = res.size();
  if (EVP_PKEY_sign(ctx.get(), U(res), &len, U(data), data.size()) != 1) return Rc::CryptoFailed;
  res.resize(len);
  *sig = std::move(res);
  return Rc::Ok;
}

Rc RsaVerify(const RsaKey& key, uint32_t padding, uint32_t pssHash, uint32_t saltLen, std::string_view data,
             std::string_view sig) {
  ErrScope es;
  if (!key.valid() || data.empty() || sig.empty()) return Rc::InvalidInput;
  const size_t k = key.modulusBytes();
  PkeyCtx ctx;
  switch (padding) {
    case kPadNone: {
      if (data.size() > k) return Rc::InvalidInput;
      std::string recovered;
      if (CheckBlock(key, sig) != Rc::Ok || RsaPublicRaw(key, sig, &recovered) != Rc::Ok) return Rc::VerifyFailed;
      const std::string expected = std::string(k - data.size(), '\0').append(data);
      return recovered == expected ? Rc::Ok : Rc::VerifyFailed;
    }
    case kPadPkcs1:
      if (data.size() + 11 > k) return Rc::InvalidInput;
      ctx = NewCtx(key, Op::Verify);
      if (!ctx || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) return Rc::CryptoFailed;
      break;
    case kPadPss: {
      const EVP_MD* md = HashByCode(pssHash);
      if (!md) return Rc::HashAlgInvalid;
      const Pss pss(key, md);
      if (data.size() != pss.hLen || saltLen > pss.MaxSalt()) return Rc::InvalidInput;
      std::string m;
      if (CheckBlock(key, sig) != Rc::Ok || RsaPublicRaw(key, sig, &m) != Rc::Ok) return Rc::VerifyFailed;
      // EM has emLen bytes; a longer block must start with zero.
      const size_t extra = m.size() - pss.emLen;
      if (extra > 1 || (extra == 1 && m[0] != 0)) return Rc::VerifyFailed;
      return pss.Verify(data, std::string_view(m).substr(extra), saltLen) ? Rc::Ok : Rc::VerifyFailed;
    }
    default: return Rc::InvalidInput;
  }
  if (sig.size() != k) return Rc::VerifyFailed;
  return EVP_PKEY_verify(ctx.get(), U(sig), sig.size(), U(data), data.size()) == 1 ? Rc::Ok : Rc::VerifyFailed;
}

// ---------------------------------------------------------------- envelope

Rc RsaEnvelopeExchange(const RsaKey& internal, std::string_view n, std::string_view e, std::string_view envelope,
                       std::string* out) {
  if (!internal.isPrivate() || !out) return Rc::InvalidInput;
  RsaKey external;
  if (Rc rc = RsaKey::FromPublic(n, e, &external); rc != Rc::Ok) return rc;
  std::string content;
  if (Rc rc = RsaDecrypt(internal, kPadPkcs1, kHashNone, {}, envelope, &content); rc != Rc::Ok) return rc;
  const Rc rc = RsaEncrypt(external, kPadPkcs1, kHashNone, {}, content, out);
  OPENSSL_cleanse(content.data(), content.size());
  return rc;
}

}  // namespace QuorSim::Asym
