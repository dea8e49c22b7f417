// RSA of the simulated device, checked against OpenSSL's own RSA and against
// plain modular arithmetic on the exported components.
#define OPENSSL_SUPPRESS_DEPRECATED  // the PSS padding functions, see below
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include "simulator/crypto/Asymmetric.h"
#include "tests/simulator_crypto/TestSupport.h"

namespace {

using namespace QuorSim::Asym;
using namespace TestSupport;
using Ossl::Bn;
using Ossl::BnCtx;

const std::string kSha256Prefix = Hex("3031300d060960864801650304020105000420");

std::string Random(size_t n) {
  std::string s(n, '\0');
  RAND_bytes(U(s), static_cast<int>(n));
  return s;
}

std::string Sha256(std::string_view m) {
  std::string out(32, '\0');
  EVP_Digest(m.data(), m.size(), U(out), nullptr, EVP_sha256(), nullptr);
  return out;
}

class RsaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(RsaKey::Generate(2048, 65537, &key_), Rc::Ok);
    ASSERT_EQ(key_.Export(&parts_), Rc::Ok);
  }
  // A block below n: the top byte is cleared.
  static std::string Block() {
    std::string b = Random(key_.modulusBytes());
    b[0] = 0;
    return b;
  }
  static PkeyCtx Ctx() { return PkeyCtx(EVP_PKEY_CTX_new_from_pkey(nullptr, key_.pkey(), nullptr)); }

  static inline RsaKey key_;
  static inline RsaComponents parts_;
};

// ---- keys

TEST_F(RsaTest, GeneratedKeyExportsFixedWidthComponents) {
  EXPECT_EQ(EVP_PKEY_get_bits(key_.pkey()), 2048);
  EXPECT_TRUE(key_.isPrivate());
  EXPECT_EQ(parts_.n.size(), 256u);
  EXPECT_EQ(parts_.e, Hex("010001"));
  EXPECT_EQ(parts_.d.size(), 256u);
  for (const std::string* s : {&parts_.p, &parts_.q, &parts_.dp, &parts_.dq, &parts_.qinv}) EXPECT_EQ(s->size(), 128u);
}

TEST_F(RsaTest, GenerationHonoursExponent) {
  RsaKey k;
  ASSERT_EQ(RsaKey::Generate(1024, 3, &k), Rc::Ok);
  RsaComponents c;
  ASSERT_EQ(k.Export(&c), Rc::Ok);
  EXPECT_EQ(c.e, Hex("03"));
  EXPECT_EQ(c.n.size(), 128u);
}

TEST(RsaGenerate, RefusesBadSizesAndExponents) {
  struct Case {
    unsigned bits;
    uint32_t e;
    Rc rc;
  } cases[] = {{512, 65537, Rc::ModulusLength},  {1016, 65537, Rc::ModulusLength}, {4112, 65537, Rc::ModulusLength},
               {1032, 65537, Rc::ModulusLength}, {1024, 1, Rc::ExponentInvalid},   {1024, 65536, Rc::ExponentInvalid},
               {1024, 0, Rc::ExponentInvalid}};
  for (const auto& c : cases) {
    RsaKey k;
    EXPECT_EQ(RsaKey::Generate(c.bits, c.e, &k), c.rc) << c.bits << " " << c.e;
    EXPECT_FALSE(k.valid());
  }
}

TEST(RsaGenerate, LargestKeyBlobFitsItsLimit) {
  RsaKey k;
  ASSERT_EQ(RsaKey::Generate(4096, 65537, &k), Rc::Ok);
  std::string blob;
  ASSERT_EQ(k.ToBlob(&blob), Rc::Ok);
  EXPECT_LE(blob.size(), kRsaMaxBlob);
  std::string sealed;
  ASSERT_EQ(LmkSeal(std::string(16, 'k'), SealKind::Rsa, blob, &sealed), Rc::Ok);
  EXPECT_LE(sealed.size(), kRsaMaxBlob);
}

