// RSA and SM2 commands, cross-checked against OpenSSL with the same keys.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "simulator/SimTestUtil.h"
#include "support/QuorSimulator.h"

using namespace SimTest;

namespace {

using Pkey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using PctxPtr = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

PctxPtr Ctx(EVP_PKEY* k) { return PctxPtr(EVP_PKEY_CTX_new_from_pkey(nullptr, k, nullptr), EVP_PKEY_CTX_free); }
const unsigned char* U(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

std::string Bn(const EVP_PKEY* k, const char* name, size_t width = 0) {
  BIGNUM* b = nullptr;
  EVP_PKEY_get_bn_param(k, name, &b);
  std::string out(std::max<size_t>(width, static_cast<size_t>(BN_num_bytes(b))), '\0');
  BN_bn2binpad(b, reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(out.size()));
  BN_free(b);
  return out;
}

// OpenSSL's SM2 cipher text is DER; the device's is x || y || M || C.
std::string DerLen(size_t n) {
  if (n < 128) return std::string(1, static_cast<char>(n));
  if (n < 256) return std::string("\x81") + static_cast<char>(n);
  return std::string("\x82") + static_cast<char>(n >> 8) + static_cast<char>(n);
}
std::string DerInt(std::string v) {
  while (v.size() > 1 && v[0] == 0) v.erase(0, 1);
  if (static_cast<unsigned char>(v[0]) & 0x80) v.insert(v.begin(), '\0');
  return "\x02" + DerLen(v.size()) + v;
}
std::string DeviceToDer(const std::string& c) {
  const std::string body = DerInt(c.substr(0, 32)) + DerInt(c.substr(32, 32)) + "\x04" + DerLen(32) + c.substr(64, 32) +
                           "\x04" + DerLen(c.size() - 96) + c.substr(96);
  return "\x30" + DerLen(body.size()) + body;
}
std::string DerToDevice(std::string_view der) {
  size_t pos = 0;
  auto item = [&](unsigned char tag) {
    EXPECT_EQ(static_cast<unsigned char>(der[pos]), tag);
    size_t len = static_cast<unsigned char>(der[pos + 1]), off = 2;
    if (len & 0x80) {
      const size_t k = len & 0x7F;
      len = 0;
      for (size_t i = 0; i < k; ++i) len = len << 8 | static_cast<unsigned char>(der[pos + 2 + i]);
      off += k;
    }
    std::string v(der.substr(pos + off, len));
    pos += off + len;
    return v;
  };
  item(0x30);
  pos = der[1] & 0x80 ? 2 + (der[1] & 0x7F) : 2;
  auto fix = [](std::string v) {
    while (v.size() > 32) v.erase(0, 1);
    return std::string(32 - v.size(), '\0') + v;
  };
  std::string x = fix(item(0x02)), y = fix(item(0x02)), m = item(0x04), c = item(0x04);
  return x + y + m + c;
}

std::string Sm2Sign(EVP_PKEY* k, std::string_view hash) {
  auto c = Ctx(k);
  EVP_PKEY_sign_init(c.get());
  unsigned char der[128];
  size_t n = sizeof der;
  EVP_PKEY_sign(c.get(), der, &n, U(hash), hash.size());
  const unsigned char* p = der;
  ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(n));
  std::string rs(64, '\0');
  BN_bn2binpad(ECDSA_SIG_get0_r(sig), reinterpret_cast<unsigned char*>(rs.data()), 32);
  BN_bn2binpad(ECDSA_SIG_get0_s(sig), reinterpret_cast<unsigned char*>(rs.data()) + 32, 32);
  ECDSA_SIG_free(sig);
  return rs;
}

bool Sm2Verify(EVP_PKEY* k, std::string_view hash, std::string_view rs) {
  ECDSA_SIG* sig = ECDSA_SIG_new();
  ECDSA_SIG_set0(sig, BN_bin2bn(U(rs), 32, nullptr), BN_bin2bn(U(rs) + 32, 32, nullptr));
  unsigned char* der = nullptr;
  const int n = i2d_ECDSA_SIG(sig, &der);
  auto c = Ctx(k);
  EVP_PKEY_verify_init(c.get());
  const bool ok = EVP_PKEY_verify(c.get(), der, static_cast<size_t>(n), U(hash), hash.size()) == 1;
  OPENSSL_free(der);
  ECDSA_SIG_free(sig);
  return ok;
}

std::string PkeyOp(EVP_PKEY* k, bool encrypt, int padding, std::string_view in, const EVP_MD* oaep = nullptr,
                   std::string label = {}) {
  auto c = Ctx(k);
  encrypt ? EVP_PKEY_encrypt_init(c.get()) : EVP_PKEY_decrypt_init(c.get());
  if (padding) EVP_PKEY_CTX_set_rsa_padding(c.get(), padding);
  if (oaep) {
    EVP_PKEY_CTX_set_rsa_oaep_md(c.get(), oaep);
    if (!label.empty()) EVP_PKEY_CTX_set0_rsa_oaep_label(c.get(), OPENSSL_memdup(label.data(), label.size()), static_cast<int>(label.size()));
  }
  size_t n = 0;
  auto op = encrypt ? EVP_PKEY_encrypt : EVP_PKEY_decrypt;
  if (op(c.get(), nullptr, &n, U(in), in.size()) != 1) return "<failed>";
  std::string out(n, '\0');
  if (op(c.get(), reinterpret_cast<unsigned char*>(out.data()), &n, U(in), in.size()) != 1) return "<failed>";
  out.resize(n);
  return out;
}

class Asym : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    LoadProviders();
    dir_ = new std::string(QuorTest::MakeTempDir());
    sm2_ = EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2");
    rsa_ = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t{2048});
    auto write = [](EVP_PKEY* k, const std::string& path) {
      FILE* f = fopen(path.c_str(), "w");
      PEM_write_PrivateKey(f, k, nullptr, nullptr, 0, nullptr, nullptr);
      fclose(f);
    };
    write(sm2_, *dir_ + "/sm2.pem");
    write(rsa_, *dir_ + "/rsa.pem");
    QuorTest::SimulatorOptions o;
    o.keys = {{.slot = 1, .type = "sm2", .password = "pw", .pem = *dir_ + "/sm2.pem"},
              {.slot = 2, .type = "rsa2048", .pem = *dir_ + "/rsa.pem"},
              {.slot = 3, .type = "sm2", .usage = "sign"}};
    sim_ = new QuorTest::Simulator(o);
  }
  static void TearDownTestSuite() {
    delete sim_;
    EVP_PKEY_free(sm2_);
    EVP_PKEY_free(rsa_);
    std::filesystem::remove_all(*dir_);
    delete dir_;
  }
  void SetUp() override { conn_ = std::make_unique<QuorTest::FramedClient>(sim_->Connect()); }
  Ans Call(const std::string& req) {
    auto a = conn_->Exchange(req);
    if (!a) throw std::runtime_error("no answer");
    return Ans(*a);
  }
  std::string X() { return Bn(sm2_, OSSL_PKEY_PARAM_EC_PUB_X, 32); }
  std::string Y() { return Bn(sm2_, OSSL_PKEY_PARAM_EC_PUB_Y, 32); }
  std::string N() { return Bn(rsa_, OSSL_PKEY_PARAM_RSA_N); }
  std::string E() { return Bn(rsa_, OSSL_PKEY_PARAM_RSA_E); }

  static EVP_PKEY* sm2_;
  static EVP_PKEY* rsa_;
  static std::string* dir_;
  static QuorTest::Simulator* sim_;
  std::unique_ptr<QuorTest::FramedClient> conn_;
};
EVP_PKEY* Asym::sm2_ = nullptr;
EVP_PKEY* Asym::rsa_ = nullptr;
std::string* Asym::dir_ = nullptr;
QuorTest::Simulator* Asym::sim_ = nullptr;

