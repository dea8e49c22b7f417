// The key store: provisioning, damaged files, crash safety and sharing between processes.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "simulator/SimTestUtil.h"
#include "support/QuorSimulator.h"

using namespace SimTest;
using QuorTest::Simulator;

namespace {

class StoreFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = QuorTest::MakeTempDir();
    store_ = dir_ + "/store";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  int Quorsim(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr) {
    return Simulator::Run(args, out, err);
  }
  std::string ReadAll() {
    std::ifstream f(store_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  void WriteAll(const std::string& bytes) {
    std::ofstream f(store_, std::ios::binary | std::ios::trunc);
    f << bytes;
  }
  std::string dir_, store_;
};

TEST_F(StoreFiles, InitRefusesToOverwrite) {
  ASSERT_EQ(Quorsim({"init", "--store", store_}), 0);
  const std::string before = ReadAll();
  std::string err;
  EXPECT_NE(Quorsim({"init", "--store", store_}, nullptr, &err), 0);
  EXPECT_NE(err.find("already exists"), std::string::npos) << err;
  EXPECT_EQ(ReadAll(), before);
}

TEST_F(StoreFiles, KeyAddAndList) {
  ASSERT_EQ(Quorsim({"init", "--store", store_}), 0);
  const std::string key = "000102030405060708090A0B0C0D0E0F";
  ASSERT_EQ(Quorsim({"key", "add", "--store", store_, "--slot", "3", "--type", "aes128", "--hex", key, "--label",
                     "three", "--password", "pw"}),
            0);
  ASSERT_EQ(Quorsim({"key", "add", "--store", store_, "--slot", "4", "--type", "3des2"}), 0);
  std::string out, err;
  ASSERT_EQ(Quorsim({"key", "list", "--store", store_}, &out), 0);
  const std::string kcv = ToHex(Evp("AES-128-ECB", false, Hex(key), {}, std::string(16, '\0')).substr(0, 8));
  EXPECT_NE(out.find("3\taes128\t-\tthree\t" + kcv + "\tyes\n"), std::string::npos) << out;
  EXPECT_NE(out.find("4\t3des2\t-\t\t"), std::string::npos) << out;

  const std::vector<std::string> refused[] = {
      {"key", "add", "--store", store_, "--slot", "5", "--type", "sm4", "--hex", "0011"},
      {"key", "add", "--store", store_, "--slot", "5", "--type", "rc4"},
      {"key", "add", "--store", store_, "--slot", "5", "--type", "sm4", "--label", "three"},
      {"key", "add", "--store", store_, "--slot", "0", "--type", "sm4"},
      {"key", "add", "--store", store_, "--slot", "5"},
      {"key", "add", "--store", store_, "--slot", "5", "--type", "sm4", "--colour", "blue"},
  };
  for (const auto& args : refused) EXPECT_NE(Quorsim(args, nullptr, &err), 0) << args[7];
}

TEST_F(StoreFiles, DamagedStoresAreRefusedWithAClearMessage) {
  ASSERT_EQ(Quorsim({"init", "--store", store_}), 0);
  const std::string good = ReadAll();
  struct {
    const char* what;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"flipped byte", [&] { std::string b = good; b[40] ^= 1; return b; }(), "integrity check failed"},
      {"other version", [&] { std::string b = good; b[11] = 2; return b; }(), "format version 2"},
      {"cut short", good.substr(0, good.size() - 5), "corrupt"},
      {"not a store", "hello world, this is not a store at all, not even close", "not a quorsim store"},
      {"empty", "", "not a quorsim store"},
  };
  for (const auto& c : cases) {
    WriteAll(c.bytes);
    std::string err;
    EXPECT_NE(Quorsim({"key", "list", "--store", store_}, nullptr, &err), 0) << c.what;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
    EXPECT_NE(Quorsim({"serve", "--store", store_, "--listen", "127.0.0.1:0"}, nullptr, &err), 0) << c.what;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
  }
}

// kill -9 in the middle of a burst of key and file writes leaves a store that
// loads, holding every write that was answered.
TEST_F(StoreFiles, SurvivesKillDuringAWriteBurst) {
  ASSERT_EQ(Quorsim({"init", "--store", store_}), 0);
  for (int round = 0; round < 3; ++round) {
    Simulator sim({.store = store_});
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> answered[2] = {0, 0};
    std::vector<std::thread> writers;
    for (uint32_t t = 0; t < 2; ++t) {
      writers.emplace_back([&, t] {
        auto c = sim.Connect();
        for (uint32_t i = 1; !stop && i <= 400; ++i) {
          const uint32_t slot = 100 + t * 400 + i;
          auto a = c.Exchange(Req(0x0803).U32(slot).U32(7).Bytes("").Bytes(Pattern(16, slot)).str(), 2000);
          if (!a || a->substr(2, 2) != Hex("0000")) break;
          answered[t] = i;
        }
      });
    }
    // Kill in the middle of the burst: once both writers are going, after a varying pause.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((answered[0] < 3 || answered[1] < 3) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20 * round));
    sim.Kill();
    stop = true;
    for (auto& w : writers) w.join();
    std::string out, err;
    ASSERT_EQ(Quorsim({"key", "list", "--store", store_}, &out, &err), 0) << err;
    for (uint32_t t = 0; t < 2; ++t) {
      EXPECT_GT(answered[t].load(), 0u);
      const uint32_t last = 100 + t * 400 + answered[t];
      EXPECT_NE(out.find("\n" + std::to_string(last) + "\tsm4"), std::string::npos) << "slot " << last;
    }
  }
}

TEST_F(StoreFiles, TwoProcessesShareOneStore) {
  Simulator::Provision(store_, {});
  Simulator a({.store = store_}), b({.store = store_});
  auto ca = a.Connect();
  auto cb = b.Connect();
  const std::string key = Pattern(16, 42);
  ASSERT_EQ(ca.Exchange(Req(0x0803).U32(5).U32(7).Bytes("shared").Bytes(key).str())->substr(2, 2), Hex("0000"));
  Ans seen(*cb.Exchange(Req(0x0804).U32(5).str()));
  ASSERT_EQ(seen.code(), 0);
  seen.U32();
  EXPECT_EQ(seen.Bytes(), key);
  ASSERT_EQ(Ans(*cb.Exchange(Req(0x0808).U32(0).U32(5).str())).code(), 0);
  EXPECT_EQ(Ans(*ca.Exchange(Req(0x0804).U32(5).str())).code(), 45);

  // Writers in both processes at once lose nothing: each starts from the other's last write.
  auto burst = [&](Simulator& sim, uint32_t first) {
    auto c = sim.Connect();
    for (uint32_t s = first; s < first + 25; ++s)
      EXPECT_EQ(Ans(*c.Exchange(Req(0x0803).U32(s).U32(7).Bytes("").Bytes(key).str())).code(), 0);
  };
  std::thread ta([&] { burst(a, 200); }), tb([&] { burst(b, 300); });
  ta.join();
  tb.join();
  for (uint32_t s : {200u, 224u, 300u, 324u}) {
    EXPECT_EQ(Ans(*ca.Exchange(Req(0x0809).U32(s).str())).code(), 0) << s;
    EXPECT_EQ(Ans(*cb.Exchange(Req(0x0809).U32(s).str())).code(), 0) << s;
  }
  std::string out;
  ASSERT_EQ(Simulator::Run({"key", "list", "--store", store_}, &out), 0);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1 + 50);
}

}  // namespace
