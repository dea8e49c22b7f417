// The server side of quorsim: framing, concurrency, shutdown, and every
// fault of the control channel.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <thread>

#include "simulator/SimTestUtil.h"
#include "support/QuorSimulator.h"

using namespace SimTest;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kHeartbeat = Hex("010200000004");

bool IsHeartbeatAnswer(const std::optional<std::string>& a) {
  return a && a->size() == 8 && a->substr(0, 4) == Hex("01030000");
}

TEST(Server, ManyConnectionsAreServedAtOnce) {
  QuorTest::Simulator sim;
  std::vector<std::unique_ptr<QuorTest::FramedClient>> conns;
  for (int i = 0; i < 300; ++i) {
    conns.push_back(std::make_unique<QuorTest::FramedClient>(sim.Connect()));
    ASSERT_TRUE(conns.back()->connected()) << i;
  }
  for (auto& c : conns) ASSERT_TRUE(c->Send(kHeartbeat));
  for (auto& c : conns) EXPECT_TRUE(IsHeartbeatAnswer(c->Receive()));
}

TEST(Server, PipelinedRequestsAreAnsweredInOrder) {
  QuorTest::Simulator sim;
  auto c = sim.Connect();
  std::string burst;
  for (uint32_t n = 1; n <= 60; ++n) {
    const std::string body = Req(0x0102).U32(n);
    burst += std::string{char(0), char(body.size())} + body;
  }
  ASSERT_TRUE(c.SendRaw(burst));
  for (size_t n = 1; n <= 60; ++n) {
    auto a = c.Receive();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->size(), 4 + n);
  }
}

TEST(Server, HeadAndTailFrameEveryMessage) {
  QuorTest::Simulator sim({.msgHead = "AABB", .msgTail = "CC"});
  auto c = sim.Connect();
  auto frame = c.ReceiveFrame(0);  // nothing pending
  EXPECT_FALSE(frame);
  ASSERT_TRUE(c.Send(kHeartbeat));
  frame = c.ReceiveFrame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->substr(0, 2), Hex("AABB"));
  EXPECT_EQ(frame->back(), '\xCC');
  EXPECT_EQ(frame->substr(2, 4), Hex("01030000"));
  // A one-byte body is a request that cannot be parsed: code 15, connection kept.
  auto one = c.Exchange(Hex("01"));
  ASSERT_TRUE(one);
  EXPECT_EQ(one->substr(2, 2), Hex("000F"));

  // Frames that cannot be read close the connection.
  struct {
    const char* what;
    std::string bytes;
  } unreadable[] = {
      {"wrong head", Hex("0009 AABA 010200000004 CC")},
      {"wrong tail", Hex("0009 AABB 010200000004 CD")},
      {"no body", Hex("0003 AABB CC")},
      {"shorter than head and tail", Hex("0001 AA")},
  };
  for (const auto& u : unreadable) {
    auto bad = sim.Connect();
    ASSERT_TRUE(bad.SendRaw(u.bytes));
    EXPECT_TRUE(bad.PeerClosed()) << u.what;
  }
  EXPECT_TRUE(IsHeartbeatAnswer(c.Exchange(kHeartbeat)));
}

TEST(Server, AHalfSentFrameHoldsUpOnlyItsOwnConnection) {
  QuorTest::Simulator sim;
  auto slow = sim.Connect();
  ASSERT_TRUE(slow.SendRaw(Hex("0006 0102")));
  auto other = sim.Connect();
  const auto t0 = Clock::now();
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(IsHeartbeatAnswer(other.Exchange(kHeartbeat, 2000)));
  EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));
  ASSERT_TRUE(slow.SendRaw(Hex("00000004")));
  EXPECT_TRUE(IsHeartbeatAnswer(slow.Receive()));
}

TEST(Server, SigtermStopsCleanlyWithConnectionsOpen) {
  QuorTest::Simulator sim;
  auto idle = sim.Connect();
  auto half = sim.Connect();
  ASSERT_TRUE(half.SendRaw(Hex("0006 01")));
  auto stalled = sim.Connect();
  ASSERT_TRUE(sim.ControlOk("stall on"));
  ASSERT_TRUE(stalled.Send(kHeartbeat));
  auto delayed = sim.Connect();
  const auto t0 = Clock::now();
  const int status = sim.Stop();
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
  EXPECT_TRUE(idle.PeerClosed(1000));
}