TEST_F(Asym, ExportedPublicKeysAreTheProvisionedOnes) {
  for (uint32_t usage : {0u, 1u}) {
    Ans r = Call(Req(0x0201).U32(2).U32(usage));
    ASSERT_EQ(r.code(), 0);
    EXPECT_EQ(r.Bytes(), N());
    EXPECT_EQ(r.Bytes(), E());
    Ans e = Call(Req(0x0216).U32(1).U32(usage));
    ASSERT_EQ(e.code(), 0);
    EXPECT_EQ(e.U32(), 7u);
    EXPECT_EQ(e.Bytes(), X());
    EXPECT_EQ(e.Bytes(), Y());
  }
  EXPECT_EQ(Call(Req(0x0216).U32(3).U32(1)).code(), 45);  // slot 3 holds only a signing pair
  EXPECT_EQ(Call(Req(0x0216).U32(1).U32(2)).code(), 52);
  std::string pem;
  ASSERT_EQ(QuorTest::Simulator::Run({"key", "export", "--store", sim_->storePath(), "--slot", "1", "--type", "sm2",
                                      "--usage", "enc"},
                                     &pem),
            0);
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  EVP_PKEY* pub = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  ASSERT_NE(pub, nullptr);
  EXPECT_EQ(Bn(pub, OSSL_PKEY_PARAM_EC_PUB_X, 32), X());
  EVP_PKEY_free(pub);
}

