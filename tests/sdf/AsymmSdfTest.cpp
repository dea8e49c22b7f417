// The SDF RSA, ECC and key-agreement functions against a scripted device:
// structure conversions, the requests they lead to, and the bounds that keep
// device answers inside the caller's structures.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "commands/FakeDevice.h"

namespace {

using namespace QuorTest;

unsigned char* U(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }
std::string S(const unsigned char* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }
void Grant(const FakeSession& s, int32_t index) {
  static_cast<Quor::Sdf::SdfSession*>(s.handle())->AddRight(index, "pw");
}
// A value right-aligned in a zeroed array of the given size.
std::string Aligned(const std::string& v, size_t size) { return std::string(size - v.size(), '\0') + v; }

// An ECCCipher with room for n bytes of C.
struct CipherBuf {
  explicit CipherBuf(size_t n) : bytes(offsetof(ECCCipher, C) + n + 1, '\xEE') {}
  ECCCipher* get() { return reinterpret_cast<ECCCipher*>(bytes.data()); }
  std::string bytes;
};

// x || y || M || C as the device sends it.
std::string DeviceCipher(const std::string& c, size_t coord = 32) {
  return std::string(coord, 'X') + std::string(coord, 'Y') + std::string(32, 'M') + c;
}

RSArefPublicKey RsaKey(uint32_t bits) {
  RSArefPublicKey k{};
  k.bits = bits;
  std::memset(k.m + sizeof k.m - bits / 8, 'm', bits / 8);
  k.e[sizeof k.e - 3] = 1;
  k.e[sizeof k.e - 1] = 1;
  return k;
}

ECCrefPublicKey EccKey(char fill = 'p') {
  ECCrefPublicKey k{};
  k.bits = 256;
  std::memset(k.x + 32, fill, 32);
  std::memset(k.y + 32, fill + 1, 32);
  return k;
}

// ---- RSA ----

TEST(SdfRsaExport, FillsStructureAndRefusesOversizedModulus) {
  FakeSession s;
  const std::string m(256, '\xC1'), e = Bin({1, 0, 1});
  s.Reply(Answer(0, Lp(m) + Lp(e) + Lp("")));
  RSArefPublicKey k;
  std::memset(&k, 0xAA, sizeof k);
  ASSERT_EQ(SDF_ExportEncPublicKey_RSA(s.handle(), 4, &k), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({2, 1}) + U32(4) + U32(1));
  EXPECT_EQ(k.bits, 2048u);
  EXPECT_EQ(S(k.m, sizeof k.m), Aligned(m, 512));
  EXPECT_EQ(S(k.e, sizeof k.e), Aligned(e, 512));

  s.Reply(Answer(0, Lp(std::string(513, 'm')) + Lp(e) + Lp("")));
  const RSArefPublicKey before = k;
  EXPECT_EQ(SDF_ExportSignPublicKey_RSA(s.handle(), 4, &k), SDR_COMMFAIL);
  EXPECT_EQ(s.fake().requests.at(1), Bin({2, 1}) + U32(4) + U32(0));
  EXPECT_EQ(std::memcmp(&k, &before, sizeof k), 0);
  EXPECT_EQ(SDF_ExportSignPublicKey_RSA(s.handle(), 0, &k), SDR_INARGERR);
  EXPECT_EQ(SDF_ExportSignPublicKey_RSA(s.handle(), 4, nullptr), SDR_INARGERR);
  EXPECT_EQ(s.fake().requests.size(), 2u);
}

TEST(SdfRsaGenerate, PlainPairAlwaysUsesF4) {
  FakeSession s;
  const std::vector<std::string> parts = {std::string(128, 'n'), Bin({1, 0, 1}), std::string(128, 'd'),
                                          std::string(64, 'p'),  std::string(64, 'q'), std::string(64, 'a'),
                                          std::string(63, 'b'),  std::string(64, 'c')};
  std::string answer;
  for (const auto& p : parts) answer += Lp(p);
  auto pub = std::make_unique<RSArefPublicKey>();
  auto priv = std::make_unique<RSArefPrivateKey>();
  // Several calls, so that both parities of the clock's second would be seen
  // by a generator that chose its exponent by the time.
  for (int i = 0; i < 3; ++i) {
    s.Reply(Answer(0, answer));
    *pub = {};
    *priv = {};
    ASSERT_EQ(SDF_GenerateKeyPair_RSA(s.handle(), 1024, pub.get(), priv.get()), SDR_OK);
    EXPECT_EQ(s.fake().requests.back(), Bin({2, 2}) + U32(1024) + U32(65537));
  }
  EXPECT_EQ(pub->bits, 1024u);
  EXPECT_EQ(priv->bits, 1024u);
  EXPECT_EQ(S(pub->m, 512), Aligned(parts[0], 512));
  EXPECT_EQ(S(priv->d, 512), Aligned(parts[2], 512));
  EXPECT_EQ(S(priv->prime[1], 256), Aligned(parts[4], 256));
  EXPECT_EQ(S(priv->pexp[1], 256), Aligned(parts[6], 256));
  EXPECT_EQ(S(priv->coef, 256), Aligned(parts[7], 256));

  // A CRT part longer than its 256-byte field is refused; nothing is written.
  std::string tooLong;
  for (int i = 0; i < 8; ++i) tooLong += Lp(i == 3 ? std::string(257, 'p') : parts[i]);
  s.Reply(Answer(0, tooLong));
  priv->bits = 0;
  pub->bits = 0;
  std::memset(priv->prime[0], 0x77, 256);
  EXPECT_EQ(SDF_GenerateKeyPair_RSA(s.handle(), 1024, pub.get(), priv.get()), SDR_COMMFAIL);
  EXPECT_EQ(priv->prime[0][0], 0x77);
  EXPECT_EQ(SDF_GenerateKeyPair_RSA(s.handle(), 1024, pub.get(), nullptr), SDR_INARGERR);
}

TEST(SdfRsaGenerate, IntoSlotsByTheBitsFields) {
  FakeSession s;
  s.Reply(Answer(0, Lp(std::string(256, 'n')) + Lp(Bin({1, 0, 1})) + Lp("PRIVATE-UNDER-LMK")));
  s.fake().answerOkWhenEmpty = true;
  RSArefPublicKey pub{};
  auto priv = std::make_unique<RSArefPrivateKey>();
  *priv = {};
  pub.bits = 3;
  priv->bits = 4;
  ASSERT_EQ(SDF_GenerateKeyPair_RSA(s.handle(), 2048, &pub, priv.get()), SDR_OK);
  ASSERT_EQ(s.fake().requests.size(), 3u);
  EXPECT_EQ(s.fake().requests[0], Bin({8, 0x18}) + U32(1) + U32(2048) + U32(65537));
  const std::string parts = Lp(std::string(256, 'n')) + Lp(Bin({1, 0, 1})) + Lp("PRIVATE-UNDER-LMK");
  EXPECT_EQ(s.fake().requests[1], Bin({8, 0x33}) + U32(1) + U32(3) + U32(1) + parts + U32(1));
  EXPECT_EQ(s.fake().requests[2], Bin({8, 0x33}) + U32(1) + U32(4) + U32(0) + parts + U32(1));
  EXPECT_EQ(pub.bits, 2048u);
  EXPECT_EQ(priv->bits, 4u);
}

TEST(SdfRsaOperations, ExternalKeysAreSentAsTheirSignificantTail) {
  FakeSession s;
  RSArefPublicKey pub = RsaKey(1024);
  std::string in(128, 'i');
  std::vector<unsigned char> out(600, 0);
  SGD_UINT32 outLen = 0;
  s.Reply(Answer(0, Lp(std::string(128, 'o'))));
  ASSERT_EQ(SDF_ExternalPublicKeyOperation_RSA(s.handle(), &pub, U(in), 128, out.data(), &outLen), SDR_OK);
  const std::string m(128, 'm'), e = Aligned(Bin({1, 0, 1}), 128);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x78}) + U32(0) + Lp(m) + Lp(e) + U32(0) + Lp(in));
  EXPECT_EQ(outLen, 128u);
  // A result longer than the modulus does not reach the caller's buffer.
  s.Reply(Answer(0, Lp(std::string(129, 'o'))));
  outLen = 0;
  EXPECT_EQ(SDF_ExternalPublicKeyOperation_RSA(s.handle(), &pub, U(in), 128, out.data(), &outLen), SDR_COMMFAIL);
  EXPECT_EQ(outLen, 0u);
  EXPECT_EQ(out[0], 'o');
  EXPECT_EQ(out[128], 0);
  pub.bits = 4104;
  EXPECT_EQ(SDF_ExternalPublicKeyOperation_RSA(s.handle(), &pub, U(in), 128, out.data(), &outLen), SDR_INARGERR);
  EXPECT_EQ(SDF_ExternalPublicKeyOperation_RSA(s.handle(), nullptr, U(in), 128, out.data(), &outLen), SDR_INARGERR);
}

