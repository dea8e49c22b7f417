// Every command of the simulator through a raw framed socket, with the
// answers checked against OpenSSL computing the same thing with the plain key.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/hmac.h>

#include <memory>

#include "simulator/SimTestUtil.h"
#include "support/QuorSimulator.h"

using namespace SimTest;

namespace {

struct AlgCase {
  uint32_t alg;
  uint32_t slot;
  const char* type;
  const char* keyHex;
  const char* names[4];  // OpenSSL ciphers for ECB, CBC, CFB, OFB
  size_t block;
};

const AlgCase kAlgs[] = {
    {0, 5, "des", "133457799BBCDFF1", {"DES-ECB", "DES-CBC", "DES-CFB", "DES-OFB"}, 8},
    {1, 6, "3des2", "0123456789ABCDEF23456789ABCDEF01", {"DES-EDE-ECB", "DES-EDE-CBC", "DES-EDE-CFB", "DES-EDE-OFB"}, 8},
    {2, 7, "3des3", "0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123",
     {"DES-EDE3-ECB", "DES-EDE3-CBC", "DES-EDE3-CFB", "DES-EDE3-OFB"}, 8},
    {3, 2, "aes128", "000102030405060708090A0B0C0D0E0F", {"AES-128-ECB", "AES-128-CBC", "AES-128-CFB", "AES-128-OFB"}, 16},
    {4, 3, "aes192", "000102030405060708090A0B0C0D0E0F1011121314151617",
     {"AES-192-ECB", "AES-192-CBC", "AES-192-CFB", "AES-192-OFB"}, 16},
    {5, 4, "aes256", "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F",
     {"AES-256-ECB", "AES-256-CBC", "AES-256-CFB", "AES-256-OFB"}, 16},
    {7, 1, "sm4", "0123456789ABCDEFFEDCBA9876543210", {"SM4-ECB", "SM4-CBC", "SM4-CFB", "SM4-OFB"}, 16},
};

const char kKekHex[] = "00112233445566778899AABBCCDDEEFF";

class Commands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    QuorTest::SimulatorOptions o;
    for (const auto& a : kAlgs) o.keys.push_back({a.slot, a.type, a.keyHex, std::string("key-") + a.type, ""});
    o.keys.push_back({10, "sm4", kKekHex, "kek", ""});
    o.keys.push_back({20, "", "", "", "secret"});
    sim_ = new QuorTest::Simulator(o);
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override { conn_ = std::make_unique<QuorTest::FramedClient>(sim_->Connect()); }

  Ans Call(const std::string& req) {
    auto a = conn_->Exchange(req);
    if (!a) throw std::runtime_error("no answer");
    return Ans(*a);
  }
  // The LMK cipher and check value of a slot key (08 09).
  std::pair<std::string, std::string> SlotCipher(uint32_t slot) {
    Ans a = Call(Req(0x0809).U32(slot));
    EXPECT_EQ(a.code(), 0);
    a.U32();
    std::string cipher = a.Bytes();
    return {cipher, a.Raw(8)};
  }

  static QuorTest::Simulator* sim_;
  std::unique_ptr<QuorTest::FramedClient> conn_;
};
QuorTest::Simulator* Commands::sim_ = nullptr;

TEST_F(Commands, AnswerCodeIsCommandCodePlusOneAndHeartbeatIsRandom) {
  Ans a = Call(Hex("010200000004"));
  Ans b = Call(Hex("010200000004"));
  EXPECT_EQ(a.raw().substr(0, 4), Hex("01030000"));
  ASSERT_EQ(a.raw().size(), 8u);
  EXPECT_NE(a.raw(), b.raw());
  EXPECT_EQ(Call(Hex("08FF")).cmd(), 0x0800);  // only the second byte counts up
  EXPECT_EQ(Call(Req(0x0102).U32(2048)).raw().size(), 4u + 2048);
  EXPECT_EQ(Call(Req(0x0102).U32(2049)).code(), 15);
  EXPECT_EQ(Call(Req(0x0102).U32(0)).raw(), Hex("01030000"));
}

TEST_F(Commands, DeviceInfoFitsTheClientTemplate) {
  Ans a = Call(Hex("0101"));
  ASSERT_EQ(a.code(), 0);
  std::string texts[3];
  for (auto& t : texts) {
    const std::string len = a.Raw(2);
    t = a.Raw(static_cast<unsigned char>(len[0]) << 8 | static_cast<unsigned char>(len[1]));
  }
  EXPECT_LE(texts[0].size(), 40u);
  EXPECT_LE(texts[1].size(), 16u);
  EXPECT_LE(texts[2].size(), 16u);
  EXPECT_EQ(a.Rest().size(), 4u + 4 + 8 + 4 + 4 + 8);
  EXPECT_EQ(Call(Hex("010100")).code(), 15);
}

