// RSA and SM2 through the library against quorsim, cross-checked with
// OpenSSL: the keys the simulator was provisioned with are OpenSSL keys, so
// every result of the device can be checked (and produced) outside it.
#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <quorsdf.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sdf/E2E.h"

namespace {

using namespace QuorTest;
using Bytes = std::string;

struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct CtxFree {
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
};
struct BnFree {
  void operator()(BIGNUM* p) const { BN_free(p); }
};
struct SigFree {
  void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Ctx = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;
using Bn = std::unique_ptr<BIGNUM, BnFree>;
using Sig = std::unique_ptr<ECDSA_SIG, SigFree>;

unsigned char* U(Bytes& s) { return reinterpret_cast<unsigned char*>(s.data()); }
const unsigned char* U(const Bytes& s) { return reinterpret_cast<const unsigned char*>(s.data()); }
Bytes S(const unsigned char* p, size_t n) { return Bytes(reinterpret_cast<const char*>(p), n); }

Bytes Random(size_t n) {
  Bytes b(n, '\0');
  RAND_bytes(U(b), static_cast<int>(n));
  return b;
}

// A big-endian number of exactly n bytes.
Bytes Param(const EVP_PKEY* k, const char* name, size_t n) {
  BIGNUM* raw = nullptr;
  if (!EVP_PKEY_get_bn_param(k, name, &raw)) return {};
  Bn bn(raw);
  Bytes out(n, '\0');
  BN_bn2binpad(bn.get(), U(out), static_cast<int>(n));
  return out;
}

void PutTail(unsigned char* array, size_t size, const Bytes& v) {
  std::memset(array, 0, size);
  std::memcpy(array + size - v.size(), v.data(), v.size());
}

ECCrefPublicKey EccPublic(const EVP_PKEY* k) {
  ECCrefPublicKey pub{};
  pub.bits = 256;
  PutTail(pub.x, sizeof pub.x, Param(k, OSSL_PKEY_PARAM_EC_PUB_X, 32));
  PutTail(pub.y, sizeof pub.y, Param(k, OSSL_PKEY_PARAM_EC_PUB_Y, 32));
  return pub;
}

ECCrefPrivateKey EccPrivate(const EVP_PKEY* k) {
  ECCrefPrivateKey priv{};
  priv.bits = 256;
  PutTail(priv.K, sizeof priv.K, Param(k, OSSL_PKEY_PARAM_PRIV_KEY, 32));
  return priv;
}

RSArefPublicKey RsaPublic(const EVP_PKEY* k) {
  const size_t n = static_cast<size_t>(EVP_PKEY_get_size(k));
  RSArefPublicKey pub{};
  pub.bits = static_cast<SGD_UINT32>(n * 8);
  PutTail(pub.m, sizeof pub.m, Param(k, OSSL_PKEY_PARAM_RSA_N, n));
  PutTail(pub.e, sizeof pub.e, Param(k, OSSL_PKEY_PARAM_RSA_E, 3));
  return pub;
}

std::unique_ptr<RSArefPrivateKey> RsaPrivate(const EVP_PKEY* k) {
  const size_t n = static_cast<size_t>(EVP_PKEY_get_size(k));
  auto priv = std::make_unique<RSArefPrivateKey>();
  *priv = {};
  priv->bits = static_cast<SGD_UINT32>(n * 8);
  PutTail(priv->m, sizeof priv->m, Param(k, OSSL_PKEY_PARAM_RSA_N, n));
  PutTail(priv->e, sizeof priv->e, Param(k, OSSL_PKEY_PARAM_RSA_E, 3));
  PutTail(priv->d, sizeof priv->d, Param(k, OSSL_PKEY_PARAM_RSA_D, n));
  PutTail(priv->prime[0], 256, Param(k, OSSL_PKEY_PARAM_RSA_FACTOR1, n / 2));
  PutTail(priv->prime[1], 256, Param(k, OSSL_PKEY_PARAM_RSA_FACTOR2, n / 2));
  PutTail(priv->pexp[0], 256, Param(k, OSSL_PKEY_PARAM_RSA_EXPONENT1, n / 2));
  PutTail(priv->pexp[1], 256, Param(k, OSSL_PKEY_PARAM_RSA_EXPONENT2, n / 2));
  PutTail(priv->coef, 256, Param(k, OSSL_PKEY_PARAM_RSA_COEFFICIENT1, n / 2));
  return priv;
}

// ---- OpenSSL's side ----

enum class Op { Sign, Verify, Encrypt, Decrypt };

// One EVP_PKEY operation; RSA with the given padding. Empty on failure
// (a failed verification included); a verification success returns "ok".
Bytes Ossl(Op op, EVP_PKEY* k, const Bytes& in, int rsaPadding = 0, const Bytes& sig = {}) {
  Ctx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, k, nullptr));
  int ok = 0;
  switch (op) {
    case Op::Sign:
      ok = EVP_PKEY_sign_init(ctx.get());
      break;
    case Op::Verify:
      ok = EVP_PKEY_verify_init(ctx.get());
      break;
    case Op::Encrypt:
      ok = EVP_PKEY_encrypt_init(ctx.get());
      break;
    case Op::Decrypt:
      ok = EVP_PKEY_decrypt_init(ctx.get());
      break;
  }
  if (ok != 1) return {};
  if (rsaPadding && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), rsaPadding) != 1) return {};
  if (op == Op::Verify) return EVP_PKEY_verify(ctx.get(), U(sig), sig.size(), U(in), in.size()) == 1 ? "ok" : "";
  size_t n = 0;
  auto call = [&](unsigned char* out, size_t* len) {
    switch (op) {
      case Op::Sign:
        return EVP_PKEY_sign(ctx.get(), out, len, U(in), in.size());
      case Op::Encrypt:
        return EVP_PKEY_encrypt(ctx.get(), out, len, U(in), in.size());
      default:
        return EVP_PKEY_decrypt(ctx.get(), out, len, U(in), in.size());
    }
  };
  if (call(nullptr, &n) != 1) return {};
  Bytes out(n, '\0');
  if (call(U(out), &n) != 1) return {};
  out.resize(n);
  return out;
}