class Faults : public ::testing::Test {
 protected:
  QuorTest::Simulator sim_;
};

TEST_F(Faults, CloseAfterNAnswers) {
  ASSERT_TRUE(sim_.ControlOk("close-after 2"));
  for (int round = 0; round < 2; ++round) {
    auto c = sim_.Connect();
    EXPECT_TRUE(IsHeartbeatAnswer(c.Exchange(kHeartbeat)));
    EXPECT_TRUE(IsHeartbeatAnswer(c.Exchange(kHeartbeat)));
    EXPECT_TRUE(c.PeerClosed());
  }
  ASSERT_TRUE(sim_.ControlOk("close-after 0"));
  auto c = sim_.Connect();
  EXPECT_FALSE(c.Exchange(kHeartbeat));
  ASSERT_TRUE(sim_.ControlOk("close-after off"));
  EXPECT_TRUE(IsHeartbeatAnswer(sim_.Connect().Exchange(kHeartbeat)));
}

TEST_F(Faults, StallAcceptsButNeverAnswers) {
  auto before = sim_.Connect();
  ASSERT_TRUE(sim_.ControlOk("stall on"));
  auto during = sim_.Connect();
  ASSERT_TRUE(during.connected());
  EXPECT_FALSE(during.Exchange(kHeartbeat, 300));
  EXPECT_FALSE(before.Exchange(kHeartbeat, 300));
  ASSERT_TRUE(sim_.ControlOk("stall off"));
  // Stalled requests stay unanswered: their connections are dropped.
  EXPECT_TRUE(during.PeerClosed());
  EXPECT_TRUE(IsHeartbeatAnswer(sim_.Connect().Exchange(kHeartbeat)));
}

TEST_F(Faults, DelayEveryAnswer) {
  ASSERT_TRUE(sim_.ControlOk("delay 250"));
  auto c = sim_.Connect();
  const auto t0 = Clock::now();
  EXPECT_TRUE(IsHeartbeatAnswer(c.Exchange(kHeartbeat)));
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(250));
  ASSERT_TRUE(sim_.ControlOk("delay 0"));
  const auto t1 = Clock::now();
  EXPECT_TRUE(IsHeartbeatAnswer(c.Exchange(kHeartbeat)));
  EXPECT_LT(Clock::now() - t1, std::chrono::milliseconds(250));
}

TEST_F(Faults, ForcedDeviceCode) {
  ASSERT_TRUE(sim_.ControlOk("answer 0102 42"));
  auto c = sim_.Connect();
  EXPECT_EQ(c.Exchange(kHeartbeat), Hex("0103002A"));
  EXPECT_EQ(c.Exchange(Req(0x0501).U32(4).str())->substr(0, 4), Hex("0502004F"));  // others as usual
  ASSERT_TRUE(sim_.ControlOk("answer 0102 off"));
  EXPECT_TRUE(IsHeartbeatAnswer(c.Exchange(kHeartbeat)));
}

TEST_F(Faults, BrokenAnswerFrames) {
  auto c = sim_.Connect();
  ASSERT_TRUE(sim_.ControlOk("answer-head 5151"));
  ASSERT_TRUE(c.Send(kHeartbeat));
  auto f = c.ReceiveFrame();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->substr(0, 6), Hex("5151 01030000"));
  ASSERT_TRUE(sim_.ControlOk("clear"));
  ASSERT_TRUE(sim_.ControlOk("answer-tail 52"));
  ASSERT_TRUE(c.Send(kHeartbeat));
  f = c.ReceiveFrame();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->size(), 9u);
  EXPECT_EQ(f->back(), '\x52');
  ASSERT_TRUE(sim_.ControlOk("clear"));

  ASSERT_TRUE(sim_.ControlOk("frame overlong"));
  ASSERT_TRUE(c.Send(kHeartbeat));
  f = c.ReceiveFrame();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->size(), 65535u);
  EXPECT_EQ(f->substr(0, 4), Hex("01030000"));

  ASSERT_TRUE(sim_.ControlOk("frame truncate"));
  ASSERT_TRUE(c.Send(kHeartbeat));
  EXPECT_FALSE(c.ReceiveFrame(1000));
  EXPECT_TRUE(c.PeerClosed());
  ASSERT_TRUE(sim_.ControlOk("frame normal"));
  EXPECT_TRUE(IsHeartbeatAnswer(sim_.Connect().Exchange(kHeartbeat)));
}

