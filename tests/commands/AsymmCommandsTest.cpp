// RSA and SM2 host commands: request layouts, argument and access checks, the
// verify rule and answer handling, against a scripted device.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include <string>
#include <vector>

#include "commands/FakeDevice.h"
#include "commands/Internal.h"
#include "common/Hex.h"

namespace {

using namespace QuorTest;

const unsigned char* U(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }
uint32_t N(const std::string& s) { return static_cast<uint32_t>(s.size()); }
void Grant(const FakeSession& s, int32_t index) {
  static_cast<Quor::Sdf::SdfSession*>(s.handle())->AddRight(index, "pw");
}
std::string Hex(const char* text) { return Quor::HexDecodeLenient(text); }

// DigestInfo prefixes of RFC 8017, section 9.2, note 1.
const std::string kSha224 = Hex("302d300d06096086480165030402040500041c");
const std::string kSha256 = Hex("3031300d060960864801650304020105000420");
const std::string kSha384 = Hex("3041300d060960864801650304020205000430");
const std::string kSha512 = Hex("3051300d060960864801650304020305000440");

struct SignCase {
  const char* name;
  int32_t padding, hashMode;
  uint32_t dataLength;
  SGD_RV expected;
  int32_t sentHashMode;
  std::string prefix;
};
void PrintTo(const SignCase& c, std::ostream* os) { *os << c.name; }

class RsaSignData : public ::testing::TestWithParam<SignCase> {};

// Signing and verification put the same padding fields and data in front of
// their keys; both are checked on every case.
TEST_P(RsaSignData, PrefixAndHashMode) {
  const SignCase& p = GetParam();
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  Grant(s, 3);
  const std::string data(p.dataLength, 'd');
  unsigned char sig[512];
  SGD_UINT32 sigLen = 0;
  EXPECT_EQ(Quor_RSASign(s.handle(), 3, nullptr, 0, p.padding, p.hashMode, 1, 0, U(data), N(data), sig, &sigLen),
            p.expected);
  const std::string m(4, 'm'), e = Bin({1, 0, 1});
  EXPECT_EQ(Quor_RSAVerify(s.handle(), 0, U(m), N(m), U(e), N(e), p.padding, p.hashMode, 1, 0, U(data), N(data),
                           U(std::string("SIG")), 3),
            p.expected);
  if (p.expected != SDR_OK) {
    EXPECT_TRUE(s.fake().requests.empty());
    return;
  }
  const std::string signed_ = U32(p.padding) + U32(p.sentHashMode) + U32(N(p.prefix) + p.dataLength) + p.prefix + data;
  ASSERT_EQ(s.fake().requests.size(), 2u);
  EXPECT_EQ(s.fake().requests[0], Bin({8, 0x19}) + signed_ + U32(3));
  EXPECT_EQ(s.fake().requests[1], Bin({8, 0x20}) + U32(p.padding) + U32(p.sentHashMode) + Lp("SIG") +
                                      U32(N(p.prefix) + p.dataLength) + p.prefix + data + U32(0) + Lp(m) + Lp(e));
}

INSTANTIATE_TEST_SUITE_P(
    All, RsaSignData,
    ::testing::Values(SignCase{"Sha224Digest", 1, 4, 28, SDR_OK, 4, kSha224},
                      SignCase{"Sha256Digest", 1, 4, 32, SDR_OK, 4, kSha256},
                      SignCase{"Sha384Digest", 1, 4, 48, SDR_OK, 4, kSha384},
                      SignCase{"Sha512Digest", 1, 4, 64, SDR_OK, 4, kSha512},
                      SignCase{"CompleteSha224Info", 1, 4, 47, SDR_OK, 4, ""},
                      SignCase{"CompleteSha256Info", 1, 4, 51, SDR_OK, 4, ""},
                      SignCase{"CompleteSha512Info", 1, 4, 83, SDR_OK, 4, ""},
                      SignCase{"UnknownDigestLength", 1, 4, 33, SDR_INARGERR, 0, ""},
                      SignCase{"DeviceHashesItself", 1, 2, 33, SDR_OK, 2, ""},
                      SignCase{"RawSendsHashModeFour", 0, 1, 33, SDR_OK, 4, ""},
                      SignCase{"OaepRefused", 2, 4, 32, SDR_INARGERR, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RsaSign, PssFieldsKeyCipherAndChecks) {
  FakeSession s;
  s.Reply(Answer(0, Lp("S")));
  const std::string cipher = "LMKCIPHER", data(20, 'h');
  unsigned char sig[8];
  SGD_UINT32 sigLen = 0;
  ASSERT_EQ(Quor_RSASign(s.handle(), 0, U(cipher), N(cipher), 4, 3, 2, 493, U(data), N(data), sig, &sigLen), SDR_OK);
  // The key comes after the data, unlike encryption where the index leads.
  EXPECT_EQ(s.fake().requests.at(0), Bin({8, 0x19}) + U32(4) + U32(3) + U32(1) + U32(2) + U32(493) + U32(20) + data +
                                         U32(0) + Lp(cipher));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(sig), sigLen), "S");
  struct Row {
    const char* what;
    int32_t index, padding, pssHash;
    uint32_t salt;
    bool withCipher, withData;
    SGD_RV expected;
  };
  for (const Row& r : {Row{"pss hash none", 0, 4, 4, 0, true, true, SDR_INARGERR},
                       Row{"salt too long", 0, 4, 2, 494, true, true, SDR_INARGERR},
                       Row{"no cipher", 0, 0, 4, 0, false, true, SDR_INARGERR},
                       Row{"no data", 0, 0, 4, 0, true, false, SDR_INARGERR},
                       Row{"no access right", 5, 0, 4, 0, false, true, SDR_PARDENY}}) {
    EXPECT_EQ(Quor_RSASign(s.handle(), r.index, r.withCipher ? U(cipher) : nullptr, N(cipher), r.padding, 4, r.pssHash,
                           r.salt, r.withData ? U(data) : nullptr, N(data), sig, &sigLen),
              r.expected)
        << r.what;
  }
  EXPECT_EQ(Quor_RSASign(s.handle(), 0, U(cipher), N(cipher), 0, 4, 4, 0, U(data), N(data), sig, nullptr),
            SDR_INARGERR);
  EXPECT_EQ(s.fake().requests.size(), 1u);
}

TEST(RsaCipher, OaepLabelLayoutAndChecks) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  const std::string m(8, 'm'), e = Bin({1, 0, 1}), label = "LABEL", data = "data";
  unsigned char out[64];
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(Quor_RSAEncrypt(s.handle(), 0, U(m), N(m), U(e), N(e), 2, 1, U(label), N(label), U(data), N(data), out,
                            &outLen),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({8, 0x78}) + U32(0) + Lp(m) + Lp(e) + U32(2) + U32(1) + U32(1) + Lp(label) +
                                         Bin({0x3B}) + Lp(data));
  ASSERT_EQ(Quor_RSAEncrypt(s.handle(), 7, nullptr, 0, nullptr, 0, 1, 4, nullptr, 0, U(data), N(data), out, &outLen),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.at(1), Bin({8, 0x78}) + U32(7) + U32(1) + Lp(data));