TEST_F(RsaTest, ComponentsRoundTripWithClientPadding) {
  // The client sends right-aligned fields: e with the modulus length, the rest with leading zeros.
  RsaComponents c = parts_;
  c.e = std::string(c.n.size() - c.e.size(), '\0') + c.e;
  c.d = std::string(256, '\0') + c.d;
  c.qinv = std::string(4, '\0') + c.qinv;
  RsaKey k;
  ASSERT_EQ(RsaKey::FromComponents(c, &k), Rc::Ok);
  EXPECT_TRUE(k.isPrivate());
  EXPECT_EQ(EVP_PKEY_eq(k.pkey(), key_.pkey()), 1);

  RsaKey pub;
  ASSERT_EQ(RsaKey::FromComponents(RsaComponents{parts_.n, parts_.e}, &pub), Rc::Ok);
  EXPECT_FALSE(pub.isPrivate());
  EXPECT_EQ(EVP_PKEY_eq(pub.pkey(), key_.pkey()), 1);
}

TEST_F(RsaTest, InconsistentComponentsAreRefused) {
  struct Case {
    const char* name;
    void (*edit)(RsaComponents&);
    Rc rc;
  } cases[] = {
      {"d changed", [](RsaComponents& c) { c.d = Flip(c.d, c.d.size() - 1); }, Rc::KeyDataInvalid},
      {"p changed", [](RsaComponents& c) { c.p = Flip(c.p, c.p.size() - 2); }, Rc::KeyDataInvalid},
      {"dp changed", [](RsaComponents& c) { c.dp = Flip(c.dp, 10); }, Rc::KeyDataInvalid},
      {"qinv changed", [](RsaComponents& c) { c.qinv = Flip(c.qinv, 10); }, Rc::KeyDataInvalid},
      {"p and q swapped", [](RsaComponents& c) { std::swap(c.p, c.q); }, Rc::KeyDataInvalid},
      {"e changed", [](RsaComponents& c) { c.e = Hex("03"); }, Rc::KeyDataInvalid},
      {"even e", [](RsaComponents& c) { c.e = Hex("010000"); }, Rc::ExponentInvalid},
      {"e of one", [](RsaComponents& c) { c.e = Hex("01"); }, Rc::ExponentInvalid},
      {"even n", [](RsaComponents& c) { c.n.back() = static_cast<char>(c.n.back() & 0xFE); }, Rc::KeyDataInvalid},
      {"short n", [](RsaComponents& c) { c.n = c.n.substr(0, 64); }, Rc::ModulusLength},
      {"n over 512 bytes", [](RsaComponents& c) { c.n = std::string(300, '\0') + c.n; }, Rc::InvalidInput},
      {"missing q", [](RsaComponents& c) { c.q.clear(); }, Rc::InvalidInput},
  };
  for (const auto& c : cases) {
    RsaComponents parts = parts_;
    c.edit(parts);
    RsaKey k;
    EXPECT_EQ(RsaKey::FromComponents(parts, &k), c.rc) << c.name;
    EXPECT_FALSE(k.valid()) << c.name;
  }
}

TEST_F(RsaTest, PublicKeyChecks) {
  RsaKey k;
  EXPECT_EQ(RsaKey::FromPublic(parts_.n, "", &k), Rc::InvalidInput);
  EXPECT_EQ(RsaKey::FromPublic("", parts_.e, &k), Rc::InvalidInput);
  EXPECT_EQ(RsaKey::FromPublic(parts_.n, parts_.n, &k), Rc::ExponentInvalid);  // e >= n
  EXPECT_EQ(RsaKey::FromPublic(std::string(128, '\xFF'), Hex("010001"), &k), Rc::Ok);  // any odd 1024-bit n
  EXPECT_EQ(RsaKey::FromPublic(std::string(127, '\xFF'), Hex("010001"), &k), Rc::ModulusLength);
}

TEST_F(RsaTest, BlobRoundTripAndGarbage) {
  std::string blob;
  ASSERT_EQ(key_.ToBlob(&blob), Rc::Ok);
  RsaKey back;
  ASSERT_EQ(RsaKey::FromBlob(blob, &back), Rc::Ok);
  EXPECT_TRUE(back.isPrivate());
  EXPECT_EQ(EVP_PKEY_eq(back.pkey(), key_.pkey()), 1);

  const std::string garbage[] = {"", blob.substr(0, blob.size() - 1), blob + '\0', Random(200),
                                 std::string(kRsaMaxBlob + 1, '\x30')};
  for (const auto& g : garbage) {
    RsaKey k;
    EXPECT_EQ(RsaKey::FromBlob(g, &k), Rc::KeyDataInvalid) << g.size();
  }
  RsaKey pub;
  ASSERT_EQ(RsaKey::FromPublic(parts_.n, parts_.e, &pub), Rc::Ok);
  EXPECT_EQ(pub.ToBlob(&blob), Rc::InvalidInput);
}

