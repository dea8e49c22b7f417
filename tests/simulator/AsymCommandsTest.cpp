// The asymmetric commands of the simulator through a framed socket, checked
// against OpenSSL holding the same keys (imported into the store from PEM
// files), and the asymmetric provisioning of the command line.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "simulator/SimTestUtil.h"
#include "simulator/crypto/Asymmetric.h"
#include "simulator_crypto/TestSupport.h"
#include "support/QuorSimulator.h"

using SimTest::Ans;
using SimTest::Hex;
using SimTest::Req;
using namespace QuorSim::Asym;
using TestSupport::DerInt;
using TestSupport::DerItems;
using TestSupport::Fixed32;
using TestSupport::Flip;
using TestSupport::Tlv;
using TestSupport::U;
using TestSupport::Own;
using TestSupport::PkeyCtx;

namespace {

// Slots: 1 SM2 generated, 2 RSA-2048 generated, 3 SM2 from PEM, 4 RSA-1024 from PEM.
constexpr uint32_t kSm2Gen = 1, kRsaGen = 2, kSm2Pem = 3, kRsaPem = 4, kFree = 9;

std::string Random(size_t n) {
  std::string s(n, '\0');
  RAND_bytes(U(s), static_cast<int>(n));
  return s;
}

std::string WriteTemp(const std::string& dir, const char* name, const std::string& text) {
  const std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

class AsymCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = QuorTest::MakeTempDir();
    sm2_ = Own(EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2"));
    rsa_ = Own(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t{1024}));
    ASSERT_TRUE(sm2_ && rsa_);
    store_ = dir_ + "/asym.store";
    Run({"init", "--store", store_});
    Run({"key", "add", "--store", store_, "--slot", "1", "--type", "sm2", "--password", "pw1"});
    Run({"key", "add", "--store", store_, "--slot", "2", "--type", "rsa2048"});
    Run({"key", "add", "--store", store_, "--slot", "3", "--type", "sm2", "--pem",
         WriteTemp(dir_, "sm2.pem", TestSupport::Pem(sm2_.get(), false))});
    Run({"key", "add", "--store", store_, "--slot", "4", "--type", "rsa1024", "--usage", "both", "--pem",
         WriteTemp(dir_, "rsa.pem", TestSupport::Pem(rsa_.get(), true))});
    QuorTest::SimulatorOptions o;
    o.store = store_;
    sim_ = new QuorTest::Simulator(o);
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
    std::filesystem::remove_all(dir_);
  }
  static void Run(const std::vector<std::string>& args) {
    std::string err;
    ASSERT_EQ(QuorTest::Simulator::Run(args, nullptr, &err), 0) << err;
  }
  void SetUp() override { conn_ = std::make_unique<QuorTest::FramedClient>(sim_->Connect()); }

  Ans Call(const std::string& req) {
    auto a = conn_->Exchange(req);
    if (!a) throw std::runtime_error("no answer");
    return Ans(*a);
  }
  // One result field of a successful command.
  std::string One(const std::string& req) {
    Ans a = Call(req);
    EXPECT_EQ(a.code(), 0) << SimTest::ToHex(req.substr(0, 2));
    return a.code() == 0 ? a.Bytes() : std::string();
  }
  std::pair<std::string, std::string> EccPublic(uint32_t slot, uint32_t usage) {
    Ans a = Call(Req(0x0216).U32(slot).U32(usage));
    EXPECT_EQ(a.code(), 0);
    EXPECT_EQ(a.U32(), 7u);
    std::string x = a.Bytes();
    return {x, a.Bytes()};
  }
  std::pair<std::string, std::string> RsaPublic(uint32_t slot, uint32_t usage) {
    Ans a = Call(Req(0x0201).U32(slot).U32(usage));
    EXPECT_EQ(a.code(), 0);
    std::string n = a.Bytes();
    return {n, a.Bytes()};
  }
  static PkeyCtx Ctx(EVP_PKEY* k) { return PkeyCtx(EVP_PKEY_CTX_new_from_pkey(nullptr, k, nullptr)); }
  // OpenSSL's SM2 decryption of a device cipher x || y || M || C.
  static std::string OpenSslSm2Decrypt(const std::string& raw) {
    const std::string der = Tlv(0x30, DerInt(raw.substr(0, 32)) + DerInt(raw.substr(32, 32)) +
                                          Tlv(0x04, raw.substr(64, 32)) + Tlv(0x04, raw.substr(96)));
    PkeyCtx c = Ctx(sm2_.get());
    std::string out(raw.size(), '\0');
    size_t len = out.size();
    if (EVP_PKEY_decrypt_init(c.get()) != 1 || EVP_PKEY_decrypt(c.get(), U(out), &len, U(der), der.size()) != 1)
      return "<failed>";
    return out.substr(0, len);
  }
  static std::string OpenSslSm2Encrypt(const std::string& msg) {
    PkeyCtx c = Ctx(sm2_.get());
    std::string der(msg.size() + 200, '\0');
    size_t len = der.size();
    EXPECT_EQ(EVP_PKEY_encrypt_init(c.get()), 1);
    EXPECT_EQ(EVP_PKEY_encrypt(c.get(), U(der), &len, U(msg), msg.size()), 1);
    auto items = DerItems(der.substr(0, len));
    return Fixed32(items[0].second) + Fixed32(items[1].second) + items[2].second + items[3].second;
  }