TEST_F(Commands, UnsupportedAlgorithmsAndUnknownCommands) {
  for (uint32_t alg : {6u, 8u, 10u, 11u, 9u, 99u}) {
    Ans a = Call(Req(0x0401).U32(1).Key(1).U32(alg).Bytes(std::string(16, 'a')).Raw(std::string(alg == 11 ? 8 : 16, 0)));
    EXPECT_EQ(a.code(), 3) << alg;
  }
  EXPECT_EQ(Call(Hex("7F7F0000")).code(), 10);
  EXPECT_EQ(Call(Req(0x0306).U32(0)).code(), 10);  // ECIES is not offered
  EXPECT_EQ(Call(Hex("AB")).code(), 15);
}

TEST_F(Commands, CipherModesMatchOpenSslAndChainThroughTheIv) {
  for (const auto& c : kAlgs) {
    const std::string key = Hex(c.keyHex);
    const auto [cipher, kcv] = SlotCipher(c.slot);
    EXPECT_EQ(cipher.size(), key.size()) << c.type;
    EXPECT_EQ(kcv, Evp(c.names[0], false, key, {}, std::string(c.block, '\0')).substr(0, 8)) << c.type;
    for (uint32_t mode = 0; mode < 4; ++mode) {
      SCOPED_TRACE(std::string(c.names[mode]));
      const std::string iv = mode == 0 ? std::string() : Pattern(c.block, 7);
      const std::string plain = Pattern(c.block * 6, mode);
      const std::string expect = Evp(c.names[mode], false, key, iv, plain);
      // Encrypt in two pieces through the slot, carrying the returned IV.
      std::string got, chain = iv;
      for (size_t half : {size_t{0}, plain.size() / 2}) {
        Req r = Req(0x0401).U32(mode).Key(c.slot).U32(c.alg).Bytes(plain.substr(half, plain.size() / 2));
        if (mode != 0) r.Raw(chain);
        Ans a = Call(r);
        ASSERT_EQ(a.code(), 0);
        got += a.Bytes();
        chain = a.Bytes();
        EXPECT_EQ(chain.size(), mode == 0 ? 0u : c.block);
      }
      EXPECT_EQ(ToHex(got), ToHex(expect));
      // Decrypt in one piece through the LMK cipher.
      Req r = Req(0x0402).U32(mode).Key(0, cipher).U32(c.alg).Bytes(expect);
      if (mode != 0) r.Raw(iv);
      Ans d = Call(r);
      ASSERT_EQ(d.code(), 0);
      EXPECT_EQ(d.Bytes(), plain);
    }
  }
}

TEST_F(Commands, CipherRefusals) {
  const auto [cipher, kcv] = SlotCipher(1);
  // Partial block in CBC, empty data, a key of the wrong length for the algorithm, an empty slot.
  EXPECT_EQ(Call(Req(0x0401).U32(1).Key(1).U32(7).Bytes(std::string(15, 'x')).Raw(std::string(16, 0))).code(), 15);
  EXPECT_EQ(Call(Req(0x0401).U32(0).Key(1).U32(7).Bytes("")).code(), 15);
  EXPECT_EQ(Call(Req(0x0401).U32(0).Key(0, cipher).U32(5).Bytes(std::string(16, 'x'))).code(), 27);
  EXPECT_EQ(Call(Req(0x0401).U32(0).Key(99).U32(7).Bytes(std::string(16, 'x'))).code(), 45);
  EXPECT_EQ(Call(Req(0x0401).U32(0).Key(0, "short").U32(7).Bytes(std::string(16, 'x'))).code(), 27);
  EXPECT_EQ(Call(Req(0x0401).U32(5).Key(1).U32(7).Bytes(std::string(16, 'x')).Raw(std::string(16, 0))).code(), 3);
}

TEST_F(Commands, CbcMacIsTheLastBlockAndChains) {
  for (const auto& c : {kAlgs[6], kAlgs[2], kAlgs[3]}) {
    const std::string key = Hex(c.keyHex);
    const std::string data = Pattern(c.block * 8, 3);
    const std::string iv = Pattern(c.block, 9);
    const std::string cbc = Evp(c.names[1], false, key, iv, data);
    const std::string whole = cbc.substr(cbc.size() - c.block);
    Ans a = Call(Req(0x0403).U32(1).Key(c.slot).U32(c.alg).Bytes(data).Raw(iv));
    ASSERT_EQ(a.code(), 0);
    EXPECT_EQ(ToHex(a.Bytes()), ToHex(whole));
    Ans p1 = Call(Req(0x0403).U32(1).Key(c.slot).U32(c.alg).Bytes(data.substr(0, c.block * 3)).Raw(iv));
    Ans p2 = Call(Req(0x0403).U32(1).Key(c.slot).U32(c.alg).Bytes(data.substr(c.block * 3)).Raw(p1.Bytes()));
    EXPECT_EQ(ToHex(p2.Bytes()), ToHex(whole));
  }
  EXPECT_EQ(Call(Req(0x0403).U32(2).Key(1).U32(7).Bytes(std::string(16, 'a')).Raw(std::string(16, 0))).code(), 102);
  EXPECT_EQ(Call(Req(0x0403).U32(1).Key(1).U32(7).Bytes(std::string(16, 'a'))).code(), 15);  // no IV
}

