// Symmetric key management and cipher commands against a scripted device:
// request layouts byte for byte, argument checks, and answers that are short,
// long or malformed.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "commands/FakeDevice.h"
#include "common/Hex.h"

namespace {

using namespace QuorTest;

const unsigned char kIv[16] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
                               0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};
const unsigned char kCipher[16] = {'L', 'M', 'K', 'c', 'i', 'p', 'h', 'e', 'r', '-', '-', '-', '-', '-', '-', '!'};
const unsigned char kData[32] = {'d', 'a', 't', 'a'};

std::string S(const unsigned char* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }
std::string Iv(size_t n) { return S(kIv, n); }
std::string Ci() { return S(kCipher, 16); }
std::string KeyByCipher() { return U32(0) + U32(2) + Lp(Ci()); }

std::string HexOf(const std::string& b) { return Quor::HexEncode(b); }

struct LayoutCase {
  const char* name;
  std::function<SGD_RV(SGD_HANDLE)> call;
  std::string request;
  std::string answer = Answer(0);  // what the device answers
};

// An answer to the cipher command: 16 bytes of data and a chaining value.
const std::string kCipherAnswer = Answer(0, Lp(std::string(16, 'c')) + Lp(std::string(16, 'v')));

class RequestLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RequestLayout, MatchesByteForByte) {
  FakeSession s;
  s.Reply(GetParam().answer);
  EXPECT_EQ(GetParam().call(s.handle()), SDR_OK);
  ASSERT_EQ(s.fake().requests.size(), 1u);
  EXPECT_EQ(HexOf(s.fake().requests[0]), HexOf(GetParam().request));
}

unsigned char g_out[256];
SGD_UINT32 g_len;
SGD_UINT32 g_len2;
unsigned char g_out2[256];
unsigned char g_check[8];

const unsigned char k16a[16] = {0x16, 0xAA};
const unsigned char k16b[16] = {0x16, 0xBB};

