// Session keys, key handles and SDF encryption and MAC against a scripted
// device: which commands are sent, how pieces chain, how handles resolve.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include <cstring>
#include <string>
#include <vector>

#include "commands/FakeDevice.h"

namespace {

using namespace QuorTest;

std::string S(const void* p, size_t n) { return std::string(static_cast<const char*>(p), n); }

// The three answers of SDF_ImportKey: transport key, its encryption of the
// plain key, the imported key's LMK cipher.
void ScriptImport(FakeSession& s, const std::string& cipher, size_t keyLength = 16) {
  s.Reply(Answer(0, Lp("TRANSPORT-KEY-16") + Lp("CHECKVAL")));
  s.Reply(Answer(0, Lp(std::string(keyLength, 'e')) + Lp("")));
  s.Reply(Answer(0, Lp(cipher) + "KCV-8BYT"));
}

SGD_HANDLE ImportSessionKey(FakeSession& s, const std::string& cipher) {
  ScriptImport(s, cipher);
  unsigned char key[16] = {1, 2, 3};
  SGD_HANDLE h = nullptr;
  EXPECT_EQ(SDF_ImportKey(s.handle(), key, 16, &h), SDR_OK);
  s.fake().requests.clear();
  return h;
}

TEST(ImportKey, PlainKeyTravelsOnlyEncrypted) {
  FakeSession s;
  const std::string plain = "PLAIN-KEY-BYTES!";
  ScriptImport(s, "IMPORTED-CIPHER!");
  SGD_HANDLE h = nullptr;
  ASSERT_EQ(SDF_ImportKey(s.handle(), reinterpret_cast<SGD_UCHAR*>(const_cast<char*>(plain.data())), 16, &h), SDR_OK);
  ASSERT_NE(h, nullptr);
  uint32_t idx = 1;
  std::memcpy(&idx, h, 4);
  EXPECT_EQ(idx, 0u);
  const auto& r = s.fake().requests;
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0], Bin({8, 0x16}) + U32(7));
  EXPECT_EQ(r[1], Bin({4, 1}) + U32(0) + U32(0) + U32(2) + Lp("TRANSPORT-KEY-16") + U32(7) + Lp(plain));
  EXPECT_EQ(r[2].substr(0, 2), Bin({8, 0xA1}));
  EXPECT_NE(r[2].find(Lp(std::string(16, 'e'))), std::string::npos);
  EXPECT_EQ(r[2].find(plain), std::string::npos);
  EXPECT_EQ(SDF_DestroyKey(s.handle(), h), SDR_OK);
}

TEST(ImportKey, Refusals) {
  FakeSession s;
  unsigned char key[300] = {};
  SGD_HANDLE h = nullptr;
  EXPECT_EQ(SDF_ImportKey(s.handle(), nullptr, 16, &h), SDR_INARGERR);
  EXPECT_TRUE(s.fake().lines.empty());  // not even the begin line
  EXPECT_EQ(SDF_ImportKey(s.handle(), key, 16, nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_ImportKey(s.handle(), key, 257, &h), SDR_INARGERR);
  EXPECT_EQ(SDF_ImportKey(s.handle(), key, 0, &h), SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());
  // An LMK cipher longer than the library keeps is refused; no handle is made.
  ScriptImport(s, std::string(129, 'c'));
  EXPECT_EQ(SDF_ImportKey(s.handle(), key, 16, &h), SDR_COMMFAIL);
  EXPECT_EQ(h, nullptr);
}

// A handle place that points to a key index stores the key into that slot,
// with the algorithm told by the LMK cipher's length.
TEST(KeyHandleCompletion, StoresIntoTheSlotByCipherLength) {
  for (const auto& [cipherLength, algorithm] : {std::pair{16, 7}, std::pair{24, 2}, std::pair{32, 5}}) {
    FakeSession s;
    const std::string cipher(cipherLength, 'k');
    ScriptImport(s, cipher);
    s.Reply(Answer(0, Lp(std::string("KCV-OF-THE-KEY--").substr(0, algorithm == 2 ? 8 : 16)) + Lp("")));
    s.Reply(Answer(0));
    int32_t slot = 5;
    SGD_HANDLE place = &slot;
    unsigned char key[16] = {};
    ASSERT_EQ(SDF_ImportKey(s.handle(), key, 16, &place), SDR_OK) << cipherLength;
    EXPECT_EQ(place, &slot);
    const auto& r = s.fake().requests;
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[3], Bin({4, 1}) + U32(0) + U32(0) + U32(2) + Lp(cipher) + U32(algorithm) +
                        Lp(std::string(algorithm == 2 ? 8 : 16, '\0')));
    EXPECT_EQ(r[4], Bin({8, 0x33}) + U32(0) + U32(5) + U32(algorithm) + Lp(cipher) + "KCV-OF-T" + U32(1));
  }
}