TEST_F(Commands, HmacStateCarriesAcrossPieces) {
  struct {
    uint16_t code;
    const char* md;
  } hashes[] = {{1, "SHA1"}, {6, "SHA256"}, {20, "SM3"}};
  const std::string data = Pattern(20000, 5);
  const auto [cipher, kcv] = SlotCipher(1);
  const std::string longKey = Pattern(100, 2);  // longer than a block: hashed first
  for (const auto& h : hashes) {
    SCOPED_TRACE(h.md);
    for (int variant = 0; variant < 3; ++variant) {
      const std::string key = variant == 2 ? longKey : Hex(kAlgs[6].keyHex);
      unsigned char md[EVP_MAX_MD_SIZE];
      size_t mdLen = 0;
      EVP_Q_mac(nullptr, "HMAC", nullptr, h.md, nullptr, key.data(), key.size(),
                reinterpret_cast<const unsigned char*>(data.data()), data.size(), md, sizeof md, &mdLen);
      std::string state, mac;
      for (size_t off = 0; off < data.size(); off += 8192) {
        Req r = Req(0x0881).U16(h.code);
        if (variant == 0) r.U32(1);                        // slot key
        if (variant == 1) r.U32(0).U32(2).Bytes(cipher);   // LMK cipher
        if (variant == 2) r.U32(0).U32(1).Bytes(longKey);  // plain key
        Ans a = Call(r.Bytes(state).Bytes(data.substr(off, 8192)));
        ASSERT_EQ(a.code(), 0);
        state = a.Bytes();
        mac = a.Bytes();
        EXPECT_LE(state.size(), 512u);
      }
      EXPECT_EQ(ToHex(mac), ToHex(std::string(reinterpret_cast<char*>(md), mdLen))) << variant;
    }
  }
  EXPECT_EQ(Call(Req(0x0881).U16(4).U32(1).Bytes("").Bytes("x")).code(), 79);
  EXPECT_EQ(Call(Req(0x0881).U16(6).U32(1).Bytes("garbage state").Bytes("x")).code(), 15);
}

TEST_F(Commands, HashesWithStateMatchOpenSsl) {
  struct {
    uint32_t code;
    const char* md;
  } hashes[] = {{1, "SHA1"}, {6, "SHA256"}, {20, "SM3"}};
  const std::string data = Pattern(1000, 8);
  for (const auto& h : hashes) {
    Req init = Req(0x0501).U32(h.code);
    if (h.code == 20) init.Bytes("").Bytes("").Bytes("");
    Ans a = Call(init);
    ASSERT_EQ(a.code(), 0);
    std::string state = a.Bytes();
    // Pieces of awkward sizes cross block boundaries.
    for (size_t off = 0, step = 1; off < data.size(); off += step, step = step * 3 + 1) {
      Ans u = Call(Req(0x0502).Bytes(state).Bytes(data.substr(off, step)));
      ASSERT_EQ(u.code(), 0);
      state = u.Bytes();
      ASSERT_LE(state.size(), 512u);
    }
    Ans f = Call(Req(0x0503).Bytes(state));
    ASSERT_EQ(f.code(), 0);
    EXPECT_EQ(ToHex(f.Bytes()), ToHex(Digest(h.md, data))) << h.md;
  }
  EXPECT_EQ(Call(Req(0x0501).U32(4)).code(), 79);
  EXPECT_EQ(Call(Req(0x0501).U32(6).Bytes("")).code(), 15);  // only SM3 carries a key and ID
  EXPECT_EQ(Call(Req(0x0502).Bytes("HSH1junk").Bytes("x")).code(), 15);
}