  static inline std::string dir_, store_;
  static inline PkeyPtr sm2_, rsa_;
  static inline QuorTest::Simulator* sim_ = nullptr;
  std::unique_ptr<QuorTest::FramedClient> conn_;
};

// ---- provisioning and public keys

TEST_F(AsymCommands, ExportedAndServedPublicKeysAreTheProvisionedOnes) {
  struct Case {
    uint32_t slot;
    const char* type;
    const char* usage;
    EVP_PKEY* expected;
  } cases[] = {{kSm2Pem, "sm2", "sign", sm2_.get()}, {kSm2Pem, "sm2", "enc", sm2_.get()},
               {kRsaPem, "rsa", "sign", rsa_.get()}, {kRsaPem, "rsa", "enc", rsa_.get()}};
  for (const auto& c : cases) {
    std::string out, err;
    ASSERT_EQ(QuorTest::Simulator::Run({"key", "export", "--store", store_, "--slot", std::to_string(c.slot), "--type",
                                        c.type, "--usage", c.usage},
                                       &out, &err),
              0)
        << err;
    PkeyPtr pub = TestSupport::ReadPublicPem(out);
    ASSERT_TRUE(pub) << out;
    EXPECT_EQ(EVP_PKEY_eq(pub.get(), c.expected), 1) << c.slot << c.usage;
  }
  // The same keys over the wire.
  RsaKey served, pem;
  const auto [n, e] = RsaPublic(kRsaPem, 0);
  ASSERT_EQ(RsaKey::FromPublic(n, e, &served), Rc::Ok);
  EXPECT_EQ(EVP_PKEY_eq(served.pkey(), rsa_.get()), 1);
  EXPECT_EQ(n.size(), 128u);
  const auto [x, y] = EccPublic(kSm2Pem, 1);
  Sm2Key k;
  ASSERT_EQ(Sm2Key::FromPublic(x, y, &k), Rc::Ok);
  PkeyPtr sk = k.ToPkey();
  EXPECT_EQ(EVP_PKEY_eq(sk.get(), sm2_.get()), 1);
  // Generated pairs differ between usages.
  EXPECT_NE(EccPublic(kSm2Gen, 0), EccPublic(kSm2Gen, 1));
  EXPECT_NE(RsaPublic(kRsaGen, 0), RsaPublic(kRsaGen, 1));
}

