// Device, file and key-index commands: request layouts, checks and answers.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include "commands/FakeDevice.h"
#include "commands/Internal.h"

namespace {

using namespace QuorTest;

TEST(GenerateRandom, SplitsIntoChunksOf2048) {
  FakeSession s;
  for (uint32_t n : {2048u, 2048u, 904u}) s.Reply(Answer(0, std::string(n, static_cast<char>(n & 0xFF))));
  std::vector<unsigned char> out(5000);
  ASSERT_EQ(Quor_GenerateRandom(s.handle(), 5000, out.data()), SDR_OK);
  ASSERT_EQ(s.fake().requests.size(), 3u);
  EXPECT_EQ(s.fake().requests[0], Bin({1, 2}) + U32(2048));
  EXPECT_EQ(s.fake().requests[1], Bin({1, 2}) + U32(2048));
  EXPECT_EQ(s.fake().requests[2], Bin({1, 2}) + U32(904));
  EXPECT_EQ(out[4095], 2048 & 0xFF);
  EXPECT_EQ(out[4096], 904 & 0xFF);
}

TEST(GenerateRandom, ZeroAndNullAndShortAnswer) {
  FakeSession s;
  unsigned char out[16] = {};
  EXPECT_EQ(Quor_GenerateRandom(s.handle(), 0, out), SDR_OK);
  EXPECT_EQ(Quor_GenerateRandom(s.handle(), 4, nullptr), SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());
  // Fewer bytes than asked for must not be made up from the buffer's rest.
  s.Reply(Answer(0, "abc"));
  EXPECT_EQ(Quor_GenerateRandom(s.handle(), 4, out), SDR_COMMFAIL);
  // A later chunk failing keeps the earlier ones.
  s.Reply(Answer(0, std::string(2048, 'a')));
  s.Reply(Answer(99));
  std::vector<unsigned char> big(3000, 0);
  EXPECT_EQ(Quor_GenerateRandom(s.handle(), 3000, big.data()), SDR_HARDFAIL);
  EXPECT_EQ(big[2047], 'a');
  EXPECT_EQ(big[2048], 0);
}

struct FileCase {
  const char* name;
  uint32_t nameLen, offset, length;
  SGD_RV expected;
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class FileBounds : public ::testing::TestWithParam<FileCase> {};

TEST_P(FileBounds, ReadAndWriteChecks) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  const FileCase& p = GetParam();
  const std::string name(p.nameLen, 'f');
  std::vector<unsigned char> buf(p.length + 1);
  SGD_UINT32 len = 0;
  const auto* n = reinterpret_cast<const unsigned char*>(name.data());
  EXPECT_EQ(Quor_ReadFile(s.handle(), n, p.nameLen, p.offset, p.length, buf.data(), &len), p.expected);
  EXPECT_EQ(Quor_WriteFile(s.handle(), n, p.nameLen, p.offset, buf.data(), p.length), p.expected);
  EXPECT_EQ(s.fake().requests.size(), p.expected == SDR_OK ? 2u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    All, FileBounds,
    ::testing::Values(FileCase{"EndsAtLimit", 4, 8000, 192, SDR_OK}, FileCase{"PastLimit", 4, 8000, 193, SDR_INARGERR},
                      FileCase{"MaxLength", 4, 0, 4096, SDR_OK}, FileCase{"TooLong", 4, 0, 4097, SDR_INARGERR},
                      FileCase{"ZeroLength", 4, 0, 0, SDR_INARGERR}, FileCase{"LastByte", 4, 8191, 1, SDR_OK},
                      FileCase{"OffsetPastEnd", 4, 8192, 1, SDR_INARGERR},
                      FileCase{"HugeOffset", 4, 0xFFFFFFF0u, 32, SDR_INARGERR},
                      FileCase{"NameOf128", 128, 0, 1, SDR_OK}, FileCase{"NameOf129", 129, 0, 1, SDR_INARGERR},
                      FileCase{"EmptyName", 0, 0, 1, SDR_INARGERR}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Files, RequestLayoutsAndNameChecks) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  const auto* name = reinterpret_cast<const unsigned char*>("cfg");
  EXPECT_EQ(Quor_CreateFile(s.handle(), name, 3, 100), SDR_OK);
  EXPECT_EQ(Quor_DeleteFile(s.handle(), name, 3), SDR_OK);
  const unsigned char data[2] = {0xAA, 0xBB};
  EXPECT_EQ(Quor_WriteFile(s.handle(), name, 3, 7, data, 2), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({6, 1}) + Lp("cfg") + U32(100));
  EXPECT_EQ(s.fake().requests.at(1), Bin({6, 4}) + Lp("cfg"));
  EXPECT_EQ(s.fake().requests.at(2), Bin({6, 3}) + Lp("cfg") + U32(7) + Lp(Bin({0xAA, 0xBB})));
  const std::string long129(129, 'n');
  EXPECT_EQ(Quor_CreateFile(s.handle(), reinterpret_cast<const unsigned char*>(long129.data()), 129, 1), SDR_INARGERR);
  for (uint32_t size : {0u, 8193u}) EXPECT_EQ(Quor_CreateFile(s.handle(), name, 3, size), SDR_INARGERR);
  EXPECT_EQ(Quor_DeleteFile(s.handle(), nullptr, 3), SDR_INARGERR);
  EXPECT_EQ(Quor_WriteFile(s.handle(), name, 3, 0, nullptr, 2), SDR_INARGERR);
  EXPECT_EQ(s.fake().requests.size(), 3u);
}

TEST(Files, ReadAnswerLongerThanAskedIsRefused) {
  FakeSession s;
  unsigned char buf[4] = {};
  SGD_UINT32 len = 0;
  s.Reply(Answer(0, Lp("0123456789")));
  EXPECT_EQ(Quor_ReadFile(s.handle(), reinterpret_cast<const unsigned char*>("f"), 1, 0, 4, buf, &len), SDR_COMMFAIL);
  EXPECT_EQ(len, 0u);
  s.Reply(Answer(73));
  EXPECT_EQ(Quor_ReadFile(s.handle(), reinterpret_cast<const unsigned char*>("f"), 1, 0, 4, buf, &len),
            SDR_FILENOEXIST);
}

TEST(AppPinAuth, LengthsAndVerifyRule) {
  FakeSession s;
  const unsigned char pin[14] = "1234567890123";
  EXPECT_EQ(Quor_AppPinAuth(s.handle(), pin, 3), SDR_INARGERR);
  EXPECT_EQ(Quor_AppPinAuth(s.handle(), pin, 13), SDR_INARGERR);
  EXPECT_EQ(Quor_AppPinAuth(s.handle(), nullptr, 6), SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());
  s.Reply(Answer(0));
  EXPECT_EQ(Quor_AppPinAuth(s.handle(), pin, 4), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({8, 0x99}) + Lp("1234"));
  s.Reply(Answer(1));
  EXPECT_EQ(Quor_AppPinAuth(s.handle(), pin, 12), SDR_VERIFYERR);
  EXPECT_TRUE(s.fake().LinesAt(4).empty());
  s.Reply(Answer(24));
  EXPECT_EQ(Quor_AppPinAuth(s.handle(), pin, 12), SDR_COMMFAIL);
  EXPECT_EQ(s.fake().LinesAt(4), std::vector<std::string>{"Quor_AppPinAuth HSM return [24]|[0X000018]"});
}

TEST(AccessRightCommand, AbsoluteIndexAndDeviceCodes) {
  FakeSession s;
  using Quor::Commands::GetPrivateKeyAccessRight;
  const unsigned char pwd[] = "pw";
  s.Reply(Answer(0));
  EXPECT_EQ(GetPrivateKeyAccessRight(s.handle(), -3, 2, pwd, 2), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({1, 3}) + U32(2) + U32(3) + U32(2) + "pw");
  EXPECT_EQ(s.fake().LinesAt(1).front(), "GetPrivateKeyAccessRight  ----------begin----------");
  s.Reply(Answer(1));
  EXPECT_EQ(GetPrivateKeyAccessRight(s.handle(), 3, 1, pwd, 2), SDR_COMMFAIL);
  s.Reply(Answer(62));
  EXPECT_EQ(GetPrivateKeyAccessRight(s.handle(), 3, 1, pwd, 2), SDR_PRKRERR);
  EXPECT_EQ(s.fake().LinesAt(4).back(), "GetPrivateKeyAccessRight HSM return [62]|[0X00003E]");
  EXPECT_EQ(GetPrivateKeyAccessRight(s.handle(), 0, 1, pwd, 2), SDR_INARGERR);
  EXPECT_EQ(GetPrivateKeyAccessRight(s.handle(), 3, 1, nullptr, 2), SDR_INARGERR);
}

TEST(AccessRightCommand, BothTypesAlwaysAsked) {
  using Quor::Commands::requestPrivateKeyAccessRight;
  struct Row {
    uint16_t first, second;
    SGD_RV expected;
  };
  for (const Row& r : {Row{62, 0, SDR_OK}, Row{0, 62, SDR_OK}, Row{62, 1, SDR_PRKRERR}, Row{1, 62, SDR_COMMFAIL}}) {
    FakeSession s;
    s.Reply(Answer(r.first));
    s.Reply(Answer(r.second));
    EXPECT_EQ(requestPrivateKeyAccessRight(s.handle(), 4, reinterpret_cast<const unsigned char*>("pw"), 2), r.expected);
    ASSERT_EQ(s.fake().requests.size(), 2u);
    EXPECT_EQ(s.fake().requests[0].substr(2, 4), U32(1));
    EXPECT_EQ(s.fake().requests[1].substr(2, 4), U32(2));
  }
}

std::string DeviceInfoAnswer(const std::string& issuer, const std::string& name, const std::string& serial) {
  return Answer(0, U16(static_cast<uint16_t>(issuer.size())) + issuer + U16(static_cast<uint16_t>(name.size())) + name +
                       U16(static_cast<uint16_t>(serial.size())) + serial + Bin({0, 0, 0, 2}) + Bin({0, 0, 0, 1}) +
                       std::string(8, '\x07') + Bin({0, 0, 0, 3}) + Bin({0, 0, 0x20, 0}) + std::string(8, '\x09'));
}

TEST(GetDeviceInfo, NumbersKeptByteForByte) {
  FakeSession s;
  s.Reply(DeviceInfoAnswer("Issuer", "Dev", "SN1"));
  unsigned char issuer[64], name[64], serial[64];
  SGD_UINT32 il = 0, nl = 0, sl = 0, v1 = 0, v2 = 0, v3 = 0, v4 = 0;
  SGD_UINT64 l1 = 0, l2 = 0;
  ASSERT_EQ(Quor_GetDeviceInfo(s.handle(), issuer, &il, name, &nl, serial, &sl, &v1, &v2, &l1, &v3, &v4, &l2), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({1, 1}));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(issuer), il), "Issuer");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(serial), sl), "SN1");
  const unsigned char raw2[4] = {0, 0, 0, 2};
  EXPECT_EQ(std::memcmp(&v1, raw2, 4), 0);
  EXPECT_EQ(l1, 0x0707070707070707ull);
  // A short answer gives 0 for the missing numbers; device errors are all COMMFAIL.
  s.Reply(Answer(0, U16(1) + "I" + U16(0) + U16(0) + Bin({0, 0, 0, 5})));
  v2 = 77;
  EXPECT_EQ(Quor_GetDeviceInfo(s.handle(), issuer, &il, name, &nl, serial, &sl, &v1, &v2, &l1, &v3, &v4, &l2), SDR_OK);
  EXPECT_EQ(v2, 0u);
  s.Reply(Answer(21));
  EXPECT_EQ(Quor_GetDeviceInfo(s.handle(), issuer, &il, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
            SDR_COMMFAIL);
  EXPECT_EQ(s.fake().LinesAt(4).back(), "Quor_GetDeviceInfo HSM return [21]|[0X000015]");
  EXPECT_EQ(Quor_GetDeviceInfo(s.handle(), issuer, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
            SDR_INARGERR);
}

TEST(GetDeviceInfo, SdfStructureNeverOverrun) {
  FakeSession s;
  s.Reply(DeviceInfoAnswer("Issuer", "Dev", "SN1"));
  DEVICEINFO info;
  std::memset(&info, 0x5A, sizeof info);
  ASSERT_EQ(SDF_GetDeviceInfo(s.handle(), &info), SDR_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(info.IssuerName), 6), "Issuer");
  EXPECT_EQ(info.IssuerName[6], 0x5A);  // the rest of the field is left as it was
  EXPECT_EQ(info.SymAlgAbility, 0x8000071Fu);
  EXPECT_EQ(info.HashAlgAbility, 5u);
  EXPECT_EQ(info.AsymAlgAbility[0], 0x00030F00u);
  EXPECT_EQ(info.AsymAlgAbility[1], 0x00001D00u);
  unsigned char raw[4] = {0, 0, 0x20, 0};
  EXPECT_EQ(std::memcmp(&info.BufferSize, raw, 4), 0);

  // Texts longer than their fields: refused, the structure untouched.
  for (const auto& [issuer, name, serial] : {std::tuple{std::string(41, 'i'), std::string("d"), std::string("s")},
                                             std::tuple{std::string("i"), std::string(17, 'd'), std::string("s")},
                                             std::tuple{std::string("i"), std::string("d"), std::string(300, 's')}}) {
    s.Reply(DeviceInfoAnswer(issuer, name, serial));
    DEVICEINFO guard[2];
    std::memset(guard, 0x5A, sizeof guard);
    EXPECT_EQ(SDF_GetDeviceInfo(s.handle(), &guard[0]), SDR_COMMFAIL);
    for (size_t i = 0; i < sizeof guard; ++i) ASSERT_EQ(reinterpret_cast<unsigned char*>(guard)[i], 0x5A);
  }
  EXPECT_EQ(SDF_GetDeviceInfo(s.handle(), nullptr), SDR_INARGERR);
}