// The SM3 digest with the signer preprocessing, signed by OpenSSL as a raw
// digest, must verify under OpenSSL's own SM2 verification of the message.
TEST_F(Commands, Sm3WithPublicKeyGivesTheSm2SignatureDigest) {
  LoadProviders();
  EVP_PKEY* raw = EVP_PKEY_Q_keygen(nullptr, nullptr, "SM2");
  ASSERT_NE(raw, nullptr);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(raw, EVP_PKEY_free);
  BIGNUM *x = nullptr, *y = nullptr;
  EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_EC_PUB_X, &x);
  EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_EC_PUB_Y, &y);
  std::string xb(32, '\0'), yb(32, '\0');
  BN_bn2binpad(x, reinterpret_cast<unsigned char*>(xb.data()), 32);
  BN_bn2binpad(y, reinterpret_cast<unsigned char*>(yb.data()), 32);
  BN_free(x);
  BN_free(y);
  const std::string msg = "message to be signed";
  for (std::string id : {std::string("ALICE123@YAHOO.COM"), std::string()}) {
    Ans a = Call(Req(0x0501).U32(20).Bytes(xb).Bytes(yb).Bytes(id));
    ASSERT_EQ(a.code(), 0);
    Ans u = Call(Req(0x0502).Bytes(a.Bytes()).Bytes(msg));
    Ans f = Call(Req(0x0503).Bytes(u.Bytes()));
    const std::string e = f.Bytes();
    ASSERT_EQ(e.size(), 32u);
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> sc(EVP_PKEY_CTX_new(key.get(), nullptr),
                                                                  EVP_PKEY_CTX_free);
    ASSERT_EQ(EVP_PKEY_sign_init(sc.get()), 1);
    unsigned char sig[128];
    size_t sigLen = sizeof sig;
    ASSERT_EQ(EVP_PKEY_sign(sc.get(), sig, &sigLen, reinterpret_cast<const unsigned char*>(e.data()), e.size()), 1);
    // An empty ID stands for the default ID of the SM2 signature scheme.
    const std::string verifyId = id.empty() ? "1234567812345678" : id;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> vc(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_PKEY_CTX* pctx = EVP_PKEY_CTX_new(key.get(), nullptr);
    EVP_PKEY_CTX_set1_id(pctx, verifyId.data(), verifyId.size());
    EVP_MD_CTX_set_pkey_ctx(vc.get(), pctx);
    ASSERT_EQ(EVP_DigestVerifyInit(vc.get(), nullptr, EVP_sm3(), nullptr, key.get()), 1);
    EXPECT_EQ(EVP_DigestVerify(vc.get(), sig, sigLen, reinterpret_cast<const unsigned char*>(msg.data()), msg.size()), 1)
        << "id '" << id << "'";
    EVP_PKEY_CTX_free(pctx);
  }
  EXPECT_EQ(Call(Req(0x0501).U32(20).Bytes(xb).Bytes("").Bytes("")).code(), 15);  // x without y
}

TEST_F(Commands, GcmMatchesOpenSslAndChecksTags) {
  const auto& aes = kAlgs[5];
  const std::string key = Hex(aes.keyHex);
  const std::string aad = Pattern(20, 1), data = Pattern(77, 2);
  for (const std::string& iv : {Pattern(12, 3), Pattern(16, 4)}) {
    LoadProviders();
    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr);
    EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(iv.size()), nullptr);
    EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                       reinterpret_cast<const unsigned char*>(iv.data()));
    int n = 0;
    EVP_EncryptUpdate(ctx.get(), nullptr, &n, reinterpret_cast<const unsigned char*>(aad.data()), static_cast<int>(aad.size()));
    std::string ct(data.size(), '\0');
    EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(ct.data()), &n,
                      reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    EVP_EncryptFinal_ex(ctx.get(), nullptr, &n);
    std::string tag(16, '\0');
    EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, 16, tag.data());

    Ans a = Call(Req(0x0821).U32(6).Key(aes.slot).U32(5).Bytes(iv).Bytes(aad).Bytes(data));
    ASSERT_EQ(a.code(), 0);
    EXPECT_EQ(ToHex(a.Bytes()), ToHex(ct));
    EXPECT_EQ(ToHex(a.Bytes()), ToHex(tag));
    Ans d = Call(Req(0x0822).U32(6).Key(aes.slot).U32(5).Bytes(iv).Bytes(aad).Bytes(ct).Bytes(tag.substr(0, 12)));
    ASSERT_EQ(d.code(), 0);
    EXPECT_EQ(d.Bytes(), data);
    std::string bad = tag;
    bad[0] ^= 1;
    EXPECT_EQ(Call(Req(0x0822).U32(6).Key(aes.slot).U32(5).Bytes(iv).Bytes(aad).Bytes(ct).Bytes(bad)).code(), 1);
  }
  // SM4 (which OpenSSL 3.0 lacks in GCM) round-trips; DES has no GCM.
  Ans s = Call(Req(0x0821).U32(6).Key(1).U32(7).Bytes(Pattern(12)).Bytes("").Bytes(data));
  ASSERT_EQ(s.code(), 0);
  const std::string sct = s.Bytes(), stag = s.Bytes();
  Ans sd = Call(Req(0x0822).U32(6).Key(1).U32(7).Bytes(Pattern(12)).Bytes("").Bytes(sct).Bytes(stag));
  EXPECT_EQ(sd.Bytes(), data);
  EXPECT_EQ(Call(Req(0x0821).U32(6).Key(7).U32(2).Bytes(Pattern(12)).Bytes("").Bytes(data)).code(), 3);
}