  const std::string label99(99, 'l'), label100(100, 'l');
  struct Row {
    const char* what;
    int32_t padding, hash;
    const std::string* label;
    uint32_t labelLength;
    SGD_RV expected;
  };
  for (const Row& r : {Row{"label of 99", 2, 1, &label99, 99, SDR_OK},
                       Row{"label of 100", 2, 1, &label100, 100, SDR_INARGERR},
                       Row{"oaep hash none", 2, 4, &label, 5, SDR_INARGERR},
                       Row{"label length without label", 2, 1, nullptr, 5, SDR_INARGERR},
                       Row{"pss refused", 4, 1, nullptr, 0, SDR_INARGERR}}) {
    const unsigned char* l = r.label ? U(*r.label) : nullptr;
    EXPECT_EQ(Quor_RSAEncrypt(s.handle(), 7, nullptr, 0, nullptr, 0, r.padding, r.hash, l, r.labelLength, U(data),
                              N(data), out, &outLen),
              r.expected)
        << r.what;
    EXPECT_EQ(Quor_RSADecrypt(s.handle(), 0, U(m), N(m), r.padding, r.hash, l, r.labelLength, U(data), N(data), out,
                              &outLen),
              r.expected)
        << r.what;
  }
  EXPECT_EQ(s.fake().requests.size(), 4u);
  EXPECT_EQ(Quor_RSAEncrypt(s.handle(), 0, U(m), N(m), nullptr, 0, 0, 4, nullptr, 0, U(data), 4, out, &outLen),
            SDR_INARGERR);
  // Decryption with a stored key needs the access right; with a cipher it does not.
  EXPECT_EQ(Quor_RSADecrypt(s.handle(), 6, nullptr, 0, 0, 4, nullptr, 0, U(data), N(data), out, &outLen), SDR_PARDENY);
  Grant(s, 6);
  ASSERT_EQ(Quor_RSADecrypt(s.handle(), 6, nullptr, 0, 0, 4, nullptr, 0, U(data), N(data), out, &outLen), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x79}) + U32(6) + U32(0) + Lp(data));
  ASSERT_EQ(Quor_RSADecrypt(s.handle(), 0, U(m), N(m), 0, 4, nullptr, 0, U(data), N(data), out, &outLen), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x79}) + U32(0) + Lp(m) + U32(0) + Lp(data));
}