TEST_F(RsaTest, PemImportAndPublicExport) {
  for (bool traditional : {true, false}) {
    RsaKey k;
    ASSERT_EQ(RsaKey::FromPem(Pem(key_.pkey(), traditional), &k), Rc::Ok) << traditional;
    EXPECT_EQ(EVP_PKEY_eq(k.pkey(), key_.pkey()), 1);
  }
  PkeyPtr pub = ReadPublicPem(key_.PublicPem());
  ASSERT_TRUE(pub);
  EXPECT_EQ(EVP_PKEY_eq(pub.get(), key_.pkey()), 1);
}

TEST_F(RsaTest, PemRefusesEncryptedAndForeignKeys) {
  Ossl::Bio bio(BIO_new(BIO_s_mem()));
  ASSERT_EQ(PEM_write_bio_PrivateKey(bio.get(), key_.pkey(), EVP_aes_128_cbc(), nullptr, 0, nullptr,
                                     const_cast<char*>("secret")),
            1);
  char* data = nullptr;
  const std::string encrypted(data, static_cast<size_t>(BIO_get_mem_data(bio.get(), &data)));
  PkeyPtr ec = Own(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  ASSERT_TRUE(ec);
  const std::string cases[] = {encrypted, Pem(ec.get(), false), key_.PublicPem(), "not a key", ""};
  for (const auto& pem : cases) {
    RsaKey k;
    EXPECT_EQ(RsaKey::FromPem(pem, &k), Rc::KeyDataInvalid) << pem.substr(0, 40);
  }
}

// ---- raw operations

TEST_F(RsaTest, RawOperationsMatchModularArithmeticAndOpenSsl) {
  const std::string m = Block();
  std::string pubOut, privOut;
  ASSERT_EQ(RsaPublicRaw(key_, m, &pubOut), Rc::Ok);
  ASSERT_EQ(RsaPrivateRaw(key_, m, &privOut), Rc::Ok);

  BnCtx ctx(BN_CTX_new());
  Bn n = Ossl::FromBytes(parts_.n), e = Ossl::FromBytes(parts_.e), d = Ossl::FromBytes(parts_.d);
  Bn x = Ossl::FromBytes(m), r = Ossl::NewBn();
  ASSERT_TRUE(BN_mod_exp(r.get(), x.get(), e.get(), n.get(), ctx.get()));
  EXPECT_EQ(pubOut, Ossl::ToBytes(r.get(), 256));
  ASSERT_TRUE(BN_mod_exp(r.get(), x.get(), d.get(), n.get(), ctx.get()));
  EXPECT_EQ(privOut, Ossl::ToBytes(r.get(), 256));

  // The same through OpenSSL's RSA_NO_PADDING.
  PkeyCtx c = Ctx();
  std::string viaEvp(256, '\0');
  size_t len = viaEvp.size();
  ASSERT_EQ(EVP_PKEY_decrypt_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_NO_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_decrypt(c.get(), U(viaEvp), &len, U(m), m.size()), 1);
  EXPECT_EQ(viaEvp, privOut);

  // Raw encryption and signature use the same operations.
  std::string out;
  ASSERT_EQ(RsaEncrypt(key_, kPadNone, kHashNone, {}, m, &out), Rc::Ok);
  EXPECT_EQ(out, pubOut);
  ASSERT_EQ(RsaSign(key_, kPadNone, kHashNone, 0, m, &out), Rc::Ok);
  EXPECT_EQ(out, privOut);
  EXPECT_EQ(RsaVerify(key_, kPadNone, kHashNone, 0, m, privOut), Rc::Ok);
  EXPECT_EQ(RsaVerify(key_, kPadNone, kHashNone, 0, m, pubOut), Rc::VerifyFailed);
}

TEST_F(RsaTest, RawOperationsCheckTheBlock) {
  const std::string cases[] = {"", std::string(255, '\1'), std::string(257, '\0'), parts_.n,
                               std::string(256, '\xFF')};
  for (const auto& in : cases) {
    std::string out = "untouched";
    EXPECT_EQ(RsaPublicRaw(key_, in, &out), Rc::InvalidInput) << in.size();
    EXPECT_EQ(RsaPrivateRaw(key_, in, &out), Rc::InvalidInput) << in.size();
    EXPECT_EQ(out, "untouched");
  }
  RsaKey pub;
  ASSERT_EQ(RsaKey::FromPublic(parts_.n, parts_.e, &pub), Rc::Ok);
  std::string out;
  EXPECT_EQ(RsaPrivateRaw(pub, Block(), &out), Rc::InvalidInput);
  EXPECT_EQ(RsaPrivateRaw(RsaKey(), Block(), &out), Rc::InvalidInput);
}

// ---- PKCS#1 v1.5

TEST_F(RsaTest, Pkcs1CipherInteroperatesWithOpenSsl) {
  const std::string msg = "session key 0123";
  std::string ct, pt;
  ASSERT_EQ(RsaEncrypt(key_, kPadPkcs1, kHashNone, {}, msg, &ct), Rc::Ok);
  PkeyCtx c = Ctx();
  std::string out(256, '\0');
  size_t len = out.size();
  ASSERT_EQ(EVP_PKEY_decrypt_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_decrypt(c.get(), U(out), &len, U(ct), ct.size()), 1);
  EXPECT_EQ(out.substr(0, len), msg);

  c = Ctx();
  len = out.size();
  ASSERT_EQ(EVP_PKEY_encrypt_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_encrypt(c.get(), U(out), &len, U(msg), msg.size()), 1);
  ASSERT_EQ(RsaDecrypt(key_, kPadPkcs1, kHashNone, {}, out.substr(0, len), &pt), Rc::Ok);
  EXPECT_EQ(pt, msg);
}

TEST_F(RsaTest, Pkcs1CipherErrors) {
  std::string out;
  EXPECT_EQ(RsaEncrypt(key_, kPadPkcs1, kHashNone, {}, std::string(246, 'a'), &out), Rc::InvalidInput);
  EXPECT_EQ(RsaEncrypt(key_, kPadPkcs1, kHashNone, {}, std::string(245, 'a'), &out), Rc::Ok);
  EXPECT_EQ(RsaEncrypt(key_, kPadPkcs1, kHashNone, {}, "", &out), Rc::InvalidInput);
  EXPECT_EQ(RsaEncrypt(key_, kPadPss, kHashSha256, {}, "x", &out), Rc::InvalidInput);
  // A block that is not PKCS#1 type 2 after decryption.
  EXPECT_EQ(RsaDecrypt(key_, kPadPkcs1, kHashNone, {}, Block(), &out), Rc::UnpaddingFailed);
  EXPECT_EQ(RsaDecrypt(key_, kPadPkcs1, kHashNone, {}, "short", &out), Rc::InvalidInput);
  EXPECT_EQ(RsaDecrypt(key_, 3, kHashNone, {}, Block(), &out), Rc::InvalidInput);
}

TEST_F(RsaTest, Pkcs1SignatureOverDigestInfoIsStandardSha256WithRsa) {
  const std::string msg = "message to sign";
  std::string sig;
  ASSERT_EQ(RsaSign(key_, kPadPkcs1, kHashNone, 0, kSha256Prefix + Sha256(msg), &sig), Rc::Ok);
  Ossl::MdCtx md(EVP_MD_CTX_new());
  ASSERT_EQ(EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, key_.pkey()), 1);
  EXPECT_EQ(EVP_DigestVerify(md.get(), U(sig), sig.size(), U(msg), msg.size()), 1);

  md.reset(EVP_MD_CTX_new());
  std::string theirs(256, '\0');
  size_t len = theirs.size();
  ASSERT_EQ(EVP_DigestSignInit(md.get(), nullptr, EVP_sha256(), nullptr, key_.pkey()), 1);
  ASSERT_EQ(EVP_DigestSign(md.get(), U(theirs), &len, U(msg), msg.size()), 1);
  EXPECT_EQ(RsaVerify(key_, kPadPkcs1, kHashNone, 0, kSha256Prefix + Sha256(msg), theirs), Rc::Ok);
  // PKCS#1 v1.5 signatures are deterministic.
  EXPECT_EQ(theirs, sig);

  EXPECT_EQ(RsaVerify(key_, kPadPkcs1, kHashNone, 0, kSha256Prefix + Sha256("other"), sig), Rc::VerifyFailed);
  EXPECT_EQ(RsaVerify(key_, kPadPkcs1, kHashNone, 0, kSha256Prefix + Sha256(msg), Flip(sig, 100)), Rc::VerifyFailed);
  EXPECT_EQ(RsaVerify(key_, kPadPkcs1, kHashNone, 0, kSha256Prefix + Sha256(msg), sig.substr(1)), Rc::VerifyFailed);
  EXPECT_EQ(RsaVerify(key_, kPadPkcs1, kHashNone, 0, kSha256Prefix + Sha256(msg), ""), Rc::InvalidInput);
}