TEST(SdfRsaOperations, ExternalPrivateKeyLayoutAndNullArguments) {
  FakeSession s;
  auto k = std::make_unique<RSArefPrivateKey>();
  *k = {};
  k->bits = 1024;
  std::memset(k->m + 512 - 128, 'm', 128);
  k->e[511] = 3;
  std::memset(k->d + 512 - 128, 'd', 128);
  const char fills[5] = {'p', 'q', 'a', 'b', 'c'};
  unsigned char* halves[5] = {k->prime[0], k->prime[1], k->pexp[0], k->pexp[1], k->coef};
  for (int i = 0; i < 5; ++i) std::memset(halves[i] + 256 - 64, fills[i], 64);
  std::string in(128, 'i');
  unsigned char out[128];
  SGD_UINT32 outLen = 0;
  s.Reply(Answer(0, Lp(std::string(128, 'o'))));
  ASSERT_EQ(SDF_ExternalPrivateKeyOperation_RSA(s.handle(), k.get(), U(in), 128, out, &outLen), SDR_OK);
  std::string expected = Bin({8, 0x11}) + U32(0) + U32(0) + Lp(std::string(128, 'm')) + Lp(Aligned("\x03", 512)) +
                         Lp(std::string(128, 'd'));
  for (char f : fills) expected += Lp(std::string(64, f));
  EXPECT_EQ(s.fake().requests.at(0), expected + Lp(in));

  struct Row {
    const char* what;
    bool key, input, output, length;
  };
  for (const Row& r : {Row{"no key", false, true, true, true}, Row{"no input", true, false, true, true},
                       Row{"no output", true, true, false, true}, Row{"no length", true, true, true, false}}) {
    EXPECT_EQ(SDF_ExternalPrivateKeyOperation_RSA(s.handle(), r.key ? k.get() : nullptr, r.input ? U(in) : nullptr,
                                                  128, r.output ? out : nullptr, r.length ? &outLen : nullptr),
              SDR_INARGERR)
        << r.what;
  }
  EXPECT_EQ(s.fake().requests.size(), 1u);
}