TEST_F(Commands, CcmOneShotAndStepsMatchOpenSsl) {
  const auto& aes = kAlgs[3];
  const std::string key = Hex(aes.keyHex);
  const std::string nonce = Pattern(11, 5), aad = Pattern(30, 6), data = Pattern(100, 7);
  const int tagLen = 10;
  LoadProviders();
  std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
  EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_ccm(), nullptr, nullptr, nullptr);
  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_CCM_SET_IVLEN, static_cast<int>(nonce.size()), nullptr);
  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_CCM_SET_TAG, tagLen, nullptr);
  EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                     reinterpret_cast<const unsigned char*>(nonce.data()));
  int n = 0;
  EVP_EncryptUpdate(ctx.get(), nullptr, &n, nullptr, static_cast<int>(data.size()));
  EVP_EncryptUpdate(ctx.get(), nullptr, &n, reinterpret_cast<const unsigned char*>(aad.data()), static_cast<int>(aad.size()));
  std::string ct(data.size(), '\0');
  EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(ct.data()), &n,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
  EVP_EncryptFinal_ex(ctx.get(), nullptr, &n);
  std::string tag(tagLen, '\0');
  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_CCM_GET_TAG, tagLen, tag.data());

  Ans a = Call(Req(0x0871).U32(7).Key(aes.slot).U32(3).Bytes(aad).Bytes(nonce).Bytes(data).U32(tagLen));
  ASSERT_EQ(a.code(), 0);
  EXPECT_EQ(ToHex(a.Bytes()), ToHex(ct));
  EXPECT_EQ(ToHex(a.Rest()), ToHex(tag));  // raw tag of the asked length
  Ans d = Call(Req(0x0872).U32(7).Key(aes.slot).U32(3).Bytes(aad).Bytes(nonce).Bytes(ct).Bytes(tag));
  ASSERT_EQ(d.code(), 0);
  EXPECT_EQ(d.Bytes(), data);
  std::string bad = tag;
  bad[3] ^= 1;
  EXPECT_EQ(Call(Req(0x0872).U32(7).Key(aes.slot).U32(3).Bytes(aad).Bytes(nonce).Bytes(ct).Bytes(bad)).code(), 1);
  EXPECT_EQ(Call(Req(0x0871).U32(7).Key(aes.slot).U32(3).Bytes(aad).Bytes(Pattern(6)).Bytes(data).U32(8)).code(), 15);

  // In steps, both directions, with pieces that do not fall on block boundaries.
  for (bool decrypt : {false, true}) {
    Ans i = Call(Req(0x0873).U32(7).U32(decrypt ? 2 : 1).Key(aes.slot).U32(3).Bytes(nonce).Bytes(aad)
                     .U32(static_cast<uint32_t>(data.size())).U32(tagLen));
    ASSERT_EQ(i.code(), 0);
    std::string ctxBytes = i.Bytes(), out;
    const std::string& input = decrypt ? ct : data;
    for (size_t off = 0, step = 7; off < input.size(); off += step, step += 13) {
      Ans u = Call(Req(0x0874).Bytes(ctxBytes).U32(decrypt ? 2 : 1).Bytes(input.substr(off, step)));
      ASSERT_EQ(u.code(), 0);
      out += u.Bytes();
      ctxBytes = u.Bytes();
    }
    EXPECT_EQ(ToHex(out), ToHex(decrypt ? data : ct));
    Req fin = Req(0x0875).Bytes(ctxBytes).U32(decrypt ? 2 : 1);
    if (decrypt) fin.Bytes(tag);
    Ans f = Call(fin);
    ASSERT_EQ(f.code(), 0);
    if (!decrypt) {
      EXPECT_EQ(ToHex(f.Bytes()), ToHex(tag));
    }
  }
  // A context whose lengths lie, or a step in the other direction, is refused.
  Ans i = Call(Req(0x0873).U32(7).U32(1).Key(aes.slot).U32(3).Bytes(nonce).Bytes(aad).U32(16).U32(8));
  std::string c = i.Bytes();
  EXPECT_EQ(Call(Req(0x0874).Bytes(c).U32(2).Bytes("x")).code(), 15);
  EXPECT_EQ(Call(Req(0x0875).Bytes(c).U32(1)).code(), 15);  // data missing
  c[c.size() - 1] ^= 0x55;
  std::string shortened = c.substr(0, c.size() - 3);
  EXPECT_EQ(Call(Req(0x0874).Bytes(shortened).U32(1).Bytes("x")).code(), 15);
}