TEST_F(RsaTest, SignatureRefusesOaepAndPublicKeys) {
  std::string sig;
  EXPECT_EQ(RsaSign(key_, kPadOaep, kHashSha256, 0, "data", &sig), Rc::InvalidInput);
  EXPECT_EQ(RsaVerify(key_, kPadOaep, kHashSha256, 0, "data", std::string(256, '\1')), Rc::InvalidInput);
  RsaKey pub;
  ASSERT_EQ(RsaKey::FromPublic(parts_.n, parts_.e, &pub), Rc::Ok);
  EXPECT_EQ(RsaSign(pub, kPadPkcs1, kHashNone, 0, "data", &sig), Rc::InvalidInput);
}

// ---- OAEP and PSS for every hash code

struct HashCase {
  uint32_t code;
  const EVP_MD* (*md)();
};
const HashCase kHashes[] = {{kHashSha1, EVP_sha1}, {kHashSha256, EVP_sha256}, {kHashSm3, EVP_sm3}};

TEST_F(RsaTest, OaepInteroperatesWithOpenSslForEveryHash) {
  for (const auto& h : kHashes) {
    for (const std::string label : {"", "label\x00x"}) {
      SCOPED_TRACE(testing::Message() << "hash " << h.code << " label " << label.size());
      const std::string msg = "oaep content";
      std::string ct, pt;
      ASSERT_EQ(RsaEncrypt(key_, kPadOaep, h.code, label, msg, &ct), Rc::Ok);
      PkeyCtx c = Ctx();
      std::string out(256, '\0');
      size_t len = out.size();
      ASSERT_EQ(EVP_PKEY_decrypt_init(c.get()), 1);
      ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_OAEP_PADDING), 1);
      ASSERT_EQ(EVP_PKEY_CTX_set_rsa_oaep_md(c.get(), h.md()), 1);
      ASSERT_EQ(EVP_PKEY_CTX_set_rsa_mgf1_md(c.get(), h.md()), 1);
      if (!label.empty()) {
        ASSERT_EQ(EVP_PKEY_CTX_set0_rsa_oaep_label(c.get(), OPENSSL_memdup(label.data(), label.size()),
                                                   static_cast<int>(label.size())),
                  1);
      }
      ASSERT_EQ(EVP_PKEY_decrypt(c.get(), U(out), &len, U(ct), ct.size()), 1);
      EXPECT_EQ(out.substr(0, len), msg);

      ASSERT_EQ(RsaDecrypt(key_, kPadOaep, h.code, label, ct, &pt), Rc::Ok);
      EXPECT_EQ(pt, msg);
      EXPECT_EQ(RsaDecrypt(key_, kPadOaep, h.code, label + "x", ct, &pt), Rc::UnpaddingFailed);
    }
  }
}