TEST(VerifyRule, FailedCheckIsQuietOtherErrorsAreCommFail) {
  FakeSession s;
  const std::string m(4, 'm'), e = "e", data(32, 'h'), sig(64, 's'), x(32, 'x'), y(32, 'y');
  auto rsa = [&] {
    return Quor_RSAVerify(s.handle(), 0, U(m), N(m), U(e), N(e), 0, 4, 4, 0, U(data), N(data), U(sig), N(sig));
  };
  auto ecc = [&] {
    return Quor_ECCVerifyHash(s.handle(), 7, 0, U(x), N(x), U(y), N(y), U(data), N(data), U(sig), N(sig));
  };
  s.Reply(Answer(1));
  EXPECT_EQ(rsa(), SDR_VERIFYERR);
  s.Reply(Answer(1));
  EXPECT_EQ(ecc(), SDR_VERIFYERR);
  EXPECT_TRUE(s.fake().LinesAt(4).empty());
  s.Reply(Answer(5));
  EXPECT_EQ(rsa(), SDR_COMMFAIL);
  s.Reply(Answer(42));
  EXPECT_EQ(ecc(), SDR_COMMFAIL);
  EXPECT_EQ(s.fake().LinesAt(4), (std::vector<std::string>{"Quor_RSAVerify HSM return [5]|[0X000005]",
                                                           "Quor_ECCVerifyHash HSM return [42]|[0X00002A]"}));
  EXPECT_EQ(s.fake().requests.at(1),
            Bin({3, 4}) + U16(7) + U32(0) + Lp(x) + Lp(y) + Lp(data) + Lp(sig));
  s.Reply(Answer(0));
  EXPECT_EQ(Quor_ECCVerifyHash(s.handle(), 7, 9, nullptr, 0, nullptr, 0, U(data), N(data), U(sig), N(sig)), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({3, 4}) + U16(7) + U32(9) + Lp(data) + Lp(sig));
  EXPECT_EQ(Quor_ECCVerifyHash(s.handle(), 7, 0, U(x), N(x), nullptr, 0, U(data), N(data), U(sig), N(sig)),
            SDR_INARGERR);
  EXPECT_EQ(Quor_RSAVerify(s.handle(), 1, nullptr, 0, nullptr, 0, 0, 4, 4, 0, U(data), N(data), nullptr, 0),
            SDR_INARGERR);
}