INSTANTIATE_TEST_SUITE_P(
    KeyManagement, RequestLayout,
    ::testing::Values(
        LayoutCase{"GenerateWithLMK",
                   [](SGD_HANDLE h) { return Quor_GenerateSymmKeyWithLMK(h, 7, g_out, &g_len, g_out2, &g_len2); },
                   Bin({8, 0x16}) + U32(7)},
        LayoutCase{"GenerateWithInternalKEK",
                   [](SGD_HANDLE h) { return Quor_GenerateSymmKeyWithInternalKEK(h, 3, 16, g_out, &g_len, g_out2, &g_len2); },
                   Bin({2, 0x14}) + U32(16) + U32(3)},
        LayoutCase{"GenerateWithRSASlot",
                   [](SGD_HANDLE h) {
                     return Quor_GenerateSymmKeyWithRSA(h, 4, nullptr, 0, nullptr, 0, 16, g_out, &g_len, g_out2, &g_len2);
                   },
                   Bin({2, 3}) + U32(4) + U32(16)},
        LayoutCase{"GenerateWithRSAExternal",
                   [](SGD_HANDLE h) {
                     return Quor_GenerateSymmKeyWithRSA(h, 0, kData, 3, kIv, 2, 32, g_out, &g_len, g_out2, &g_len2);
                   },
                   Bin({2, 3}) + U32(0) + Lp(S(kData, 3)) + Lp(Iv(2)) + U32(32)},
        LayoutCase{"GenerateWithECCExternalCurveNotSent",
                   [](SGD_HANDLE h) {
                     return Quor_GenerateSymmKeyWithECC(h, 0, 7, kData, 2, kIv, 2, 16, g_out, &g_len, g_out2, &g_len2);
                   },
                   Bin({2, 9}) + U32(0) + Lp(S(kData, 2)) + Lp(Iv(2)) + U32(16)},
        LayoutCase{"ImportByInternalKEK",
                   [](SGD_HANDLE h) { return Quor_ImportSymmKeyCipherByInternalKEK(h, 9, kData, 16, g_out, &g_len); },
                   Bin({2, 0x15}) + U32(9) + Lp(S(kData, 16))},
        LayoutCase{"ImportPlain",
                   [](SGD_HANDLE h) { return Quor_ImportPlainSymmKey(h, 5, 7, kData, 2, kIv, 16); },
                   Bin({8, 3}) + U32(5) + U32(7) + Lp(S(kData, 2)) + Lp(Iv(16))},
        LayoutCase{"ExportPlain",
                   [](SGD_HANDLE h) {
                     static SGD_INT32 alg;
                     return Quor_ExportPlainSymmKey(h, 5, &alg, g_out, &g_len);
                   },
                   Bin({8, 4}) + U32(5)},
        LayoutCase{"KeyInfo",
                   [](SGD_HANDLE h) { return Quor_GetSymmKeyInfo(h, 5, nullptr, g_out, &g_len, nullptr); },
                   Bin({8, 9}) + U32(5)},
        LayoutCase{"StoreSymmetricFlag0",
                   [](SGD_HANDLE h) {
                     return Quor_ImportKeyCipherByLMK(h, 5, 0, 0, 7, 0, nullptr, 0, nullptr, 0, kCipher, 16, kIv, 0);
                   },
                   Bin({8, 0x33}) + U32(0) + U32(5) + U32(7) + Lp(Ci()) + Iv(8) + U32(1)},
        LayoutCase{"StoreSymmetricFlagSet",
                   [](SGD_HANDLE h) {
                     return Quor_ImportKeyCipherByLMK(h, 5, 0, 0, 7, 0, nullptr, 0, nullptr, 0, kCipher, 16, kIv, 9);
                   },
                   Bin({8, 0x33}) + U32(0) + U32(5) + U32(7) + Lp(Ci()) + Iv(8) + U32(2)},
        LayoutCase{"StoreEcc",
                   [](SGD_HANDLE h) {
                     return Quor_ImportKeyCipherByLMK(h, 6, 2, 7, 99, 1, kData, 2, kIv, 3, kCipher, 4, nullptr, 0);
                   },
                   Bin({8, 0x33}) + U32(2) + U32(6) + U32(7) + U32(1) + Lp(S(kData, 2)) + Lp(Iv(3)) +
                       Lp(S(kCipher, 4)) + U32(1)},
        LayoutCase{"StoreRsa",
                   [](SGD_HANDLE h) {
                     return Quor_ImportKeyCipherByLMK(h, 6, 1, 7, 99, 0, kData, 2, kIv, 3, kCipher, 4, nullptr, 1);
                   },
                   Bin({8, 0x33}) + U32(1) + U32(6) + U32(0) + Lp(S(kData, 2)) + Lp(Iv(3)) + Lp(S(kCipher, 4)) +
                       U32(2)},
        LayoutCase{"ImportThroughTransportKey",
                   [](SGD_HANDLE h) { return Quor_ImportSymmConvertKey(h, kData, 16, kCipher, 16, g_out, &g_len); },
                   Bin({8, 0xA1}) + U32(0) + U32(0) + U32(1) + U32(1) + U32(0) + U32(7) + Lp(Ci()) + U32(0) + U32(7) +
                       U32(0) + U32(0) + U32(0) + Lp(S(kData, 16))},
        LayoutCase{"KEKToLMKBySlot",
                   [](SGD_HANDLE h) {
                     return Quor_ConvertSymmKeyCipherByKEKToLMK(h, kData, 16, 3, nullptr, 0, 11, 22, g_out, &g_len);
                   },
                   Bin({8, 0x15}) + Lp(S(kData, 16)) + U32(3) + U32(22) + U32(11)},
        LayoutCase{"LMKToKEKByCipher",
                   [](SGD_HANDLE h) {
                     return Quor_ConvertSymmKeyCipherByLMKToKEK(h, kData, 16, 0, kCipher, 16, 11, 22, g_out, &g_len);
                   },
                   Bin({8, 0x14}) + Lp(S(kData, 16)) + U32(0) + Lp(Ci()) + U32(22) + U32(11)},
        LayoutCase{"ImportCovertSymmDesCbc",
                   [](SGD_HANDLE h) { return Quor_ImportCovertKeyBySymmKey(h, 2, 1, kIv, 10, 20, 30, 40, kData, 4); },
                   Bin({8, 0x58}) + U32(2) + U32(1) + Iv(8) + U32(10) + U32(4) + U32(20) + U32(30) + U32(40) +
                       Lp(S(kData, 4)) + U32(0) + U32(0)},
        LayoutCase{"ImportCovertSymmSm4Stream",
                   [](SGD_HANDLE h) { return Quor_ImportCovertKeyBySymmKey(h, 7, 5, kIv, 10, 20, 30, 40, kData, 4); },
                   Bin({8, 0x58}) + U32(7) + U32(5) + Iv(16) + U32(10) + U32(4) + U32(20) + U32(30) + U32(40) +
                       Lp(S(kData, 4)) + U32(0) + U32(0)},
        LayoutCase{"ImportCovertSymmEcbNoIv",
                   [](SGD_HANDLE h) { return Quor_ImportCovertKeyBySymmKey(h, 7, 4, nullptr, 10, 20, 30, 40, kData, 4); },
                   Bin({8, 0x58}) + U32(7) + U32(4) + U32(10) + U32(4) + U32(20) + U32(30) + U32(40) +
                       Lp(S(kData, 4)) + U32(0) + U32(0)},
        LayoutCase{"ImportCovertAsymm",
                   [](SGD_HANDLE h) { return Quor_ImportCovertKeyByAsymmKey(h, 10, 20, 30, 40, kData, 4); },
                   Bin({8, 0x59}) + U32(20) + U32(10) + U32(1) + U32(0) + U32(30) + U32(40) + Lp(S(kData, 4)) +
                       U32(0) + U32(0)},
        LayoutCase{"ExportCovertSymm",
                   [](SGD_HANDLE h) {
                     return Quor_ExportCovertKeyBySymmKey(h, 3, 2, kIv, 10, 20, 30, &g_len, g_out, &g_len2, nullptr,
                                                          nullptr);
                   },
                   Bin({8, 0x56}) + U32(3) + U32(2) + Iv(16) + U32(10) + U32(4) + U32(20) + U32(30)},
        LayoutCase{"ExportCovertAsymm",
                   [](SGD_HANDLE h) {
                     return Quor_ExportCovertKeyByAsymmKey(h, 10, 20, 30, &g_len, nullptr, nullptr, nullptr, nullptr);
                   },
                   Bin({8, 0x57}) + U32(20) + U32(10) + U32(1) + U32(0) + U32(30)}),
    [](const auto& info) { return std::string(info.param.name); });