TEST_F(RsaTest, OaepErrors) {
  std::string out;
  EXPECT_EQ(RsaEncrypt(key_, kPadOaep, kHashNone, {}, "x", &out), Rc::HashAlgInvalid);
  EXPECT_EQ(RsaEncrypt(key_, kPadOaep, 99, {}, "x", &out), Rc::HashAlgInvalid);
  EXPECT_EQ(RsaDecrypt(key_, kPadOaep, kHashNone, {}, Block(), &out), Rc::HashAlgInvalid);
  // 256 - 2 * 32 - 2 = 190 bytes fit with SHA-256.
  EXPECT_EQ(RsaEncrypt(key_, kPadOaep, kHashSha256, {}, std::string(190, 'a'), &out), Rc::Ok);
  EXPECT_EQ(RsaEncrypt(key_, kPadOaep, kHashSha256, {}, std::string(191, 'a'), &out), Rc::InvalidInput);
  std::string ct;
  ASSERT_EQ(RsaEncrypt(key_, kPadOaep, kHashSha256, {}, "x", &ct), Rc::Ok);
  EXPECT_EQ(RsaDecrypt(key_, kPadOaep, kHashSha1, {}, ct, &out), Rc::UnpaddingFailed);
}

// OpenSSL's RSA signature provider refuses SM3, so the check uses its PSS
// padding functions around raw RSA, which take any digest.
TEST_F(RsaTest, PssInteroperatesWithOpenSslForEveryHashAndSalt) {
  RSA* rsa = EVP_PKEY_get1_RSA(key_.pkey());
  ASSERT_NE(rsa, nullptr);
  std::unique_ptr<RSA, decltype(&RSA_free)> owned(rsa, RSA_free);
  for (const auto& h : kHashes) {
    const size_t hLen = static_cast<size_t>(EVP_MD_get_size(h.md()));
    for (uint32_t salt : {0u, 20u, 32u}) {
      SCOPED_TRACE(testing::Message() << "hash " << h.code << " salt " << salt);
      const std::string digest = Random(hLen);
      std::string sig, em(256, '\0');
      ASSERT_EQ(RsaSign(key_, kPadPss, h.code, salt, digest, &sig), Rc::Ok);
      ASSERT_EQ(RSA_public_decrypt(256, U(sig), U(em), rsa, RSA_NO_PADDING), 256);
      EXPECT_EQ(RSA_verify_PKCS1_PSS_mgf1(rsa, U(digest), h.md(), h.md(), U(em), static_cast<int>(salt)), 1);

      std::string theirs(256, '\0');
      ASSERT_EQ(RSA_padding_add_PKCS1_PSS_mgf1(rsa, U(em), U(digest), h.md(), h.md(), static_cast<int>(salt)), 1);
      ASSERT_EQ(RSA_private_encrypt(256, U(em), U(theirs), rsa, RSA_NO_PADDING), 256);
      EXPECT_EQ(RsaVerify(key_, kPadPss, h.code, salt, digest, theirs), Rc::Ok);
      EXPECT_EQ(RsaVerify(key_, kPadPss, h.code, salt + 1, digest, theirs), Rc::VerifyFailed);
      EXPECT_EQ(RsaVerify(key_, kPadPss, h.code, salt, Flip(digest, 0), theirs), Rc::VerifyFailed);
      EXPECT_EQ(RsaVerify(key_, kPadPss, h.code, salt, digest, Flip(theirs, 255)), Rc::VerifyFailed);
    }
  }
}

