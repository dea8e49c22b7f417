// SM2 on OpenSSL's EC_POINT and BIGNUM primitives: keys, signatures over a
// supplied digest, encryption in the C1 || C3 || C2 layout, and the key
// exchange (OpenSSL offers no interface for the last and signs only with its
// own Z computation).
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/obj_mac.h>
#include <openssl/pem.h>

#include <array>

#include "simulator/crypto/Ossl.h"

namespace QuorSim::Asym {
namespace {

using namespace Ossl;

struct ErrScope {
  ~ErrScope() { ERR_clear_error(); }
};

constexpr size_t kCipherOverhead = 3 * kSm2Bytes;
constexpr int kMaxAttempts = 64;
constexpr size_t kMaxPem = 64 * 1024;

// The curve and its constants, made once; only read afterwards, which
// OpenSSL allows from any number of threads.
struct Curve {
  EC_GROUP* group = nullptr;
  BIGNUM* p = nullptr;
  BIGNUM* a = nullptr;
  BIGNUM* b = nullptr;
  BIGNUM* n = nullptr;
  std::string zPrefix;  // a || b || xG || yG

  Curve() {
    group = EC_GROUP_new_by_curve_name(NID_sm2);
    p = BN_new();
    a = BN_new();
    b = BN_new();
    n = BN_new();
    BnCtx ctx(BN_CTX_new());
    Bn gx = NewBn(), gy = NewBn();
    if (!group || !p || !a || !b || !n || !ctx || !gx || !gy ||
        !EC_GROUP_get_curve(group, p, a, b, ctx.get()) || !BN_copy(n, EC_GROUP_get0_order(group)) ||
        !EC_POINT_get_affine_coordinates(group, EC_GROUP_get0_generator(group), gx.get(), gy.get(), ctx.get()))
      return;
    zPrefix = ToBytes(a, kSm2Bytes) + ToBytes(b, kSm2Bytes) + ToBytes(gx.get(), kSm2Bytes) +
              ToBytes(gy.get(), kSm2Bytes);
  }
  ~Curve() {
    EC_GROUP_free(group);
    BN_free(p);
    BN_free(a);
    BN_free(b);
    BN_free(n);
  }
  bool ok() const { return zPrefix.size() == 4 * kSm2Bytes; }
};

const Curve& C() {
  static const Curve curve;
  return curve;
}

// A number of at most 64 bytes (wider fields carry leading zeros).
Bn ParseWide(std::string_view b) {
  if (b.empty() || b.size() > 2 * kSm2Bytes) return nullptr;
  return FromBytes(b);
}

Point MakePoint(const BIGNUM* x, const BIGNUM* y, BN_CTX* ctx) {
  const Curve& c = C();
  if (BN_is_negative(x) || BN_is_negative(y) || BN_cmp(x, c.p) >= 0 || BN_cmp(y, c.p) >= 0) return nullptr;
  Point pt(EC_POINT_new(c.group));
  // Refuses points that are not on the curve.
  if (!pt || EC_POINT_set_affine_coordinates(c.group, pt.get(), x, y, ctx) != 1) return nullptr;
  return pt;
}

Point PointOf(const Sm2Key& k, BN_CTX* ctx) {
  Bn x = FromBytes(k.x()), y = FromBytes(k.y());
  if (!x || !y) return nullptr;
  return MakePoint(x.get(), y.get(), ctx);
}

// Affine coordinates, 32 bytes each; false at infinity.
bool Coordinates(const EC_POINT* pt, BN_CTX* ctx, std::string* x, std::string* y) {
  const Curve& c = C();
  Bn bx = NewBn(), by = NewBn();
  if (!bx || !by || EC_POINT_is_at_infinity(c.group, pt) ||
      EC_POINT_get_affine_coordinates(c.group, pt, bx.get(), by.get(), ctx) != 1)
    return false;
  *x = ToBytes(bx.get(), kSm2Bytes);
  *y = ToBytes(by.get(), kSm2Bytes);
  return x->size() == kSm2Bytes && y->size() == kSm2Bytes;
}

// A random scalar in [1, n-1].
Bn RandomScalar() {
  Bn k = NewBn();
  if (!k) return nullptr;
  do {
    if (BN_priv_rand_range(k.get(), C().n) != 1) return nullptr;
  } while (BN_is_zero(k.get()));
  return k;
}

bool AllZero(const std::string& s) {
  unsigned char acc = 0;
  for (char ch : s) acc |= static_cast<unsigned char>(ch);
  return acc == 0;
}

// 2^w + (x mod 2^w), w = 127 for a 256-bit order.
Bn Truncated(std::string_view x) {
  Bn v = FromBytes(x);
  const int w = (BN_num_bits(C().n) + 1) / 2 - 1;
  if (!v || !BN_mask_bits(v.get(), w) || !BN_set_bit(v.get(), w)) return nullptr;
  return v;
}

}  // namespace

// ---------------------------------------------------------------- keys

Sm2Key::~Sm2Key() { OPENSSL_cleanse(d_.data(), d_.size()); }

Rc Sm2Key::Generate(Sm2Key* out) {
  ErrScope es;
  if (!out || !C().ok()) return Rc::CryptoFailed;
  Bn d = NewBn(), nm1 = NewBn();
  // d in [1, n-2]: the signature needs 1 + d invertible.
  if (!d || !nm1 || !BN_sub(nm1.get(), C().n, BN_value_one())) return Rc::CryptoFailed;
  do {
    if (BN_priv_rand_range(d.get(), nm1.get()) != 1) return Rc::CryptoFailed;
  } while (BN_is_zero(d.get()));
  std::string bytes = ToBytes(d.get(), kSm2Bytes);
  const Rc rc = FromPrivate(bytes, out);
  OPENSSL_cleanse(bytes.data(), bytes.size());
  return rc;
}

Rc Sm2Key::FromPrivate(std::string_view db, Sm2Key* out) {
  ErrScope es;
  if (!out || !C().ok()) return Rc::CryptoFailed;
  if (db.empty() || db.size() > 2 * kSm2Bytes) return Rc::InvalidInput;
  const Curve& c = C();
  Bn d = FromBytes(db), nm1 = NewBn();
  BnCtx ctx(BN_CTX_new());
  if (!d || !nm1 || !ctx || !BN_sub(nm1.get(), c.n, BN_value_one())) return Rc::CryptoFailed;
  if (BN_is_zero(d.get()) || BN_cmp(d.get(), nm1.get()) >= 0) return Rc::KeyDataInvalid;
  Point pub(EC_POINT_new(c.group));
  Sm2Key k;
  if (!pub || EC_POINT_mul(c.group, pub.get(), d.get(), nullptr, nullptr, ctx.get()) != 1 ||
      !Coordinates(pub.get(), ctx.get(), &k.x_, &k.y_))
    return Rc::CryptoFailed;
  k.d_ = ToBytes(d.get(), kSm2Bytes);
  *out = std::move(k);
  return Rc::Ok;
}

Rc Sm2Key::FromPair(std::string_view d, std::string_view x, std::string_view y, Sm2Key* out) {
  Sm2Key priv, pub;
  if (Rc rc = FromPrivate(d, &priv); rc != Rc::Ok) return rc;
  if (Rc rc = FromPublic(x, y, &pub); rc != Rc::Ok) return rc;
  if (priv.x_ != pub.x_ || priv.y_ != pub.y_) return Rc::KeyDataInvalid;
  if (!out) return Rc::InvalidInput;
  *out = std::move(priv);
  return Rc::Ok;
}

Rc Sm2Key::FromPublic(std::string_view xb, std::string_view yb, Sm2Key* out) {
  ErrScope es;
  if (!out || !C().ok()) return Rc::CryptoFailed;
  Bn x = ParseWide(xb), y = ParseWide(yb);
  if (!x || !y) return Rc::InvalidInput;
  BnCtx ctx(BN_CTX_new());
  if (!ctx) return Rc::CryptoFailed;
  if (!MakePoint(x.get(), y.get(), ctx.get())) return Rc::KeyDataInvalid;
  Sm2Key k;
  k.x_ = ToBytes(x.get(), kSm2Bytes);
  k.y_ = ToBytes(y.get(), kSm2Bytes);
  *out = std::move(k);
  return Rc::Ok;
}

namespace {
int NoPassword(char*, int, int, void*) { return -1; }
}  // namespace

Rc Sm2Key::FromPem(std::string_view pem, Sm2Key* out) {
  ErrScope es;
  if (!out) return Rc::InvalidInput;
  if (pem.empty() || pem.size() > kMaxPem) return Rc::KeyDataInvalid;
  Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return Rc::CryptoFailed;
  PkeyPtr pkey = Own(PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassword, nullptr));
  if (!pkey) return Rc::KeyDataInvalid;
  if (!EVP_PKEY_is_a(pkey.get(), "SM2") && !EVP_PKEY_is_a(pkey.get(), "EC")) return Rc::KeyDataInvalid;
  char curve[64] = {};
  size_t curveLen = 0;
  if (EVP_PKEY_get_utf8_string_param(pkey.get(), OSSL_PKEY_PARAM_GROUP_NAME, curve, sizeof curve, &curveLen) != 1 ||
      std::string_view(curve, curveLen) != "SM2")
    return Rc::CurveFlag;
  BIGNUM* raw = nullptr;
  if (EVP_PKEY_get_bn_param(pkey.get(), OSSL_PKEY_PARAM_PRIV_KEY, &raw) != 1) return Rc::KeyDataInvalid;
  Bn d(raw);
  std::string bytes = ToBytes(d.get(), kSm2Bytes);
  const Rc rc = bytes.empty() ? Rc::KeyDataInvalid : FromPrivate(bytes, out);
  OPENSSL_cleanse(bytes.data(), bytes.size());
  return rc;
}