// The two general conversions, their branches by kind, format, slot and result format.
INSTANTIATE_TEST_SUITE_P(
    KeyConversion, RequestLayout,
    ::testing::Values(
        LayoutCase{"OtherToLMKKind0Format1CipherMode6Result0",
                   [](SGD_HANDLE h) {
                     return Quor_KeyEncryptByOhterToLMK(h, 0, 11, 1, k16a, nullptr, 0, nullptr, 0, nullptr, 0, 0, 12,
                                                        kCipher, 16, nullptr, 0, nullptr, 0, 6, 13, 14, kData, 2, 0,
                                                        15, kData, 4, k16b, nullptr, 0, g_out, &g_len, g_check);
                   },
                   Bin({9, 0x58}) + U32(0) + U32(11) + U32(1) + S(k16a, 16) + U32(0) + Lp(Ci()) + U32(6) + U32(1) +
                       U32(13) + U32(14) + Lp(S(kData, 2)) + U32(0) + U32(15) + Lp(S(kData, 4))},
        LayoutCase{"OtherToLMKKind0Format6Slot9999Result21",
                   [](SGD_HANDLE h) {
                     return Quor_KeyEncryptByOhterToLMK(h, 0, 11, 6, k16a, kData, 1, kData, 2, kData, 3, 9999, 12,
                                                        nullptr, 0, kIv, 1, kIv, 2, 1, 13, 14, nullptr, 0, 21, 15,
                                                        kData, 4, k16b, kIv, 3, g_out, &g_len, nullptr);
                   },
                   Bin({9, 0x58}) + U32(0) + U32(11) + U32(6) + Lp(S(kData, 1)) + Lp(S(kData, 2)) + Lp(S(kData, 3)) +
                       U32(9999) + Lp(Iv(1)) + Lp(Iv(2)) + U32(1) + U32(21) + Lp(S(kData, 4)) + S(k16b, 16) +
                       Lp(Iv(3))},
        LayoutCase{"OtherToLMKKind1Slot",
                   [](SGD_HANDLE h) {
                     return Quor_KeyEncryptByOhterToLMK(h, 1, 11, 1, k16a, nullptr, 0, nullptr, 0, nullptr, 0, 8, 12,
                                                        nullptr, 0, nullptr, 0, nullptr, 0, 2, 13, 14, nullptr, 0, 3,
                                                        15, kData, 4, nullptr, nullptr, 0, g_out, &g_len, nullptr);
                   },
                   Bin({9, 0x58}) + U32(1) + U32(8) + U32(12) + U32(2) + U32(3) + U32(15) + Lp(S(kData, 4))},
        LayoutCase{"OtherToLMKKind2Slot",
                   [](SGD_HANDLE h) {
                     return Quor_KeyEncryptByOhterToLMK(h, 2, 11, 1, k16a, nullptr, 0, nullptr, 0, nullptr, 0, 8, 12,
                                                        nullptr, 0, nullptr, 0, nullptr, 0, 2, 13, 14, nullptr, 0, 1,
                                                        15, kData, 4, nullptr, nullptr, 0, g_out, &g_len, nullptr);
                   },
                   Bin({9, 0x58}) + U32(2) + U32(11) + U32(8) + U32(12) + U32(1) + Lp(S(kData, 4))},
        LayoutCase{"LMKToOtherKind0Format1TargetBySlotResult2",
                   [](SGD_HANDLE h) {
                     return Quor_KeyEncryptByLMKToOhter(h, 0, 11, 1, k16a, nullptr, 0, nullptr, 0, 0, 12, kCipher, 16,
                                                        nullptr, 0, nullptr, 0, 3, 13, 14, nullptr, 0, 2, 0, 16, 17,
                                                        18, nullptr, 0, k16b, g_out, &g_len, nullptr, nullptr, nullptr,
                                                        nullptr, nullptr);
                   },
                   Bin({9, 0x56}) + U32(0) + U32(11) + U32(1) + S(k16a, 16) + U32(0) + Lp(Ci()) + U32(3) + U32(2) +
                       U32(0) + U32(16) + U32(17) + U32(18)},
        LayoutCase{"LMKToOtherKind0Format6TargetByCipherResult20",
                   [](SGD_HANDLE h) {
                     return Quor_KeyEncryptByLMKToOhter(h, 0, 11, 6, k16a, kData, 1, kData, 2, 9999, 12, nullptr, 0,
                                                        kIv, 1, kIv, 2, 6, 13, 14, kData, 3, 20, 1, 16, 0, 18, kCipher,
                                                        4, k16b, g_out, &g_len, nullptr, nullptr, nullptr, nullptr,
                                                        nullptr);
                   },
                   Bin({9, 0x56}) + U32(0) + U32(11) + U32(6) + Lp(S(kData, 1)) + Lp(S(kData, 2)) + U32(9999) +
                       Lp(Iv(1)) + Lp(Iv(2)) + U32(6) + U32(1) + U32(13) + U32(14) + Lp(S(kData, 3)) + U32(20) +
                       U32(1) + U32(18) + Lp(S(kCipher, 4)) + S(k16b, 16)},
        LayoutCase{"LMKToOtherKind2Result21",
                   [](SGD_HANDLE h) {
                     return Quor_KeyEncryptByLMKToOhter(h, 2, 11, 1, nullptr, nullptr, 0, nullptr, 0, 5, 12, nullptr,
                                                        0, nullptr, 0, nullptr, 0, 3, 13, 14, nullptr, 0, 21, 0, 16, 17,
                                                        18, nullptr, 0, k16b, g_out, &g_len, nullptr, nullptr, nullptr,
                                                        nullptr, nullptr);
                   },
                   Bin({9, 0x56}) + U32(2) + U32(11) + U32(5) + U32(12) + U32(21) + U32(0) + U32(16) + U32(17) +
                       S(k16b, 16)}),
    [](const auto& info) { return std::string(info.param.name); });