TEST_F(Asym, RsaRawOperationsEqualOpenSslNoPadding) {
  std::string block = Pattern(256, 3);
  block[0] = 0x01;  // below the modulus
  const std::string pub = PkeyOp(rsa_, true, RSA_NO_PADDING, block);
  Ans a = Call(Req(0x0301).U32(2).Bytes(block));
  ASSERT_EQ(a.code(), 0);
  EXPECT_EQ(a.Bytes(), pub);
  Ans ext = Call(Req(0x0878).U32(0).Bytes(N()).Bytes(E()).U32(0).Bytes(block));
  EXPECT_EQ(ext.Bytes(), pub);
  // The private raw operation by slot (08 19 padding 0) and by components (08 11).
  Ans s = Call(Req(0x0819).U32(0).U32(4).Bytes(pub).U32(2));
  ASSERT_EQ(s.code(), 0);
  EXPECT_EQ(s.Bytes(), block);
  Req comp = Req(0x0811).U32(0).U32(0);
  for (const char* n : {OSSL_PKEY_PARAM_RSA_N, OSSL_PKEY_PARAM_RSA_E, OSSL_PKEY_PARAM_RSA_D, OSSL_PKEY_PARAM_RSA_FACTOR1,
                        OSSL_PKEY_PARAM_RSA_FACTOR2, OSSL_PKEY_PARAM_RSA_EXPONENT1, OSSL_PKEY_PARAM_RSA_EXPONENT2,
                        OSSL_PKEY_PARAM_RSA_COEFFICIENT1})
    comp.Bytes(Bn(rsa_, n));
  Ans c = Call(comp.Bytes(pub));
  ASSERT_EQ(c.code(), 0);
  EXPECT_EQ(c.Bytes(), block);
  EXPECT_EQ(Call(Req(0x0301).U32(2).Bytes(std::string(257, 1))).code(), 15);
}