// The 03-class commands carry the curve in two bytes, the others in four.
TEST(EccCommands, CurveWidthsAndKeyPlacement) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  Grant(s, 4);
  const std::string x(32, 'x'), y(32, 'y'), d(32, 'k'), data = "plain", hash(32, 'h');
  unsigned char out[256];
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(Quor_ECCEncrypt(s.handle(), 7, 0, U(x), N(x), U(y), N(y), U(data), N(data), out, &outLen), SDR_OK);
  ASSERT_EQ(Quor_ECCEncrypt(s.handle(), 7, 4, nullptr, 0, nullptr, 0, U(data), N(data), out, &outLen), SDR_OK);
  ASSERT_EQ(Quor_ECCDecrypt(s.handle(), 7, 0, 0, U(d), N(d), U(data), N(data), out, &outLen), SDR_OK);
  ASSERT_EQ(Quor_ECCDecrypt(s.handle(), 7, 1, 9, nullptr, 0, U(data), N(data), out, &outLen), SDR_OK);
  ASSERT_EQ(Quor_InternalECCDecrypt(s.handle(), 7, 4, U(data), N(data), out, &outLen), SDR_OK);
  ASSERT_EQ(Quor_InternalECCSignHash(s.handle(), 7, 4, U(hash), N(hash), out, &outLen), SDR_OK);
  const std::vector<std::string> expected = {
      Bin({3, 5}) + U16(7) + U32(0) + Lp(x) + Lp(y) + Lp(data),
      Bin({3, 5}) + U16(7) + U32(4) + Lp(data),
      Bin({8, 0x13}) + U32(7) + U32(0) + U32(0) + Lp(d) + Lp(data),
      Bin({8, 0x13}) + U32(7) + U32(1) + U32(9) + Lp(data),
      Bin({8, 0x13}) + U32(7) + U32(1) + U32(4) + Lp(data),
      Bin({3, 3}) + U16(7) + U32(4) + Lp(hash),
  };
  EXPECT_EQ(s.fake().requests, expected);
  // Only the internal forms consult the access rights.
  EXPECT_EQ(Quor_InternalECCDecrypt(s.handle(), 7, 9, U(data), N(data), out, &outLen), SDR_PARDENY);
  EXPECT_EQ(Quor_InternalECCSignHash(s.handle(), 7, 9, U(hash), N(hash), out, &outLen), SDR_PARDENY);
  EXPECT_EQ(Quor_InternalECCSignHash(s.handle(), 7, 4, U(hash), N(hash), nullptr, &outLen), SDR_INARGERR);
  EXPECT_EQ(Quor_InternalECCDecrypt(s.handle(), 7, 4, U(data), N(data), nullptr, &outLen), SDR_INARGERR);
  EXPECT_EQ(Quor_ECCEncrypt(s.handle(), 7, 0, U(x), N(x), nullptr, 0, U(data), N(data), out, &outLen), SDR_INARGERR);
  EXPECT_EQ(Quor_ECCDecrypt(s.handle(), 7, 0, 0, nullptr, 0, U(data), N(data), out, &outLen), SDR_INARGERR);
  EXPECT_EQ(s.fake().requests.size(), expected.size());

  using Quor::Commands::ExternalECCSignHash;
  ASSERT_EQ(ExternalECCSignHash(s.handle(), 7, U(d), N(d), U(hash), N(hash), {out, &outLen}), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x12}) + U32(7) + Lp(d) + Lp(hash));
}

TEST(PrivateKeyCipherOperation, CurveValueRule) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  const std::string cipher = "CIPHER", data = "D";
  unsigned char out[16];
  SGD_UINT32 outLen = 0;
  struct Row {
    int32_t type, curve, value;
    std::string sent;
  };
  for (const Row& r : {Row{2, 5, 9, U32(2) + U32(5) + U32(0)}, Row{2, 7, 9, U32(2) + U32(7) + U32(9)},
                       Row{1, 7, 9, U32(1)}}) {
    ASSERT_EQ(Quor_PrivateKeyCipherByLMKOperation(s.handle(), r.type, r.curve, r.value, U(cipher), N(cipher), U(data),
                                                  N(data), out, &outLen),
              SDR_OK);
    EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x29}) + r.sent + Lp(cipher) + Lp(data));
  }
  EXPECT_EQ(Quor_PrivateKeyCipherByLMKOperation(s.handle(), 0, 7, 0, U(cipher), N(cipher), U(data), N(data), out,
                                                &outLen),
            SDR_INARGERR);
}

TEST(Envelopes, LayoutsAccessAndCurve) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  const std::string m(8, 'm'), e = "e", x(32, 'x'), y(32, 'y'), env = "ENVELOPE";
  unsigned char out[64];
  SGD_UINT32 outLen = 0;
  EXPECT_EQ(Quor_ExchangeDataEnvelopeRSA(s.handle(), 2, U(m), N(m), U(e), N(e), U(env), N(env), out, &outLen),
            SDR_PARDENY);
  EXPECT_EQ(Quor_ExchangeDataEnvelopeECC(s.handle(), 2, 7, U(x), N(x), U(y), N(y), U(env), N(env), out, &outLen),
            SDR_PARDENY);
  Grant(s, 2);
  ASSERT_EQ(Quor_ExchangeDataEnvelopeRSA(s.handle(), 2, U(m), N(m), U(e), N(e), U(env), N(env), out, &outLen), SDR_OK);
  ASSERT_EQ(Quor_ExchangeDataEnvelopeECC(s.handle(), 2, 7, U(x), N(x), U(y), N(y), U(env), N(env), out, &outLen),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({2, 6}) + U32(2) + Lp(m) + Lp(e) + Lp(env));
  EXPECT_EQ(s.fake().requests.at(1), Bin({2, 0x12}) + U32(2) + Lp(x) + Lp(y) + Lp(env));
  EXPECT_EQ(Quor_ExchangeDataEnvelopeECC(s.handle(), 2, 8, U(x), N(x), U(y), N(y), U(env), N(env), out, &outLen),
            SDR_INARGERR);
  EXPECT_EQ(Quor_ExchangeDataEnvelopeRSA(s.handle(), 0, U(m), N(m), U(e), N(e), U(env), N(env), out, &outLen),
            SDR_INARGERR);
  EXPECT_EQ(s.fake().requests.size(), 2u);
}

