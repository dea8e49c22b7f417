// The buffered, rotating logger and the LogMessage front.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <ostream>
#include <string>
#include <thread>

#include "client/Client.h"
#include "client/FakeHost.h"
#include "client/Frame.h"
#include "config/Logger.h"

namespace {

namespace fs = std::filesystem;
using Quor::Base::Logger;
using Quor::Base::LoggerSettings;

class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quor_logger_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "quor.log").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  LoggerSettings Settings(int32_t level = 1, int32_t maxSize = 1024, int32_t backupNum = 10) const {
    LoggerSettings s;
    s.level = level;
    s.path = path_;
    s.maxSize = maxSize;
    s.backupNum = backupNum;
    return s;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  // Waits until pred holds (up to 3 s).
  template <typename P>
  static bool Eventually(P pred) {
    for (int i = 0; i < 300; ++i) {
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(LoggerTest, LineFormatAndLevels) {
  {
    Logger log(Settings());
    log.Write(1, "debug line");
    log.Write(2, "info line");
    log.Write(3, "warn line");
    log.Write(4, "error line");
    log.Write(0, "never");
    log.Write(5, "never");
    log.Write(2, "two\nlines");
  }
  const std::string text = Read(path_);
  const std::string ts = R"(<\d{4}-\d\d-\d\d_\d\d:\d\d:\d\d\.\d{3}>\|)";
  const std::regex expected("\\[DEBUG\\]" + ts + "debug line\n" + "\\[INFO \\]" + ts + "info line\n" + "\\[WARN \\]" +
                            ts + "warn line\n" + "\\[ERROR\\]" + ts + "error line\n" + "\\[INFO \\]" + ts +
                            "two\nlines\n");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(LoggerTest, FlushesWithoutDestructionAndKeepsOrder) {
  Logger log(Settings());
  for (int i = 0; i < 100; ++i) log.Write(2, "line " + std::to_string(i));
  EXPECT_TRUE(Eventually([&] { return Read(path_).find("line 99\n") != std::string::npos; }));
  const std::string text = Read(path_);
  size_t at = 0;
  for (int i = 0; i < 100; ++i) {
    const size_t next = text.find("|line " + std::to_string(i) + "\n", at);
    ASSERT_NE(next, std::string::npos) << i;
    at = next;
  }
}

TEST_F(LoggerTest, LinesWrittenJustBeforeDestructionReachTheFile) {
  // Repeated, so the stop request also meets a writer that is busy flushing.
  for (int round = 0; round < 20; ++round) {
    {
      Logger log(Settings());
      for (int i = 0; i < 50; ++i) log.Write(1, "round " + std::to_string(round) + " line " + std::to_string(i));
    }
    EXPECT_NE(Read(path_).find("round " + std::to_string(round) + " line 49\n"), std::string::npos) << round;
  }
}

TEST_F(LoggerTest, MissingDirectoryCostsTheTextOnly) {
  LoggerSettings s = Settings();
  s.path = (dir_ / "absent" / "quor.log").string();
  {
    Logger log(s);
    log.Write(4, "lost");
  }
  EXPECT_FALSE(fs::exists(s.path));
}

struct RotationCase {
  int32_t backupNum;
  int kept;  // backups expected after four rotations
};
void PrintTo(const RotationCase& k, std::ostream* os) { *os << "backupNum " << k.backupNum; }

class LoggerRotationTest : public LoggerTest, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(LoggerRotationTest, KeepsNewestBackups) {
  const RotationCase k = GetParam();
  const std::string big(1048576, 'x');
  {
    Logger log(Settings(1, 1, k.backupNum));
    for (int round = 1; round <= 4; ++round) {
      log.Write(1, "round " + std::to_string(round));
      log.Write(1, big);  // reaches 1 MiB: wakes the writer, which rotates
      ASSERT_TRUE(Eventually([&] {
        return !fs::exists(path_) && Read(path_ + ".bak1").find("round " + std::to_string(round)) != std::string::npos;
      })) << round;
    }
  }
  for (int n = 1; n <= k.kept; ++n) {
    EXPECT_NE(Read(path_ + ".bak" + std::to_string(n)).find("round " + std::to_string(5 - n) + "\n"),
              std::string::npos)
        << n;
  }
  EXPECT_FALSE(fs::exists(path_ + ".bak" + std::to_string(k.kept + 1)));
}

INSTANTIATE_TEST_SUITE_P(Backups, LoggerRotationTest,
                         ::testing::Values(RotationCase{0, 1}, RotationCase{1, 1}, RotationCase{3, 3}),
                         [](const auto& info) { return "Keep" + std::to_string(info.param.backupNum); });

// ---- the LogMessage front on a client ----

class LogMessageTest : public LoggerTest {
 protected:
  ClientHandle* Open(int level) {
    const std::string cfg =
        QuorTest::ConfigText({{host_.Port(), "minConn=1\ntimeout=2\n"}}, "", "level=" + std::to_string(level) +
                                                                                 "\npath=" + path_ + "\n");
    ClientHandle* h = nullptr;
    EXPECT_EQ(ClientOpen(cfg.c_str(), Quor::Base::FormatFrame, Quor::Base::ParseFrame, 2, Quor::Base::ReadFrameLength,
                         nullptr, Quor::Base::kHeartbeatRequest, sizeof Quor::Base::kHeartbeatRequest, nullptr,
                         Quor::Base::kHeartbeatAnswer, sizeof Quor::Base::kHeartbeatAnswer, &h),
              0);
    return h;
  }
  QuorTest::FakeHost host_;
};

TEST_F(LogMessageTest, ThresholdDropsLowerLevels) {
  ClientHandle* h = Open(3);
  ASSERT_NE(h, nullptr);
  EXPECT_FALSE(LogEnabled(h, 2));
  EXPECT_TRUE(LogEnabled(h, 3));
  for (int level = 0; level <= 5; ++level) LogMessage(h, level, "level %d", level);
  ClientClose(h);
  const std::string text = Read(path_);
  EXPECT_EQ(text.find("level 0"), std::string::npos);
  EXPECT_EQ(text.find("level 1"), std::string::npos);
  EXPECT_EQ(text.find("level 2"), std::string::npos);
  EXPECT_NE(text.find("[WARN ]<"), std::string::npos);
  EXPECT_NE(text.find("|level 3\n"), std::string::npos);
  EXPECT_NE(text.find("|level 4\n"), std::string::npos);
  EXPECT_EQ(text.find("level 5"), std::string::npos);  // passes the threshold, but no such level
}

TEST_F(LogMessageTest, LevelFiveWritesNothing) {
  ClientHandle* h = Open(5);
  ASSERT_NE(h, nullptr);
  LogMessage(h, 4, "error");
  ClientClose(h);
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(LogMessageTest, LongMessageIsOneWholeLine) {
  ClientHandle* h = Open(1);
  ASSERT_NE(h, nullptr);
  const std::string longText(50000, 'm');
  LogMessage(h, 1, "<%s>", longText.c_str());
  LogMessage(nullptr, 4, "no client");
  LogMessage(h, 4, nullptr);
  ClientClose(h);
  EXPECT_NE(Read(path_).find(">|<" + longText + ">\n"), std::string::npos);
}

}  // namespace
