// Symmetric key management and cipher commands against a scripted device:
// request layouts byte for byte, argument checks, and answers that are short,
// long or malformed.
#include <gtest/gtest.h>
#include <quorsdf.h>

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

}  // namespace