TEST(RsaPrivateComponents, SuppliedKeyLayoutAndChecks) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  using Quor::Commands::RsaComponents;
  const std::vector<std::string> parts = {"n", "e", "d", "p", "q", "dp", "dq", "qi"};
  RsaComponents key;
  std::string sent;
  for (int i = 0; i < 8; ++i) {
    key.data[i] = U(parts[i]);
    key.length[i] = N(parts[i]);
    sent += Lp(parts[i]);
  }
  unsigned char out[16];
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(Quor::Commands::RSAPlainPrivateKeyOperation(s.handle(), 0, 0, key, U(std::string("in")), 2, {out, &outLen}),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({8, 0x11}) + U32(0) + U32(0) + sent + Lp("in"));
  const auto lines = s.fake().LinesAt(1);
  EXPECT_EQ(lines.at(1), "index = [0X00000000]");
  EXPECT_EQ(lines.at(2), "keyUsage = [0X00000000]");
  key.data[5] = nullptr;
  EXPECT_EQ(Quor::Commands::RSAPlainPrivateKeyOperation(s.handle(), 0, 0, key, U(std::string("in")), 2, {out, &outLen}),
            SDR_INARGERR);
  EXPECT_EQ(Quor::Commands::RSAPlainPrivateKeyOperation(s.handle(), 3, 1, {}, U(std::string("in")), 2, {out, &outLen}),
            SDR_PARDENY);
  Grant(s, 3);
  ASSERT_EQ(Quor::Commands::RSAPlainPrivateKeyOperation(s.handle(), 3, 1, {}, U(std::string("in")), 2, {out, &outLen}),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x11}) + U32(1) + U32(3) + Lp("in"));
}

TEST(RsaPublicOperation, OutputRequiredOnlyInTheExportedForm) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  const std::string data = "abc";
  SGD_UINT32 outLen = 7;
  EXPECT_EQ(Quor_RSASignPublicKeyOperation(s.handle(), 2, nullptr, 0, nullptr, 0, U(data), 3, nullptr, &outLen),
            SDR_INARGERR);
  s.Reply(Answer(0, Lp("RESULT")));
  ASSERT_EQ(Quor::Commands::RSASignPublicKeyOperation(s.handle(), 2, nullptr, 0, nullptr, 0, U(data), 3,
                                                      {nullptr, &outLen}),
            SDR_OK);
  EXPECT_EQ(outLen, 6u);
  EXPECT_EQ(s.fake().requests.at(0), Bin({3, 1}) + U32(2) + Lp(data));
}

TEST(AsymmKeys, GenerationLayouts) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  unsigned char a[64], b[64], c[64];
  SGD_UINT32 al = 0, bl = 0, cl = 0;
  ASSERT_EQ(Quor_GenerateAsymmKeyWithLMK(s.handle(), 1, 2048, 65537, 7, a, &al, b, &bl, c, &cl), SDR_OK);
  ASSERT_EQ(Quor_GenerateAsymmKeyWithLMK(s.handle(), 2, 2048, 65537, 7, a, &al, b, &bl, c, &cl), SDR_OK);
  ASSERT_EQ(Quor_GeneratePlainECCKeyPair(s.handle(), 7, a, &al, b, &bl, c, &cl), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({8, 0x18}) + U32(1) + U32(2048) + U32(65537));
  EXPECT_EQ(s.fake().requests.at(1), Bin({8, 0x18}) + U32(2) + U32(256) + U32(7));
  EXPECT_EQ(s.fake().requests.at(2), Bin({2, 8}) + U32(7));
  EXPECT_EQ(Quor_GeneratePlainECCKeyPair(s.handle(), 7, a, &al, b, nullptr, c, &cl), SDR_INARGERR);

  // The eight RSA components arrive in order, each into its own buffer.
  std::string answer;
  for (int i = 0; i < 8; ++i) answer += Lp(std::string(i + 1, static_cast<char>('A' + i)));
  s.Reply(Answer(0, answer));
  std::vector<std::vector<unsigned char>> bufs(8, std::vector<unsigned char>(16));
  SGD_UINT32 lens[8] = {};
  ASSERT_EQ(Quor_GeneratePlainRSAKeyPair(s.handle(), 1024, 65537, bufs[0].data(), &lens[0], bufs[1].data(), &lens[1],
                                         bufs[2].data(), &lens[2], bufs[3].data(), &lens[3], bufs[4].data(), &lens[4],
                                         bufs[5].data(), &lens[5], bufs[6].data(), &lens[6], bufs[7].data(), &lens[7]),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 2}) + U32(1024) + U32(65537));
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(lens[i], static_cast<uint32_t>(i + 1));
    EXPECT_EQ(bufs[i][0], 'A' + i);
  }
}

