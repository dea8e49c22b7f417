// The client object and facade against scripted fake hosts: host choice,
// failover, waits, framing failures, start-up and shutdown.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "client/Base.h"
#include "client/Client.h"
#include "client/FakeHost.h"
#include "client/Frame.h"

namespace {

using Quor::Base::Base;
using QuorTest::ClosedPort;
using QuorTest::ConfigText;
using QuorTest::FakeHost;
using QuorTest::HostSpec;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

std::atomic<bool> gRejectLength{false};
long RejectableLength(const char* prefix, size_t n) {
  return gRejectLength.load() ? -1 : Quor::Base::ReadFrameLength(prefix, n);
}

std::unique_ptr<Base> MakeBase(const std::string& cfg, HostStatusFn status = nullptr,
                               ParseLengthFn parseLength = Quor::Base::ReadFrameLength) {
  return std::make_unique<Base>(cfg, Quor::Base::FormatFrame, Quor::Base::ParseFrame, 2, parseLength, status, nullptr,
                                std::string(Quor::Base::kHeartbeatRequest, sizeof Quor::Base::kHeartbeatRequest),
                                std::string(Quor::Base::kHeartbeatAnswer, sizeof Quor::Base::kHeartbeatAnswer));
}

int CodeOf(Base& base, const std::string& body, uint32_t host = 0, std::string* answer = nullptr) {
  try {
    std::string a = base.Communicate(body, host);
    if (answer) *answer = a;
  } catch (const Quor::Exception& e) {
    return e.Code();
  }
  return 0;
}

// The index of the one host whose request count grew by one, or -1.
int Served(const std::vector<FakeHost*>& hosts, const std::vector<int>& before) {
  int served = -1;
  for (size_t i = 0; i < hosts.size(); ++i) {
    const int grew = hosts[i]->Requests() - before[i];
    if (grew == 1 && served == -1) {
      served = static_cast<int>(i);
    } else if (grew != 0) {
      return -1;
    }
  }
  return served;
}

std::vector<int> Counts(const std::vector<FakeHost*>& hosts) {
  std::vector<int> c;
  for (FakeHost* h : hosts) c.push_back(h->Requests());
  return c;
}

// Sends one request, checks the echo, and tells which host answered.
int Route(Base& base, const std::vector<FakeHost*>& hosts, const std::string& body) {
  const std::vector<int> before = Counts(hosts);
  std::string answer;
  EXPECT_EQ(CodeOf(base, body, 0, &answer), 0);
  EXPECT_EQ(answer, body);
  return Served(hosts, before);
}

template <typename P>
bool Eventually(P pred, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pred();
}

// Waits until the monitors' first heartbeats are over; the next ones come
// about a second later, so a short test runs undisturbed in between.
void Settle(Base& base, const std::vector<FakeHost*>& hosts) {
  for (size_t i = 0; i < hosts.size(); ++i) {
    ASSERT_TRUE(Eventually([&] { return hosts[i]->Heartbeats() > 0 && base.Pool(i)->Lent() == 0; }, 2000));
  }
}

const std::string kFast = "minConn=1\nmaxConn=4\ntimeout=1\n";

struct RoundRobinCase {
  const char* name;
  int offline;  // index of a host that is down at start, or -1
  std::vector<int> order;
};
void PrintTo(const RoundRobinCase& k, std::ostream* os) { *os << k.name; }

class RoundRobinTest : public ::testing::TestWithParam<RoundRobinCase> {};

TEST_P(RoundRobinTest, UsesOnlineHostsInTurn) {
  FakeHost a, b, c;
  std::vector<FakeHost*> hosts = {&a, &b, &c};
  if (GetParam().offline >= 0) hosts[GetParam().offline]->Stop();
  auto base = MakeBase(ConfigText({{a.Port(), kFast}, {b.Port(), kFast}, {c.Port(), kFast}},
                                  "mechanism=1\nallHostAliveStart=0\n"));
  base->Initialize();
  for (const int expected : GetParam().order) EXPECT_EQ(Route(*base, hosts, "req"), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundRobinTest,
                         ::testing::Values(RoundRobinCase{"AllOnline", -1, {0, 1, 2, 0, 1, 2}},
                                           RoundRobinCase{"SecondOffline", 1, {0, 2, 0, 2, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClientTest, FirstOnlineHostMovesToHostTwoAndBack) {
  FakeHost a, b;
  std::vector<FakeHost*> hosts = {&a, &b};
  auto base = MakeBase(ConfigText({{a.Port(), kFast}, {b.Port(), kFast}}, "mechanism=2\n"));
  base->Initialize();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Route(*base, hosts, "m2"), 0);
  a.Stop();
  // The request that meets the dead host is repeated on host 2.
  EXPECT_EQ(Route(*base, hosts, "failover"), 1);
  EXPECT_EQ(Route(*base, hosts, "m2"), 1);
  a.Start();
  const auto back = Clock::now();
  EXPECT_TRUE(Eventually([&] { return Route(*base, hosts, "back") == 0; }, 3000));
  EXPECT_LT(MsSince(back), 2500);  // the monitor restarts it within about a second
}

TEST(ClientTest, AllHostsOfflineGives304WithoutTraffic) {
  FakeHost a, b;
  auto base = MakeBase(ConfigText({{a.Port(), kFast}, {b.Port(), kFast}}));
  base->Initialize();
  Settle(*base, {&a, &b});
  base->Pool(0)->SetAlive(false);
  base->Pool(1)->SetAlive(false);
  const int accepted = a.Accepted() + b.Accepted();
  const int frames = a.Requests() + b.Requests() + a.Heartbeats() + b.Heartbeats();
  const auto t0 = Clock::now();
  EXPECT_EQ(CodeOf(*base, "x"), Quor::Base::kErrNoHostOnline);
  EXPECT_LT(MsSince(t0), 100);
  EXPECT_EQ(a.Accepted() + b.Accepted(), accepted);
  EXPECT_EQ(a.Requests() + b.Requests() + a.Heartbeats() + b.Heartbeats(), frames);
}

struct IdleCloseCase {
  const char* name;
  int hosts;
  int code;
};
void PrintTo(const IdleCloseCase& k, std::ostream* os) { *os << k.name; }

class IdleCloseTest : public ::testing::TestWithParam<IdleCloseCase> {};

TEST_P(IdleCloseTest, ConnectionClosedByHostFailsOver) {
  FakeHost a, b;
  std::vector<FakeHost*> hosts = {&a, &b};
  const std::string one = "minConn=1\nmaxConn=1\ntimeout=1\n";
  std::vector<HostSpec> specs = {{a.Port(), one}, {b.Port(), one}};
  specs.resize(GetParam().hosts);
  hosts.resize(GetParam().hosts);
  auto base = MakeBase(ConfigText(specs, "mechanism=2\n"));
  base->Initialize();
  Settle(*base, hosts);
  EXPECT_EQ(Route(*base, hosts, "warm"), 0);
  a.DropConnections();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::vector<int> before = Counts(hosts);
  std::string answer;
  EXPECT_EQ(CodeOf(*base, "after", 0, &answer), GetParam().code);
  EXPECT_FALSE(base->Pool(0)->IsAlive());
  if (GetParam().code == 0) {
    EXPECT_EQ(answer, "after");
    EXPECT_EQ(Served(hosts, before), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, IdleCloseTest,
                         ::testing::Values(IdleCloseCase{"MovesToOtherHost", 2, 0},
                                           IdleCloseCase{"NoOtherHost", 1, Quor::Base::kErrNoHostOnline}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClientTest, ExhaustedPoolWaitsThenGives207) {
  FakeHost a;
  auto base = MakeBase(ConfigText({{a.Port(), "minConn=1\nmaxConn=1\ntimeout=1\n"}}));
  base->Initialize();
  Settle(*base, {&a});
  Quor::Base::ConnectionPool& pool = *base->Pool(0);

  // Freed after 300 ms: the request waits for it and succeeds.
  auto held = pool.Take();
  std::thread giver([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pool.Give(std::move(held));
  });
  auto t0 = Clock::now();
  EXPECT_EQ(CodeOf(*base, "wait"), 0);
  EXPECT_GE(MsSince(t0), 250);
  giver.join();

  // Never freed: 207 after the host's timeout, and the host stays online.
  ASSERT_TRUE(Eventually([&] {
    try {
      held = pool.Take();  // the monitor's heartbeat may hold it for a moment
      return true;
    } catch (const Quor::Exception&) {
      return false;
    }
  }, 2000));
  t0 = Clock::now();
  EXPECT_EQ(CodeOf(*base, "busy"), Quor::Base::kErrNoConnection);
  EXPECT_GE(MsSince(t0), 950);
  EXPECT_LT(MsSince(t0), 2000);
  EXPECT_TRUE(pool.IsAlive());
  pool.Give(std::move(held));
}

TEST(ClientTest, HeadTailFramingAndRejectedAnswers) {
  FakeHost a("\xAA\xBB", "\xCC");  // hangs up on requests framed otherwise
  auto base = MakeBase(ConfigText({{a.Port(), "minConn=1\nmaxConn=1\ntimeout=1\nmsgHead=AAbb\nmsgTail=cc\n"}}));
  base->Initialize();
  Settle(*base, {&a});
  std::string answer;
  EXPECT_EQ(CodeOf(*base, "\x01\x02", 0, &answer), 0);
  EXPECT_EQ(answer, "\x01\x02");

  const int accepted = a.Accepted();
  a.SetMode(FakeHost::Mode::WrongHead);
  EXPECT_EQ(CodeOf(*base, "abc"), Quor::Base::kErrParseResponse);
  EXPECT_EQ(CodeOf(*base, "abc", 1), Quor::Base::kErrParseResponse);
  EXPECT_TRUE(base->Pool(0)->IsAlive());
  // A request too long for the 16-bit frame is refused before anything is sent.
  const int requests = a.Requests();
  EXPECT_EQ(CodeOf(*base, std::string(65533, 'r')), Quor::Base::kErrFormatRequest);
  EXPECT_EQ(a.Requests(), requests);
  EXPECT_TRUE(base->Pool(0)->IsAlive());

  a.SetMode(FakeHost::Mode::Echo);
  EXPECT_EQ(CodeOf(*base, "ok", 0, &answer), 0);
  EXPECT_EQ(answer, "ok");
  EXPECT_EQ(a.Accepted(), accepted);  // a fully read answer leaves its connection usable
}

TEST(ClientTest, RefusedLengthDiscardsTheConnection) {
  FakeHost a;
  auto base = MakeBase(ConfigText({{a.Port(), "minConn=1\nmaxConn=1\ntimeout=1\n"}}), nullptr, RejectableLength);
  base->Initialize();
  Settle(*base, {&a});
  gRejectLength.store(true);
  EXPECT_EQ(CodeOf(*base, "first answer"), Quor::Base::kErrParseLength);
  gRejectLength.store(false);
  EXPECT_TRUE(base->Pool(0)->IsAlive());
  // The unread rest of the first answer must not be taken for the second.
  const int accepted = a.Accepted();
  std::string answer;
  EXPECT_EQ(CodeOf(*base, "second", 0, &answer), 0);
  EXPECT_EQ(answer, "second");
  EXPECT_GT(a.Accepted(), accepted);
}

TEST(ClientTest, ExplicitHostNumbers) {
  FakeHost a, b;
  ClosedPort down;
  std::vector<FakeHost*> hosts = {&a, &b};
  auto base = MakeBase(ConfigText({{a.Port(), kFast}, {b.Port(), kFast}, {down.Port(), kFast}},
                                  "allHostAliveStart=0\n"));
  base->Initialize();
  const std::vector<int> before = Counts(hosts);
  EXPECT_EQ(CodeOf(*base, "to two", 2), 0);
  EXPECT_EQ(Served(hosts, before), 1);
  EXPECT_EQ(CodeOf(*base, "x", 3), Quor::Base::kErrHostOffline);
  EXPECT_EQ(CodeOf(*base, "x", 4), Quor::Base::kErrHostOverflow);
  EXPECT_EQ(CodeOf(*base, "x", UINT32_MAX), Quor::Base::kErrHostOverflow);
  base->Finalize();
  EXPECT_EQ(CodeOf(*base, "x"), Quor::Base::kErrNotInitialized);
}

TEST(ClientTest, NoLockHeldWhileAnExchangeWaitsForItsAnswer) {
  FakeHost a;
  auto base = MakeBase(ConfigText({{a.Port(), "minConn=2\nmaxConn=4\ntimeout=2\n"}}));
  base->Initialize();
  Settle(*base, {&a});
  // One request sits 500 ms in its exchange; requests through the same host
  // choice and the same pool must not wait for it.
  std::thread slow([&] { EXPECT_EQ(CodeOf(*base, "slow:1"), 0); });
  ASSERT_TRUE(Eventually([&] { return a.Requests() == 1; }, 1000));
  const auto t0 = Clock::now();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(CodeOf(*base, "fast"), 0);
  EXPECT_LT(MsSince(t0), 250);
  slow.join();
}

// ---- start-up ----

// The init-failure record goes to the working directory; tests that read it
// work in a directory of their own, as ctest runs tests side by side.
class InTempDir {
 public:
  InTempDir() {
    char tmpl[] = "/tmp/quor_client_XXXXXX";
    dir_ = mkdtemp(tmpl);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  ~InTempDir() {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }

 private:
  std::filesystem::path dir_, old_;
};

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

struct StartCase {
  const char* name;
  bool allAlive;
  int openCode;
};
void PrintTo(const StartCase& k, std::ostream* os) { *os << k.name; }

class AllHostAliveStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(AllHostAliveStartTest, UnreachableHostAtStart) {
  FakeHost a;
  ClosedPort down;
  const std::string cfg = ConfigText({{a.Port(), kFast}, {down.Port(), kFast}},
                                     std::string("allHostAliveStart=") + (GetParam().allAlive ? "1" : "0") + "\n");
  InTempDir dir;
  ClientHandle* h = nullptr;
  EXPECT_EQ(ClientOpen(cfg.c_str(), Quor::Base::FormatFrame, Quor::Base::ParseFrame, 2, Quor::Base::ReadFrameLength,
                       Quor::Base::IgnoreHostStatus, Quor::Base::kHeartbeatRequest,
                       sizeof Quor::Base::kHeartbeatRequest, nullptr, Quor::Base::kHeartbeatAnswer,
                       sizeof Quor::Base::kHeartbeatAnswer, &h),
            GetParam().openCode);
  const std::string record = ReadFile("quor_init_failed.log");
  if (GetParam().openCode != 0) {
    EXPECT_EQ(h, nullptr);
    EXPECT_NE(record.find(">| Failed config file or content: " + cfg + "\n"), std::string::npos) << record;
    EXPECT_NE(record.find(">| Error code: 203\n"), std::string::npos) << record;
    EXPECT_NE(record.find(">| Error reason: Connect failed\n"), std::string::npos) << record;
    return;
  }
  EXPECT_TRUE(record.empty());
  ASSERT_NE(h, nullptr);
  char answer[16];
  for (int i = 0; i < 4; ++i) {
    unsigned long len = sizeof answer;
    EXPECT_EQ(ClientCommunicate(h, "hi", 2, 0, answer, &len), 0);
    EXPECT_EQ(std::string(answer, len), "hi");
  }
  EXPECT_EQ(a.Requests(), 4);
  unsigned long len = sizeof answer;
  EXPECT_EQ(ClientCommunicate(h, "hi", 2, 2, answer, &len), Quor::Base::kErrHostOffline);
  EXPECT_EQ(ClientClose(h), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, AllHostAliveStartTest,
                         ::testing::Values(StartCase{"Zero", false, 0},
                                           StartCase{"One", true, Quor::Base::kErrConnect}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClientTest, CloseReturnsPromptlyWhileHostUnreachable) {
  FakeHost a;
  ClosedPort hole;
  const std::string cfg =
      ConfigText({{a.Port(), kFast}, {hole.Port(), "minConn=1\ntimeout=5\n"}}, "allHostAliveStart=0\n");
  ClientHandle* h = nullptr;
  ASSERT_EQ(ClientOpen(cfg.c_str(), Quor::Base::FormatFrame, Quor::Base::ParseFrame, 2, Quor::Base::ReadFrameLength,
                       nullptr, Quor::Base::kHeartbeatRequest, sizeof Quor::Base::kHeartbeatRequest, nullptr,
                       Quor::Base::kHeartbeatAnswer, sizeof Quor::Base::kHeartbeatAnswer, &h),
            0);
  // From now on the host's connects hang; its monitor's next restart
  // attempt (about a second after the first) would last 5 s.
  hole.Blackhole();
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  const auto t0 = Clock::now();
  EXPECT_EQ(ClientClose(h), 0);
  EXPECT_LT(MsSince(t0), 500);
}

TEST(ClientTest, CloseReturnsPromptlyWhileHeartbeatWaitsForStalledHost) {
  FakeHost a;
  auto base = MakeBase(ConfigText({{a.Port(), "minConn=1\ntimeout=5\n"}}));
  base->Initialize();
  Settle(*base, {&a});
  a.SetStallHeartbeats(true);
  const int heartbeats = a.Heartbeats();
  ASSERT_TRUE(Eventually([&] { return a.Heartbeats() > heartbeats; }, 2000));  // now waiting up to 5 s
  const auto t0 = Clock::now();
  base->Finalize();
  EXPECT_LT(MsSince(t0), 500);
}

// ---- liveness monitor ----

struct StatusEvent {
  unsigned long host;
  unsigned long online;
  std::string answer;
  Clock::time_point at;
};
std::mutex gStatusLock;
std::vector<StatusEvent> gStatus;

void RecordStatus(unsigned long host, unsigned long online, const char* answer, unsigned long len) {
  std::lock_guard lk(gStatusLock);
  gStatus.push_back({host, online, std::string(answer, len), Clock::now()});
}

TEST(MonitorTest, WrongHeartbeatTakesHostOfflineAndRestartsSoon) {
  {
    std::lock_guard lk(gStatusLock);
    gStatus.clear();
  }
  FakeHost a;
  auto base = MakeBase(ConfigText({{a.Port(), kFast}}), RecordStatus);
  base->Initialize();
  // Callers hold gStatusLock.
  auto firstWrong = [] {
    for (size_t i = 0; i < gStatus.size(); ++i) {
      if (gStatus[i].online == 0) return static_cast<int>(i);
    }
    return -1;
  };
  ASSERT_TRUE(Eventually([] {
    std::lock_guard lk(gStatusLock);
    return !gStatus.empty();
  }, 2000));
  {
    std::lock_guard lk(gStatusLock);
    EXPECT_EQ(gStatus[0].online, 1u);
    EXPECT_EQ(gStatus[0].answer.substr(0, 4), std::string("\x01\x03\x00\x00", 4));  // more bytes follow: healthy
  }
  a.SetHealthy(false);
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard lk(gStatusLock);
    return firstWrong() >= 0;
  }, 2500));
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard lk(gStatusLock);
    return static_cast<int>(gStatus.size()) > firstWrong() + 1;
  }, 1500));
  std::lock_guard lk(gStatusLock);
  const StatusEvent& wrong = gStatus[firstWrong()];
  const StatusEvent& next = gStatus[firstWrong() + 1];
  EXPECT_EQ(wrong.answer.substr(0, 4), std::string("\x01\x04\x00\x00", 4));
  EXPECT_FALSE(base->Pool(0)->IsAlive() && next.online == 0);
  EXPECT_EQ(next.online, 1u);  // restarted
  const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(next.at - wrong.at).count();
  EXPECT_GE(gap, 80);
  EXPECT_LT(gap, 600);
}

// ---- facade ----

TEST(FacadeTest, AnswerBufferTooSmallReportsNeededSize) {
  FakeHost a;
  const std::string cfg = ConfigText({{a.Port(), kFast}});
  ClientHandle* h = nullptr;
  ASSERT_EQ(ClientOpen(cfg.c_str(), Quor::Base::FormatFrame, Quor::Base::ParseFrame, 2, Quor::Base::ReadFrameLength,
                       nullptr, Quor::Base::kHeartbeatRequest, sizeof Quor::Base::kHeartbeatRequest, nullptr,
                       Quor::Base::kHeartbeatAnswer, sizeof Quor::Base::kHeartbeatAnswer, &h),
            0);
  const std::string body(300, 'q');
  std::string answer(300, '\0');
  unsigned long len = 299;
  EXPECT_EQ(ClientCommunicate(h, body.data(), body.size(), 0, answer.data(), &len), Quor::Base::kErrBufferTooSmall);
  EXPECT_EQ(len, 300u);
  EXPECT_EQ(answer, std::string(300, '\0'));
  len = 0;
  EXPECT_EQ(ClientCommunicate(h, body.data(), body.size(), 0, nullptr, &len), 0);
  EXPECT_EQ(len, 300u);
  EXPECT_EQ(ClientCommunicate(h, body.data(), body.size(), 0, answer.data(), &len), 0);
  EXPECT_EQ(answer, body);
  EXPECT_EQ(ClientCommunicate(h, body.data(), body.size(), -1, answer.data(), &len), Quor::Base::kErrHostOverflow);
  EXPECT_EQ(ClientClose(h), 0);
}

TEST(FacadeTest, ArgumentChecks) {
  const char* hb = Quor::Base::kHeartbeatRequest;
  const char* ok = Quor::Base::kHeartbeatAnswer;
  auto fmt = Quor::Base::FormatFrame;
  auto parse = Quor::Base::ParseFrame;
  auto len = Quor::Base::ReadFrameLength;
  ClientHandle* h = nullptr;
  EXPECT_EQ(ClientOpen(nullptr, fmt, parse, 2, len, nullptr, hb, 6, nullptr, ok, 4, &h), 310);
  EXPECT_EQ(ClientOpen("{}", nullptr, parse, 2, len, nullptr, hb, 6, nullptr, ok, 4, &h), 310);
  EXPECT_EQ(ClientOpen("{}", fmt, nullptr, 2, len, nullptr, hb, 6, nullptr, ok, 4, &h), 310);
  EXPECT_EQ(ClientOpen("{}", fmt, parse, 2, nullptr, nullptr, hb, 6, nullptr, ok, 4, &h), 310);
  EXPECT_EQ(ClientOpen("{}", fmt, parse, 2, len, nullptr, nullptr, 6, nullptr, ok, 4, &h), 310);
  EXPECT_EQ(ClientOpen("{}", fmt, parse, 2, len, nullptr, hb, 0, nullptr, ok, 4, &h), 311);
  EXPECT_EQ(ClientOpen("{}", fmt, parse, 2, len, nullptr, hb, 6, nullptr, nullptr, 4, &h), 310);
  EXPECT_EQ(ClientOpen("{}", fmt, parse, 2, len, nullptr, hb, 6, nullptr, ok, 0, &h), 311);
  EXPECT_EQ(ClientOpen("{}", fmt, parse, 2, len, nullptr, hb, 6, nullptr, ok, 4, nullptr), 310);
  EXPECT_EQ(h, nullptr);

  unsigned long n = 4;
  char buf[4];
  EXPECT_EQ(ClientCommunicate(nullptr, "x", 1, 0, buf, &n), 310);
  EXPECT_EQ(ClientClose(nullptr), 310);
  EXPECT_FALSE(LogEnabled(nullptr, 4));

  FakeHost a;
  const std::string cfg = ConfigText({{a.Port(), kFast}});
  // With a heartbeat judge the expected answer is not needed.
  ASSERT_EQ(ClientOpen(cfg.c_str(), fmt, parse, 2, len, nullptr, hb, 6,
                       [](unsigned long, const char*, unsigned long) { return 1; }, nullptr, 0, &h),
            0);
  EXPECT_EQ(ClientCommunicate(h, nullptr, 1, 0, buf, &n), 310);
  EXPECT_EQ(ClientCommunicate(h, "x", 0, 0, buf, &n), 311);
  EXPECT_EQ(ClientCommunicate(h, "x", 1, 0, buf, nullptr), 310);
  EXPECT_EQ(ClientClose(h), 0);
}

TEST(FacadeTest, ConfigurationErrorsAreReturnedAndRecorded) {
  InTempDir dir;
  ClientHandle* h = nullptr;
  EXPECT_EQ(ClientOpen("{[Global]\nmechanism=1\n}", Quor::Base::FormatFrame, Quor::Base::ParseFrame, 2,
                       Quor::Base::ReadFrameLength, nullptr, Quor::Base::kHeartbeatRequest, 6, nullptr,
                       Quor::Base::kHeartbeatAnswer, 4, &h),
            104);
  EXPECT_NE(ReadFile("quor_init_failed.log").find("Error code: 104\n"), std::string::npos);
}

}  // namespace