// The cipher commands: key by slot or by LMK cipher, IVs after the data.
INSTANTIATE_TEST_SUITE_P(
    Cipher, RequestLayout,
    ::testing::Values(
        LayoutCase{"Sm4CbcSendsSixteenByteIvAfterData",
                   [](SGD_HANDLE h) {
                     return Quor_SymmKeyOperation(h, 0, 1, kIv, 0, kCipher, 16, 7, kData, 16, g_out, nullptr);
                   },
                   Bin({4, 1}) + U32(1) + KeyByCipher() + U32(7) + Lp(S(kData, 16)) + Iv(16), kCipherAnswer},
        LayoutCase{"TripleDesCbcDecryptSendsEightByteIv",
                   [](SGD_HANDLE h) { return Quor_SymmKeyOperation(h, 1, 1, kIv, 5, nullptr, 0, 2, kData, 16, g_out, nullptr); },
                   Bin({4, 2}) + U32(1) + U32(5) + U32(2) + Lp(S(kData, 16)) + Iv(8), kCipherAnswer},
        LayoutCase{"EcbSendsNoIv",
                   [](SGD_HANDLE h) {
                     return Quor_SymmKeyOperation(h, 0, 0, nullptr, 5, nullptr, 0, 7, kData, 16, g_out, nullptr);
                   },
                   Bin({4, 1}) + U32(0) + U32(5) + U32(7) + Lp(S(kData, 16)), kCipherAnswer},
        LayoutCase{"MacAlwaysSendsIv",
                   [](SGD_HANDLE h) {
                     return Quor_CalculateMAC(h, 1, kIv, 0, kCipher, 16, 1, kData, 16, g_out, &g_len);
                   },
                   Bin({4, 3}) + U32(1) + KeyByCipher() + U32(1) + Lp(S(kData, 16)) + Iv(8)},
        LayoutCase{"CcmEncrypt",
                   [](SGD_HANDLE h) {
                     return Quor_SymmKeyCCMOperation(h, 0, 0, kCipher, 16, 7, kData, 2, kIv, 12, kData, 16, g_check, 8,
                                                     g_out, &g_len);
                   },
                   Bin({8, 0x71}) + U32(7) + KeyByCipher() + U32(7) + Lp(S(kData, 2)) + Lp(Iv(12)) +
                       Lp(S(kData, 16)) + U32(8),
                   Answer(0, Lp(std::string(16, 'c')) + std::string(8, 't'))},
        LayoutCase{"CcmDecrypt",
                   [](SGD_HANDLE h) {
                     return Quor_SymmKeyCCMOperation(h, 1, 3, nullptr, 0, 5, nullptr, 0, kIv, 7, kData, 16,
                                                     const_cast<unsigned char*>(k16a), 8, g_out, &g_len);
                   },
                   Bin({8, 0x72}) + U32(7) + U32(3) + U32(5) + Lp("") + Lp(Iv(7)) + Lp(S(kData, 16)) +
                       Lp(S(k16a, 8))},
        LayoutCase{"CcmInit",
                   [](SGD_HANDLE h) {
                     return Quor_SymmKeyCCMOperationInit(h, 1, 0, kCipher, 16, 5, kIv, 13, kData, 3, 100, 12, g_out,
                                                         &g_len);
                   },
                   Bin({8, 0x73}) + U32(7) + U32(2) + KeyByCipher() + U32(5) + Lp(Iv(13)) + Lp(S(kData, 3)) + U32(100) +
                       U32(12)},
        LayoutCase{"CcmUpdate",
                   [](SGD_HANDLE h) {
                     return Quor_SymmKeyCCMOperationUpdate(h, 0, kCipher, 5, kData, 7, g_out2, &g_len2, g_out, &g_len);
                   },
                   Bin({8, 0x74}) + Lp(S(kCipher, 5)) + U32(1) + Lp(S(kData, 7))},
        LayoutCase{"CcmFinalDecryptSendsTagOfGivenLength",
                   [](SGD_HANDLE h) {
                     g_len = 6;
                     return Quor_SymmKeyCCMOperationFinal(h, 1, kCipher, 5, const_cast<unsigned char*>(k16a), &g_len);
                   },
                   Bin({8, 0x75}) + Lp(S(kCipher, 5)) + U32(2) + Lp(S(k16a, 6))},
        LayoutCase{"GcmEncrypt",
                   [](SGD_HANDLE h) {
                     return Quor_SymmKeyGCMOperation(h, 0, 0, kCipher, 16, 5, kIv, 12, kData, 3, kData, 16, g_check,
                                                     &g_len2, g_out, &g_len);
                   },
                   Bin({8, 0x21}) + U32(6) + KeyByCipher() + U32(5) + Lp(Iv(12)) + Lp(S(kData, 3)) + Lp(S(kData, 16))},
        LayoutCase{"GcmDecryptSendsTag",
                   [](SGD_HANDLE h) {
                     g_len2 = 4;
                     return Quor_SymmKeyGCMOperation(h, 1, 9, nullptr, 0, 5, kIv, 12, kData, 3, kData, 16,
                                                     const_cast<unsigned char*>(k16a), &g_len2, g_out, &g_len);
                   },
                   Bin({8, 0x22}) + U32(6) + U32(9) + U32(5) + Lp(Iv(12)) + Lp(S(kData, 3)) + Lp(S(kData, 16)) +
                       Lp(S(k16a, 4))}),
    [](const auto& info) { return std::string(info.param.name); });