TEST_F(Asym, RsaSignaturesAndEncryptionInteroperate) {
  const std::string prefix = Hex("3031300d060960864801650304020105000420");
  const std::string hash = Digest("SHA256", "to be signed");
  Ans s = Call(Req(0x0819).U32(1).U32(4).Bytes(prefix + hash).U32(2));
  ASSERT_EQ(s.code(), 0);
  const std::string sig = s.Bytes();
  auto vc = Ctx(rsa_);
  EVP_PKEY_verify_init(vc.get());
  EVP_PKEY_CTX_set_rsa_padding(vc.get(), RSA_PKCS1_PADDING);
  EVP_PKEY_CTX_set_signature_md(vc.get(), EVP_sha256());
  EXPECT_EQ(EVP_PKEY_verify(vc.get(), U(sig), sig.size(), U(hash), hash.size()), 1);
  EXPECT_EQ(Call(Req(0x0820).U32(1).U32(4).Bytes(sig).Bytes(prefix + hash).U32(0).Bytes(N()).Bytes(E())).code(), 0);
  std::string bad = sig;
  bad[10] ^= 1;
  EXPECT_EQ(Call(Req(0x0820).U32(1).U32(4).Bytes(bad).Bytes(prefix + hash).U32(2)).code(), 1);
  // PSS with SHA-256 and a 32-byte salt, verified by the device itself.
  Ans p = Call(Req(0x0819).U32(4).U32(4).U32(1).U32(6).U32(32).Bytes(hash).U32(2));
  ASSERT_EQ(p.code(), 0);
  EXPECT_EQ(Call(Req(0x0820).U32(4).U32(4).U32(1).U32(6).U32(32).Bytes(p.Bytes()).Bytes(hash).U32(2)).code(), 0);

  // PKCS#1 v1.5 from the device opens in OpenSSL; OAEP with a label from OpenSSL opens in the device.
  Ans e = Call(Req(0x0878).U32(2).U32(1).Bytes("secret"));
  ASSERT_EQ(e.code(), 0);
  EXPECT_EQ(PkeyOp(rsa_, false, RSA_PKCS1_PADDING, e.Bytes()), "secret");
  const std::string oaep = PkeyOp(rsa_, true, RSA_PKCS1_OAEP_PADDING, "message", EVP_sha256(), "label");
  Ans d = Call(Req(0x0879).U32(2).U32(2).U32(1).U32(6).Bytes("label").Raw("\x3B").Bytes(oaep));
  ASSERT_EQ(d.code(), 0);
  EXPECT_EQ(d.Bytes(), "message");
  EXPECT_EQ(Call(Req(0x0879).U32(2).U32(2).U32(1).U32(6).Bytes("other").Raw("\x3B").Bytes(oaep)).code(), 42);
  EXPECT_EQ(Call(Req(0x0879).U32(2).U32(2).U32(1).U32(6).Bytes("label").Raw("\x3C").Bytes(oaep)).code(), 15);
}

TEST_F(Asym, Sm2SignaturesInteroperate) {
  const std::string hash = Digest("SM3", "hash me");
  Ans s = Call(Req(0x0303).U16(7).U32(1).Bytes(hash));
  ASSERT_EQ(s.code(), 0);
  const std::string rs = s.Bytes();
  EXPECT_TRUE(Sm2Verify(sm2_, hash, rs));
  const std::string theirs = Sm2Sign(sm2_, hash);
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(0).Bytes(X()).Bytes(Y()).Bytes(hash).Bytes(theirs)).code(), 0);
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(1).Bytes(hash).Bytes(theirs)).code(), 0);
  std::string bad = theirs;
  bad[5] ^= 1;
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(1).Bytes(hash).Bytes(bad)).code(), 1);
  Ans ext = Call(Req(0x0812).U32(7).Bytes(Bn(sm2_, OSSL_PKEY_PARAM_PRIV_KEY, 32)).Bytes(hash));
  ASSERT_EQ(ext.code(), 0);
  EXPECT_TRUE(Sm2Verify(sm2_, hash, ext.Bytes()));
  EXPECT_EQ(Call(Req(0x0303).U16(8).U32(1).Bytes(hash)).code(), 58);
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(0).Bytes(X()).Bytes(X()).Bytes(hash).Bytes(theirs)).code(), 76);  // off the curve
}

TEST_F(Asym, Sm2EncryptionInteroperates) {
  Ans e = Call(Req(0x0305).U16(7).U32(1).Bytes("for the device"));
  ASSERT_EQ(e.code(), 0);
  const std::string c = e.Bytes();
  EXPECT_EQ(c.size(), 96u + 14);
  EXPECT_EQ(PkeyOp(sm2_, false, 0, DeviceToDer(c)), "for the device");
  const std::string theirs = DerToDevice(PkeyOp(sm2_, true, 0, "from openssl"));
  Ans d = Call(Req(0x0813).U32(7).U32(1).U32(1).Bytes(theirs));
  ASSERT_EQ(d.code(), 0);
  EXPECT_EQ(d.Bytes(), "from openssl");
  Ans d0 = Call(Req(0x0813).U32(7).U32(0).U32(0).Bytes(Bn(sm2_, OSSL_PKEY_PARAM_PRIV_KEY, 32)).Bytes(theirs));
  EXPECT_EQ(d0.Bytes(), "from openssl");
  std::string bad = theirs;
  bad[70] ^= 1;
  EXPECT_EQ(Call(Req(0x0813).U32(7).U32(1).U32(1).Bytes(bad)).code(), 42);
}