TEST_F(AsymCommands, ProvisioningRefusals) {
  const std::string rsaPem = dir_ + "/rsa.pem";
  const std::vector<std::vector<std::string>> cases = {
      {"key", "add", "--store", store_, "--slot", "8", "--type", "rsa2048", "--pem", rsaPem},  // 1024-bit key
      {"key", "add", "--store", store_, "--slot", "8", "--type", "sm2", "--pem", rsaPem},
      {"key", "add", "--store", store_, "--slot", "8", "--type", "sm2", "--pem", dir_ + "/missing.pem"},
      {"key", "add", "--store", store_, "--slot", "8", "--type", "sm2", "--usage", "both2"},
      {"key", "add", "--store", store_, "--slot", "8", "--type", "sm4", "--pem", rsaPem},
      {"key", "export", "--store", store_, "--slot", "2", "--type", "sm2", "--usage", "sign"},
      {"key", "export", "--store", store_, "--slot", "2", "--type", "rsa", "--usage", "both"},
      {"key", "export", "--store", store_, "--slot", "0", "--type", "rsa", "--usage", "sign"},
  };
  for (const auto& args : cases) {
    std::string out, err;
    EXPECT_NE(QuorTest::Simulator::Run(args, &out, &err), 0) << args[1] << " " << args[5] << " " << args[7];
    EXPECT_FALSE(err.empty());
  }
}

// ---- RSA