// r || s (32 bytes each) <-> DER ECDSA-Sig-Value.
Bytes SignatureDer(const ECCSignature& s) {
  Sig sig(ECDSA_SIG_new());
  ECDSA_SIG_set0(sig.get(), BN_bin2bn(s.r + 32, 32, nullptr), BN_bin2bn(s.s + 32, 32, nullptr));
  unsigned char* der = nullptr;
  const int n = i2d_ECDSA_SIG(sig.get(), &der);
  Bytes out(reinterpret_cast<char*>(der), static_cast<size_t>(n));
  OPENSSL_free(der);
  return out;
}

ECCSignature SignatureFromDer(const Bytes& der) {
  const unsigned char* p = U(der);
  Sig sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size())));
  ECCSignature out{};
  BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), out.r + 32, 32);
  BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), out.s + 32, 32);
  return out;
}

// OpenSSL's SM2 cipher text: SEQUENCE { INTEGER x, INTEGER y, OCTET STRING hash, OCTET STRING C }.
Bytes DerLength(size_t n) {
  if (n < 128) return Bytes(1, static_cast<char>(n));
  Bytes b;
  for (size_t v = n; v; v >>= 8) b.insert(b.begin(), static_cast<char>(v & 0xFF));
  return Bytes(1, static_cast<char>(0x80 | b.size())) + b;
}
Bytes DerItem(char tag, const Bytes& v) { return Bytes(1, tag) + DerLength(v.size()) + v; }
Bytes DerInteger(Bytes v) {
  while (v.size() > 1 && v[0] == 0 && !(v[1] & 0x80)) v.erase(0, 1);
  if (v[0] & 0x80) v.insert(v.begin(), '\0');
  return DerItem(0x02, v);
}

Bytes CipherDer(const ECCCipher& c) {
  return DerItem(0x30, DerInteger(S(c.x + 32, 32)) + DerInteger(S(c.y + 32, 32)) + DerItem(0x04, S(c.M, 32)) +
                           DerItem(0x04, S(c.C, c.L)));
}

// Reads one item at pos; returns its contents.
Bytes DerRead(const Bytes& der, size_t& pos, char tag) {
  EXPECT_EQ(der.at(pos), tag);
  size_t len = static_cast<unsigned char>(der.at(pos + 1));
  pos += 2;
  if (len & 0x80) {
    const size_t k = len & 0x7F;
    len = 0;
    for (size_t i = 0; i < k; ++i) len = (len << 8) | static_cast<unsigned char>(der.at(pos++));
  }
  Bytes v = der.substr(pos, len);
  pos += len;
  return v;
}