TEST(SdfRsaOperations, InternalKeys) {
  FakeSession s;
  std::string in(256, 'i');
  SGD_UINT32 outLen = 0;
  // A null output asks the device for the length alone.
  s.Reply(Answer(0, Lp(std::string(256, 'o'))));
  ASSERT_EQ(SDF_InternalPublicKeyOperation_RSA(s.handle(), 2, U(in), 256, nullptr, &outLen), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({3, 1}) + U32(2) + Lp(in));
  EXPECT_EQ(outLen, 256u);

  unsigned char out[512];
  EXPECT_EQ(SDF_InternalPrivateKeyOperation_RSA(s.handle(), 2, U(in), 256, out, &outLen), SDR_PARDENY);
  Grant(s, 2);
  s.Reply(Answer(0, Lp(std::string(256, 'o'))));
  ASSERT_EQ(SDF_InternalPrivateKeyOperation_RSA(s.handle(), 2, U(in), 256, out, &outLen), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x19}) + U32(0) + U32(4) + U32(256) + in + U32(2));
  s.Reply(Answer(0, Lp(std::string(513, 'o'))));
  EXPECT_EQ(SDF_InternalPrivateKeyOperation_RSA(s.handle(), 2, U(in), 256, out, &outLen), SDR_COMMFAIL);
  EXPECT_EQ(SDF_InternalPublicKeyOperation_RSA(s.handle(), 0, U(in), 256, out, &outLen), SDR_INARGERR);
  EXPECT_EQ(SDF_InternalPrivateKeyOperation_RSA(s.handle(), 2, U(in), 256, out, nullptr), SDR_INARGERR);
}

TEST(SdfRsaOperations, EnvelopeIsOneBlockOfTheExternalKey) {
  FakeSession s;
  Grant(s, 5);
  RSArefPublicKey pub = RsaKey(1024);
  std::string env(256, 'v');
  unsigned char out[256];
  SGD_UINT32 outLen = 0;
  s.Reply(Answer(0, Lp(std::string(128, 'w'))));
  ASSERT_EQ(SDF_ExchangeDigitEnvelopeBaseOnRSA(s.handle(), 5, &pub, U(env), 256, out, &outLen), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 6}) + U32(5) + Lp(std::string(128, 'm')) +
                                          Lp(Aligned(Bin({1, 0, 1}), 128)) + Lp(env));
  s.Reply(Answer(0, Lp(std::string(129, 'w'))));
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnRSA(s.handle(), 5, &pub, U(env), 256, out, &outLen), SDR_COMMFAIL);
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnRSA(s.handle(), 0, &pub, U(env), 256, out, &outLen), SDR_INARGERR);
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnRSA(s.handle(), 6, &pub, U(env), 256, out, &outLen), SDR_PARDENY);
}

// ---- ECC ----

TEST(SdfEccKeys, ExportTakesThe32ByteCoordinates) {
  FakeSession s;
  s.Reply(Answer(0, U32(7) + Lp(std::string(32, 'x') + "tail") + Lp(std::string(32, 'y'))));
  ECCrefPublicKey k;
  std::memset(&k, 0xAA, sizeof k);
  ASSERT_EQ(SDF_ExportSignPublicKey_ECC(s.handle(), 2, &k), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 0x16}) + U32(2) + U32(0));
  EXPECT_EQ(k.bits, 256u);
  EXPECT_EQ(S(k.x, 64), Aligned(std::string(32, 'x'), 64));
  EXPECT_EQ(S(k.y, 64), Aligned(std::string(32, 'y'), 64));
  // A coordinate shorter than 32 bytes is not padded from stale memory.
  s.Reply(Answer(0, U32(7) + Lp("short") + Lp(std::string(32, 'y'))));
  EXPECT_EQ(SDF_ExportEncPublicKey_ECC(s.handle(), 2, &k), SDR_COMMFAIL);
  EXPECT_EQ(k.x[63], 'x');
}