TEST_F(AsymCommands, RsaOperationsAgreeWithOpenSsl) {
  const auto [n, e] = RsaPublic(kRsaPem, 0);
  const std::string digest = Random(32);
  const std::string info = Hex("3031300d060960864801650304020105000420") + digest;

  // PKCS#1 v1.5 signature by the internal key, checked by OpenSSL.
  const std::string sig = One(Req(0x0819).U32(1).U32(4).U32(51).Raw(info).U32(kRsaPem));
  PkeyCtx c = Ctx(rsa_.get());
  ASSERT_EQ(EVP_PKEY_verify_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_signature_md(c.get(), EVP_sha256()), 1);
  EXPECT_EQ(EVP_PKEY_verify(c.get(), U(sig), sig.size(), U(digest), digest.size()), 1);

  // Verification with the slot and with the external key; a wrong signature is code 1.
  EXPECT_EQ(Call(Req(0x0820).U32(1).U32(4).Bytes(sig).U32(51).Raw(info).U32(kRsaPem)).code(), 0);
  EXPECT_EQ(Call(Req(0x0820).U32(1).U32(4).Bytes(sig).U32(51).Raw(info).U32(0).Bytes(n).Bytes(e)).code(), 0);
  EXPECT_EQ(Call(Req(0x0820).U32(1).U32(4).Bytes(Flip(sig, 9)).U32(51).Raw(info).U32(kRsaPem)).code(), 1);

  // OAEP with SHA-256 and a label: OpenSSL encrypts, the slot decrypts.
  const std::string msg = "oaep secret", label = "LBL";
  c = Ctx(rsa_.get());
  std::string ct(128, '\0');
  size_t len = ct.size();
  ASSERT_EQ(EVP_PKEY_encrypt_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_OAEP_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_oaep_md(c.get(), EVP_sha256()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_mgf1_md(c.get(), EVP_sha256()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set0_rsa_oaep_label(c.get(), OPENSSL_memdup(label.data(), label.size()), 3), 1);
  ASSERT_EQ(EVP_PKEY_encrypt(c.get(), U(ct), &len, U(msg), msg.size()), 1);
  EXPECT_EQ(One(Req(0x0879).U32(kRsaPem).U32(2).U32(1).U32(6).Bytes(label).Raw("\x3B").Bytes(ct)), msg);

  // Raw public operation (03 01) and the external PKCS#1 encryption (08 78) that OpenSSL opens.
  std::string block = Random(128);
  block[0] = 0;
  RsaKey pub;
  ASSERT_EQ(RsaKey::FromPublic(n, e, &pub), Rc::Ok);
  std::string expect;
  ASSERT_EQ(RsaPublicRaw(pub, block, &expect), Rc::Ok);
  EXPECT_EQ(One(Req(0x0301).U32(kRsaPem).Bytes(block)), expect);
  EXPECT_EQ(One(Req(0x0301).U32(0).Bytes(n).Bytes(e).Bytes(block)), expect);
  const std::string wrapped = One(Req(0x0878).U32(0).Bytes(n).Bytes(e).U32(1).Bytes(msg));
  c = Ctx(rsa_.get());
  std::string pt(128, '\0');
  len = pt.size();
  ASSERT_EQ(EVP_PKEY_decrypt_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_decrypt(c.get(), U(pt), &len, U(wrapped), wrapped.size()), 1);
  EXPECT_EQ(pt.substr(0, len), msg);
}

TEST_F(AsymCommands, RsaPlainAndLmkKeysRoundTrip) {
  // 02 02 plain components drive the external private operation (08 11).
  Ans g = Call(Req(0x0202).U32(1024).U32(65537));
  ASSERT_EQ(g.code(), 0);
  RsaComponents c;
  for (std::string* s : {&c.n, &c.e, &c.d, &c.p, &c.q, &c.dp, &c.dq, &c.qinv}) *s = g.Bytes();
  std::string block = Random(128);
  block[0] = 0;
  Req op(0x0811);
  op.U32(0).U32(0);
  // The client sends e in a field as wide as the modulus.
  op.Bytes(c.n).Bytes(std::string(128 - c.e.size(), '\0') + c.e);
  for (const std::string* s : {&c.d, &c.p, &c.q, &c.dp, &c.dq, &c.qinv}) op.Bytes(*s);
  const std::string signedBlock = One(op.Bytes(block));
  EXPECT_EQ(One(Req(0x0301).U32(0).Bytes(c.n).Bytes(c.e).Bytes(signedBlock)), block);

  // 08 18 under the LMK, stored by 08 33 as slot 9's encryption pair, read back by 02 01 and 08 32.
  Ans k = Call(Req(0x0818).U32(1).U32(1024).U32(65537));
  ASSERT_EQ(k.code(), 0);
  const std::string n = k.Bytes(), e = k.Bytes(), cipher = k.Bytes();
  EXPECT_LE(cipher.size(), 3072u);
  EXPECT_EQ(Call(Req(0x0833).U32(1).U32(kFree).U32(1).Bytes(c.n).Bytes(e).Bytes(cipher).U32(1)).code(),
            Code(Rc::KeyDataInvalid));  // parts of another key
  ASSERT_EQ(Call(Req(0x0833).U32(1).U32(kFree).U32(1).Bytes(n).Bytes(e).Bytes(cipher).U32(1)).code(), 0);
  EXPECT_EQ(RsaPublic(kFree, 1), std::make_pair(n, e));
  Ans r = Call(Req(0x0832).U32(1).U32(kFree).U32(1));
  ASSERT_EQ(r.code(), 0);
  EXPECT_EQ(r.Bytes(), n);
  EXPECT_EQ(r.Bytes(), e);
  const std::string again = r.Bytes();
  // The LMK cipher drives 08 79 and 08 29 like the slot.
  const std::string ct = One(Req(0x0878).U32(kFree).U32(1).Bytes("hello"));
  EXPECT_EQ(One(Req(0x0879).U32(0).Bytes(again).U32(1).Bytes(ct)), "hello");
  EXPECT_EQ(One(Req(0x0879).U32(kFree).U32(1).Bytes(ct)), "hello");
  EXPECT_EQ(One(Req(0x0301).U32(0).Bytes(n).Bytes(e).Bytes(One(Req(0x0829).U32(1).Bytes(cipher).Bytes(block)))),
            block);
  // 08 27 gives the public key of an LMK cipher.
  Ans p = Call(Req(0x0827).U32(1).U32(1).Bytes(cipher));
  ASSERT_EQ(p.code(), 0);
  EXPECT_EQ(p.Bytes(), n);
}

// ---- SM2

TEST_F(AsymCommands, Sm2OperationsAgreeWithOpenSsl) {
  const std::string digest = Random(32);
  // 03 03: internal signature, verified by OpenSSL over the same digest.
  const std::string rs = One(Req(0x0303).U16(7).U32(kSm2Pem).Bytes(digest));
  ASSERT_EQ(rs.size(), 64u);
  const std::string der = Tlv(0x30, DerInt(rs.substr(0, 32)) + DerInt(rs.substr(32)));
  PkeyCtx c = Ctx(sm2_.get());
  ASSERT_EQ(EVP_PKEY_verify_init(c.get()), 1);
  EXPECT_EQ(EVP_PKEY_verify(c.get(), U(der), der.size(), U(digest), digest.size()), 1);

  // 03 04: the slot and the external key verify; a changed digest is code 1.
  const auto [x, y] = EccPublic(kSm2Pem, 0);
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(kSm2Pem).Bytes(digest).Bytes(rs)).code(), 0);
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(0).Bytes(x).Bytes(y).Bytes(digest).Bytes(rs)).code(), 0);
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(kSm2Pem).Bytes(Flip(digest, 0)).Bytes(rs)).code(), 1);

  // 08 12 with the plain scalar signs too.
  BIGNUM* d = nullptr;
  ASSERT_EQ(EVP_PKEY_get_bn_param(sm2_.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d), 1);
  const std::string scalar = Ossl::ToBytes(d, 32);
  BN_clear_free(d);
  const std::string rs2 = One(Req(0x0812).U32(7).Bytes(scalar).Bytes(digest));
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(kSm2Pem).Bytes(digest).Bytes(rs2)).code(), 0);

  // 03 05 encrypts for OpenSSL; 08 13 decrypts OpenSSL's cipher, by slot and by scalar.
  const std::string msg = "sm2 plain text";
  EXPECT_EQ(OpenSslSm2Decrypt(One(Req(0x0305).U16(7).U32(kSm2Pem).Bytes(msg))), msg);
  EXPECT_EQ(OpenSslSm2Decrypt(One(Req(0x0305).U16(7).U32(0).Bytes(x).Bytes(y).Bytes(msg))), msg);
  const std::string theirs = OpenSslSm2Encrypt(msg);
  EXPECT_EQ(One(Req(0x0813).U32(7).U32(1).U32(kSm2Pem).Bytes(theirs)), msg);
  EXPECT_EQ(One(Req(0x0813).U32(7).U32(0).U32(0).Bytes(scalar).Bytes(theirs)), msg);

  // 08 27 with the plain scalar.
  Ans p = Call(Req(0x0827).U32(2).U32(7).U32(0).Bytes(scalar));
  ASSERT_EQ(p.code(), 0);
  EXPECT_EQ(p.U32(), 7u);
  EXPECT_EQ(p.Bytes(), x);
  EXPECT_EQ(p.Bytes(), y);
}