TEST(AsymmKeys, PublicKeyAnswers) {
  FakeSession s;
  unsigned char x[64], y[64], t[8];
  SGD_UINT32 xl = 0, yl = 0, tl = 0, curve = 0;
  EXPECT_EQ(Quor_GetInternalECCPublicKey(s.handle(), 0, 1, &curve, x, &xl, y, &yl), SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());
  s.Reply(Answer(0, U32(7) + Lp(std::string(32, 'x')) + Lp(std::string(32, 'y'))));
  ASSERT_EQ(Quor_GetInternalECCPublicKey(s.handle(), 3, 1, &curve, x, &xl, y, &yl), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 0x16}) + U32(3) + U32(1));
  EXPECT_EQ(curve, 7u);
  EXPECT_EQ(xl, 32u);
  EXPECT_EQ(y[31], 'y');
  s.Reply(Answer(0, Lp("MOD") + Lp("EX") + Lp("T")));
  ASSERT_EQ(Quor_GetInternalRSAPublicKey(s.handle(), 3, 0, x, &xl, y, &yl, t, &tl), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 1}) + U32(3) + U32(0));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(t), tl), "T");
  // An answer that ends inside a coordinate is refused, nothing copied.
  xl = 0;
  s.Reply(Answer(0, U32(7) + U32(32) + "short"));
  EXPECT_EQ(Quor_GetInternalECCPublicKey(s.handle(), 3, 1, &curve, x, &xl, y, &yl), SDR_COMMFAIL);
  EXPECT_EQ(xl, 0u);
}

TEST(AsymmKeys, PublicKeyFromPrivateKey) {
  FakeSession s;
  const std::string d(32, '\x5A');
  unsigned char p1[64], p2[64];
  SGD_UINT32 l1 = 0, l2 = 0, curve = 0;
  s.Reply(Answer(0, Lp("MODULUS") + Lp("EXP")));
  ASSERT_EQ(Quor_GetPublicKeyByPrivateKey(s.handle(), 1, 7, 0, U(d), N(d), nullptr, p1, &l1, p2, &l2), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x27}) + U32(1) + U32(0) + Lp(d));
  EXPECT_EQ(l1, 7u);
  s.Reply(Answer(0, U32(7) + Lp(std::string(32, 'x')) + Lp(std::string(32, 'y'))));
  ASSERT_EQ(Quor_GetPublicKeyByPrivateKey(s.handle(), 2, 7, 1, U(d), N(d), &curve, p1, &l1, p2, &l2), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x27}) + U32(2) + U32(7) + U32(1) + Lp(d));
  EXPECT_EQ(curve, 7u);
  EXPECT_EQ(p2[0], 'y');
  // The private key never reaches the log.
  for (const auto& [level, line] : s.fake().lines) EXPECT_EQ(line.find("5A5A5A5A"), std::string::npos) << line;
  EXPECT_EQ(s.fake().LinesAt(1).at(1), "type = [0X00000001]");
  struct Row {
    const char* what;
    int32_t type;
    bool key, curveOut, out2;
    uint32_t keyLength;
  };
  for (const Row& r : {Row{"no key", 1, false, true, true, 32}, Row{"empty key", 1, true, true, true, 0},
                       Row{"no second public out", 1, true, true, false, 32},
                       Row{"sm2 without curve out", 2, true, false, true, 32}}) {
    EXPECT_EQ(Quor_GetPublicKeyByPrivateKey(s.handle(), r.type, 7, 0, r.key ? U(d) : nullptr, r.keyLength,
                                            r.curveOut ? &curve : nullptr, p1, &l1, r.out2 ? p2 : nullptr, &l2),
              SDR_INARGERR)
        << r.what;
  }
  EXPECT_EQ(s.fake().requests.size(), 2u);
}