TEST(SdfEccKeys, GenerationChecksAndModes) {
  FakeSession s;
  ECCrefPublicKey pub{};
  ECCrefPrivateKey priv{};
  EXPECT_EQ(SDF_GenerateKeyPair_ECC(s.handle(), 0x00000401, 256, nullptr, nullptr), SDR_ALGNOTSUPPORT);
  EXPECT_EQ(SDF_GenerateKeyPair_ECC(s.handle(), SGD_SM2_1, 384, &pub, &priv), SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());
  s.Reply(Answer(0, Lp(std::string(32, 'x')) + Lp(std::string(32, 'y')) + Lp(std::string(32, 'k'))));
  ASSERT_EQ(SDF_GenerateKeyPair_ECC(s.handle(), SGD_SM2_1, 256, &pub, &priv), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 8}) + U32(7));
  EXPECT_EQ(priv.bits, 256u);
  EXPECT_EQ(S(priv.K, 64), Aligned(std::string(32, 'k'), 64));
  EXPECT_EQ(S(pub.y, 64), Aligned(std::string(32, 'y'), 64));
  // A private key longer than its field is refused.
  s.Reply(Answer(0, Lp(std::string(32, 'x')) + Lp(std::string(32, 'y')) + Lp(std::string(65, 'k'))));
  pub.bits = priv.bits = 0;
  EXPECT_EQ(SDF_GenerateKeyPair_ECC(s.handle(), SGD_SM2_1, 256, &pub, &priv), SDR_COMMFAIL);

  s.Reply(Answer(0, Lp(std::string(32, 'x')) + Lp(std::string(32, 'y')) + Lp("ECC-UNDER-LMK")));
  s.fake().answerOkWhenEmpty = true;
  pub.bits = 0;
  priv.bits = 6;
  ASSERT_EQ(SDF_GenerateKeyPair_ECC(s.handle(), SGD_SM2, 256, &pub, &priv), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(s.fake().requests.size() - 2), Bin({8, 0x18}) + U32(2) + U32(256) + U32(7));
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x33}) + U32(2) + U32(6) + U32(7) + U32(0) +
                                          Lp(std::string(32, 'x')) + Lp(std::string(32, 'y')) + Lp("ECC-UNDER-LMK") +
                                          U32(1));
  EXPECT_EQ(priv.bits, 6u);
  EXPECT_EQ(pub.bits, 256u);
}

TEST(SdfEccSignatures, HalvesAndBounds) {
  FakeSession s;
  Grant(s, 1);
  std::string hash(32, 'h');
  ECCSignature sig;
  s.Reply(Answer(0, Lp(std::string(32, 'r') + std::string(32, 's'))));
  ASSERT_EQ(SDF_InternalSign_ECC(s.handle(), 1, U(hash), 32, &sig), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({3, 3}) + U16(7) + U32(1) + Lp(hash));
  EXPECT_EQ(S(sig.r, 64), Aligned(std::string(32, 'r'), 64));
  EXPECT_EQ(S(sig.s, 64), Aligned(std::string(32, 's'), 64));
  for (const std::string& bad : {std::string(63, 'z'), std::string(130, 'z'), std::string()}) {
    s.Reply(Answer(0, Lp(bad)));
    EXPECT_EQ(SDF_InternalSign_ECC(s.handle(), 1, U(hash), 32, &sig), SDR_COMMFAIL) << bad.size();
  }
  EXPECT_EQ(sig.r[63], 'r');
  EXPECT_EQ(SDF_InternalSign_ECC(s.handle(), 2, U(hash), 32, &sig), SDR_PARDENY);

  ECCrefPrivateKey priv{};
  priv.bits = 256;
  std::memset(priv.K + 32, 'k', 32);
  s.Reply(Answer(0, Lp(std::string(32, 'R') + std::string(32, 'S'))));
  ASSERT_EQ(SDF_ExternalSign_ECC(s.handle(), SGD_SM2_1, &priv, U(hash), 32, &sig), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x12}) + U32(7) + Lp(std::string(32, 'k')) + Lp(hash));
  EXPECT_EQ(SDF_ExternalSign_ECC(s.handle(), SGD_SM4_ECB, &priv, U(hash), 32, &sig), SDR_ALGNOTSUPPORT);
  EXPECT_EQ(SDF_ExternalSign_ECC(s.handle(), SGD_SM4_ECB, nullptr, U(hash), 32, &sig), SDR_INARGERR);
}

TEST(SdfEccSignatures, VerificationFailureIsQuiet) {
  FakeSession s;
  std::string hash(32, 'h');
  ECCSignature sig{};
  std::memset(sig.r + 32, 'r', 32);
  std::memset(sig.s + 32, 's', 32);
  ECCrefPublicKey pub = EccKey();
  s.Reply(Answer(1));
  EXPECT_EQ(SDF_ExternalVerify_ECC(s.handle(), SGD_SM2_1, &pub, U(hash), 32, &sig), SDR_VERIFYERR);
  s.Reply(Answer(1));
  EXPECT_EQ(SDF_InternalVerify_ECC(s.handle(), 3, U(hash), 32, &sig), 0x0100000Eu);
  EXPECT_TRUE(s.fake().LinesAt(4).empty());
  const std::string rs = std::string(32, 'r') + std::string(32, 's');
  EXPECT_EQ(s.fake().requests.at(0), Bin({3, 4}) + U16(7) + U32(0) + Lp(std::string(32, 'p')) +
                                         Lp(std::string(32, 'q')) + Lp(hash) + Lp(rs));
  EXPECT_EQ(s.fake().requests.at(1), Bin({3, 4}) + U16(7) + U32(3) + Lp(hash) + Lp(rs));
  s.Reply(Answer(5));
  EXPECT_EQ(SDF_InternalVerify_ECC(s.handle(), 3, U(hash), 32, &sig), SDR_COMMFAIL);
  EXPECT_EQ(s.fake().LinesAt(4).back(), "SDF_InternalVerify_ECC error [16777219]|[0X1000003]");
}