// Into a buffer with room for C's bytes.
std::vector<unsigned char> CipherFromDer(const Bytes& der) {
  size_t pos = 0;
  const Bytes seq = DerRead(der, pos, 0x30);
  pos = 0;
  Bytes x = DerRead(seq, pos, 0x02), y = DerRead(seq, pos, 0x02);
  const Bytes m = DerRead(seq, pos, 0x04), c = DerRead(seq, pos, 0x04);
  auto strip = [](Bytes v) { return v.size() > 32 ? v.substr(v.size() - 32) : Bytes(32 - v.size(), '\0') + v; };
  std::vector<unsigned char> buf(offsetof(ECCCipher, C) + c.size() + 1);
  auto* out = reinterpret_cast<ECCCipher*>(buf.data());
  PutTail(out->x, 64, strip(x));
  PutTail(out->y, 64, strip(y));
  std::memcpy(out->M, m.data(), 32);
  out->L = static_cast<SGD_UINT32>(c.size());
  std::memcpy(out->C, c.data(), c.size());
  return buf;
}

void WritePem(EVP_PKEY* k, const std::string& path) {
  BIO* bio = BIO_new_file(path.c_str(), "w");
  ASSERT_NE(bio, nullptr);
  EXPECT_EQ(PEM_write_bio_PrivateKey(bio, k, nullptr, nullptr, 0, nullptr, nullptr), 1);
  BIO_free(bio);
}

// ---- The fixture: one simulator provisioned with OpenSSL keys ----

constexpr SGD_UINT32 kSm2Slot = 1;        // SM2 pair (both usages), password pw1
constexpr SGD_UINT32 kRsaSlot = 2;        // RSA-2048 pair (both usages), password pw2
constexpr SGD_UINT32 kResponderSlot = 5;  // a generated SM2 pair, password pw5

class AsymmEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sm2_ = EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2");
    rsa_ = EVP_RSA_gen(2048);
    storeDir_ = new std::string(MakeTempDir());
    const std::string store = *storeDir_ + "/store", sm2Pem = *storeDir_ + "/sm2.pem", rsaPem = *storeDir_ + "/rsa.pem";
    WritePem(sm2_, sm2Pem);
    WritePem(rsa_, rsaPem);
    std::string err;
    ASSERT_EQ(Simulator::Run({"init", "--store", store}, nullptr, &err), 0) << err;
    const std::vector<std::vector<std::string>> adds = {
        {"--slot", "1", "--type", "sm2", "--pem", sm2Pem, "--password", "pw1"},
        {"--slot", "2", "--type", "rsa2048", "--pem", rsaPem, "--password", "pw2"},
        {"--slot", "5", "--type", "sm2", "--password", "pw5"},
    };
    for (const auto& a : adds) {
      std::vector<std::string> args{"key", "add", "--store", store};
      args.insert(args.end(), a.begin(), a.end());
      ASSERT_EQ(Simulator::Run(args, nullptr, &err), 0) << err;
    }
    SimulatorOptions options;
    options.store = store;
    setup_ = new SimSetup(std::move(options));
  }
  static void TearDownTestSuite() {
    delete setup_;
    setup_ = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(*storeDir_, ec);
    delete storeDir_;
    EVP_PKEY_free(sm2_);
    EVP_PKEY_free(rsa_);
  }
  void SetUp() override {
    ASSERT_NE(setup_, nullptr);
    Quor_SetCfgPath(setup_->dir.c_str());
    ASSERT_EQ(SDF_OpenDevice(&device_), SDR_OK);
    ASSERT_EQ(SDF_OpenSession(device_, &session_), SDR_OK);
  }
  void TearDown() override {
    for (SGD_HANDLE s : {session_, other_}) {
      if (s) {
        EXPECT_EQ(SDF_CloseSession(s), SDR_OK);
      }
    }
    if (device_) {
      EXPECT_EQ(SDF_CloseDevice(device_), SDR_OK);
    }
    Quor_SetCfgPath(nullptr);
  }

  SGD_HANDLE Other() {
    if (!other_) {
      EXPECT_EQ(SDF_OpenSession(device_, &other_), SDR_OK);
    }
    return other_;
  }
  static SGD_RV Grant(SGD_HANDLE s, SGD_UINT32 index) {
    std::string pw = "pw" + std::to_string(index);
    return SDF_GetPrivateKeyAccessRight(s, index, U(pw), static_cast<SGD_UINT32>(pw.size()));
  }

  static SimSetup* setup_;
  static std::string* storeDir_;
  static EVP_PKEY* sm2_;
  static EVP_PKEY* rsa_;
  SGD_HANDLE device_ = nullptr, session_ = nullptr, other_ = nullptr;
};