TEST_F(Asym, SessionKeysAndEnvelopes) {
  const std::string plain = Pattern(16, 1);
  auto sm4 = [&](const std::string& cipher) {
    Ans a = Call(Req(0x0401).U32(0).Key(0, cipher).U32(7).Bytes(plain));
    EXPECT_EQ(a.code(), 0);
    return a.Bytes();
  };
  // Under the slot's RSA key: OpenSSL opens the wrapped key, and it is the key the LMK cipher holds.
  Ans g = Call(Req(0x0203).U32(2).U32(16));
  ASSERT_EQ(g.code(), 0);
  const std::string wrapped = g.Bytes(), cipher = g.Bytes();
  const std::string key = PkeyOp(rsa_, false, RSA_PKCS1_PADDING, wrapped);
  EXPECT_EQ(sm4(cipher), Evp("SM4-ECB", false, key, {}, plain));
  Ans i = Call(Req(0x0204).U32(2).Bytes(wrapped));
  ASSERT_EQ(i.code(), 0);
  EXPECT_EQ(i.Bytes(), cipher);
  Ans ge = Call(Req(0x0203).U32(0).Bytes(N()).Bytes(E()).U32(16));
  EXPECT_EQ(PkeyOp(rsa_, false, RSA_PKCS1_PADDING, ge.Bytes()).size(), 16u);

  Ans s = Call(Req(0x0209).U32(1).U32(16));
  ASSERT_EQ(s.code(), 0);
  const std::string eccWrapped = s.Bytes(), eccCipher = s.Bytes();
  const std::string eccKey = PkeyOp(sm2_, false, 0, DeviceToDer(eccWrapped));
  EXPECT_EQ(sm4(eccCipher), Evp("SM4-ECB", false, eccKey, {}, plain));
  EXPECT_EQ(Call(Req(0x0211).U32(1).Bytes(eccWrapped)).Bytes(), eccCipher);

  // Envelopes: opened with the slot's key and sealed again for an outside key.
  Pkey outside(EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2"), EVP_PKEY_free);
  const std::string content = "envelope content";
  Ans ee = Call(Req(0x0212).U32(1).Bytes(Bn(outside.get(), OSSL_PKEY_PARAM_EC_PUB_X, 32))
                    .Bytes(Bn(outside.get(), OSSL_PKEY_PARAM_EC_PUB_Y, 32))
                    .Bytes(DerToDevice(PkeyOp(sm2_, true, 0, content))));
  ASSERT_EQ(ee.code(), 0);
  EXPECT_EQ(PkeyOp(outside.get(), false, 0, DeviceToDer(ee.Bytes())), content);
  Pkey outsideRsa(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t{1024}), EVP_PKEY_free);
  Ans er = Call(Req(0x0206).U32(2).Bytes(Bn(outsideRsa.get(), OSSL_PKEY_PARAM_RSA_N)).Bytes(Bn(outsideRsa.get(), OSSL_PKEY_PARAM_RSA_E))
                    .Bytes(PkeyOp(rsa_, true, RSA_PKCS1_PADDING, content)));
  ASSERT_EQ(er.code(), 0);
  EXPECT_EQ(PkeyOp(outsideRsa.get(), false, RSA_PKCS1_PADDING, er.Bytes()), content);
}

