// Many threads on two hosts while one host is killed and restarted again and
// again: every call must be answered correctly, and the restarted host must
// carry traffic again about a second later.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "client/Client.h"
#include "client/FakeHost.h"
#include "client/Frame.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(StressTest, SixteenThreadsWhileOneHostFlaps) {
  QuorTest::FakeHost steady, flapping;
  const std::string hostKeys = "minConn=4\nmaxConn=32\ntimeout=2\n";
  const std::string cfg = QuorTest::ConfigText({{steady.Port(), hostKeys}, {flapping.Port(), hostKeys}});
  ClientHandle* h = nullptr;
  ASSERT_EQ(ClientOpen(cfg.c_str(), Quor::Base::FormatFrame, Quor::Base::ParseFrame, 2, Quor::Base::ReadFrameLength,
                       Quor::Base::IgnoreHostStatus, Quor::Base::kHeartbeatRequest,
                       sizeof Quor::Base::kHeartbeatRequest, nullptr, Quor::Base::kHeartbeatAnswer,
                       sizeof Quor::Base::kHeartbeatAnswer, &h),
            0);

  std::atomic<bool> done{false};
  std::atomic<int> calls{0};
  std::atomic<int> wrong{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 16; ++t) {
    workers.emplace_back([&, t] {
      char answer[64];
      for (int i = 0; !done.load(); ++i) {
        const std::string body = "thread " + std::to_string(t) + " call " + std::to_string(i);
        unsigned long len = sizeof answer;
        const int rc = ClientCommunicate(h, body.data(), body.size(), 0, answer, &len);
        if (rc != 0 || std::string(answer, len) != body) {
          wrong.fetch_add(1);
          ADD_FAILURE() << body << ": code " << rc;
        }
        calls.fetch_add(1);
      }
    });
  }

  for (int round = 0; round < 3; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    flapping.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    flapping.Start();
  }
  // The restarted host is brought back by its monitor and used again.
  const int before = flapping.Requests();
  const auto restarted = Clock::now();
  while (flapping.Requests() == before && Clock::now() - restarted < std::chrono::seconds(3)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto backAfter = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - restarted).count();
  done.store(true);
  for (std::thread& w : workers) w.join();

  EXPECT_GT(flapping.Requests(), before);
  EXPECT_LT(backAfter, 1600);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GT(calls.load(), 100);
  EXPECT_EQ(ClientClose(h), 0);
}

}  // namespace