// Argument checks refuse before anything is sent.
TEST(SymmArguments, RefusedWithoutACommand) {
  FakeSession s;
  const SGD_HANDLE h = s.handle();
  unsigned char out[64];
  SGD_UINT32 len = 0;
  SGD_UINT32 number = 0;
  const struct {
    const char* what;
    SGD_RV rv;
  } cases[] = {
      {"CBC without IV", Quor_SymmKeyOperation(h, 0, 1, nullptr, 5, nullptr, 0, 7, kData, 16, out, nullptr)},
      {"slot 0 without cipher", Quor_SymmKeyOperation(h, 0, 0, nullptr, 0, nullptr, 0, 7, kData, 16, out, nullptr)},
      {"slot 0 cipher length 0", Quor_SymmKeyOperation(h, 0, 0, nullptr, 0, kCipher, 0, 7, kData, 16, out, nullptr)},
      {"no data", Quor_SymmKeyOperation(h, 0, 0, nullptr, 5, nullptr, 0, 7, nullptr, 16, out, nullptr)},
      {"data length 0", Quor_SymmKeyOperation(h, 0, 0, nullptr, 5, nullptr, 0, 7, kData, 0, out, nullptr)},
      {"no out", Quor_SymmKeyOperation(h, 0, 0, nullptr, 5, nullptr, 0, 7, kData, 16, nullptr, nullptr)},
      {"MAC without IV", Quor_CalculateMAC(h, 1, nullptr, 5, nullptr, 0, 7, kData, 16, out, &len)},
      {"MAC out without length", Quor_CalculateMAC(h, 1, kIv, 5, nullptr, 0, 7, kData, 16, out, nullptr)},
      {"CCM nonce of 6",
       Quor_SymmKeyCCMOperation(h, 0, 5, nullptr, 0, 7, nullptr, 0, kIv, 6, kData, 16, out, 8, out, &len)},
      {"CCM nonce of 14", Quor_SymmKeyCCMOperationInit(h, 0, 5, nullptr, 0, 7, kIv, 14, nullptr, 0, 16, 8, out, &len)},
      {"CCM final decrypt without tag length", Quor_SymmKeyCCMOperationFinal(h, 1, kCipher, 5, out, nullptr)},
      {"GCM decrypt without tag length",
       Quor_SymmKeyGCMOperation(h, 1, 5, nullptr, 0, 7, kIv, 12, nullptr, 0, kData, 16, out, nullptr, out, &len)},
      {"HMAC without data", Quor_CalculateHmac(h, 6, 5, nullptr, 0, nullptr, 16, out, &len)},
      {"HMAC slot 0 without key", Quor_PlainKeyCalculateHmac(h, 6, 0, nullptr, 0, kData, 16, out, &len)},
      {"KEK generation from slot 0", Quor_GenerateSymmKeyWithInternalKEK(h, 0, 16, out, &len, nullptr, nullptr)},
      {"KEK generation without wrapped buffer",
       Quor_GenerateSymmKeyWithInternalKEK(h, 3, 16, nullptr, &len, nullptr, nullptr)},
      {"ECC generation curve 8", Quor_GenerateSymmKeyWithECC(h, 0, 8, kData, 32, kData, 32, 16, out, &len, out, &len)},
      {"RSA generation without exponent",
       Quor_GenerateSymmKeyWithRSA(h, 0, kData, 32, nullptr, 0, 16, out, &len, out, &len)},
      {"RSA import without access right", Quor_ImportSymmKeyCipherByInternalRSA(h, 3, kData, 16, out, &len)},
      {"ECC import without access right", Quor_ImportSymmKeyCipherByInternalECC(h, 3, kData, 16, out, &len)},
      {"store symmetric without check value",
       Quor_ImportKeyCipherByLMK(h, 5, 0, 0, 7, 0, nullptr, 0, nullptr, 0, kCipher, 16, nullptr, 0)},
      {"store ECC without part 2",
       Quor_ImportKeyCipherByLMK(h, 5, 2, 7, 0, 0, kData, 4, nullptr, 0, kCipher, 16, nullptr, 0)},
      {"covert import CBC without IV", Quor_ImportCovertKeyBySymmKey(h, 7, 1, nullptr, 1, 2, 3, 4, kData, 4)},
      {"covert export without number",
       Quor_ExportCovertKeyByAsymmKey(h, 1, 2, 3, nullptr, nullptr, nullptr, nullptr, nullptr)},
      {"covert export CFB without IV",
       Quor_ExportCovertKeyBySymmKey(h, 7, 2, nullptr, 1, 2, 3, &number, nullptr, nullptr, nullptr, nullptr)},
      {"KCV of slot 0 without cipher", Quor_GetSymmKCV(h, 0, nullptr, 0, 7, out)},
      {"KCV without check buffer", Quor_GetSymmKCV(h, 5, nullptr, 0, 7, nullptr)},
      {"KEK conversion from slot 0 without KEK",
       Quor_ConvertSymmKeyCipherByKEKToLMK(h, kData, 16, 0, nullptr, 0, 1, 2, out, &len)},
  };
  for (const auto& c : cases) {
    const bool denied = std::string(c.what).find("access right") != std::string::npos;
    EXPECT_EQ(c.rv, denied ? SDR_PARDENY : SDR_INARGERR) << c.what;
  }
  EXPECT_TRUE(s.fake().requests.empty());
}

TEST(SymmKeyOperation, WritesDataAndChainingValue) {
  FakeSession s;
  s.Reply(Answer(0, Lp(std::string(16, 'c')) + Lp(std::string(16, 'v'))));
  unsigned char out[16] = {};
  unsigned char iv[16];
  std::memcpy(iv, kIv, 16);
  ASSERT_EQ(Quor_SymmKeyOperation(s.handle(), 0, 1, iv, 0, kCipher, 16, 7, kData, 16, out, iv), SDR_OK);
  EXPECT_EQ(S(out, 16), std::string(16, 'c'));
  EXPECT_EQ(S(iv, 16), std::string(16, 'v'));
  // The request carried the IV as it was before the answer replaced it.
  EXPECT_EQ(s.fake().requests[0].substr(s.fake().requests[0].size() - 16), Iv(16));
}

TEST(SymmKeyOperation, EcbLeavesIvOutAlone) {
  FakeSession s;
  s.Reply(Answer(0, Lp(std::string(16, 'c')) + Lp(std::string(16, 'v'))));
  unsigned char out[16];
  unsigned char ivOut[16] = {};
  ASSERT_EQ(Quor_SymmKeyOperation(s.handle(), 0, 0, nullptr, 5, nullptr, 0, 7, kData, 16, out, ivOut), SDR_OK);
  EXPECT_EQ(S(ivOut, 16), std::string(16, '\0'));
}

// Answers whose results are shorter than what the caller's buffers expect are
// refused before anything is written.
TEST(SymmKeyOperation, ShortResultsRefused) {
  const struct {
    const char* what;
    std::string answer;
  } cases[] = {
      {"data shorter than asked", Answer(0, Lp(std::string(15, 'c')) + Lp(std::string(16, 'v')))},
      {"chaining value shorter than the IV", Answer(0, Lp(std::string(16, 'c')) + Lp(std::string(8, 'v')))},
      {"no chaining value", Answer(0, Lp(std::string(16, 'c')))},
      {"no results", Answer(0)},
      {"length past the end", Answer(0, U32(40) + std::string(16, 'c'))},
  };
  for (const auto& c : cases) {
    FakeSession s;
    s.Reply(c.answer);
    unsigned char out[16] = {};
    unsigned char iv[16];
    std::memcpy(iv, kIv, 16);
    EXPECT_EQ(Quor_SymmKeyOperation(s.handle(), 0, 1, iv, 5, nullptr, 0, 7, kData, 16, out, iv), SDR_COMMFAIL)
        << c.what;
    EXPECT_EQ(S(out, 16), std::string(16, '\0')) << c.what;
    EXPECT_EQ(S(iv, 16), Iv(16)) << c.what;
  }
}

TEST(SymmKeyOperation, DeviceCode42IsAlgorithmNotSupported) {
  FakeSession s;
  s.Reply(Answer(42));
  unsigned char out[16];
  EXPECT_EQ(Quor_SymmKeyOperation(s.handle(), 0, 0, nullptr, 5, nullptr, 0, 7, kData, 16, out, nullptr),
            SDR_ALGNOTSUPPORT);
}