TEST(KeyHandleCompletion, FailedStoreMakesNoHandle) {
  FakeSession s;
  ScriptImport(s, "IMPORTED-CIPHER!");
  s.Reply(Answer(0, Lp(std::string(16, 'v')) + Lp("")));
  s.Reply(Answer(7));
  int32_t slot = 5;
  SGD_HANDLE place = &slot;
  unsigned char key[16] = {};
  EXPECT_EQ(SDF_ImportKey(s.handle(), key, 16, &place), SDR_KEYERR);
  EXPECT_EQ(place, &slot);
  EXPECT_EQ(s.fake().LinesAt(4).back(), "SDF_ImportKey error [16777237]|[0X1000015]");
}

TEST(GenerateKeyWithKEK, ChecksAndRequest) {
  FakeSession s;
  SGD_HANDLE h = nullptr;
  unsigned char wrapped[64];
  SGD_UINT32 len = 0;
  EXPECT_EQ(SDF_GenerateKeyWithKEK(s.handle(), 128, SGD_SM4_CBC, 3, nullptr, nullptr, nullptr), SDR_ALGNOTSUPPORT);
  EXPECT_EQ(SDF_GenerateKeyWithKEK(s.handle(), 128, SGD_SM4_ECB, 3, wrapped, nullptr, &h), SDR_INARGERR);
  EXPECT_EQ(SDF_GenerateKeyWithKEK(s.handle(), 128, SGD_SM4_ECB, 3, wrapped, &len, nullptr), SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());

  // Without a key buffer only the handle comes back.
  s.Reply(Answer(0, Lp("WRAPPED-UNDER-KEK") + Lp("LMK-CIPHER-16BYT")));
  ASSERT_EQ(SDF_GenerateKeyWithKEK(s.handle(), 128, 0x80000201, 3, nullptr, nullptr, &h), SDR_OK);
  EXPECT_NE(h, nullptr);
  EXPECT_EQ(s.fake().requests[0], Bin({2, 0x14}) + U32(16) + U32(3));

  s.Reply(Answer(0, Lp("WRAPPED-UNDER-KEK") + Lp("LMK-CIPHER-16BYT")));
  SGD_HANDLE h2 = nullptr;
  ASSERT_EQ(SDF_GenerateKeyWithKEK(s.handle(), 128, SGD_SM4_ECB, 3, wrapped, &len, &h2), SDR_OK);
  EXPECT_EQ(S(wrapped, len), "WRAPPED-UNDER-KEK");
}

TEST(ImportKeyWithKEK, ChecksAndRequest) {
  FakeSession s;
  SGD_HANDLE h = nullptr;
  unsigned char wrapped[16] = {9};
  EXPECT_EQ(SDF_ImportKeyWithKEK(s.handle(), 0x00000402, 3, nullptr, 16, nullptr), SDR_ALGNOTSUPPORT);
  EXPECT_EQ(SDF_ImportKeyWithKEK(s.handle(), SGD_SM4_ECB, 3, nullptr, 16, &h), SDR_INARGERR);
  s.Reply(Answer(0, Lp("LMK-CIPHER-16BYT")));
  ASSERT_EQ(SDF_ImportKeyWithKEK(s.handle(), SGD_SM4_ECB, 3, wrapped, 16, &h), SDR_OK);
  EXPECT_EQ(s.fake().requests[0], Bin({2, 0x15}) + U32(3) + Lp(S(wrapped, 16)));
}

TEST(DestroyKey, SessionAndSlotKeys) {
  FakeSession s;
  SGD_HANDLE h = ImportSessionKey(s, "IMPORTED-CIPHER!");
  EXPECT_EQ(SDF_DestroyKey(s.handle(), nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_DestroyKey(s.handle(), h), SDR_OK);
  EXPECT_TRUE(s.fake().requests.empty());

  int32_t slot = 5;
  s.Reply(Answer(0));
  EXPECT_EQ(SDF_DestroyKey(s.handle(), &slot), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 8}) + U32(0) + U32(5));
  s.Reply(Answer(45));
  EXPECT_EQ(SDF_DestroyKey(s.handle(), &slot), SDR_KEYNOTEXIST);

  // Another session's key is not this session's to destroy.
  FakeSession other;
  SGD_HANDLE foreign = ImportSessionKey(other, "OTHER-CIPHER-16!");
  EXPECT_EQ(SDF_DestroyKey(s.handle(), foreign), SDR_UNKNOWERR);
  EXPECT_EQ(SDF_DestroyKey(other.handle(), foreign), SDR_OK);
}