PkeyPtr Sm2Key::ToPkey() const {
  ErrScope es;
  if (!valid()) return nullptr;
  const std::string pub = std::string(1, '\x04') + x_ + y_;
  ParamBld bld(OSSL_PARAM_BLD_new());
  Bn d = isPrivate() ? FromBytes(d_) : nullptr;
  if (!bld || !OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, "SM2", 0) ||
      !OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, pub.data(), pub.size()) ||
      (isPrivate() && (!d || !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_PRIV_KEY, d.get()))))
    return nullptr;
  Params params(OSSL_PARAM_BLD_to_param(bld.get()));
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "SM2", nullptr));
  EVP_PKEY* pkey = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &pkey, isPrivate() ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
    return nullptr;
  return Own(pkey);
}

std::string Sm2Key::PublicPem() const {
  ErrScope es;
  PkeyPtr pkey = ToPkey();
  Bio bio(BIO_new(BIO_s_mem()));
  if (!pkey || !bio || PEM_write_bio_PUBKEY(bio.get(), pkey.get()) != 1) return {};
  char* data = nullptr;
  const long len = BIO_get_mem_data(bio.get(), &data);
  return len > 0 ? std::string(data, static_cast<size_t>(len)) : std::string();
}

// ---------------------------------------------------------------- KDF and Z