TEST_F(AsymCommands, Sm2LmkKeysStoreAndServe) {
  Ans k = Call(Req(0x0818).U32(2).U32(256).U32(7));
  ASSERT_EQ(k.code(), 0);
  const std::string x = k.Bytes(), y = k.Bytes(), cipher = k.Bytes();
  EXPECT_LE(cipher.size(), 128u);
  ASSERT_EQ(Call(Req(0x0833).U32(2).U32(kFree).U32(7).U32(0).Bytes(x).Bytes(y).Bytes(cipher).U32(2)).code(), 0);
  EXPECT_EQ(EccPublic(kFree, 0), std::make_pair(x, y));
  Ans r = Call(Req(0x0832).U32(2).U32(kFree).U32(0));
  ASSERT_EQ(r.code(), 0);
  EXPECT_EQ(r.Bytes(), x);
  EXPECT_EQ(r.Bytes(), y);
  const std::string again = r.Bytes();
  EXPECT_EQ(r.U32(), 7u);
  // 08 29: the LMK cipher decrypts (value 1) and signs (value 0).
  const std::string ct = One(Req(0x0305).U16(7).U32(0).Bytes(x).Bytes(y).Bytes("lmk"));
  EXPECT_EQ(One(Req(0x0829).U32(2).U32(7).U32(1).Bytes(again).Bytes(ct)), "lmk");
  const std::string digest = Random(32);
  const std::string rs = One(Req(0x0829).U32(2).U32(7).U32(0).Bytes(cipher).Bytes(digest));
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(kFree).Bytes(digest).Bytes(rs)).code(), 0);
  // An RSA cipher is no SM2 key.
  Ans rsa = Call(Req(0x0818).U32(1).U32(1024).U32(65537));
  rsa.Bytes();
  rsa.Bytes();
  EXPECT_EQ(Call(Req(0x0829).U32(2).U32(7).U32(1).Bytes(rsa.Bytes()).Bytes(ct)).code(), Code(Rc::KeyDataInvalid));
}

// ---- session keys, envelopes, key exchange