SimSetup* AsymmEndToEnd::setup_ = nullptr;
std::string* AsymmEndToEnd::storeDir_ = nullptr;
EVP_PKEY* AsymmEndToEnd::sm2_ = nullptr;
EVP_PKEY* AsymmEndToEnd::rsa_ = nullptr;

TEST_F(AsymmEndToEnd, ExportedPublicKeysAreTheProvisionedOnes) {
  const ECCrefPublicKey sm2 = EccPublic(sm2_);
  for (auto* f : {SDF_ExportSignPublicKey_ECC, SDF_ExportEncPublicKey_ECC}) {
    ECCrefPublicKey k{};
    ASSERT_EQ(f(session_, kSm2Slot, &k), SDR_OK);
    EXPECT_EQ(std::memcmp(&k, &sm2, sizeof k), 0);
  }
  const RSArefPublicKey rsa = RsaPublic(rsa_);
  for (auto* f : {SDF_ExportSignPublicKey_RSA, SDF_ExportEncPublicKey_RSA}) {
    RSArefPublicKey k{};
    ASSERT_EQ(f(session_, kRsaSlot, &k), SDR_OK);
    EXPECT_EQ(k.bits, 2048u);
    EXPECT_EQ(std::memcmp(&k, &rsa, sizeof k), 0);
  }
}

TEST_F(AsymmEndToEnd, Sm2SignaturesVerifyBothWays) {
  const Bytes digest = Random(32);
  ECCSignature sig{};
  EXPECT_EQ(SDF_InternalSign_ECC(session_, kSm2Slot, const_cast<unsigned char*>(U(digest)), 32, &sig), SDR_PARDENY);
  ASSERT_EQ(Grant(session_, kSm2Slot), SDR_OK);
  ASSERT_EQ(SDF_InternalSign_ECC(session_, kSm2Slot, const_cast<unsigned char*>(U(digest)), 32, &sig), SDR_OK);
  EXPECT_EQ(Ossl(Op::Verify, sm2_, digest, 0, SignatureDer(sig)), "ok");
  EXPECT_EQ(SDF_InternalVerify_ECC(session_, kSm2Slot, const_cast<unsigned char*>(U(digest)), 32, &sig), SDR_OK);

  // OpenSSL signs, the device verifies with the key given to it.
  const Bytes der = Ossl(Op::Sign, sm2_, digest);
  ASSERT_FALSE(der.empty());
  ECCSignature theirs = SignatureFromDer(der);
  ECCrefPublicKey pub = EccPublic(sm2_);
  EXPECT_EQ(SDF_ExternalVerify_ECC(session_, SGD_SM2_1, &pub, const_cast<unsigned char*>(U(digest)), 32, &theirs),
            SDR_OK);
  // A signature made by the library with a supplied private key verifies too.
  ECCrefPrivateKey priv = EccPrivate(sm2_);
  ASSERT_EQ(SDF_ExternalSign_ECC(session_, SGD_SM2_1, &priv, const_cast<unsigned char*>(U(digest)), 32, &sig), SDR_OK);
  EXPECT_EQ(Ossl(Op::Verify, sm2_, digest, 0, SignatureDer(sig)), "ok");
}

TEST_F(AsymmEndToEnd, FailedVerificationIsQuiet) {
  Bytes digest = Random(32);
  const Bytes der = Ossl(Op::Sign, sm2_, digest);
  ECCSignature sig = SignatureFromDer(der);
  ECCrefPublicKey pub = EccPublic(sm2_);
  digest[0] ^= 1;
  EXPECT_EQ(SDF_ExternalVerify_ECC(session_, SGD_SM2_1, &pub, U(digest), 32, &sig), SDR_VERIFYERR);
  EXPECT_EQ(SDF_InternalVerify_ECC(session_, kSm2Slot, U(digest), 32, &sig), SDR_VERIFYERR);
  // A key off the curve does fail loudly; its line shows the log has been written up to here.
  ECCrefPublicKey bad = pub;
  bad.y[63] ^= 1;
  EXPECT_EQ(SDF_ExternalVerify_ECC(session_, SGD_SM2_1, &bad, U(digest), 32, &sig), SDR_COMMFAIL);
  ASSERT_TRUE(LogHasLine(setup_->LogPath(), "[ERROR]", "SDF_ExternalVerify_ECC error [16777219]|[0X1000003]"));
  int errors = 0;
  for (const std::string& line : ReadLines(setup_->LogPath())) {
    EXPECT_EQ(line.find("HSM return [1]"), std::string::npos) << line;
    EXPECT_EQ(line.find("SDF_InternalVerify_ECC error"), std::string::npos) << line;
    if (line.find("SDF_ExternalVerify_ECC error") != std::string::npos) ++errors;
  }
  EXPECT_EQ(errors, 1);
}