TEST(SdfEccCipher, EncryptionConvertsAndBoundsC) {
  FakeSession s;
  ECCrefPublicKey pub = EccKey();
  std::string data = "sixteen byte msg";
  CipherBuf buf(16);
  s.Reply(Answer(0, Lp(DeviceCipher("CCCCCCCCCCCCCCCC"))));
  ASSERT_EQ(SDF_ExternalEncrypt_ECC(s.handle(), SGD_SM2_3, &pub, U(data), 16, buf.get()), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(),
            Bin({3, 5}) + U16(7) + U32(0) + Lp(std::string(32, 'p')) + Lp(std::string(32, 'q')) + Lp(data));
  ECCCipher* c = buf.get();
  EXPECT_EQ(S(c->x, 64), Aligned(std::string(32, 'X'), 64));
  EXPECT_EQ(S(c->y, 64), Aligned(std::string(32, 'Y'), 64));
  EXPECT_EQ(S(c->M, 32), std::string(32, 'M'));
  EXPECT_EQ(c->L, 16u);
  EXPECT_EQ(S(c->C, 16), "CCCCCCCCCCCCCCCC");
  EXPECT_EQ(static_cast<unsigned char>(c->C[16]), 0xEE);

  // C longer than the data it encrypts would run past the caller's room.
  CipherBuf small(16);
  s.Reply(Answer(0, Lp(DeviceCipher(std::string(17, 'C')))));
  EXPECT_EQ(SDF_ExternalEncrypt_ECC(s.handle(), SGD_SM2_3, &pub, U(data), 16, small.get()), SDR_COMMFAIL);
  EXPECT_EQ(small.bytes, CipherBuf(16).bytes);
  // An answer shorter than x, y and M is refused.
  s.Reply(Answer(0, Lp(std::string(95, 'z'))));
  EXPECT_EQ(SDF_ExternalEncrypt_ECC(s.handle(), SGD_SM2_3, &pub, U(data), 16, small.get()), SDR_COMMFAIL);
  EXPECT_EQ(SDF_ExternalEncrypt_ECC(s.handle(), SGD_SM4_ECB, &pub, U(data), 16, small.get()), SDR_ALGNOTSUPPORT);
}

TEST(SdfEccCipher, InternalIndexSignChoosesThePair) {
  FakeSession s;
  std::string data = "data";
  CipherBuf buf(4);
  s.Reply(Answer(0, U32(7) + Lp(std::string(32, 'x')) + Lp(std::string(32, 'y'))));
  s.Reply(Answer(0, Lp(DeviceCipher("CCCC"))));
  ASSERT_EQ(SDF_InternalEncrypt_ECC(s.handle(), static_cast<SGD_UINT32>(-2), U(data), 4, buf.get()), SDR_OK);
  ASSERT_EQ(s.fake().requests.size(), 2u);
  EXPECT_EQ(s.fake().requests[0], Bin({2, 0x16}) + U32(2) + U32(0));
  EXPECT_EQ(s.fake().requests[1],
            Bin({3, 5}) + U16(7) + U32(0) + Lp(std::string(32, 'x')) + Lp(std::string(32, 'y')) + Lp(data));
  s.Reply(Answer(0, Lp(DeviceCipher("CCCC"))));
  ASSERT_EQ(SDF_InternalEncrypt_ECC(s.handle(), 2, U(data), 4, buf.get()), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({3, 5}) + U16(7) + U32(2) + Lp(data));

  unsigned char out[8] = {};
  SGD_UINT32 outLen = 0;
  s.Reply(Answer(0, Lp("data")));
  ASSERT_EQ(SDF_InternalDecrypt_ECC(s.handle(), static_cast<SGD_UINT32>(-2), buf.get(), out, &outLen), SDR_OK);
  const std::string device = DeviceCipher("CCCC");
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x13}) + U32(7) + U32(0) + U32(2) + Lp(device));
  EXPECT_EQ(outLen, 4u);
  s.Reply(Answer(0, Lp("data")));
  ASSERT_EQ(SDF_InternalDecrypt_ECC(s.handle(), 2, buf.get(), out, &outLen), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x13}) + U32(7) + U32(1) + U32(2) + Lp(device));
  // Plain text longer than C does not fit the room the caller gave.
  s.Reply(Answer(0, Lp("toolong")));
  EXPECT_EQ(SDF_InternalDecrypt_ECC(s.handle(), 2, buf.get(), out, &outLen), SDR_COMMFAIL);
  EXPECT_EQ(SDF_InternalDecrypt_ECC(s.handle(), 0, buf.get(), out, &outLen), SDR_INARGERR);
}