TEST(SymmKCV, EncryptsAZeroBlockOfTheAlgorithmsSize) {
  for (const auto& [algorithm, block] : {std::pair{7, 16}, std::pair{1, 8}}) {
    FakeSession s;
    s.Reply(Answer(0, Lp(std::string("0123456789ABCDEF").substr(0, block)) + Lp("")));
    unsigned char check[8];
    ASSERT_EQ(Quor_GetSymmKCV(s.handle(), 0, kCipher, 16, algorithm, check), SDR_OK);
    EXPECT_EQ(S(check, 8), "01234567");
    EXPECT_EQ(s.fake().requests[0],
              Bin({4, 1}) + U32(0) + KeyByCipher() + U32(algorithm) + Lp(std::string(block, '\0')));
  }
}

TEST(SymmKCV, SlotReadsTheKeyRecord) {
  FakeSession s;
  s.Reply(Answer(0, U32(7) + Lp(Ci()) + "CHECKVAL"));
  unsigned char check[8];
  ASSERT_EQ(Quor_GetSymmKCV(s.handle(), 5, nullptr, 0, 7, check), SDR_OK);
  EXPECT_EQ(S(check, 8), "CHECKVAL");
  EXPECT_EQ(s.fake().requests[0], Bin({8, 9}) + U32(5));
  // A failure of the called command comes back unchanged.
  s.Reply(Answer(45));
  EXPECT_EQ(Quor_GetSymmKCV(s.handle(), 5, nullptr, 0, 7, check), SDR_KEYNOTEXIST);
}

TEST(SymmKeyInfo, CheckValueMustBeWhole) {
  FakeSession s;
  s.Reply(Answer(0, U32(7) + Lp(Ci())));
  unsigned char check[8] = {};
  EXPECT_EQ(Quor_GetSymmKeyInfo(s.handle(), 5, nullptr, nullptr, nullptr, check), SDR_COMMFAIL);
}

TEST(CovertExport, NumberAndResults) {
  FakeSession s;
  s.Reply(Answer(0, Bin({0, 0, 0, 0x1A}) + Lp("one") + Lp("three") + Lp("ignored")));
  SGD_UINT32 number = 0;
  unsigned char out1[8];
  unsigned char out2[8];
  SGD_UINT32 len1 = 0;
  SGD_UINT32 len2 = 0;
  ASSERT_EQ(Quor_ExportCovertKeyByAsymmKey(s.handle(), 1, 2, 3, &number, out1, &len1, out2, &len2), SDR_OK);
  EXPECT_EQ(number, 26u);
  EXPECT_EQ(S(out1, len1), "one");
  EXPECT_EQ(S(out2, len2), "three");
}

// The answer of the LMK-to-other conversion carries up to three results and
// possibly an 8-byte value.
TEST(LMKToOther, AnswerLayouts) {
  const struct {
    const char* what;
    int32_t format;
    int32_t resultFormat;
    std::string answer;
    std::vector<std::string> results;
    std::string eight;
    SGD_RV rv;
  } cases[] = {
      {"three results", 6, 20, Answer(0, Lp("r1") + Lp("r2") + Lp("r3")), {"r1", "r2", "r3"}, "", SDR_OK},
      {"two results and eight bytes",
       1,
       21,
       Answer(0, Lp("r1") + Lp("r2") + "EIGHTBYT"),
       {"r1", "r2"},
       "EIGHTBYT",
       SDR_OK},
      {"one result and eight bytes", 1, 0, Answer(0, Lp("r1") + "EIGHTBYT"), {"r1"}, "EIGHTBYT", SDR_OK},
      {"one result", 1, 3, Answer(0, Lp("r1")), {"r1"}, "", SDR_OK},
      {"result running past the end", 1, 3, Answer(0, Lp("r1") + U32(50) + "xx"), {}, "", SDR_COMMFAIL},
      {"four results", 1, 3, Answer(0, Lp("r1") + Lp("r2") + Lp("r3") + Lp("r4")), {}, "", SDR_COMMFAIL},
  };
  for (const auto& c : cases) {
    FakeSession s;
    s.Reply(c.answer);
    unsigned char out[3][16] = {};
    SGD_UINT32 len[3] = {99, 99, 99};
    unsigned char eight[8] = {};
    const SGD_RV rv =
        Quor_KeyEncryptByLMKToOhter(s.handle(), 0, 0, c.format, k16a, kData, 1, kData, 1, 5, 0, nullptr, 0, nullptr, 0,
                                    nullptr, 0, 0, 0, 0, nullptr, 0, c.resultFormat, 0, 0, 3, 0, nullptr, 0, k16b,
                                    out[0], &len[0], out[1], &len[1], out[2], &len[2], eight);
    EXPECT_EQ(rv, c.rv) << c.what;
    if (rv != SDR_OK) continue;
    for (size_t i = 0; i < c.results.size(); ++i) EXPECT_EQ(S(out[i], len[i]), c.results[i]) << c.what;
    EXPECT_EQ(S(eight, c.eight.size()), c.eight) << c.what;
  }
}

TEST(Hmac, CarriesTheStateOverPiecesOf8192) {
  FakeSession s;
  s.Reply(Answer(0, Lp("state-1") + Lp("mac-1")));
  s.Reply(Answer(0, Lp("state-2, longer") + Lp("mac-2")));
  s.Reply(Answer(0, Lp("state-3") + Lp("the-final-hmac")));
  std::vector<unsigned char> data(20000, 'x');
  unsigned char out[64];
  SGD_UINT32 len = 0;
  ASSERT_EQ(Quor_CalculateHmac(s.handle(), 6, 0, kCipher, 16, data.data(), 20000, out, &len), SDR_OK);
  EXPECT_EQ(S(out, len), "the-final-hmac");
  const auto& r = s.fake().requests;
  ASSERT_EQ(r.size(), 3u);
  const std::string head = Bin({8, 0x81}) + U16(6) + U32(0) + U32(2) + Lp(Ci());
  EXPECT_EQ(r[0], head + Lp("") + Lp(std::string(8192, 'x')));
  EXPECT_EQ(r[1], head + Lp("state-1") + Lp(std::string(8192, 'x')));
  EXPECT_EQ(r[2], head + Lp("state-2, longer") + Lp(std::string(3616, 'x')));
}