std::string Sm2Kdf(std::string_view z, size_t len) {
  std::string out;
  out.reserve(len + 32);
  std::string block(z);
  block.append(4, '\0');
  for (uint32_t ct = 1; out.size() < len; ++ct) {
    for (int i = 0; i < 4; ++i) block[z.size() + i] = static_cast<char>(ct >> (24 - 8 * i));
    out += Sm3(block);
  }
  OPENSSL_cleanse(block.data(), block.size());
  out.resize(len);
  return out;
}

Rc Sm2Z(const Sm2Key& pub, std::string_view id, std::string* z) {
  if (!pub.valid() || !z || !C().ok()) return Rc::InvalidInput;
  if (id.empty()) id = kSm2DefaultId;
  if (id.size() > kSm2MaxId) return Rc::InvalidInput;
  const size_t entl = id.size() * 8;
  std::string in;
  in.push_back(static_cast<char>(entl >> 8));
  in.push_back(static_cast<char>(entl));
  in.append(id);
  in += C().zPrefix;
  in += pub.x();
  in += pub.y();
  *z = Sm3(in);
  return z->size() == 32 ? Rc::Ok : Rc::CryptoFailed;
}

// ---------------------------------------------------------------- signatures

Rc Sm2Sign(const Sm2Key& key, std::string_view digest, std::string* sig) {
  ErrScope es;
  if (!key.isPrivate() || !sig || digest.size() != kSm2Bytes) return Rc::InvalidInput;
  const Curve& c = C();
  BnCtx ctx(BN_CTX_new());
  Bn e = FromBytes(digest), d = FromBytes(key.d());
  Bn r = NewBn(), s = NewBn(), t = NewBn(), x1 = NewBn(), inv = NewBn();
  Point kg(EC_POINT_new(c.group));
  if (!ctx || !e || !d || !r || !s || !t || !x1 || !inv || !kg) return Rc::CryptoFailed;
  BN_set_flags(d.get(), BN_FLG_CONSTTIME);
  // (1 + d)^-1 mod n
  if (!BN_add(t.get(), d.get(), BN_value_one()) || !BN_mod_inverse(inv.get(), t.get(), c.n, ctx.get()))
    return Rc::CryptoFailed;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    Bn k = RandomScalar();
    if (!k) return Rc::CryptoFailed;
    BN_set_flags(k.get(), BN_FLG_CONSTTIME);
    if (EC_POINT_mul(c.group, kg.get(), k.get(), nullptr, nullptr, ctx.get()) != 1 ||
        EC_POINT_get_affine_coordinates(c.group, kg.get(), x1.get(), nullptr, ctx.get()) != 1 ||
        !BN_mod_add(r.get(), e.get(), x1.get(), c.n, ctx.get()))
      return Rc::CryptoFailed;
    if (!BN_add(t.get(), r.get(), k.get())) return Rc::CryptoFailed;
    if (BN_is_zero(r.get()) || BN_cmp(t.get(), c.n) == 0) continue;
    // s = (1 + d)^-1 (k - r d) mod n
    if (!BN_mod_mul(t.get(), r.get(), d.get(), c.n, ctx.get()) || !BN_mod_sub(t.get(), k.get(), t.get(), c.n, ctx.get()) ||
        !BN_mod_mul(s.get(), inv.get(), t.get(), c.n, ctx.get()))
      return Rc::CryptoFailed;
    if (BN_is_zero(s.get())) continue;
    *sig = ToBytes(r.get(), kSm2Bytes) + ToBytes(s.get(), kSm2Bytes);
    return Rc::Ok;
  }
  return Rc::CryptoFailed;
}