TEST(SdfEccCipher, ExternalDecryptUsageFromAlgorithm) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  ECCrefPrivateKey priv{};
  priv.bits = 256;
  std::memset(priv.K + 32, 'k', 32);
  CipherBuf buf(4);
  ECCCipher* c = buf.get();
  std::memset(c, 0, offsetof(ECCCipher, C));
  std::memset(c->x + 32, 'X', 32);
  std::memset(c->y + 32, 'Y', 32);
  std::memset(c->M, 'M', 32);
  c->L = 4;
  std::memcpy(c->C, "CCCC", 4);
  unsigned char out[8];
  SGD_UINT32 outLen = 0;
  for (const auto& [alg, usage] : {std::pair{SGD_SM2_1, 0u}, std::pair{SGD_SM2_3, 1u}}) {
    ASSERT_EQ(SDF_ExternalDecrypt_ECC(s.handle(), alg, &priv, c, out, &outLen), SDR_OK);
    EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x13}) + U32(7) + U32(usage) + U32(0) + Lp(std::string(32, 'k')) +
                                            Lp(DeviceCipher("CCCC")));
  }
  for (const auto& [level, line] : s.fake().lines) EXPECT_EQ(line.find("6B6B6B6B"), std::string::npos) << line;
}

TEST(SdfEccCipher, EnvelopeKeepsTheLengthOfC) {
  FakeSession s;
  Grant(s, 3);
  ECCrefPublicKey pub = EccKey();
  CipherBuf in(8), out(8);
  std::string plain = "abcdefgh";
  s.Reply(Answer(0, Lp(DeviceCipher("12345678"))));
  s.Reply(Answer(0, Lp(DeviceCipher("12345678"))));
  ASSERT_EQ(SDF_InternalEncrypt_ECC(s.handle(), 3, U(plain), 8, in.get()), SDR_OK);
  ASSERT_EQ(SDF_ExchangeDigitEnvelopeBaseOnECC(s.handle(), 3, SGD_SM2_3, &pub, in.get(), out.get()), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 0x12}) + U32(3) + Lp(std::string(32, 'p')) +
                                          Lp(std::string(32, 'q')) + Lp(DeviceCipher("12345678")));
  EXPECT_EQ(out.get()->L, 8u);
  s.Reply(Answer(0, Lp(DeviceCipher("123456789"))));
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnECC(s.handle(), 3, SGD_SM2_3, &pub, in.get(), out.get()), SDR_COMMFAIL);
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnECC(s.handle(), 4, SGD_SM2_3, &pub, in.get(), out.get()), SDR_PARDENY);
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnECC(s.handle(), 0, 0x401, nullptr, nullptr, nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_ExchangeDigitEnvelopeBaseOnECC(s.handle(), 3, 0x401, nullptr, nullptr, nullptr), SDR_ALGNOTSUPPORT);
}

// ---- SM2 key agreement ----

struct AgreementFixture : ::testing::Test {
  FakeSession s;
  std::string sponsorId = "ALICE", responderId = "BOB";
  ECCrefPublicKey sponsorPub{}, sponsorTmp{};
  SGD_HANDLE agreement = nullptr;

  void QueueOwnKeys(char x) {
    s.Reply(Answer(0, U32(7) + Lp(std::string(32, x)) + Lp(std::string(32, x + 1))));
    s.Reply(Answer(0, Lp(std::string(32, x + 2)) + Lp(std::string(32, x + 3)) + Lp(std::string(32, x + 4))));
  }
  SGD_RV Sponsor() {
    return SDF_GenerateAgreementDataWithECC(s.handle(), 1, 128, U(sponsorId), 5, &sponsorPub, &sponsorTmp, &agreement);
  }
};

TEST_F(AgreementFixture, SponsorAndResponderRequests) {
  EXPECT_EQ(Sponsor(), SDR_PRKRERR);
  EXPECT_TRUE(s.fake().requests.empty());
  Grant(s, 1);
  QueueOwnKeys('a');
  ASSERT_EQ(Sponsor(), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({2, 0x16}) + U32(1) + U32(1));
  EXPECT_EQ(s.fake().requests.at(1), Bin({2, 8}) + U32(7));
  EXPECT_EQ(sponsorPub.bits, 256u);
  EXPECT_EQ(S(sponsorTmp.x, 64), Aligned(std::string(32, 'c'), 64));

  // The responder, in its own session.
  FakeSession r;
  Grant(r, 2);
  r.Reply(Answer(0, U32(7) + Lp(std::string(32, 'A')) + Lp(std::string(32, 'B'))));
  r.Reply(Answer(0, Lp(std::string(32, 'C')) + Lp(std::string(32, 'D')) + Lp(std::string(32, 'E'))));
  r.Reply(Answer(0, Lp(std::string(16, 'K'))));
  ECCrefPublicKey responderPub{}, responderTmp{};
  SGD_HANDLE responderKey = nullptr;
  ASSERT_EQ(SDF_GenerateAgreementDataAndKeyWithECC(r.handle(), 2, 128, U(responderId), 3, U(sponsorId), 5, &sponsorPub,
                                                   &sponsorTmp, &responderPub, &responderTmp, &responderKey),
            SDR_OK);
  const std::string a32(32, 'a'), b32(32, 'b'), c32(32, 'c'), d32(32, 'd'), e32(32, 'e');
  EXPECT_EQ(r.fake().requests.at(2), Bin({2, 0x13}) + U32(1) + Lp(sponsorId) + U32(64) + a32 + b32 + U32(64) + c32 +
                                         d32 + U32(2) + U32(16) + Lp(responderId) + U32(64) + std::string(32, 'C') +
                                         std::string(32, 'D') + Lp(std::string(32, 'E')));
  ASSERT_NE(responderKey, nullptr);
  EXPECT_EQ(*static_cast<uint32_t*>(responderKey), 0u);

  // Back to the sponsor: its stored temporary key and ID go into the exchange.
  s.Reply(Answer(0, Lp(std::string(16, 'K'))));
  SGD_HANDLE sponsorKey = nullptr;
  ASSERT_EQ(SDF_GenerateKeyWithECC(s.handle(), U(responderId), 3, &responderPub, &responderTmp, agreement, &sponsorKey),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.at(2), Bin({2, 0x13}) + U32(0) + Lp(responderId) + U32(64) + std::string(32, 'A') +
                                         std::string(32, 'B') + U32(64) + std::string(32, 'C') + std::string(32, 'D') +
                                         U32(1) + U32(16) + Lp(sponsorId) + U32(64) + c32 + d32 + Lp(e32));
  ASSERT_NE(sponsorKey, nullptr);
  // The handle is consumed; its record is gone.
  EXPECT_EQ(SDF_GenerateKeyWithECC(s.handle(), U(responderId), 3, &responderPub, &responderTmp, agreement, &sponsorKey),
            SDR_STEPERR);
  EXPECT_EQ(s.fake().requests.size(), 3u);
}