// ---- Encryption and MAC ----

class SdfCipherTest : public ::testing::Test {
 protected:
  FakeSession s;
  SGD_HANDLE key = nullptr;
  void SetUp() override { key = ImportSessionKey(s, "SESSION-CIPHER16"); }
};

TEST_F(SdfCipherTest, PiecesOf8192ChainThroughTheCallersIv) {
  const size_t n = 20000;
  for (const auto& [piece, mark] : {std::pair{8192, 'a'}, std::pair{8192, 'b'}, std::pair{3616, 'c'}})
    s.Reply(Answer(0, Lp(std::string(piece, mark)) + Lp(std::string(16, static_cast<char>(mark - 32)))));
  std::vector<unsigned char> data(n, 'p');
  std::vector<unsigned char> out(n);
  unsigned char iv[16];
  std::memset(iv, 'I', 16);
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(SDF_Encrypt(s.handle(), key, SGD_SM4_CBC, iv, data.data(), n, out.data(), &outLen), SDR_OK);
  EXPECT_EQ(outLen, n);
  const auto& r = s.fake().requests;
  ASSERT_EQ(r.size(), 3u);
  const std::string head = Bin({4, 1}) + U32(1) + U32(0) + U32(2) + Lp("SESSION-CIPHER16") + U32(7);
  EXPECT_EQ(r[0], head + Lp(std::string(8192, 'p')) + std::string(16, 'I'));
  EXPECT_EQ(r[1], head + Lp(std::string(8192, 'p')) + std::string(16, 'A'));
  EXPECT_EQ(r[2], head + Lp(std::string(3616, 'p')) + std::string(16, 'B'));
  EXPECT_EQ(S(iv, 16), std::string(16, 'C'));
  EXPECT_EQ(S(out.data(), n), std::string(8192, 'a') + std::string(8192, 'b') + std::string(3616, 'c'));
}

TEST_F(SdfCipherTest, ArgumentChecks) {
  unsigned char data[32] = {};
  unsigned char out[32];
  SGD_UINT32 len = 0;
  EXPECT_EQ(SDF_Encrypt(s.handle(), key, SGD_SM4_CBC, nullptr, data, 16, out, &len), SDR_INARGERR);
  EXPECT_EQ(SDF_Encrypt(s.handle(), key, SGD_SM4_ECB, nullptr, data, 15, out, &len), SDR_INARGERR);
  EXPECT_EQ(SDF_Encrypt(s.handle(), key, SGD_SM4_ECB, nullptr, data, 0, out, &len), SDR_INARGERR);
  EXPECT_EQ(SDF_Encrypt(s.handle(), key, SGD_SM4_ECB, nullptr, data, 16, nullptr, &len), SDR_INARGERR);
  EXPECT_EQ(SDF_Decrypt(s.handle(), key, SGD_SM4_ECB, nullptr, data, 16, out, nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_Encrypt(s.handle(), nullptr, SGD_SM4_ECB, nullptr, data, 16, out, &len), SDR_INARGERR);
  EXPECT_EQ(SDF_Encrypt(s.handle(), key, 0x00000301, nullptr, data, 16, out, &len), SDR_ALGNOTSUPPORT);
  EXPECT_TRUE(s.fake().requests.empty());
  s.Reply(Answer(0, Lp(std::string(16, 'x')) + Lp("")));
  EXPECT_EQ(SDF_Encrypt(s.handle(), key, SGD_SM4_ECB, nullptr, data, 16, out, &len), SDR_OK);
  EXPECT_EQ(len, 16u);
}

TEST_F(SdfCipherTest, OtherSessionsKeyIsAStepError) {
  FakeSession other;
  unsigned char data[16] = {};
  unsigned char out[16];
  SGD_UINT32 len = 0;
  EXPECT_EQ(SDF_Encrypt(other.handle(), key, SGD_SM4_ECB, nullptr, data, 16, out, &len), SDR_STEPERR);
  EXPECT_EQ(SDF_CalculateMAC(other.handle(), key, SGD_SM4_MAC, data, data, 16, out, &len), SDR_STEPERR);
  EXPECT_TRUE(other.fake().requests.empty());
}

// The vendor families pick the algorithm from the LMK cipher's length.
TEST(SdfCipherIdentifiers, VendorFamiliesByCipherLength) {
  const struct {
    SGD_UINT32 id;
    size_t cipherLength;
    int32_t mode;
    int32_t algorithm;
  } cases[] = {
      {0x80000201, 16, 0, 3},  {0x80000202, 24, 1, 4},  {0x80000204, 32, 2, 5},
      {0x80000101, 8, 0, 0},   {0x80000108, 16, 3, 1},  {0x80000102, 24, 1, 2},
      {0x00008002, 16, 1, 11}, {SGD_SM1_OFB, 16, 3, 6}, {SGD_SSF33_CFB, 16, 2, 8},
  };
  for (const auto& c : cases) {
    FakeSession s;
    const std::string cipher(c.cipherLength, 'k');
    int32_t slot = 9;
    s.Reply(Answer(0, Lp(cipher) + "CHECKVAL" + U32(7)));
    s.Reply(Answer(0, Lp(std::string(16, 'x')) + Lp(std::string(16, 'v'))));
    unsigned char data[16] = {};
    unsigned char out[16];
    unsigned char iv[16] = {};
    SGD_UINT32 len = 0;
    ASSERT_EQ(SDF_Encrypt(s.handle(), &slot, c.id, iv, data, 16, out, &len), SDR_OK) << std::hex << c.id;
    const auto& r = s.fake().requests;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], Bin({8, 0x32}) + U32(0) + U32(9));
    EXPECT_EQ(r[1].substr(0, 2 + 4 + 4 + 4 + 4 + c.cipherLength + 4),
              Bin({4, 1}) + U32(c.mode) + U32(0) + U32(2) + Lp(cipher) + U32(c.algorithm))
        << std::hex << c.id;
  }
}