TEST_F(Commands, KeyGenerationImportExportAndStore) {
  // 08 16: a key under the LMK whose check value is what the key itself gives.
  for (const auto& c : kAlgs) {
    Ans g = Call(Req(0x0816).U32(c.alg));
    ASSERT_EQ(g.code(), 0);
    const std::string cipher = g.Bytes(), kcv = g.Bytes();
    EXPECT_EQ(cipher.size(), Hex(c.keyHex).size());
    Ans e = Call(Req(0x0401).U32(0).Key(0, cipher).U32(c.alg).Bytes(std::string(c.block, '\0')));
    EXPECT_EQ(e.Bytes().substr(0, 8), kcv) << c.type;
  }
  // 08 03 / 08 04: import a plain key into a slot and read it back.
  const std::string plain = Hex("FFEEDDCCBBAA99887766554433221100");
  ASSERT_EQ(Call(Req(0x0803).U32(30).U32(7).Bytes("imported").Bytes(plain)).code(), 0);
  Ans x = Call(Req(0x0804).U32(30));
  ASSERT_EQ(x.code(), 0);
  EXPECT_EQ(x.U32(), 7u);
  EXPECT_EQ(x.Bytes(), plain);
  EXPECT_EQ(Call(Req(0x0803).U32(31).U32(7).Bytes("").Bytes(plain.substr(1))).code(), 27);
  EXPECT_EQ(Call(Req(0x0803).U32(31).U32(7).Bytes("imported").Bytes(plain)).code(), 112);  // label taken
  EXPECT_EQ(Call(Req(0x0803).U32(0).U32(7).Bytes("").Bytes(plain)).code(), 21);

  // 08 32 and 08 33: read a slot's LMK cipher and store it into another slot.
  Ans r = Call(Req(0x0832).U32(0).U32(30));
  ASSERT_EQ(r.code(), 0);
  const std::string cipher = r.Bytes(), kcv = r.Raw(8);
  EXPECT_EQ(r.U32(), 7u);
  EXPECT_EQ(kcv, Evp("SM4-ECB", false, plain, {}, std::string(16, '\0')).substr(0, 8));
  EXPECT_EQ(Call(Req(0x0833).U32(0).U32(31).U32(7).Bytes(cipher).Raw(kcv).U32(1)).code(), 0);
  Ans back = Call(Req(0x0804).U32(31));
  back.U32();
  EXPECT_EQ(back.Bytes(), plain);
  std::string wrongKcv = kcv;
  wrongKcv[0] ^= 1;
  EXPECT_EQ(Call(Req(0x0833).U32(0).U32(32).U32(7).Bytes(cipher).Raw(wrongKcv).U32(2)).code(), 7);
  EXPECT_EQ(Call(Req(0x0833).U32(0).U32(32).U32(7).Bytes(cipher).Raw(kcv).U32(3)).code(), 15);

  // 08 A1: the plain-key import of the SDF layer, through a transport key.
  Ans t = Call(Req(0x0816).U32(7));
  const std::string transport = t.Bytes();
  Ans enc = Call(Req(0x0401).U32(0).Key(0, transport).U32(7).Bytes(plain));
  Ans imp = Call(Req(0x08A1).U32(0).U32(0).U32(1).U32(1).U32(0).U32(7).Bytes(transport).U32(0).U32(7).U32(0).U32(0)
                     .U32(0).Bytes(enc.Bytes()));
  ASSERT_EQ(imp.code(), 0);
  const std::string imported = imp.Bytes();
  EXPECT_EQ(imp.Raw(8), kcv);
  Ans use = Call(Req(0x0401).U32(0).Key(0, imported).U32(7).Bytes(Pattern(32)));
  EXPECT_EQ(use.Bytes(), Evp("SM4-ECB", false, plain, {}, Pattern(32)));
}