Rc Sm2Verify(const Sm2Key& key, std::string_view digest, std::string_view sig) {
  ErrScope es;
  if (!key.valid() || digest.size() != kSm2Bytes) return Rc::InvalidInput;
  // r and s as halves; wider halves are accepted when the value fits.
  if (sig.empty() || sig.size() % 2 != 0 || sig.size() > 4 * kSm2Bytes) return Rc::InvalidInput;
  const Curve& c = C();
  BnCtx ctx(BN_CTX_new());
  Bn r = FromBytes(sig.substr(0, sig.size() / 2)), s = FromBytes(sig.substr(sig.size() / 2));
  Bn e = FromBytes(digest), t = NewBn(), x1 = NewBn(), v = NewBn();
  if (!ctx || !r || !s || !e || !t || !x1 || !v) return Rc::CryptoFailed;
  if (BN_is_zero(r.get()) || BN_cmp(r.get(), c.n) >= 0 || BN_is_zero(s.get()) || BN_cmp(s.get(), c.n) >= 0)
    return Rc::VerifyFailed;
  if (!BN_mod_add(t.get(), r.get(), s.get(), c.n, ctx.get())) return Rc::CryptoFailed;
  if (BN_is_zero(t.get())) return Rc::VerifyFailed;
  Point pub = PointOf(key, ctx.get());
  Point pt(EC_POINT_new(c.group));
  if (!pub || !pt) return Rc::CryptoFailed;
  if (EC_POINT_mul(c.group, pt.get(), s.get(), pub.get(), t.get(), ctx.get()) != 1) return Rc::CryptoFailed;
  if (EC_POINT_is_at_infinity(c.group, pt.get())) return Rc::VerifyFailed;
  if (EC_POINT_get_affine_coordinates(c.group, pt.get(), x1.get(), nullptr, ctx.get()) != 1 ||
      !BN_mod_add(v.get(), e.get(), x1.get(), c.n, ctx.get()))
    return Rc::CryptoFailed;
  return BN_cmp(v.get(), r.get()) == 0 ? Rc::Ok : Rc::VerifyFailed;
}