TEST(Hmac, PlainKeyTypeAndRefusals) {
  FakeSession s;
  s.Reply(Answer(0, Lp("st") + Lp("mac")));
  unsigned char out[64];
  SGD_UINT32 len = 0;
  ASSERT_EQ(Quor_PlainKeyCalculateHmac(s.handle(), 20, 0, kData, 4, kData, 3, out, &len), SDR_OK);
  EXPECT_EQ(s.fake().requests[0],
            Bin({8, 0x81}) + U16(20) + U32(0) + U32(1) + Lp(S(kData, 4)) + Lp("") + Lp(S(kData, 3)));
  // Nothing to do: no command.
  EXPECT_EQ(Quor_CalculateHmac(s.handle(), 6, 5, nullptr, 0, nullptr, 0, out, &len), SDR_OK);
  EXPECT_EQ(s.fake().requests.size(), 1u);
  // A state or an HMAC longer than the library's buffers is refused.
  s.Reply(Answer(0, Lp(std::string(513, 's')) + Lp("mac")));
  EXPECT_EQ(Quor_CalculateHmac(s.handle(), 6, 5, nullptr, 0, kData, 3, out, &len), SDR_COMMFAIL);
  s.Reply(Answer(0, Lp("st") + Lp(std::string(65, 'm'))));
  EXPECT_EQ(Quor_CalculateHmac(s.handle(), 6, 5, nullptr, 0, kData, 3, out, &len), SDR_COMMFAIL);
  // A failing piece is returned.
  s.Reply(Answer(79));
  EXPECT_EQ(Quor_CalculateHmac(s.handle(), 6, 5, nullptr, 0, kData, 3, out, &len), SDR_ALGNOTSUPPORT);
}

TEST(Ccm, EncryptReadsTheTagOfTheAskedLength) {
  FakeSession s;
  s.Reply(Answer(0, Lp("cipher-text") + "0123456789ABCDEF"));
  unsigned char tag[16] = {};
  unsigned char out[32];
  SGD_UINT32 len = 0;
  ASSERT_EQ(
      Quor_SymmKeyCCMOperation(s.handle(), 0, 5, nullptr, 0, 7, nullptr, 0, kIv, 12, kData, 11, tag, 16, out, &len),
      SDR_OK);
  EXPECT_EQ(S(out, len), "cipher-text");
  EXPECT_EQ(S(tag, 16), "0123456789ABCDEF");
  // A tag shorter than asked is refused rather than half-written.
  s.Reply(Answer(0, Lp("cipher-text") + "0123"));
  EXPECT_EQ(
      Quor_SymmKeyCCMOperation(s.handle(), 0, 5, nullptr, 0, 7, nullptr, 0, kIv, 12, kData, 11, tag, 8, out, &len),
      SDR_COMMFAIL);
  // A wrong tag on decrypting.
  s.Reply(Answer(1));
  EXPECT_EQ(
      Quor_SymmKeyCCMOperation(s.handle(), 1, 5, nullptr, 0, 7, nullptr, 0, kIv, 12, kData, 11, tag, 16, out, &len),
      SDR_VERIFYERR);
}

// ---- Batch and multi-data functions ----

struct Items {
  std::vector<std::string> plain;
  std::vector<BatchRecord> in;
  std::vector<BatchRecord> out;
  std::vector<std::vector<unsigned char>> buffers;
  Items(std::initializer_list<std::array<std::string, 3>> records, SGD_UINT32 capacity = 128) {
    for (const auto& r : records)
      for (const auto& p : r) plain.push_back(p);
    in.resize(records.size());
    out.resize(records.size());
    size_t k = 0;
    buffers.resize(plain.size(), std::vector<unsigned char>(capacity));
    for (size_t i = 0; i < records.size(); ++i)
      for (int j = 0; j < 3; ++j, ++k) {
        in[i].slot[j] = {reinterpret_cast<SGD_UCHAR*>(plain[k].data()), static_cast<SGD_UINT32>(plain[k].size())};
        out[i].slot[j] = {buffers[k].data(), capacity};
      }
  }
};

TEST(BatchEncrypt, PadsEachSlotAndReturnsHexText) {
  FakeSession s;
  Items items({{"", std::string(16, 'a'), "hello"}});
  s.Reply(Answer(0, Lp(std::string(64, 'E')) + Lp(std::string(16, 'v'))));
  unsigned char iv[16];
  std::memcpy(iv, kIv, 16);
  ASSERT_EQ(Quor_BatchEncrypt(s.handle(), 5, nullptr, 0, SGD_SM4_CBC, iv, 1, items.in.data(), items.out.data()),
            SDR_OK);
  const std::string sent = s.fake().requests[0];
  const std::string padded =
      std::string(16, '\x10') + std::string(16, 'a') + std::string(16, '\x10') + "hello" + std::string(11, '\x0B');
  EXPECT_EQ(sent, Bin({4, 1}) + U32(1) + U32(5) + U32(7) + Lp(padded) + Iv(16));
  EXPECT_EQ(items.out[0].slot[0].length, 32u);
  EXPECT_EQ(items.out[0].slot[1].length, 64u);
  EXPECT_EQ(items.out[0].slot[2].length, 32u);
  EXPECT_EQ(S(items.out[0].slot[0].data, 32), HexOf(std::string(16, 'E')));
  EXPECT_EQ(S(items.out[0].slot[1].data, 64), HexOf(std::string(32, 'E')));
  EXPECT_EQ(S(iv, 16), std::string(16, 'v'));
}