TEST_F(AsymCommands, SessionKeysUnderAsymmetricKeysImportToTheSameLmkCipher) {
  for (uint32_t len : {16u, 24u}) {
    Ans g = Call(Req(0x0203).U32(kRsaGen).U32(len));
    ASSERT_EQ(g.code(), 0);
    const std::string wrapped = g.Bytes(), lmk = g.Bytes();
    EXPECT_EQ(One(Req(0x0204).U32(kRsaGen).Bytes(wrapped)), lmk);

    Ans h = Call(Req(0x0209).U32(kSm2Gen).U32(len));
    ASSERT_EQ(h.code(), 0);
    const std::string cipher = h.Bytes(), lmk2 = h.Bytes();
    EXPECT_EQ(cipher.size(), 96u + len);
    EXPECT_EQ(One(Req(0x0211).U32(kSm2Gen).Bytes(cipher)), lmk2);
  }
  // Under an external SM2 key: OpenSSL opens the key.
  const auto [x, y] = EccPublic(kSm2Pem, 1);
  Ans e = Call(Req(0x0209).U32(0).Bytes(x).Bytes(y).U32(16));
  ASSERT_EQ(e.code(), 0);
  EXPECT_EQ(OpenSslSm2Decrypt(e.Bytes()).size(), 16u);
  EXPECT_EQ(Call(Req(0x0203).U32(kRsaGen).U32(15)).code(), 27);
}

TEST_F(AsymCommands, EnvelopesAreRewrappedForTheExternalKey) {
  const std::string content = Random(16);
  // RSA: wrapped for slot 2's encryption key, re-wrapped for the PEM key.
  const auto [n2, e2] = RsaPublic(kRsaGen, 1);
  const auto [n, e] = RsaPublic(kRsaPem, 1);
  const std::string env = One(Req(0x0878).U32(0).Bytes(n2).Bytes(e2).U32(1).Bytes(content));
  const std::string re = One(Req(0x0206).U32(kRsaGen).Bytes(n).Bytes(e).Bytes(env));
  PkeyCtx c = Ctx(rsa_.get());
  std::string pt(128, '\0');
  size_t len = pt.size();
  ASSERT_EQ(EVP_PKEY_decrypt_init(c.get()), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_PKCS1_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_decrypt(c.get(), U(pt), &len, U(re), re.size()), 1);
  EXPECT_EQ(pt.substr(0, len), content);

  // SM2: slot 1's encryption key to the PEM key.
  const auto [x1, y1] = EccPublic(kSm2Gen, 1);
  const auto [x, y] = EccPublic(kSm2Pem, 1);
  const std::string senv = One(Req(0x0305).U16(7).U32(0).Bytes(x1).Bytes(y1).Bytes(content));
  EXPECT_EQ(OpenSslSm2Decrypt(One(Req(0x0212).U32(kSm2Gen).Bytes(x).Bytes(y).Bytes(senv))), content);
  EXPECT_EQ(Call(Req(0x0212).U32(kSm2Gen).Bytes(x).Bytes(Flip(y, 31)).Bytes(senv)).code(), Code(Rc::KeyDataInvalid));
}

TEST_F(AsymCommands, KeyExchangeSponsorAndResponderAgree) {
  auto temp = [&] {
    Ans t = Call(Req(0x0208).U32(7));
    EXPECT_EQ(t.code(), 0);
    std::string x = t.Bytes(), y = t.Bytes();
    return std::array<std::string, 3>{x, y, t.Bytes()};
  };
  const auto ta = temp(), tb = temp();
  const auto [xa, ya] = EccPublic(kSm2Gen, 1);
  const auto [xb, yb] = EccPublic(kSm2Pem, 1);
  const std::string idA = "sponsor", idB = "";
  auto exchange = [&](uint32_t role, uint32_t slot, const std::string& ownId, const std::array<std::string, 3>& own,
                      const std::string& peerId, const std::string& px, const std::string& py,
                      const std::array<std::string, 3>& peerTmp) {
    return Call(Req(0x0213)
                    .U32(role)
                    .Bytes(peerId)
                    .U32(64).Raw(px + py)
                    .U32(64).Raw(peerTmp[0] + peerTmp[1])
                    .U32(slot)
                    .U32(16)
                    .Bytes(ownId)
                    .U32(64).Raw(own[0] + own[1])
                    .Bytes(own[2]));
  };
  Ans a = exchange(0, kSm2Gen, idA, ta, idB, xb, yb, tb);
  Ans b = exchange(1, kSm2Pem, idB, tb, idA, xa, ya, ta);
  ASSERT_EQ(a.code(), 0);
  ASSERT_EQ(b.code(), 0);
  EXPECT_EQ(a.Bytes(), b.Bytes());
  // A temporary public key that is not the private key's own is refused.
  auto wrong = ta;
  wrong[1] = tb[1];
  EXPECT_NE(exchange(0, kSm2Gen, idA, wrong, idB, xb, yb, tb).code(), 0);
}