TEST_F(AgreementFixture, FailedExchangeKeepsTheAgreement) {
  Grant(s, 1);
  QueueOwnKeys('a');
  ASSERT_EQ(Sponsor(), SDR_OK);
  ECCrefPublicKey peer = EccKey('r'), peerTmp = EccKey('t');
  SGD_HANDLE key = nullptr;
  s.Reply(Answer(42));
  EXPECT_EQ(SDF_GenerateKeyWithECC(s.handle(), nullptr, 0, &peer, &peerTmp, agreement, &key), SDR_ALGNOTSUPPORT);
  EXPECT_EQ(s.fake().LinesAt(4).back(), "SDF_GenerateKeyWithECC error [16777225]|[0X1000009]");
  // Too long an agreed key is refused, and the agreement survives that too.
  s.Reply(Answer(0, Lp(std::string(129, 'K'))));
  EXPECT_EQ(SDF_GenerateKeyWithECC(s.handle(), nullptr, 0, &peer, &peerTmp, agreement, &key), SDR_COMMFAIL);
  s.Reply(Answer(0, Lp(std::string(16, 'K'))));
  ASSERT_EQ(SDF_GenerateKeyWithECC(s.handle(), nullptr, 0, &peer, &peerTmp, agreement, &key), SDR_OK);
  EXPECT_EQ(*static_cast<uint32_t*>(key), 0u);
  // A handle from another session is not this session's step.
  FakeSession other;
  Grant(other, 1);
  EXPECT_EQ(SDF_GenerateKeyWithECC(other.handle(), nullptr, 0, &peer, &peerTmp, agreement, &key), SDR_STEPERR);
  EXPECT_EQ(SDF_GenerateKeyWithECC(s.handle(), nullptr, 3, &peer, &peerTmp, agreement, &key), SDR_INARGERR);
}

TEST_F(AgreementFixture, RightRemovedBetweenTheCalls) {
  Grant(s, 1);
  QueueOwnKeys('a');
  ASSERT_EQ(Sponsor(), SDR_OK);
  ASSERT_EQ(SDF_ReleasePrivateKeyAccessRight(s.handle(), 1), SDR_OK);
  ECCrefPublicKey peer = EccKey('r'), peerTmp = EccKey('t');
  SGD_HANDLE key = nullptr;
  EXPECT_EQ(SDF_GenerateKeyWithECC(s.handle(), nullptr, 0, &peer, &peerTmp, agreement, &key), SDR_PRKRERR);
  EXPECT_EQ(s.fake().requests.size(), 2u);
  // An empty sponsor ID with a null pointer is accepted.
  Grant(s, 1);
  QueueOwnKeys('a');
  EXPECT_EQ(SDF_GenerateAgreementDataWithECC(s.handle(), 1, 128, nullptr, 0, &sponsorPub, &sponsorTmp, &agreement),
            SDR_OK);
  EXPECT_EQ(SDF_GenerateAgreementDataWithECC(s.handle(), 1, 128, nullptr, 4, &sponsorPub, &sponsorTmp, &agreement),
            SDR_INARGERR);
}

}  // namespace

// ---- Session keys under RSA and SM2 keys ----