TEST(BatchEncrypt, RefusalsAndTooSmallBuffers) {
  FakeSession s;
  Items items({{"x", "y", "z"}});
  EXPECT_EQ(Quor_BatchEncrypt(s.handle(), 5, nullptr, 0, SGD_SM4_CBC, nullptr, 1, items.in.data(), items.out.data()),
            SDR_INARGERR);
  EXPECT_EQ(Quor_BatchEncrypt(s.handle(), 5, nullptr, 0, 0x00000301, nullptr, 1, items.in.data(), items.out.data()),
            SDR_ALGNOTSUPPORT);
  EXPECT_EQ(Quor_BatchEncrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, nullptr, 0, items.in.data(), items.out.data()),
            SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());

  Items small({{"x", "y", "z"}}, 31);
  s.Reply(Answer(0, Lp(std::string(48, 'E')) + Lp("")));
  EXPECT_EQ(Quor_BatchEncrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, nullptr, 1, small.in.data(), small.out.data()),
            0x02000002u);
  EXPECT_EQ(small.out[0].slot[0].length, 32u);
}

TEST(BatchEncrypt, VendorFamilyChoosesByKeyLength) {
  FakeSession s;
  Items items({{"x", "", ""}});
  s.Reply(Answer(0, Lp(std::string(48, 'E')) + Lp("")));
  ASSERT_EQ(Quor_BatchEncrypt(s.handle(), 0, kCipher, 16, 0x80000101, nullptr, 1, items.in.data(), items.out.data()),
            SDR_OK);
  EXPECT_EQ(s.fake().requests[0].substr(0, 2 + 4 + 4 + 4 + 4 + 16 + 4), Bin({4, 1}) + U32(0) + KeyByCipher() + U32(1));
}

TEST(BatchDecrypt, StripsPaddingAndAppliesTheCapacityRule) {
  FakeSession s;
  // Slot 1 decrypts to 11 bytes of plain text and 5 pad bytes; slot 2 is empty.
  const std::string plain = "hello world" + std::string(5, '\x05');
  s.Reply(Answer(0, Lp(plain) + Lp("")));
  std::string text = HexOf(std::string(16, 'C'));
  BatchRecord in{};
  in.slot[0] = {reinterpret_cast<SGD_UCHAR*>(text.data()), 32};
  unsigned char buf[16] = {};
  BatchRecord out{};
  out.slot[0] = {buf, 3};
  EXPECT_EQ(Quor_BatchDecrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, nullptr, 1, &in, &out), 0x02000002u);
  EXPECT_EQ(out.slot[0].length, 11u);
  EXPECT_EQ(s.fake().requests[0], Bin({4, 2}) + U32(0) + U32(5) + U32(7) + Lp(std::string(16, 'C')));

  s.Reply(Answer(0, Lp(plain) + Lp("")));
  out.slot[0] = {buf, 16};
  ASSERT_EQ(Quor_BatchDecrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, nullptr, 1, &in, &out), SDR_OK);
  EXPECT_EQ(S(buf, out.slot[0].length), "hello world");

  // A pad byte larger than the item cannot be removed: refused.
  s.Reply(Answer(0, Lp(std::string(15, 'p') + '\x20') + Lp("")));
  EXPECT_EQ(Quor_BatchDecrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, nullptr, 1, &in, &out), SDR_INARGERR);
}

TEST(MultiData, HexTextWithZeroByteAndCapacity) {
  FakeSession s;
  std::string a = "abc";
  std::string b(16, 'b');
  DataRecord in[2] = {{reinterpret_cast<SGD_UCHAR*>(a.data()), 3}, {reinterpret_cast<SGD_UCHAR*>(b.data()), 16}};
  unsigned char buf1[40];
  unsigned char buf2[65];
  DataRecord out[2] = {{buf1, sizeof buf1}, {buf2, sizeof buf2}};
  s.Reply(Answer(0, Lp(std::string(16, '\x01') + std::string(32, '\x02')) + Lp("")));
  ASSERT_EQ(Quor_MultiDataEncrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, 2, in, out), SDR_OK);
  EXPECT_EQ(out[0].length, 32u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf1)), HexOf(std::string(16, '\x01')));
  EXPECT_EQ(out[1].length, 64u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf2)), HexOf(std::string(32, '\x02')));

  // The text and its zero byte must fit.
  out[1] = {buf2, 64};
  s.Reply(Answer(0, Lp(std::string(48, '\x01')) + Lp("")));
  EXPECT_EQ(Quor_MultiDataEncrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, 2, in, out), 0x02000002u);
  EXPECT_EQ(out[1].length, 64u);

  // Modes with an IV are refused by the cipher command.
  EXPECT_EQ(Quor_MultiDataEncrypt(s.handle(), 5, nullptr, 0, SGD_SM4_CBC, 2, in, out), SDR_INARGERR);
  EXPECT_EQ(Quor_MultiDataEncrypt(s.handle(), 0, nullptr, 0, SGD_SM4_ECB, 2, in, out), SDR_INARGERR);
}

TEST(MultiData, DecryptLengthsAndBadPadding) {
  FakeSession s;
  std::string t1 = HexOf(std::string(16, 'C'));
  std::string t2 = HexOf(std::string(32, 'D'));
  DataRecord in[2] = {{reinterpret_cast<SGD_UCHAR*>(t1.data()), 32}, {reinterpret_cast<SGD_UCHAR*>(t2.data()), 64}};
  unsigned char b1[32];
  unsigned char b2[32];
  DataRecord out[2] = {{b1, 32}, {b2, 32}};
  s.Reply(Answer(0, Lp("abc" + std::string(13, '\x0D') + std::string(16, 'b') + std::string(16, '\x10')) + Lp("")));
  ASSERT_EQ(Quor_MultiDataDecrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, 2, in, out), SDR_OK);
  EXPECT_EQ(S(b1, out[0].length), "abc");
  EXPECT_EQ(S(b2, out[1].length), std::string(16, 'b'));

  s.Reply(Answer(0, Lp(std::string(16, '\x01') + std::string(31, 'y') + '\x21') + Lp("")));
  out[0].length = 32;
  out[1].length = 32;
  EXPECT_EQ(Quor_MultiDataDecrypt(s.handle(), 5, nullptr, 0, SGD_SM4_ECB, 2, in, out), SDR_INARGERR);
}

}  // namespace