// With a modulus of 8k+1 bits the encoded message is one byte shorter than the modulus.
TEST(RsaPss, ModulusOneBitOverWholeBytes) {
  PkeyPtr pkey = Own(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t{1025}));
  ASSERT_TRUE(pkey);
  RsaKey key;
  ASSERT_EQ(RsaKey::FromPkey(pkey.get(), &key), Rc::Ok);
  ASSERT_EQ(key.modulusBytes(), 129u);
  const std::string digest = Random(32);
  std::string sig;
  ASSERT_EQ(RsaSign(key, kPadPss, kHashSha256, 20, digest, &sig), Rc::Ok);
  PkeyCtx c(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey.get(), nullptr));
  ASSERT_EQ(EVP_PKEY_verify_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_PSS_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_signature_md(c.get(), EVP_sha256()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_pss_saltlen(c.get(), 20), 1);
  EXPECT_EQ(EVP_PKEY_verify(c.get(), U(sig), sig.size(), U(digest), digest.size()), 1);

  c.reset(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey.get(), nullptr));
  std::string theirs(129, '\0');
  size_t len = theirs.size();
  ASSERT_EQ(EVP_PKEY_sign_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_PSS_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_signature_md(c.get(), EVP_sha256()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_pss_saltlen(c.get(), 20), 1);
  ASSERT_EQ(EVP_PKEY_sign(c.get(), U(theirs), &len, U(digest), digest.size()), 1);
  EXPECT_EQ(RsaVerify(key, kPadPss, kHashSha256, 20, digest, theirs.substr(0, len)), Rc::Ok);
  // 128 - 32 - 2 = 94 is the largest salt here, not 95.
  EXPECT_EQ(RsaSign(key, kPadPss, kHashSha256, 95, digest, &sig), Rc::InvalidInput);
  EXPECT_EQ(RsaSign(key, kPadPss, kHashSha256, 94, digest, &sig), Rc::Ok);
  EXPECT_EQ(RsaVerify(key, kPadPss, kHashSha256, 94, digest, sig), Rc::Ok);
}