TEST(AsymmKeys, KeyCipherByLmkAccessRuleAndAnswers) {
  FakeSession s;
  unsigned char p1[64], p2[64], cipher[64], check[8] = {};
  SGD_UINT32 l1 = 0, l2 = 0, cl = 0, n1 = 0, n2 = 0;
  auto call = [&](int32_t index, int32_t type) {
    return Quor_GetInternalKeyCipherByLMK(s.handle(), index, type, 1, p1, &l1, p2, &l2, cipher, &cl, check, &n1, &n2);
  };
  // RSA rights are looked up under the negated index, SM2 rights under the index.
  Grant(s, 3);
  EXPECT_EQ(call(3, 1), SDR_PARDENY);
  EXPECT_EQ(call(-3, 2), SDR_PARDENY);
  EXPECT_TRUE(s.fake().requests.empty());
  s.Reply(Answer(0, Lp("M") + Lp("E") + Lp("RSACIPHER")));
  ASSERT_EQ(call(-3, 1), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x32}) + U32(1) + U32(static_cast<uint32_t>(-3)) + U32(1));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(cipher), cl), "RSACIPHER");
  s.Reply(Answer(0, Lp("X") + Lp("Y") + Lp("ECCCIPHER") + U32(0x1A)));
  ASSERT_EQ(call(3, 2), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x32}) + U32(2) + U32(3) + U32(1));
  EXPECT_EQ(n2, 0x1Au);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(p2), l2), "Y");
  // A symmetric key needs no right and sends no usage.
  s.Reply(Answer(0, Lp("SYM") + "CHECKVAL" + U32(9)));
  ASSERT_EQ(call(8, 0), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x32}) + U32(0) + U32(8));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(check), 8), "CHECKVAL");
  EXPECT_EQ(n1, 9u);
  // A check value cut short is not padded out of the answer buffer.
  s.Reply(Answer(0, Lp("SYM") + "CHE"));
  EXPECT_EQ(call(8, 0), SDR_COMMFAIL);
  EXPECT_EQ(Quor_GetInternalKeyCipherByLMK(s.handle(), 8, 0, 0, nullptr, nullptr, nullptr, nullptr, cipher, nullptr,
                                           nullptr, nullptr, nullptr),
            SDR_INARGERR);
}

TEST(Sm2Exchange, RequestLayoutAndChecks) {
  FakeSession s;
  s.Reply(Answer(0, Lp("AGREED")));
  using Quor::Commands::EccPoint;
  const std::string px(32, 'a'), py(32, 'b'), tx(32, 'c'), ty(32, 'd'), ox(32, 'e'), oy(32, 'f'), od(32, 'g');
  const EccPoint peer{U(px), 32, U(py), 32}, peerTmp{U(tx), 32, U(ty), 32}, ownTmp{U(ox), 32, U(oy), 32};
  unsigned char out[16];
  SGD_UINT32 outLen = 0;
  const std::string peerId = "PEER", ownId = "OWN";
  ASSERT_EQ(Quor::Commands::SM2ExchangeKeyOutCipherByLMK(s.handle(), 1, peer, peerTmp, U(peerId), 4, 5, ownTmp, U(od),
                                                         32, U(ownId), 3, 16, {out, &outLen, sizeof out}),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({2, 0x13}) + U32(1) + Lp(peerId) + U32(64) + px + py + U32(64) + tx + ty +
                                         U32(5) + U32(16) + Lp(ownId) + U32(64) + ox + oy + Lp(od));
  EXPECT_EQ(outLen, 6u);
  EXPECT_EQ(Quor::Commands::SM2ExchangeKeyOutCipherByLMK(s.handle(), 1, peer, peerTmp, nullptr, 4, 5, ownTmp, U(od),
                                                         32, U(ownId), 3, 16, {out, &outLen}),
            SDR_INARGERR);
  EXPECT_EQ(Quor::Commands::SM2ExchangeKeyOutCipherByLMK(s.handle(), 1, peer, peerTmp, nullptr, 0, 0, ownTmp, U(od),
                                                         32, nullptr, 0, 16, {out, &outLen}),
            SDR_INARGERR);
  // The agreed key's cipher must fit the room the caller has.
  s.Reply(Answer(0, Lp(std::string(17, 'k'))));
  EXPECT_EQ(Quor::Commands::SM2ExchangeKeyOutCipherByLMK(s.handle(), 0, peer, peerTmp, nullptr, 0, 5, ownTmp, U(od),
                                                         32, nullptr, 0, 16, {out, &outLen, sizeof out}),
            SDR_COMMFAIL);
  EXPECT_EQ(outLen, 6u);
}