TEST_F(Commands, KeyEncryptionKeyConversions) {
  const std::string kek = Hex(kKekHex);
  // 02 14: a new key under the KEK (checked by OpenSSL) and under the LMK.
  Ans g = Call(Req(0x0214).U32(16).U32(10));
  ASSERT_EQ(g.code(), 0);
  const std::string wrapped = g.Bytes(), cipher = g.Bytes();
  const std::string key = Evp("SM4-ECB", true, kek, {}, wrapped);
  EXPECT_EQ(Call(Req(0x0401).U32(0).Key(0, cipher).U32(7).Bytes(Pattern(16))).Bytes(),
            Evp("SM4-ECB", false, key, {}, Pattern(16)));
  // 02 15: import under the KEK gives a cipher of the same key.
  Ans i = Call(Req(0x0215).U32(10).Bytes(wrapped));
  ASSERT_EQ(i.code(), 0);
  EXPECT_EQ(i.Bytes(), cipher);
  // 08 14 / 08 15 with a slot KEK and with the KEK as an LMK cipher.
  const auto [kekCipher, kekKcv] = SlotCipher(10);
  Ans out1 = Call(Req(0x0814).Bytes(cipher).U32(10).U32(0).U32(0));
  Ans out2 = Call(Req(0x0814).Bytes(cipher).U32(0).Bytes(kekCipher).U32(7).U32(0));
  ASSERT_EQ(out1.code(), 0);
  const std::string w1 = out1.Bytes();
  EXPECT_EQ(w1, wrapped);
  EXPECT_EQ(out2.Bytes(), wrapped);
  Ans in = Call(Req(0x0815).Bytes(w1).U32(0).Bytes(kekCipher).U32(7).U32(0));
  ASSERT_EQ(in.code(), 0);
  EXPECT_EQ(in.Bytes(), cipher);
  EXPECT_EQ(Call(Req(0x0815).Bytes(w1).U32(10).U32(0).U32(1)).code(), 3);  // only ECB
  EXPECT_EQ(Call(Req(0x0214).U32(12).U32(10)).code(), 27);
  EXPECT_EQ(Call(Req(0x0214).U32(16).U32(77)).code(), 45);
}

TEST_F(Commands, LabelsIndexesAndKeyRecords) {
  ASSERT_EQ(Call(Req(0x0803).U32(40).U32(3).Bytes("").Bytes(Pattern(16))).code(), 0);
  EXPECT_EQ(Call(Req(0x0805).U32(0).U32(40).Bytes("forty")).code(), 0);
  Ans l = Call(Req(0x0806).U32(0).U32(40));
  EXPECT_EQ(l.Bytes(), "forty");
  Ans idx = Call(Req(0x0807).U32(0).Bytes("forty"));
  ASSERT_EQ(idx.code(), 0);
  EXPECT_EQ(idx.U32(), 40u);
  EXPECT_EQ(Call(Req(0x0805).U32(0).U32(40).Bytes("kek")).code(), 112);
  EXPECT_EQ(Call(Req(0x0805).U32(1).U32(40).Bytes("x")).code(), 45);  // no RSA key there
  EXPECT_EQ(Call(Req(0x0807).U32(0).Bytes("nobody")).code(), 45);
  EXPECT_EQ(Call(Req(0x0806).U32(3).U32(40)).code(), 4);

  Ans info = Call(Req(0x0909).U32(0).U32(40));
  ASSERT_EQ(info.code(), 0);
  EXPECT_EQ(info.U32(), 3u);
  EXPECT_EQ(info.Bytes().size(), 16u);
  EXPECT_EQ(info.Raw(8), Evp("AES-128-ECB", false, Pattern(16), {}, std::string(16, '\0')).substr(0, 8));
  EXPECT_EQ(info.Raw(19).substr(0, 5), "forty");
  EXPECT_TRUE(info.AtEnd());

  Ans ii = Call(Req(0x0861).U32(40));
  ASSERT_EQ(ii.code(), 0);
  EXPECT_EQ(ii.Bytes(), Hex("00000001 00000003"));
  EXPECT_EQ(Call(Req(0x0861).U32(0)).code(), 21);

  EXPECT_EQ(Call(Req(0x0808).U32(0).U32(40)).code(), 0);
  EXPECT_EQ(Call(Req(0x0808).U32(0).U32(40)).code(), 45);
  EXPECT_EQ(Call(Req(0x0809).U32(40)).code(), 45);
  EXPECT_EQ(Call(Req(0x0861).U32(40)).Bytes(), Hex("00000000 FFFFFFFF"));
}

TEST_F(Commands, AccessRightAndPin) {
  EXPECT_EQ(Call(Req(0x0103).U32(1).U32(20).U32(6).Raw("secret")).code(), 0);
  EXPECT_EQ(Call(Req(0x0103).U32(2).U32(20).U32(6).Raw("secreT")).code(), 62);
  EXPECT_EQ(Call(Req(0x0103).U32(2).U32(1).U32(6).Raw("secret")).code(), 61);  // no password set
  EXPECT_EQ(Call(Req(0x0103).U32(3).U32(20).U32(6).Raw("secret")).code(), 4);
  EXPECT_EQ(Call(Req(0x0103).U32(1).U32(20).U32(7).Raw("secret")).code(), 15);  // length past the end
  EXPECT_EQ(Call(Req(0x0899).Bytes("12345678")).code(), 0);
  EXPECT_EQ(Call(Req(0x0899).Bytes("12345679")).code(), 1);
}

