// Devices, sessions and access rights through the exported functions, with a
// scripted device behind them.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include <thread>

#include "commands/Exchange.h"
#include "commands/FakeDevice.h"

namespace {

using namespace QuorTest;

TEST(Sessions, DeviceCloseRefusedWhileSessionsOpen) {
  auto link = std::make_unique<FakeDevice>();
  FakeDevice* fake = link.get();
  auto* device = new Quor::Sdf::SdfDevice(std::move(link));
  SGD_HANDLE a = nullptr, b = nullptr;
  ASSERT_EQ(SDF_OpenSession(device, &a), SDR_OK);
  ASSERT_EQ(SDF_OpenSession(device, &b), SDR_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(fake->LinesAt(1), (std::vector<std::string>{"SDF_OpenSession  ----------sucess----------",
                                                        "SDF_OpenSession  ----------sucess----------"}));
  EXPECT_EQ(SDF_CloseDevice(device), SDR_BASE);
  ASSERT_EQ(SDF_CloseSession(a), SDR_OK);
  EXPECT_EQ(SDF_CloseDevice(device), SDR_BASE);
  ASSERT_EQ(SDF_CloseSession(b), SDR_OK);
  EXPECT_EQ(fake->LinesAt(1).back(), "SDF_CloseSession  ----------sucess----------");
  EXPECT_EQ(SDF_CloseDevice(device), SDR_OK);
}

TEST(Sessions, NullArguments) {
  FakeSession s;
  SGD_HANDLE h = nullptr;
  EXPECT_EQ(SDF_OpenDevice(nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_CloseDevice(nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_OpenSession(nullptr, &h), SDR_INARGERR);
  EXPECT_EQ(SDF_OpenSession(s.device(), nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_CloseSession(nullptr), SDR_INARGERR);
  EXPECT_EQ(h, nullptr);
}

TEST(Sessions, CloseOfSessionRegisteredElsewhereIsUnknown) {
  // A session object that its device does not list (built by hand here).
  FakeSession s;
  auto* device = static_cast<Quor::Sdf::SdfDevice*>(s.device());
  Quor::Sdf::SdfSession stray(*device);
  EXPECT_EQ(SDF_CloseSession(&stray), SDR_UNKNOWERR);
}

TEST(Sessions, ManyThreadsOpenAndClose) {
  FakeSession s;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        SGD_HANDLE h = nullptr;
        ASSERT_EQ(SDF_OpenSession(s.device(), &h), SDR_OK);
        ASSERT_EQ(SDF_CloseSession(h), SDR_OK);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(static_cast<Quor::Sdf::SdfDevice*>(s.device())->SessionCount(), 1u);
}

class AccessRights : public ::testing::Test {
 protected:
  FakeSession s;
  unsigned char pwd[8] = "secret1";
  SGD_RV Get(SGD_HANDLE h, SGD_UINT32 index, uint16_t rsaCode, uint16_t eccCode) {
    s.Reply(Answer(rsaCode));
    s.Reply(Answer(eccCode));
    return SDF_GetPrivateKeyAccessRight(h, index, pwd, 7);
  }
};

// What a command with an internal private key does first.
SGD_RV UseKey(SGD_HANDLE session, int32_t index) {
  return Quor::Commands::Guard(session, "UseKey", [&](Quor::Commands::Call& c) {
    c.RequireAccess(index);
    return c.Done();
  });
}

TEST_F(AccessRights, GrantedHeldTwiceReleasedAndPerSession) {
  EXPECT_EQ(UseKey(s.handle(), 3), SDR_PARDENY);
  // Only the key of type 2 accepts the password: granted.
  EXPECT_EQ(Get(s.handle(), 3, 62, 0), SDR_OK);
  EXPECT_EQ(s.fake().requests.size(), 2u);
  EXPECT_EQ(UseKey(s.handle(), 3), SDR_OK);
  // Held already: both commands are still sent, then refused without an error line.
  const size_t errors = s.fake().LinesAt(4).size();
  EXPECT_EQ(Get(s.handle(), 3, 0, 0), SDR_PRKRERR);
  EXPECT_EQ(s.fake().requests.size(), 4u);
  EXPECT_EQ(s.fake().LinesAt(4).size(), errors);
  // Another session on the same device holds nothing.
  SGD_HANDLE other = nullptr;
  ASSERT_EQ(SDF_OpenSession(s.device(), &other), SDR_OK);
  EXPECT_EQ(UseKey(other, 3), SDR_PARDENY);
  EXPECT_EQ(SDF_ReleasePrivateKeyAccessRight(other, 3), SDR_PRKRERR);
  EXPECT_EQ(SDF_CloseSession(other), SDR_OK);
  // Released, then obtainable again.
  EXPECT_EQ(SDF_ReleasePrivateKeyAccessRight(s.handle(), 3), SDR_OK);
  EXPECT_EQ(UseKey(s.handle(), 3), SDR_PARDENY);
  EXPECT_EQ(SDF_ReleasePrivateKeyAccessRight(s.handle(), 3), SDR_PRKRERR);
  EXPECT_EQ(SDF_ReleasePrivateKeyAccessRight(s.handle(), 0), SDR_INARGERR);
  EXPECT_EQ(Get(s.handle(), 3, 0, 62), SDR_OK);
  for (const auto& [level, line] : s.fake().lines) EXPECT_EQ(line.find("secret1"), std::string::npos) << line;
}

TEST_F(AccessRights, OneSessionManyThreads) {
  s.fake().answerOkWhenEmpty = true;
  std::vector<std::thread> threads;
  for (int t = 1; t <= 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        const SGD_UINT32 index = static_cast<SGD_UINT32>(t * 100 + i);
        ASSERT_EQ(SDF_GetPrivateKeyAccessRight(s.handle(), index, pwd, 7), SDR_OK);
        ASSERT_EQ(UseKey(s.handle(), static_cast<int32_t>(index)), SDR_OK);
        ASSERT_EQ(Quor_DestroyKey(s.handle(), 0, static_cast<SGD_INT32>(index)), SDR_OK);
        ASSERT_EQ(SDF_ReleasePrivateKeyAccessRight(s.handle(), index), SDR_OK);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(s.fake().requests.size(), 4u * 50u * 3u);
}

TEST_F(AccessRights, RefusedByTheDevice) {
  EXPECT_EQ(Get(s.handle(), 4, 62, 62), SDR_PRKRERR);
  EXPECT_EQ(s.fake().LinesAt(4).back(), "SDF_GetPrivateKeyAccessRight error [16777240]|[0X1000018]");
  EXPECT_EQ(Get(s.handle(), 4, 1, 62), SDR_COMMFAIL);
  EXPECT_EQ(UseKey(s.handle(), 4), SDR_PARDENY);
  const size_t sent = s.fake().requests.size();
  EXPECT_EQ(SDF_GetPrivateKeyAccessRight(s.handle(), 0, pwd, 7), SDR_INARGERR);
  EXPECT_EQ(SDF_GetPrivateKeyAccessRight(s.handle(), 4, nullptr, 7), SDR_INARGERR);
  EXPECT_EQ(s.fake().requests.size(), sent);
  const auto debug = s.fake().LinesAt(1);
  EXPECT_NE(std::find(debug.begin(), debug.end(), "uiPwdLength = [0X00000007]"), debug.end());
}

TEST(SdfRandom, PassesThroughAndLogs) {
  FakeSession s;
  unsigned char out[8] = {};
  EXPECT_EQ(SDF_GenerateRandom(s.handle(), 0, out), SDR_OK);
  EXPECT_TRUE(s.fake().requests.empty());
  EXPECT_EQ(SDF_GenerateRandom(s.handle(), 8, nullptr), SDR_INARGERR);
  s.Reply(Answer(0, "12345678"));
  EXPECT_EQ(SDF_GenerateRandom(s.handle(), 8, out), SDR_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 8), "12345678");
  const auto debug = s.fake().LinesAt(1);
  EXPECT_NE(std::find(debug.begin(), debug.end(), "uiLength = [0X00000008]"), debug.end());
  EXPECT_EQ(debug.back(), "SDF_GenerateRandom  -----------end-----------");
  s.Fail(205);
  EXPECT_EQ(SDF_GenerateRandom(s.handle(), 8, out), SDR_COMMFAIL);
  EXPECT_EQ(s.fake().LinesAt(4).back(), "SDF_GenerateRandom error [16777219]|[0X1000003]");
}

TEST(SdfFiles, NullArgumentsRefusedBeforeAnyCommand) {
  FakeSession s;
  unsigned char name[] = "f1";
  unsigned char buf[4] = {};
  SGD_UINT32 len = 4;
  EXPECT_EQ(SDF_CreateFile(s.handle(), nullptr, 2, 10), SDR_INARGERR);
  EXPECT_EQ(SDF_ReadFile(s.handle(), nullptr, 2, 0, &len, buf), SDR_INARGERR);
  EXPECT_EQ(SDF_ReadFile(s.handle(), name, 2, 0, nullptr, buf), SDR_INARGERR);
  EXPECT_EQ(SDF_ReadFile(s.handle(), name, 2, 0, &len, nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_WriteFile(s.handle(), name, 2, 0, 4, nullptr), SDR_INARGERR);
  EXPECT_EQ(SDF_WriteFile(s.handle(), nullptr, 2, 0, 4, buf), SDR_INARGERR);
  EXPECT_EQ(SDF_DeleteFile(s.handle(), nullptr, 2), SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());
  // A name without a zero byte is logged only up to its length.
  s.Reply(Answer(0));
  unsigned char unterminated[3] = {'a', 'b', 'c'};
  EXPECT_EQ(SDF_DeleteFile(s.handle(), unterminated, 2), SDR_OK);
  const auto debug = s.fake().LinesAt(1);
  EXPECT_NE(std::find(debug.begin(), debug.end(), "pucFileName = [ab]"), debug.end());
}

}  // namespace