TEST(KeyIndexCommands, LayoutsAndOutputs) {
  FakeSession s;
  s.Reply(Answer(0, U32(42)));
  SGD_INT32 index = 0;
  EXPECT_EQ(Quor_GetKeyIndex(s.handle(), 2, reinterpret_cast<const unsigned char*>("lbl"), 3, &index), SDR_OK);
  EXPECT_EQ(index, 42);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 7}) + U32(2) + Lp("lbl"));
  EXPECT_EQ(Quor_GetKeyIndex(s.handle(), 2, nullptr, 0, nullptr), SDR_INARGERR);
  EXPECT_EQ(Quor_GetKeyLabel(s.handle(), 2, 0, nullptr, nullptr), SDR_INARGERR);
  unsigned char info[8];
  EXPECT_EQ(Quor_GetIndexInfo(s.handle(), 3, info, nullptr), SDR_INARGERR);
  s.Reply(Answer(0, Lp("abc")));
  SGD_UINT32 infoLen = 0;
  EXPECT_EQ(Quor_GetIndexInfo(s.handle(), 3, info, &infoLen), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 0x61}) + U32(3));
  s.Reply(Answer(0));
  EXPECT_EQ(Quor_DestroyKey(s.handle(), 0, -7), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({8, 8}) + U32(0) + U32(0xFFFFFFF9u));
}