namespace {

TEST(SdfAsymSessionKeys, RsaWrappedKeyAndHandle) {
  FakeSession s;
  const std::string wrapped(256, 'w'), lmk(16, 'L');
  unsigned char key[512];
  SGD_UINT32 keyLen = 0;
  SGD_HANDLE h = nullptr;
  s.Reply(Answer(0, Lp(wrapped) + Lp(lmk)));
  ASSERT_EQ(SDF_GenerateKeyWithIPK_RSA(s.handle(), 3, 128, key, &keyLen, &h), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 3}) + U32(3) + U32(16));
  EXPECT_EQ(keyLen, 256u);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(*static_cast<uint32_t*>(h), 0u);

  // Under an external key: its modulus and exponent tails, and nothing longer than its block back.
  RSArefPublicKey pub = RsaKey(1024);
  h = nullptr;
  s.Reply(Answer(0, Lp(std::string(128, 'w')) + Lp(lmk)));
  ASSERT_EQ(SDF_GenerateKeyWithEPK_RSA(s.handle(), 128, &pub, key, &keyLen, &h), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 3}) + U32(0) + Lp(std::string(128, 'm')) +
                                          Lp(Aligned(Bin({1, 0, 1}), 128)) + U32(16));
  h = nullptr;
  s.Reply(Answer(0, Lp(std::string(129, 'w')) + Lp(lmk)));
  EXPECT_EQ(SDF_GenerateKeyWithEPK_RSA(s.handle(), 128, &pub, key, &keyLen, &h), SDR_COMMFAIL);
  // An LMK cipher longer than any session key's makes no handle.
  s.Reply(Answer(0, Lp(wrapped) + Lp(std::string(129, 'L'))));
  EXPECT_EQ(SDF_GenerateKeyWithIPK_RSA(s.handle(), 3, 128, key, &keyLen, &h), SDR_COMMFAIL);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(SDF_GenerateKeyWithIPK_RSA(s.handle(), 3, 128, key, &keyLen, nullptr), SDR_INARGERR);

  // Import needs the access right of the private key.
  std::string in(256, 'w');
  EXPECT_EQ(SDF_ImportKeyWithISK_RSA(s.handle(), 3, U(in), 256, &h), SDR_PARDENY);
  Grant(s, 3);
  s.Reply(Answer(0, Lp(lmk)));
  ASSERT_EQ(SDF_ImportKeyWithISK_RSA(s.handle(), 3, U(in), 256, &h), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 4}) + U32(3) + Lp(in));
}

TEST(SdfAsymSessionKeys, KeyIntoDeviceSlot) {
  FakeSession s;
  s.Reply(Answer(0, Lp(std::string(256, 'w')) + Lp(std::string(16, 'L'))));
  s.Reply(Answer(0, Lp(std::string(16, 'K'))));  // the check value's encryption
  s.fake().answerOkWhenEmpty = true;
  unsigned char key[512];
  SGD_UINT32 keyLen = 0;
  uint32_t slot = 5;
  SGD_HANDLE h = &slot;
  ASSERT_EQ(SDF_GenerateKeyWithIPK_RSA(s.handle(), 3, 128, key, &keyLen, &h), SDR_OK);
  EXPECT_EQ(h, &slot);
  EXPECT_EQ(s.fake().requests.back().substr(0, 10), Bin({8, 0x33}) + U32(0) + U32(5));
}

TEST(SdfAsymSessionKeys, Sm2CipherConversionBothWays) {
  FakeSession s;
  CipherBuf buf(16);
  SGD_HANDLE h = nullptr;
  s.Reply(Answer(0, Lp(DeviceCipher(std::string(16, 'C'))) + Lp(std::string(16, 'L'))));
  ASSERT_EQ(SDF_GenerateKeyWithIPK_ECC(s.handle(), 2, 128, buf.get(), &h), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 9}) + U32(2) + U32(16));
  EXPECT_EQ(buf.get()->L, 16u);
  EXPECT_EQ(S(buf.get()->x, 64), Aligned(std::string(32, 'X'), 64));
  EXPECT_EQ(static_cast<unsigned char>(buf.get()->C[16]), 0xEE);

  // The key's C is as long as the key: more would run past the caller's room.
  CipherBuf small(16);
  h = nullptr;
  s.Reply(Answer(0, Lp(DeviceCipher(std::string(17, 'C'))) + Lp(std::string(16, 'L'))));
  EXPECT_EQ(SDF_GenerateKeyWithIPK_ECC(s.handle(), 2, 128, small.get(), &h), SDR_COMMFAIL);
  EXPECT_EQ(small.bytes, CipherBuf(16).bytes);
  EXPECT_EQ(h, nullptr);

  ECCrefPublicKey pub = EccKey();
  EXPECT_EQ(SDF_GenerateKeyWithEPK_ECC(s.handle(), 128, SGD_SM4_ECB, nullptr, nullptr, nullptr), SDR_ALGNOTSUPPORT);
  s.Reply(Answer(0, Lp(DeviceCipher(std::string(16, 'C'))) + Lp(std::string(16, 'L'))));
  ASSERT_EQ(SDF_GenerateKeyWithEPK_ECC(s.handle(), 128, SGD_SM2_3, &pub, small.get(), &h), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(),
            Bin({2, 9}) + U32(0) + Lp(std::string(32, 'p')) + Lp(std::string(32, 'q')) + U32(16));

  // Back to the device layout: last 32 bytes of x and y, M, then L bytes of C.
  Grant(s, 2);
  h = nullptr;
  s.Reply(Answer(0, Lp(std::string(16, 'L'))));
  ASSERT_EQ(SDF_ImportKeyWithISK_ECC(s.handle(), 2, buf.get(), &h), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({2, 0x11}) + U32(2) + Lp(DeviceCipher(std::string(16, 'C'))));
  // An L beyond the device buffer is refused before C is read.
  buf.get()->L = 1953;
  EXPECT_EQ(SDF_ImportKeyWithISK_ECC(s.handle(), 2, buf.get(), &h), SDR_INARGERR);
  EXPECT_EQ(SDF_ImportKeyWithISK_ECC(s.handle(), 2, nullptr, &h), SDR_INARGERR);
}

}  // namespace