TEST_F(AsymmEndToEnd, Sm2EncryptionBothWays) {
  Bytes plain = Random(45);
  ECCrefPublicKey pub = EccPublic(sm2_);
  std::vector<unsigned char> buf(sizeof(ECCCipher) + plain.size());
  auto* cipher = reinterpret_cast<ECCCipher*>(buf.data());
  ASSERT_EQ(SDF_ExternalEncrypt_ECC(session_, SGD_SM2_3, &pub, U(plain), 45, cipher), SDR_OK);
  EXPECT_EQ(cipher->L, 45u);
  EXPECT_EQ(Ossl(Op::Decrypt, sm2_, CipherDer(*cipher)), plain);

  // OpenSSL encrypts; the device opens it with the slot's key and with the key given to it.
  std::vector<unsigned char> theirs = CipherFromDer(Ossl(Op::Encrypt, sm2_, plain));
  auto* c = reinterpret_cast<ECCCipher*>(theirs.data());
  unsigned char out[64] = {};
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(SDF_InternalDecrypt_ECC(session_, kSm2Slot, c, out, &outLen), SDR_OK);
  EXPECT_EQ(S(out, outLen), plain);
  ECCrefPrivateKey priv = EccPrivate(sm2_);
  outLen = 0;
  ASSERT_EQ(SDF_ExternalDecrypt_ECC(session_, SGD_SM2_3, &priv, c, out, &outLen), SDR_OK);
  EXPECT_EQ(S(out, outLen), plain);
  // The slot's encryption key, by index.
  ASSERT_EQ(SDF_InternalEncrypt_ECC(session_, kSm2Slot, U(plain), 45, cipher), SDR_OK);
  EXPECT_EQ(Ossl(Op::Decrypt, sm2_, CipherDer(*cipher)), plain);
}

TEST_F(AsymmEndToEnd, RsaRawOperationsEqualOpenSsl) {
  Bytes in = Random(256);
  in[0] = 0x01;  // below the modulus
  const Bytes pubRaw = Ossl(Op::Encrypt, rsa_, in, RSA_NO_PADDING);
  const Bytes privRaw = Ossl(Op::Decrypt, rsa_, in, RSA_NO_PADDING);
  ASSERT_EQ(pubRaw.size(), 256u);
  RSArefPublicKey pub = RsaPublic(rsa_);
  auto priv = RsaPrivate(rsa_);
  unsigned char out[512];
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(SDF_ExternalPublicKeyOperation_RSA(session_, &pub, U(in), 256, out, &outLen), SDR_OK);
  EXPECT_EQ(S(out, outLen), pubRaw);
  ASSERT_EQ(SDF_InternalPublicKeyOperation_RSA(session_, kRsaSlot, U(in), 256, out, &outLen), SDR_OK);
  EXPECT_EQ(S(out, outLen), pubRaw);
  ASSERT_EQ(SDF_ExternalPrivateKeyOperation_RSA(session_, priv.get(), U(in), 256, out, &outLen), SDR_OK);
  EXPECT_EQ(S(out, outLen), privRaw);
  EXPECT_EQ(SDF_InternalPrivateKeyOperation_RSA(session_, kRsaSlot, U(in), 256, out, &outLen), SDR_PARDENY);
  ASSERT_EQ(Grant(session_, kRsaSlot), SDR_OK);
  ASSERT_EQ(SDF_InternalPrivateKeyOperation_RSA(session_, kRsaSlot, U(in), 256, out, &outLen), SDR_OK);
  EXPECT_EQ(S(out, outLen), privRaw);
  // The right is the session's own.
  EXPECT_EQ(SDF_InternalPrivateKeyOperation_RSA(Other(), kRsaSlot, U(in), 256, out, &outLen), SDR_PARDENY);
}