TEST(SdfCipherIdentifiers, UnknownIdentifierAfterTheKeyFetch) {
  FakeSession s;
  int32_t slot = 9;
  s.Reply(Answer(0, Lp(std::string(16, 'k')) + "CHECKVAL" + U32(7)));
  unsigned char data[16] = {};
  unsigned char out[16];
  SGD_UINT32 len = 0;
  EXPECT_EQ(SDF_Encrypt(s.handle(), &slot, 0x00000301, nullptr, data, 16, out, &len), SDR_ALGNOTSUPPORT);
  EXPECT_EQ(s.fake().requests.size(), 1u);
  // A slot cipher longer than the library keeps is refused.
  s.Reply(Answer(0, Lp(std::string(129, 'k')) + "CHECKVAL" + U32(7)));
  EXPECT_EQ(SDF_Encrypt(s.handle(), &slot, SGD_SM4_ECB, nullptr, data, 16, out, &len), SDR_COMMFAIL);
}

TEST_F(SdfCipherTest, MacChainsPiecesAndLeavesTheMacInTheIv) {
  s.Reply(Answer(0, Lp("MAC-OF-PIECE-1..")));
  s.Reply(Answer(0, Lp("FINAL-MAC-16BYTE")));
  std::vector<unsigned char> data(16384, 'm');
  unsigned char iv[16] = {};
  unsigned char mac[16];
  SGD_UINT32 macLen = 0;
  ASSERT_EQ(SDF_CalculateMAC(s.handle(), key, SGD_SM4_MAC, iv, data.data(), 16384, mac, &macLen), SDR_OK);
  EXPECT_EQ(S(mac, macLen), "FINAL-MAC-16BYTE");
  EXPECT_EQ(S(iv, 16), "FINAL-MAC-16BYTE");
  const auto& r = s.fake().requests;
  ASSERT_EQ(r.size(), 2u);
  const std::string head = Bin({4, 3}) + U32(1) + U32(0) + U32(2) + Lp("SESSION-CIPHER16") + U32(7);
  EXPECT_EQ(r[0], head + Lp(std::string(8192, 'm')) + std::string(16, '\0'));
  EXPECT_EQ(r[1], head + Lp(std::string(8192, 'm')) + "MAC-OF-PIECE-1..");
}

TEST_F(SdfCipherTest, MacLongerThanTheIvRefused) {
  s.Reply(Answer(0, Lp(std::string(17, 'M'))));
  unsigned char data[16] = {};
  unsigned char iv[16] = {};
  unsigned char mac[32] = {};
  SGD_UINT32 macLen = 0;
  EXPECT_EQ(SDF_CalculateMAC(s.handle(), key, SGD_SM4_MAC, iv, data, 16, mac, &macLen), SDR_COMMFAIL);
  EXPECT_EQ(S(iv, 16), std::string(16, '\0'));
  EXPECT_EQ(SDF_CalculateMAC(s.handle(), key, SGD_SM4_MAC, nullptr, data, 16, mac, &macLen), SDR_INARGERR);
  EXPECT_EQ(SDF_CalculateMAC(s.handle(), key, SGD_SM4_CBC, iv, data, 16, mac, &macLen), SDR_ALGNOTSUPPORT);
}

}  // namespace