TEST(GetKeyInfo, LayoutChosenByKeyType) {
  FakeSession s;
  SGD_UINT32 n[5];
  unsigned char data[32], b8[8], b19[19];
  SGD_UINT32 dataLen = 0;
  auto reset = [&] {
    for (auto& v : n) v = 0xDEAD;
    std::memset(b8, 0xEE, sizeof b8);
    std::memset(b19, 0xEE, sizeof b19);
  };
  auto call = [&](int type) {
    return Quor_GetKeyInfo(s.handle(), type, 9, &n[0], &n[1], &n[2], &n[3], &n[4], data, &dataLen, b8, b19);
  };
  reset();
  s.Reply(Answer(0, U32(11) + U32(2) + "kk" + std::string(8, '\x08') + std::string(19, '\x13')));
  ASSERT_EQ(call(0), SDR_OK);
  EXPECT_EQ(n[0], 11u);
  EXPECT_EQ(n[1], 0xDEADu);
  EXPECT_EQ(dataLen, 2u);
  EXPECT_EQ(b8[7], 8);
  EXPECT_EQ(b19[18], 0x13);
  EXPECT_EQ(s.fake().requests.back(), Bin({9, 9}) + U32(0) + U32(9));

  reset();
  s.Reply(Answer(0, U32(1) + U32(2) + U32(3) + U32(4) + U32(5) + U32(1) + "k" + std::string(19, '\x13')));
  ASSERT_EQ(call(1), SDR_OK);
  EXPECT_EQ((std::vector<SGD_UINT32>(n, n + 5)), (std::vector<SGD_UINT32>{1, 2, 3, 4, 5}));
  EXPECT_EQ(b8[0], 0xEE);

  reset();
  s.Reply(Answer(0, U32(6) + U32(7) + U32(8) + U32(3) + "key" + std::string(19, '\x13')));
  ASSERT_EQ(call(2), SDR_OK);
  EXPECT_EQ((std::vector<SGD_UINT32>(n, n + 5)), (std::vector<SGD_UINT32>{0xDEAD, 0xDEAD, 7, 0xDEAD, 8}));
  EXPECT_EQ(b8[0], 0xEE);
  EXPECT_EQ(dataLen, 3u);
  const auto debug = s.fake().LinesAt(1);
  EXPECT_NE(std::find(debug.begin(), debug.end(), "type = [0X00000002]"), debug.end());
  EXPECT_NE(std::find(debug.begin(), debug.end(), "index = [0X00000009]"), debug.end());

  EXPECT_EQ(Quor_GetKeyInfo(s.handle(), 2, 0, &n[0], &n[1], &n[2], &n[3], &n[4], data, &dataLen, b8, b19),
            SDR_INARGERR);
  EXPECT_EQ(Quor_GetKeyInfo(s.handle(), 2, 9, &n[0], &n[1], &n[2], &n[3], &n[4], data, &dataLen, b8, nullptr),
            SDR_INARGERR);
}

}  // namespace