// The standard interface agrees for the hashes it allows.
TEST_F(RsaTest, PssSignatureVerifiesThroughEvp) {
  const std::string digest = Random(32);
  std::string sig;
  ASSERT_EQ(RsaSign(key_, kPadPss, kHashSha256, 32, digest, &sig), Rc::Ok);
  PkeyCtx c = Ctx();
  ASSERT_EQ(EVP_PKEY_verify_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_PSS_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_signature_md(c.get(), EVP_sha256()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_pss_saltlen(c.get(), 32), 1);
  EXPECT_EQ(EVP_PKEY_verify(c.get(), U(sig), sig.size(), U(digest), digest.size()), 1);
}

TEST_F(RsaTest, PssErrors) {
  std::string sig;
  const std::string digest = Random(32);
  EXPECT_EQ(RsaSign(key_, kPadPss, kHashNone, 0, digest, &sig), Rc::HashAlgInvalid);
  EXPECT_EQ(RsaSign(key_, kPadPss, kHashSha256, 0, digest.substr(1), &sig), Rc::InvalidInput);
  // 256 - 32 - 2 = 222 is the largest salt with SHA-256 on a 2048-bit key.
  EXPECT_EQ(RsaSign(key_, kPadPss, kHashSha256, 222, digest, &sig), Rc::Ok);
  EXPECT_EQ(RsaSign(key_, kPadPss, kHashSha256, 223, digest, &sig), Rc::InvalidInput);
  EXPECT_EQ(RsaSign(key_, kPadPss, kHashSha256, 493, digest, &sig), Rc::InvalidInput);
  EXPECT_EQ(RsaSign(key_, kPadPss, kHashSha256, 0xFFFFFFFFu, digest, &sig), Rc::InvalidInput);
}

// ---- envelope

TEST_F(RsaTest, EnvelopeIsRewrappedUnderTheExternalKey) {
  RsaKey external;
  ASSERT_EQ(RsaKey::Generate(1024, 65537, &external), Rc::Ok);
  RsaComponents ext;
  ASSERT_EQ(external.Export(&ext), Rc::Ok);
  const std::string content = Random(16);
  std::string envelope, rewrapped, opened;
  ASSERT_EQ(RsaEncrypt(key_, kPadPkcs1, kHashNone, {}, content, &envelope), Rc::Ok);
  ASSERT_EQ(RsaEnvelopeExchange(key_, ext.n, ext.e, envelope, &rewrapped), Rc::Ok);
  EXPECT_EQ(rewrapped.size(), 128u);
  ASSERT_EQ(RsaDecrypt(external, kPadPkcs1, kHashNone, {}, rewrapped, &opened), Rc::Ok);
  EXPECT_EQ(opened, content);

  EXPECT_EQ(RsaEnvelopeExchange(key_, ext.n, ext.e, Flip(envelope, 5), &rewrapped), Rc::UnpaddingFailed);
  EXPECT_EQ(RsaEnvelopeExchange(key_, ext.n, Hex("02"), envelope, &rewrapped), Rc::ExponentInvalid);
  EXPECT_EQ(RsaEnvelopeExchange(key_, "", ext.e, envelope, &rewrapped), Rc::InvalidInput);
  // Content too long for a 1024-bit external key.
  ASSERT_EQ(RsaEncrypt(key_, kPadPkcs1, kHashNone, {}, std::string(200, 'c'), &envelope), Rc::Ok);
  EXPECT_EQ(RsaEnvelopeExchange(key_, ext.n, ext.e, envelope, &rewrapped), Rc::InvalidInput);
}

}  // namespace