TEST(Ecies, OptionalFieldsAndResultCount) {
  FakeSession s;
  const std::string pub = "PUB", g = "GGGG", i = "I", l = "L", n = "N";
  unsigned char o1[16], o2[16], o3[16];
  SGD_UINT32 l1 = 0, l2 = 0, l3 = 0;
  // D 99 drops E and G; B 2 drops H; J 0 expects two results.
  s.Reply(Answer(0, Lp("R1") + Lp("R2")));
  ASSERT_EQ(Quor_EciesEncrypt(s.handle(), 1, 2, 3, 99, 5, 0, U(pub), 3, 6, U(g), 4, 8, U(i), 1, 0, 11, U(l), 1, 13,
                              U(n), 1, o1, &l1, o2, &l2, o3, &l3),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({3, 6}) + U32(1) + U32(2) + U32(3) + U32(99) + U32(0) + Lp(pub) + U32(6) +
                                          Lp(i) + U32(0) + U32(11) + Lp(l) + U32(13) + Lp(n));
  EXPECT_EQ(l2, 2u);
  s.Reply(Answer(0, Lp("R1") + Lp("R2") + Lp("R3")));
  ASSERT_EQ(Quor_EciesEncrypt(s.handle(), 1, 1, 3, 4, 5, 6, nullptr, 0, 6, U(g), 4, 8, U(i), 1, 10, 11, U(l), 1, 13,
                              U(n), 1, o1, &l1, o2, &l2, o3, &l3),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({3, 6}) + U32(1) + U32(1) + U32(3) + U32(4) + U32(5) + U32(6) + U32(6) + g +
                                          U32(8) + Lp(i) + U32(10) + U32(11) + Lp(l) + U32(13) + Lp(n));
  EXPECT_EQ(l3, 2u);
  EXPECT_EQ(Quor_EciesEncrypt(s.handle(), 1, 1, 3, 4, 5, 0, nullptr, 0, 6, U(g), 4, 8, U(i), 1, 10, 11, U(l), 1, 13,
                              U(n), 1, o1, &l1, o2, &l2, o3, &l3),
            SDR_INARGERR);
  // P 0 adds Q and R; S 1 adds T, U and V.
  s.Reply(Answer(0, Lp("PLAIN")));
  const std::string r = "R", u = "U", v = "V";
  ASSERT_EQ(Quor_EciesDecrypt(s.handle(), 1, 3, 3, 4, 0, 0, U(pub), 3, 0, 21, U(r), 1, U(g), 4, 8, U(i), 1, 1, 22, U(u),
                              1, U(v), 1, 13, U(n), 1, o1, &l1),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({3, 7}) + U32(1) + U32(3) + U32(3) + U32(4) + U32(0) + U32(0) + Lp(pub) +
                                          U32(0) + U32(21) + Lp(r) + Lp(i) + U32(1) + U32(22) + Lp(u) + Lp(v) +
                                          U32(13) + Lp(n));
  EXPECT_EQ(l1, 5u);
  // An answer whose length runs past its end is refused, not read past.
  s.Reply(Answer(0, U32(500) + "xx"));
  EXPECT_EQ(Quor_EciesDecrypt(s.handle(), 1, 3, 3, 4, 0, 7, nullptr, 0, 1, 0, nullptr, 0, nullptr, 0, 0, U(i), 1, 0, 0,
                              nullptr, 0, nullptr, 0, 13, U(n), 1, o1, &l1),
            SDR_COMMFAIL);
  s.Reply(Answer(10));
  EXPECT_EQ(Quor_EciesDecrypt(s.handle(), 1, 3, 3, 4, 0, 7, nullptr, 0, 1, 0, nullptr, 0, nullptr, 0, 0, U(i), 1, 0, 0,
                              nullptr, 0, nullptr, 0, 13, U(n), 1, o1, &l1),
            SDR_NOTSUPPORT);
}

}  // namespace