TEST_F(Commands, DeviceFiles) {
  const std::string name = "file-" + std::to_string(::getpid());
  ASSERT_EQ(Call(Req(0x0601).Bytes(name).U32(8192)).code(), 0);
  EXPECT_EQ(Call(Req(0x0601).Bytes(name).U32(10)).code(), 71);
  EXPECT_EQ(Call(Req(0x0603).Bytes(name).U32(8000).Bytes(Pattern(192))).code(), 0);
  Ans r = Call(Req(0x0602).Bytes(name).U32(8000).U32(192));
  ASSERT_EQ(r.code(), 0);
  EXPECT_EQ(r.Bytes(), Pattern(192));
  Ans tail = Call(Req(0x0602).Bytes(name).U32(8100).U32(4096));  // reads stop at the end of the file
  EXPECT_EQ(tail.Bytes().size(), 92u);
  struct {
    std::string req;
    uint16_t code;
  } refusals[] = {
      {Req(0x0603).Bytes(name).U32(8000).Bytes(Pattern(193)), 6},
      {Req(0x0602).Bytes(name).U32(8192).U32(1), 6},
      {Req(0x0602).Bytes(name).U32(0).U32(4097), 15},
      {Req(0x0602).Bytes(name).U32(0).U32(0), 15},
      {Req(0x0601).Bytes(std::string(129, 'n')).U32(10), 15},
      {Req(0x0601).Bytes("").U32(10), 15},
      {Req(0x0601).Bytes("big").U32(8193), 11},
      {Req(0x0601).Bytes("zero").U32(0), 11},
      {Req(0x0602).Bytes("missing").U32(0).U32(1), 73},
      {Req(0x0604).Bytes("missing"), 73},
  };
  for (const auto& c : refusals) EXPECT_EQ(Call(c.req).code(), c.code) << ToHex(c.req);
  EXPECT_EQ(Call(Req(0x0604).Bytes(name)).code(), 0);
  EXPECT_EQ(Call(Req(0x0602).Bytes(name).U32(0).U32(1)).code(), 73);
}

// Every prefix of a valid request, and requests with lying lengths, get
// device code 15; the connection stays usable throughout.
TEST_F(Commands, MalformedRequestsGetCode15) {
  const auto [cipher, kcv] = SlotCipher(1);
  const std::string valid[] = {
      Req(0x0401).U32(1).Key(0, cipher).U32(7).Bytes(Pattern(32)).Raw(Pattern(16)),
      Req(0x0881).U16(6).U32(0).U32(1).Bytes("key").Bytes("").Bytes("data"),
      Req(0x0871).U32(7).Key(1).U32(7).Bytes("aad").Bytes(Pattern(12)).Bytes("data").U32(8),
      Req(0x0821).U32(6).Key(1).U32(7).Bytes(Pattern(12)).Bytes("").Bytes("data"),
      Req(0x0501).U32(20).Bytes(Pattern(32)).Bytes(Pattern(32)).Bytes("id"),
      Req(0x0603).Bytes("f").U32(0).Bytes("x"),
      Req(0x0833).U32(0).U32(9).U32(7).Bytes(cipher).Raw(kcv).U32(1),
      Req(0x08A1).U32(0).U32(0).U32(1).U32(1).U32(0).U32(7).Bytes(cipher).U32(0).U32(7).U32(0).U32(0).U32(0).Bytes(cipher),
      Req(0x0103).U32(1).U32(20).U32(6).Raw("secret"),
  };
  for (const std::string& v : valid) {
    for (size_t n = 2; n < v.size(); ++n) {
      Ans a = Call(v.substr(0, n));
      ASSERT_EQ(a.code(), 15) << "prefix " << n << " of " << ToHex(v);
    }
    EXPECT_EQ(Call(v + "X").code(), 15) << "trailing byte after " << ToHex(v);
  }
  const std::string lying[] = {
      Req(0x0401).U32(0).U32(0).U32(2).U32(0xFFFFFFFF).Raw(cipher),
      Req(0x0502).U32(0x7FFFFFFF).Raw("HSH1"),
      Req(0x0602).U32(0xFFFFFFFC).Raw("abcd").U32(0).U32(1),
      Req(0x0881).U16(6).U32(0).U32(1).U32(5000).Raw("k"),
      Req(0x0874).Bytes(std::string(600, 'c')).U32(1).Bytes("x"),
      Req(0x0401).U32(0).U32(0).U32(3).Bytes(cipher).U32(7).Bytes("x"),  // key marker must be 2
  };
  for (const auto& r : lying) EXPECT_EQ(Call(r).code(), 15) << ToHex(r);
  EXPECT_EQ(Call(Hex("010200000004")).code(), 0);
}

}  // namespace