// ---- malformed and refused requests

TEST_F(AsymCommands, RefusalsAndGarbage) {
  const std::string digest(32, 'd');
  struct Case {
    const char* name;
    std::string req;
    uint16_t code;
  } cases[] = {
      {"ECIES encrypt", Req(0x0306).U32(0), 10},
      {"ECIES decrypt", Req(0x0307), 10},
      {"curve 5", Req(0x0303).U16(5).U32(kSm2Pem).Bytes(digest), 58},
      {"curve 5 plain", Req(0x0208).U32(5), 58},
      {"empty slot", Req(0x0216).U32(kFree + 1).U32(0), 45},
      {"slot 0", Req(0x0303).U16(7).U32(0).Bytes(digest), 21},
      {"usage 2", Req(0x0201).U32(kRsaGen).U32(2), 52},
      {"RSA bits", Req(0x0202).U32(1000).U32(65537), 53},
      {"even exponent", Req(0x0202).U32(1024).U32(4), 56},
      {"key type 3", Req(0x0832).U32(3).U32(1).U32(0), 4},
      {"short digest", Req(0x0303).U16(7).U32(kSm2Pem).Bytes("abc"), 15},
      {"OAEP without separator", Req(0x0879).U32(kRsaPem).U32(2).U32(1).U32(6).Bytes("").Bytes("x"), 15},
      {"PSS hash 4", Req(0x0819).U32(4).U32(4).U32(1).U32(4).U32(0).U32(32).Raw(digest).U32(kRsaPem), 79},
      {"off-curve point", Req(0x0305).U16(7).U32(0).Bytes(digest).Bytes(digest).Bytes("m"), Code(Rc::KeyDataInvalid)},
      {"garbage LMK cipher", Req(0x0829).U32(2).U32(7).U32(1).Bytes(Random(61)).Bytes(Random(100)),
       Code(Rc::KeyDataInvalid)},
      {"cipher too short", Req(0x0813).U32(7).U32(1).U32(kSm2Pem).Bytes(Random(96)), 15},
      {"trailing byte", Req(0x0216).U32(kSm2Pem).U32(0).Raw("x"), 15},
      {"huge length", Req(0x0305).U16(7).U32(0).U32(0xFFFFFFFF), 15},
      {"exchange point length", Req(0x0213).U32(0).Bytes("").U32(1000), 15},
  };
  for (const auto& c : cases) EXPECT_EQ(Call(c.req).code(), c.code) << c.name;

  // Every truncation of a valid request is answered, never fatal.
  const std::string valid[] = {
      Req(0x0303).U16(7).U32(kSm2Pem).Bytes(digest),
      Req(0x0819).U32(4).U32(4).U32(1).U32(6).U32(20).U32(32).Raw(digest).U32(kRsaPem),
      Req(0x0213).U32(0).Bytes("a").U32(64).Raw(Random(64)).U32(64).Raw(Random(64)).U32(1).U32(16).Bytes("b"),
      Req(0x0833).U32(2).U32(kFree).U32(7).U32(0).Bytes("x").Bytes("y").Bytes("c").U32(1),
  };
  for (const auto& req : valid) {
    for (size_t cut = 2; cut < req.size(); ++cut) {
      Ans a = Call(req.substr(0, cut));
      EXPECT_NE(a.code(), 0) << SimTest::ToHex(req.substr(0, 2)) << " cut at " << cut;
    }
  }
}

}  // namespace