TEST_F(AsymmEndToEnd, GeneratedKeyPairsWork) {
  RSArefPublicKey pub{};
  auto priv = std::make_unique<RSArefPrivateKey>();
  *priv = {};
  ASSERT_EQ(SDF_GenerateKeyPair_RSA(session_, 1024, &pub, priv.get()), SDR_OK);
  EXPECT_EQ(pub.bits, 1024u);
  EXPECT_EQ(S(pub.e + 509, 3), Bytes("\x01\x00\x01", 3));
  EXPECT_EQ(std::memcmp(pub.e, Bytes(509, '\0').data(), 509), 0);
  Bytes in = Random(128);
  in[0] = 0x01;
  unsigned char mid[512], out[512];
  SGD_UINT32 midLen = 0, outLen = 0;
  ASSERT_EQ(SDF_ExternalPrivateKeyOperation_RSA(session_, priv.get(), U(in), 128, mid, &midLen), SDR_OK);
  ASSERT_EQ(SDF_ExternalPublicKeyOperation_RSA(session_, &pub, mid, midLen, out, &outLen), SDR_OK);
  EXPECT_EQ(S(out, outLen), in);

  ECCrefPublicKey epub{};
  ECCrefPrivateKey epriv{};
  ASSERT_EQ(SDF_GenerateKeyPair_ECC(session_, SGD_SM2_1, 256, &epub, &epriv), SDR_OK);
  Bytes digest = Random(32);
  ECCSignature sig{};
  ASSERT_EQ(SDF_ExternalSign_ECC(session_, SGD_SM2_1, &epriv, U(digest), 32, &sig), SDR_OK);
  EXPECT_EQ(SDF_ExternalVerify_ECC(session_, SGD_SM2_1, &epub, U(digest), 32, &sig), SDR_OK);

  // Into slots: the bits fields name them, and the slots then export the new public key.
  RSArefPublicKey slotted{};
  *priv = {};
  slotted.bits = 7;
  priv->bits = 8;
  ASSERT_EQ(SDF_GenerateKeyPair_RSA(session_, 1024, &slotted, priv.get()), SDR_OK);
  EXPECT_EQ(slotted.bits, 1024u);
  EXPECT_EQ(priv->bits, 8u);
  RSArefPublicKey enc{}, sign{};
  ASSERT_EQ(SDF_ExportEncPublicKey_RSA(session_, 7, &enc), SDR_OK);
  ASSERT_EQ(SDF_ExportSignPublicKey_RSA(session_, 8, &sign), SDR_OK);
  EXPECT_EQ(std::memcmp(&enc, &slotted, sizeof enc), 0);
  EXPECT_EQ(std::memcmp(&sign, &slotted, sizeof sign), 0);
  ECCrefPublicKey eslot{}, exported{};
  ECCrefPrivateKey eprivSlot{};
  eslot.bits = 9;
  ASSERT_EQ(SDF_GenerateKeyPair_ECC(session_, SGD_SM2, 256, &eslot, &eprivSlot), SDR_OK);
  ASSERT_EQ(SDF_ExportEncPublicKey_ECC(session_, 9, &exported), SDR_OK);
  EXPECT_EQ(std::memcmp(&exported, &eslot, sizeof exported), 0);
}

TEST_F(AsymmEndToEnd, EnvelopesReopenUnderTheExternalKey) {
  const Bytes secret = Random(16);
  Pkey outsider(EVP_RSA_gen(1024));
  RSArefPublicKey outPub = RsaPublic(outsider.get());
  Bytes envelope = Ossl(Op::Encrypt, rsa_, secret, RSA_PKCS1_PADDING);
  unsigned char out[512];
  SGD_UINT32 outLen = 0;
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnRSA(session_, kRsaSlot, &outPub, U(envelope), 256, out, &outLen),
            SDR_PARDENY);
  ASSERT_EQ(Grant(session_, kRsaSlot), SDR_OK);
  ASSERT_EQ(SDF_ExchangeDigitEnvelopeBaseOnRSA(session_, kRsaSlot, &outPub, U(envelope), 256, out, &outLen), SDR_OK);
  EXPECT_EQ(outLen, 128u);
  EXPECT_EQ(Ossl(Op::Decrypt, outsider.get(), S(out, outLen), RSA_PKCS1_PADDING), secret);

  Pkey sm2Outsider(EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2"));
  ECCrefPublicKey sm2Pub = EccPublic(sm2Outsider.get());
  std::vector<unsigned char> in = CipherFromDer(Ossl(Op::Encrypt, sm2_, secret));
  std::vector<unsigned char> rewrapped(sizeof(ECCCipher) + secret.size());
  auto* inCipher = reinterpret_cast<ECCCipher*>(in.data());
  auto* outCipher = reinterpret_cast<ECCCipher*>(rewrapped.data());
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnECC(session_, kSm2Slot, SGD_SM2_3, &sm2Pub, inCipher, outCipher),
            SDR_PARDENY);
  ASSERT_EQ(Grant(session_, kSm2Slot), SDR_OK);
  ASSERT_EQ(SDF_ExchangeDigitEnvelopeBaseOnECC(session_, kSm2Slot, SGD_SM2_3, &sm2Pub, inCipher, outCipher), SDR_OK);
  EXPECT_EQ(Ossl(Op::Decrypt, sm2Outsider.get(), CipherDer(*outCipher)), secret);
}