// ---------------------------------------------------------------- encryption

Rc Sm2Encrypt(const Sm2Key& key, std::string_view plain, std::string* cipher) {
  ErrScope es;
  if (!key.valid() || !cipher || plain.empty() || plain.size() > kSm2MaxPlain) return Rc::InvalidInput;
  const Curve& c = C();
  BnCtx ctx(BN_CTX_new());
  Point pub = ctx ? PointOf(key, ctx.get()) : nullptr;
  Point c1(EC_POINT_new(c.group)), shared(EC_POINT_new(c.group));
  if (!ctx || !pub || !c1 || !shared) return Rc::CryptoFailed;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    Bn k = RandomScalar();
    if (!k) return Rc::CryptoFailed;
    BN_set_flags(k.get(), BN_FLG_CONSTTIME);
    std::string x1, y1, x2, y2;
    if (EC_POINT_mul(c.group, c1.get(), k.get(), nullptr, nullptr, ctx.get()) != 1 ||
        EC_POINT_mul(c.group, shared.get(), nullptr, pub.get(), k.get(), ctx.get()) != 1 ||
        !Coordinates(c1.get(), ctx.get(), &x1, &y1) || !Coordinates(shared.get(), ctx.get(), &x2, &y2))
      return Rc::CryptoFailed;
    std::string t = Sm2Kdf(x2 + y2, plain.size());
    if (AllZero(t)) continue;
    for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char>(t[i] ^ plain[i]);
    std::string hashIn = x2;
    hashIn.append(plain);
    hashIn += y2;
    const std::string c3 = Sm3(hashIn);
    OPENSSL_cleanse(hashIn.data(), hashIn.size());
    if (c3.size() != kSm2Bytes) return Rc::CryptoFailed;
    *cipher = x1 + y1 + c3 + t;
    return Rc::Ok;
  }
  return Rc::CryptoFailed;
}

Rc Sm2Decrypt(const Sm2Key& key, std::string_view cipher, std::string* plain) {
  ErrScope es;
  if (!key.isPrivate() || !plain) return Rc::InvalidInput;
  if (cipher.size() <= kCipherOverhead || cipher.size() > kCipherOverhead + kSm2MaxPlain) return Rc::InvalidInput;
  const Curve& c = C();
  BnCtx ctx(BN_CTX_new());
  Bn x = FromBytes(cipher.substr(0, kSm2Bytes)), y = FromBytes(cipher.substr(kSm2Bytes, kSm2Bytes));
  Bn d = FromBytes(key.d());
  if (!ctx || !x || !y || !d) return Rc::CryptoFailed;
  BN_set_flags(d.get(), BN_FLG_CONSTTIME);
  Point c1 = MakePoint(x.get(), y.get(), ctx.get());
  if (!c1) return Rc::InvalidInput;
  Point shared(EC_POINT_new(c.group));
  std::string x2, y2;
  if (!shared || EC_POINT_mul(c.group, shared.get(), nullptr, c1.get(), d.get(), ctx.get()) != 1 ||
      !Coordinates(shared.get(), ctx.get(), &x2, &y2))
    return Rc::CryptoFailed;
  const std::string_view c3 = cipher.substr(2 * kSm2Bytes, kSm2Bytes);
  const std::string_view c2 = cipher.substr(kCipherOverhead);
  std::string m = Sm2Kdf(x2 + y2, c2.size());
  if (AllZero(m)) return Rc::CryptoFailed;
  for (size_t i = 0; i < m.size(); ++i) m[i] = static_cast<char>(m[i] ^ c2[i]);
  std::string hashIn = x2;
  hashIn += m;
  hashIn += y2;
  const std::string u = Sm3(hashIn);
  OPENSSL_cleanse(hashIn.data(), hashIn.size());
  if (u.size() != kSm2Bytes || CRYPTO_memcmp(u.data(), c3.data(), kSm2Bytes) != 0) {
    OPENSSL_cleanse(m.data(), m.size());
    return Rc::CryptoFailed;
  }
  *plain = std::move(m);
  return Rc::Ok;
}