TEST_F(Asym, GenerationUnderTheLmkAndStorage) {
  // SM2: made under the LMK, stored into a slot, read back, used.
  Ans g = Call(Req(0x0818).U32(2).U32(256).U32(7));
  ASSERT_EQ(g.code(), 0);
  const std::string x = g.Bytes(), y = g.Bytes(), cipher = g.Bytes();
  EXPECT_LE(cipher.size(), 128u);
  EXPECT_EQ(Call(Req(0x0833).U32(2).U32(50).U32(7).U32(0).Bytes(x).Bytes(y).Bytes(cipher).U32(1)).code(), 0);
  Ans pk = Call(Req(0x0216).U32(50).U32(0));
  ASSERT_EQ(pk.code(), 0);
  pk.U32();
  EXPECT_EQ(pk.Bytes(), x);
  Ans back = Call(Req(0x0832).U32(2).U32(50).U32(0));
  ASSERT_EQ(back.code(), 0);
  EXPECT_EQ(back.Bytes(), x);
  back.Bytes();
  EXPECT_EQ(back.Bytes(), cipher);
  EXPECT_EQ(Call(Req(0x0833).U32(2).U32(51).U32(7).U32(0).Bytes(y).Bytes(x).Bytes(cipher).U32(1)).code(), 57);
  Ans pub = Call(Req(0x0827).U32(2).U32(7).U32(1).Bytes(cipher));
  ASSERT_EQ(pub.code(), 0);
  pub.U32();
  EXPECT_EQ(pub.Bytes(), x);
  const std::string hash = Digest("SM3", "x");
  Ans sig = Call(Req(0x0829).U32(2).U32(7).U32(0).Bytes(cipher).Bytes(hash));
  ASSERT_EQ(sig.code(), 0);
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(0).Bytes(x).Bytes(y).Bytes(hash).Bytes(sig.Bytes())).code(), 0);

  // RSA: the private key's LMK cipher decrypts what its public key encrypted.
  Ans r = Call(Req(0x0818).U32(1).U32(1024).U32(65537));
  ASSERT_EQ(r.code(), 0);
  const std::string n = r.Bytes(), e = r.Bytes(), rc = r.Bytes();
  EXPECT_LE(rc.size(), 3072u);
  EXPECT_EQ(e, Hex("010001"));
  Ans enc = Call(Req(0x0878).U32(0).Bytes(n).Bytes(e).U32(1).Bytes("rsa"));
  ASSERT_EQ(enc.code(), 0);
  const std::string sealed = enc.Bytes();
  Ans dec = Call(Req(0x0879).U32(0).Bytes(rc).U32(1).Bytes(sealed));
  ASSERT_EQ(dec.code(), 0);
  EXPECT_EQ(dec.Bytes(), "rsa");
  EXPECT_EQ(Call(Req(0x0833).U32(1).U32(52).U32(1).Bytes(n).Bytes(e).Bytes(rc).U32(2)).code(), 0);
  Ans stored = Call(Req(0x0201).U32(52).U32(1));
  ASSERT_EQ(stored.code(), 0);
  EXPECT_EQ(stored.Bytes(), n);
  EXPECT_EQ(Call(Req(0x0818).U32(1).U32(1000).U32(65537)).code(), 53);
  std::string broken = rc;
  broken[broken.size() / 2] ^= 1;
  EXPECT_NE(Call(Req(0x0879).U32(0).Bytes(broken).U32(1).Bytes(sealed)).code(), 0);
}

TEST_F(Asym, PlainGeneration) {
  Ans r = Call(Req(0x0202).U32(1024).U32(65537));
  ASSERT_EQ(r.code(), 0);
  std::vector<std::string> parts;
  for (int i = 0; i < 8; ++i) parts.push_back(r.Bytes());
  EXPECT_EQ(parts[0].size(), 128u);
  EXPECT_EQ(parts[1], Hex("010001"));
  Ans c = Call(Req(0x0878).U32(0).Bytes(parts[0]).Bytes(parts[1]).U32(1).Bytes("x"));
  Req op = Req(0x0811).U32(0).U32(0);
  for (const auto& p : parts) op.Bytes(p);
  Ans raw = Call(op.Bytes(c.Bytes()));
  ASSERT_EQ(raw.code(), 0);
  EXPECT_EQ(raw.Bytes().back(), 'x');  // the PKCS#1 block ends with the message
  Ans e = Call(Req(0x0208).U32(7));
  ASSERT_EQ(e.code(), 0);
  const std::string x = e.Bytes(), y = e.Bytes(), d = e.Bytes();
  const std::string hash = Digest("SM3", "y");
  Ans sig = Call(Req(0x0812).U32(7).Bytes(d).Bytes(hash));
  EXPECT_EQ(Call(Req(0x0304).U16(7).U32(0).Bytes(x).Bytes(y).Bytes(hash).Bytes(sig.Bytes())).code(), 0);
}

}  // namespace