// Encrypts one block with a key handle; the result tells keys apart.
Bytes EncryptBlock(SGD_HANDLE session, SGD_HANDLE key) {
  Bytes block(16, 'b'), out(16, '\0');
  SGD_UINT32 outLen = 0;
  EXPECT_EQ(SDF_Encrypt(session, key, SGD_SM4_ECB, nullptr, U(block), 16, U(out), &outLen), SDR_OK);
  return out.substr(0, outLen);
}

TEST_F(AsymmEndToEnd, SessionKeysTravelUnderAsymmetricKeys) {
  // RSA: made under the slot's public key here, imported with its private key in another session.
  unsigned char wrapped[512];
  SGD_UINT32 wrappedLen = 0;
  SGD_HANDLE made = nullptr, imported = nullptr;
  ASSERT_EQ(SDF_GenerateKeyWithIPK_RSA(session_, kRsaSlot, 128, wrapped, &wrappedLen, &made), SDR_OK);
  EXPECT_EQ(wrappedLen, 256u);
  EXPECT_EQ(SDF_ImportKeyWithISK_RSA(Other(), kRsaSlot, wrapped, wrappedLen, &imported), SDR_PARDENY);
  ASSERT_EQ(Grant(Other(), kRsaSlot), SDR_OK);
  ASSERT_EQ(SDF_ImportKeyWithISK_RSA(Other(), kRsaSlot, wrapped, wrappedLen, &imported), SDR_OK);
  EXPECT_EQ(EncryptBlock(session_, made), EncryptBlock(Other(), imported));
  // Under the same key given as an external one; OpenSSL opens the wrapping too.
  RSArefPublicKey pub = RsaPublic(rsa_);
  SGD_HANDLE external = nullptr, reimported = nullptr;
  ASSERT_EQ(SDF_GenerateKeyWithEPK_RSA(session_, 128, &pub, wrapped, &wrappedLen, &external), SDR_OK);
  EXPECT_EQ(Ossl(Op::Decrypt, rsa_, S(wrapped, wrappedLen), RSA_PKCS1_PADDING).size(), 16u);
  ASSERT_EQ(SDF_ImportKeyWithISK_RSA(Other(), kRsaSlot, wrapped, wrappedLen, &reimported), SDR_OK);
  EXPECT_EQ(EncryptBlock(session_, external), EncryptBlock(Other(), reimported));

  // SM2: the same with the ECCCipher.
  std::vector<unsigned char> buf(sizeof(ECCCipher) + 16);
  auto* cipher = reinterpret_cast<ECCCipher*>(buf.data());
  SGD_HANDLE eccMade = nullptr, eccImported = nullptr;
  ASSERT_EQ(SDF_GenerateKeyWithIPK_ECC(session_, kSm2Slot, 128, cipher, &eccMade), SDR_OK);
  EXPECT_EQ(cipher->L, 16u);
  ASSERT_EQ(Grant(Other(), kSm2Slot), SDR_OK);
  ASSERT_EQ(SDF_ImportKeyWithISK_ECC(Other(), kSm2Slot, cipher, &eccImported), SDR_OK);
  EXPECT_EQ(EncryptBlock(session_, eccMade), EncryptBlock(Other(), eccImported));
  ECCrefPublicKey epub = EccPublic(sm2_);
  SGD_HANDLE eccExternal = nullptr;
  ASSERT_EQ(SDF_GenerateKeyWithEPK_ECC(session_, 128, SGD_SM2_3, &epub, cipher, &eccExternal), SDR_OK);
  EXPECT_EQ(Ossl(Op::Decrypt, sm2_, CipherDer(*cipher)).size(), 16u);
  SGD_HANDLE eccReimported = nullptr;
  ASSERT_EQ(SDF_ImportKeyWithISK_ECC(Other(), kSm2Slot, cipher, &eccReimported), SDR_OK);
  EXPECT_EQ(EncryptBlock(session_, eccExternal), EncryptBlock(Other(), eccReimported));
}