TEST_F(Faults, RefuseNewConnections) {
  auto open = sim_.Connect();
  ASSERT_TRUE(sim_.ControlOk("refuse on"));
  EXPECT_FALSE(sim_.Connect().connected());
  EXPECT_TRUE(IsHeartbeatAnswer(open.Exchange(kHeartbeat)));  // established ones go on
  ASSERT_TRUE(sim_.ControlOk("refuse off"));
  EXPECT_TRUE(IsHeartbeatAnswer(sim_.Connect().Exchange(kHeartbeat)));
  ASSERT_TRUE(sim_.ControlOk("refuse on"));
  ASSERT_TRUE(sim_.ControlOk("clear"));
  EXPECT_TRUE(sim_.Connect().connected());
}

TEST_F(Faults, ClearLiftsEveryFault) {
  for (const char* f : {"close-after 0", "delay 5000", "answer 0102 1", "answer-head 00", "frame truncate"})
    ASSERT_TRUE(sim_.ControlOk(f)) << f;
  ASSERT_TRUE(sim_.ControlOk("clear"));
  EXPECT_TRUE(IsHeartbeatAnswer(sim_.Connect().Exchange(kHeartbeat, 1000)));
}

TEST_F(Faults, RecordOfLastRequests) {
  ASSERT_TRUE(sim_.ControlOk("record 3"));
  auto c = sim_.Connect();
  for (uint32_t n = 1; n <= 5; ++n) c.Exchange(Req(0x0102).U32(n).str());
  c.Exchange(Hex("77"));
  const auto reqs = sim_.Requests();
  ASSERT_EQ(reqs.size(), 3u);
  EXPECT_EQ(reqs[0], Req(0x0102).U32(4).str());
  EXPECT_EQ(reqs[1], Req(0x0102).U32(5).str());
  EXPECT_EQ(reqs[2], Hex("77"));
  EXPECT_EQ(sim_.Control("requests").substr(0, 18), "0102 0102000000" "04\n");
  ASSERT_TRUE(sim_.ControlOk("forget"));
  EXPECT_TRUE(sim_.Requests().empty());
}

TEST_F(Faults, BadControlLinesAreRefused) {
  for (const char* l : {"bogus", "delay", "delay -1", "close-after x", "answer 01 5", "answer 0102 70000",
                        "answer-head XYZ", "frame sideways", "refuse maybe", "stall"})
    EXPECT_EQ(sim_.Control(l).substr(0, 6), "error ") << l;
  EXPECT_TRUE(sim_.ControlOk("ping"));
  EXPECT_NE(sim_.Control("stats").find("answers "), std::string::npos);
}

// The configuration written for two simulators names each in its own
// numbered section, with its real port and frame bytes.
TEST(ClientConfig, NamesEverySimulatorInOrder) {
  QuorTest::Simulator a, b({.msgHead = "A1B2", .msgTail = "C3"});
  const std::string dir = QuorTest::MakeTempDir();
  const std::string path = QuorTest::WriteClientConfig(dir, {a.Host(), b.Host()}, {.logLevel = 4, .mechanism = 2});
  std::ifstream f(path);
  std::stringstream text;
  text << f.rdbuf();
  const std::string ini = text.str();
  std::filesystem::remove_all(dir);
  EXPECT_EQ(path, dir + "/quorConfig.ini");
  EXPECT_NE(ini.find("[Logger]\npath=" + dir + "/quor.log\nlevel=4\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[Global]\nmechanism=2\n"), std::string::npos) << ini;
  const auto h1 = ini.find("[Host 1]"), h2 = ini.find("[Host 2]");
  ASSERT_NE(h1, std::string::npos);
  ASSERT_NE(h2, std::string::npos);
  EXPECT_NE(ini.find("port=" + std::to_string(a.port()) + "\n", h1), std::string::npos);
  EXPECT_LT(ini.find("port=" + std::to_string(a.port()) + "\n", h1), h2);
  EXPECT_NE(ini.find("port=" + std::to_string(b.port()) + "\n", h2), std::string::npos);
  EXPECT_NE(ini.find("msgHead=A1B2\nmsgTail=C3\n", h2), std::string::npos);
  EXPECT_EQ(ini.find("msgHead", h1), ini.find("msgHead", h2));  // none for the first
}

}  // namespace