// ---------------------------------------------------------------- key exchange

Rc Sm2KeyExchange(const Sm2ExchangeParams& p, std::string* key) {
  ErrScope es;
  if (!key || p.role > 1 || !p.ownStatic || !p.ownTemp || !p.peerStatic || !p.peerTemp) return Rc::InvalidInput;
  if (!p.ownStatic->isPrivate() || !p.ownTemp->isPrivate() || !p.peerStatic->valid() || !p.peerTemp->valid())
    return Rc::InvalidInput;
  if (p.keyLen == 0 || p.keyLen > kSm2MaxAgreedKey || p.ownId.size() > kSm2MaxId || p.peerId.size() > kSm2MaxId)
    return Rc::InvalidInput;
  const Curve& c = C();
  BnCtx ctx(BN_CTX_new());
  if (!ctx) return Rc::CryptoFailed;
  // t = (d + x1' r) mod n for the own keys.
  Bn d = FromBytes(p.ownStatic->d()), r = FromBytes(p.ownTemp->d());
  Bn xOwn = Truncated(p.ownTemp->x()), xPeer = Truncated(p.peerTemp->x()), t = NewBn();
  if (!d || !r || !xOwn || !xPeer || !t) return Rc::CryptoFailed;
  BN_set_flags(d.get(), BN_FLG_CONSTTIME);
  BN_set_flags(r.get(), BN_FLG_CONSTTIME);
  if (!BN_mod_mul(t.get(), xOwn.get(), r.get(), c.n, ctx.get()) || !BN_mod_add(t.get(), t.get(), d.get(), c.n, ctx.get()))
    return Rc::CryptoFailed;
  // V = [h t](P_peer + [x2'] R_peer); h is 1 on this curve.
  Point peerP = PointOf(*p.peerStatic, ctx.get()), peerR = PointOf(*p.peerTemp, ctx.get());
  Point sum(EC_POINT_new(c.group)), v(EC_POINT_new(c.group));
  if (!peerP || !peerR) return Rc::KeyDataInvalid;
  if (!sum || !v || EC_POINT_mul(c.group, sum.get(), nullptr, peerR.get(), xPeer.get(), ctx.get()) != 1 ||
      EC_POINT_add(c.group, sum.get(), sum.get(), peerP.get(), ctx.get()) != 1 ||
      EC_POINT_mul(c.group, v.get(), nullptr, sum.get(), t.get(), ctx.get()) != 1)
    return Rc::CryptoFailed;
  std::string xv, yv, zOwn, zPeer;
  if (!Coordinates(v.get(), ctx.get(), &xv, &yv)) return Rc::CryptoFailed;
  if (Rc rc = Sm2Z(*p.ownStatic, p.ownId, &zOwn); rc != Rc::Ok) return rc;
  if (Rc rc = Sm2Z(*p.peerStatic, p.peerId, &zPeer); rc != Rc::Ok) return rc;
  std::string in = xv + yv;
  in += p.role == 0 ? zOwn + zPeer : zPeer + zOwn;
  *key = Sm2Kdf(in, p.keyLen);
  OPENSSL_cleanse(in.data(), in.size());
  return Rc::Ok;
}

// ---------------------------------------------------------------- envelope

Rc Sm2EnvelopeExchange(const Sm2Key& internal, std::string_view x, std::string_view y, std::string_view cipher,
                       std::string* out) {
  if (!internal.isPrivate() || !out) return Rc::InvalidInput;
  Sm2Key external;
  if (Rc rc = Sm2Key::FromPublic(x, y, &external); rc != Rc::Ok) return rc;
  std::string content;
  if (Rc rc = Sm2Decrypt(internal, cipher, &content); rc != Rc::Ok) return rc;
  const Rc rc = Sm2Encrypt(external, content, out);
  OPENSSL_cleanse(content.data(), content.size());
  return rc;
}

}  // namespace QuorSim::Asym