TEST_F(AsymmEndToEnd, Sm2KeyAgreementBetweenTwoSessions) {
  Bytes sponsorId = "sponsor@example", responderId = "responder@example";
  ECCrefPublicKey sponsorPub{}, sponsorTmp{}, responderPub{}, responderTmp{};
  SGD_HANDLE agreement = nullptr, sponsorKey = nullptr, responderKey = nullptr;
  EXPECT_EQ(
      SDF_GenerateAgreementDataWithECC(session_, kSm2Slot, 128, U(sponsorId), 15, &sponsorPub, &sponsorTmp, &agreement),
      SDR_PRKRERR);
  ASSERT_EQ(Grant(session_, kSm2Slot), SDR_OK);
  ASSERT_EQ(Grant(Other(), kResponderSlot), SDR_OK);
  ASSERT_EQ(
      SDF_GenerateAgreementDataWithECC(session_, kSm2Slot, 128, U(sponsorId), 15, &sponsorPub, &sponsorTmp, &agreement),
      SDR_OK);
  ASSERT_EQ(
      SDF_GenerateAgreementDataAndKeyWithECC(Other(), kResponderSlot, 128, U(responderId), 17, U(sponsorId), 15,
                                             &sponsorPub, &sponsorTmp, &responderPub, &responderTmp, &responderKey),
      SDR_OK);
  ASSERT_EQ(SDF_GenerateKeyWithECC(session_, U(responderId), 17, &responderPub, &responderTmp, agreement, &sponsorKey),
            SDR_OK);
  // Both sides hold the same key: what one encrypts the other decrypts.
  const Bytes sealed = EncryptBlock(session_, sponsorKey);
  Bytes opened(16, '\0');
  SGD_UINT32 openedLen = 0;
  Bytes in = sealed;
  ASSERT_EQ(SDF_Decrypt(Other(), responderKey, SGD_SM4_ECB, nullptr, U(in), 16, U(opened), &openedLen), SDR_OK);
  EXPECT_EQ(opened, Bytes(16, 'b'));
  EXPECT_EQ(SDF_GenerateKeyWithECC(session_, U(responderId), 17, &responderPub, &responderTmp, agreement, &sponsorKey),
            SDR_STEPERR);
}

}  // namespace

namespace {

// The simulator does not compute ECIES; what reaches it is checked on the recorded traffic.
TEST_F(AsymmEndToEnd, EciesRequestsAsRecorded) {
  setup_->Forget();
  const Bytes pub = "PUBLIC", g = "GGGG", i = "I", l = "L", n = "N";
  unsigned char o1[64], o2[64], o3[64];
  SGD_UINT32 l1 = 0, l2 = 0, l3 = 0;
  EXPECT_EQ(Quor_EciesEncrypt(session_, 1, 1, 3, 4, 5, 0, U(pub), 6, 7, U(g), 4, 8, U(i), 1, 0, 11, U(l), 1, 13, U(n),
                              1, o1, &l1, o2, &l2, o3, &l3),
            SDR_NOTSUPPORT);
  EXPECT_EQ(Quor_EciesDecrypt(session_, 1, 3, 3, 99, 5, 9, nullptr, 0, 1, 0, nullptr, 0, U(g), 4, 8, U(i), 1, 0, 0,
                              nullptr, 0, nullptr, 0, 13, U(n), 1, o1, &l1),
            SDR_NOTSUPPORT);
  auto u32 = [](uint32_t v) {
    return Bytes{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                 static_cast<char>(v)};
  };
  auto lp = [&](const Bytes& b) { return u32(static_cast<uint32_t>(b.size())) + b; };
  const std::vector<Bytes> expected = {
      Bytes("\x03\x06", 2) + u32(1) + u32(1) + u32(3) + u32(4) + u32(5) + u32(0) + lp(pub) + u32(7) + g + u32(8) +
          lp(i) + u32(0) + u32(11) + lp(l) + u32(13) + lp(n),
      Bytes("\x03\x07", 2) + u32(1) + u32(3) + u32(3) + u32(99) + u32(9) + u32(1) + lp(i) + u32(0) + u32(13) + lp(n),
  };
  EXPECT_EQ(setup_->Commands(), expected);
}

}  // namespace
