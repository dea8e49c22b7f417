// What the client library costs over the wire: the random-number command
// (01 02, 4 bytes) sent side by side in one run against one quorsim by
//   raw          the smallest client: one blocking TCP connection per thread
//   communicate  ClientCommunicate (pool, host choice, framing callbacks)
//   sdf-logoff   SDF_GenerateRandom(4), logging level 5 (nothing written)
//   sdf-debug    SDF_GenerateRandom(4), logging level 1 (every line written)
// and SDF_Encrypt SM4-CBC of 8 KiB, at 1, 2, 8 and 32 threads. The modes
// take turns in short rounds so that load from elsewhere on the machine
// falls on all of them alike. "cpu us/op" is the CPU time of this whole
// process (library threads included, the simulator not) per operation.
// Ends with "RESULT name value" lines.
//
//   client_bench [--seconds S (per mode, thread count and round; default 1)] [--rounds R (default 3)]
//                [--threads T (only this count)] [--pool N (library connections; default: as many as threads)]
//                [--modes raw,sdf_logoff,... (only these)]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <quorsdf.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/Client.h"
#include "client/Frame.h"
#include "support/QuorSimulator.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kRandomRequest("\x01\x02\x00\x00\x00\x04", 6);
constexpr size_t kEncryptSize = 8192;
constexpr unsigned kThreadCounts[] = {1, 2, 8, 32};

// ---- the raw baseline: frame, send, read the length, read the rest ----

class RawConnection {
 public:
  explicit RawConnection(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
    frame_ = std::string("\x00\x06", 2) + kRandomRequest;
  }
  ~RawConnection() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  bool ok() const { return fd_ >= 0; }

  bool RoundTrip() {
    if (::send(fd_, frame_.data(), frame_.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame_.size())) return false;
    unsigned char len[2];
    if (!ReadExact(len, 2)) return false;
    const size_t n = static_cast<size_t>(len[0]) << 8 | len[1];
    return n <= sizeof answer_ && ReadExact(answer_, n) && n >= 4 && answer_[2] == 0 && answer_[3] == 0;
  }

 private:
  bool ReadExact(unsigned char* p, size_t n) {
    while (n) {
      const ssize_t r = ::recv(fd_, p, n, 0);
      if (r <= 0) return false;
      p += r;
      n -= static_cast<size_t>(r);
    }
    return true;
  }
  int fd_ = -1;
  std::string frame_;
  unsigned char answer_[65536];
};

// ---- one measured run: T threads, each with its own state, for a while ----

struct Samples {
  std::vector<uint32_t> latencyNs;
  uint64_t errors = 0;
  double seconds = 0;     // summed over rounds
  double cpuSeconds = 0;  // this process's CPU time (all its threads) during the runs
  std::string unavailable;
};

// Per thread: setup() makes the thread's state and returns an operation
// (true on success), or throws std::runtime_error when the mode cannot run.
using Operation = std::function<bool()>;
using Setup = std::function<Operation()>;

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void RunOnce(const Setup& setup, unsigned threads, double seconds, Samples& into) {
  std::vector<std::vector<uint32_t>> lat(threads);
  std::vector<uint64_t> errors(threads, 0);
  std::vector<std::string> failure(threads);
  std::vector<Clock::time_point> ended(threads);
  std::atomic<unsigned> ready{0};
  std::atomic<bool> go{false};
  Clock::time_point start, deadline;
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t)
    pool.emplace_back([&, t] {
      Operation op;
      try {
        op = setup();
      } catch (const std::exception& e) {
        failure[t] = e.what();
      }
      ready.fetch_add(1);
      go.wait(false);
      if (!op) return;
      lat[t].reserve(1 << 16);
      for (;;) {
        const auto t0 = Clock::now();
        const bool ok = op();
        const auto t1 = Clock::now();
        if (ok)
          lat[t].push_back(
              static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count()));
        else
          ++errors[t];
        if (t1 >= deadline) {
          ended[t] = t1;
          return;
        }
      }
    });
  while (ready.load() < threads) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const double cpu0 = ProcessCpuSeconds();
  start = Clock::now();
  deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  go = true;
  go.notify_all();
  for (std::thread& th : pool) th.join();
  into.cpuSeconds += ProcessCpuSeconds() - cpu0;
  Clock::time_point last = start;
  for (unsigned t = 0; t < threads; ++t) {
    if (!failure[t].empty()) {
      into.unavailable = failure[t];
      continue;
    }
    last = std::max(last, ended[t]);
    into.latencyNs.insert(into.latencyNs.end(), lat[t].begin(), lat[t].end());
    into.errors += errors[t];
  }
  into.seconds += std::chrono::duration<double>(last - start).count();
}

double PercentileUs(const std::vector<uint32_t>& sorted, double p) {
  if (sorted.empty()) return 0;
  size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
  rank = std::min(sorted.size(), std::max<size_t>(rank, 1));
  return sorted[rank - 1] / 1000.0;
}

std::string DeviceConfigDir(const QuorTest::Simulator& sim, int logLevel, unsigned connections) {
  const std::string dir = QuorTest::MakeTempDir();
  QuorTest::HostEntry host = sim.Host();
  host.minConn = connections;
  host.maxConn = connections;
  QuorTest::ClientConfigOptions options;
  options.logLevel = logLevel;
  options.logPath = dir + "/quor.log";
  QuorTest::WriteClientConfig(dir, {host}, options);
  return dir;
}

std::string Describe(const char* path, const char* key) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// The library's side for one thread count: a client core with the SDF frame
// set for ClientCommunicate, and two devices, logging off and at debug. Each
// has minConn = maxConn = connections to the one simulator.
class Clients {
 public:
  Clients(const QuorTest::Simulator& sim, unsigned connections) {
    const std::string commDir = DeviceConfigDir(sim, 5, connections);
    dirs_.push_back(commDir);
    const int rc = ClientOpen((commDir + "/quorConfig.ini").c_str(), Quor::Base::FormatFrame, Quor::Base::ParseFrame,
                              Quor::Base::kFrameLengthSize, Quor::Base::ReadFrameLength, Quor::Base::IgnoreHostStatus,
                              Quor::Base::kHeartbeatRequest, sizeof Quor::Base::kHeartbeatRequest, nullptr,
                              Quor::Base::kHeartbeatAnswer, sizeof Quor::Base::kHeartbeatAnswer, &client);
    if (rc != 0) throw std::runtime_error(std::string("ClientOpen failed: ") + ClientErrorText(rc));
    for (SGD_HANDLE* device : {&logOff, &debug}) {
      dirs_.push_back(DeviceConfigDir(sim, device == &logOff ? 5 : 1, connections));
      Quor_SetCfgPath(dirs_.back().c_str());
      if (SDF_OpenDevice(device) != SDR_OK) throw std::runtime_error("SDF_OpenDevice failed");
    }
  }
  ~Clients() {
    if (debug) SDF_CloseDevice(debug);
    if (logOff) SDF_CloseDevice(logOff);
    if (client) ClientClose(client);
    for (const std::string& d : dirs_) {
      std::error_code ec;
      std::filesystem::remove_all(d, ec);
    }
  }
  Clients(const Clients&) = delete;
  Clients& operator=(const Clients&) = delete;

  ClientHandle* client = nullptr;
  SGD_HANDLE logOff = nullptr, debug = nullptr;

 private:
  std::vector<std::string> dirs_;
};

}  // namespace

int main(int argc, char** argv) {
  double seconds = 1;
  int rounds = 3;
  unsigned poolOption = 0;  // 0: as many connections as threads
  std::string onlyModes;    // ",raw,sdf_logoff,": only these (for profiling); empty: all
  std::vector<unsigned> threadCounts(std::begin(kThreadCounts), std::end(kThreadCounts));
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--pool") == 0) poolOption = static_cast<unsigned>(std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--threads") == 0) threadCounts = {static_cast<unsigned>(std::atoi(argv[i + 1]))};
    if (std::strcmp(argv[i], "--modes") == 0) onlyModes = std::string(",") + argv[i + 1] + ",";
  }
  if (seconds <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: client_bench [--seconds S] [--rounds R] [--threads T] [--pool N]\n");
    return 2;
  }

  utsname u{};
  uname(&u);
  std::printf("machine     %u CPUs, %s\n", std::thread::hardware_concurrency(),
              Describe("/proc/cpuinfo", "model name").c_str());
  std::printf("kernel      %s %s\n", u.sysname, u.release);
  std::printf("compiler    %s\n", __VERSION__);
  std::printf("load avg    %s (at start)\n", LoadAverage().c_str());
  std::printf("run         %d rounds of %.1f s per mode and thread count\n", rounds, seconds);
  if (poolOption)
    std::printf("pool        %u connections (minConn = maxConn) for the library's modes\n\n", poolOption);
  else
    std::printf("pool        as many connections as threads (minConn = maxConn), like the raw baseline\n\n");

  QuorTest::Simulator sim;

  struct Mode {
    std::string name;
    std::function<Setup(Clients&)> setup;
  };
  auto sessionOp = [](SGD_HANDLE device, std::function<Operation(SGD_HANDLE)> make) -> Setup {
    return [device, make]() -> Operation {
      SGD_HANDLE s = nullptr;
      if (SDF_OpenSession(device, &s) != SDR_OK) throw std::runtime_error("SDF_OpenSession failed");
      std::shared_ptr<void> session(s, [](void* h) { SDF_CloseSession(h); });
      Operation inner = make(s);
      return [session, inner] { return inner(); };
    };
  };
  auto randomOp = [](SGD_HANDLE s) -> Operation {
    return [s] {
      unsigned char out[4];
      return SDF_GenerateRandom(s, 4, out) == SDR_OK;
    };
  };
  auto encryptOp = [](SGD_HANDLE s) -> Operation {
    unsigned char key[16];
    if (SDF_GenerateRandom(s, sizeof key, key) != SDR_OK) throw std::runtime_error("SDF_GenerateRandom failed");
    SGD_HANDLE k = nullptr;
    const SGD_RV rv = SDF_ImportKey(s, key, sizeof key, &k);
    if (rv != SDR_OK) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "SDF_ImportKey returned 0x%08X", rv);
      throw std::runtime_error(buf);
    }
    auto data = std::make_shared<std::vector<unsigned char>>(2 * kEncryptSize + 16, 0x5A);
    return [s, k, data] {
      unsigned char* iv = data->data() + 2 * kEncryptSize;
      SGD_UINT32 outLen = 0;
      return SDF_Encrypt(s, k, SGD_SM4_CBC, iv, data->data(), kEncryptSize, data->data() + kEncryptSize, &outLen) ==
             SDR_OK;
    };
  };
  const std::vector<Mode> modes = {
      {"raw",
       [&sim](Clients&) -> Setup {
         return [&sim]() -> Operation {
           auto c = std::make_shared<RawConnection>(sim.port());
           if (!c->ok()) throw std::runtime_error("connect failed");
           return [c] { return c->RoundTrip(); };
         };
       }},
      {"communicate",
       [](Clients& c) -> Setup {
         ClientHandle* client = c.client;
         return [client]() -> Operation {
           return [client] {
             unsigned char answer[64];
             unsigned long len = sizeof answer;
             return ClientCommunicate(client, kRandomRequest.data(), kRandomRequest.size(), 0, answer, &len) == 0;
           };
         };
       }},
      {"sdf_logoff", [&](Clients& c) { return sessionOp(c.logOff, randomOp); }},
      {"sdf_debug", [&](Clients& c) { return sessionOp(c.debug, randomOp); }},
      {"sdf_encrypt_8k", [&](Clients& c) { return sessionOp(c.logOff, encryptOp); }},
  };

  std::map<std::pair<std::string, unsigned>, Samples> results;
  for (unsigned threads : threadCounts) {
    Clients clients(sim, poolOption ? poolOption : threads);
    std::vector<Setup> setups;
    for (const Mode& m : modes) setups.push_back(m.setup(clients));
    for (int r = 0; r < rounds; ++r)
      for (size_t i = 0; i < modes.size(); ++i) {
        Samples& s = results[{modes[i].name, threads}];
        if (!onlyModes.empty() && onlyModes.find("," + modes[i].name + ",") == std::string::npos)
          s.unavailable = "not selected";
        if (s.unavailable.empty()) RunOnce(setups[i], threads, seconds, s);
      }
  }

  std::printf("%-8s %-15s %11s %10s %10s %8s %13s %11s %11s\n", "threads", "mode", "ops/s", "p50 us", "p99 us",
              "errors", "ops/s vs raw", "p50 vs raw", "cpu us/op");
  std::vector<std::pair<std::string, double>> headline;
  for (unsigned threads : threadCounts) {
    Samples& raw = results[{"raw", threads}];
    std::sort(raw.latencyNs.begin(), raw.latencyNs.end());
    const double rawOps = raw.seconds > 0 ? static_cast<double>(raw.latencyNs.size()) / raw.seconds : 0;
    const double rawP50 = PercentileUs(raw.latencyNs, 50);
    for (const Mode& m : modes) {
      Samples& s = results[{m.name, threads}];
      if (!s.unavailable.empty()) {
        std::printf("%-8u %-15s not available: %s\n", threads, m.name.c_str(), s.unavailable.c_str());
        continue;
      }
      std::sort(s.latencyNs.begin(), s.latencyNs.end());
      const double ops = s.seconds > 0 ? static_cast<double>(s.latencyNs.size()) / s.seconds : 0;
      const double p50 = PercentileUs(s.latencyNs, 50);
      const bool comparable = m.name != "raw" && m.name != "sdf_encrypt_8k";
      char opsRatio[16] = "", p50Ratio[16] = "";
      if (comparable && rawOps > 0 && rawP50 > 0) {
        std::snprintf(opsRatio, sizeof opsRatio, "%.3f", ops / rawOps);
        std::snprintf(p50Ratio, sizeof p50Ratio, "%.3f", p50 / rawP50);
        const std::string suffix = "_" + std::to_string(threads) + "t";
        headline.emplace_back("throughput_ratio_" + m.name + suffix, ops / rawOps);
        headline.emplace_back("latency_ratio_" + m.name + suffix, p50 / rawP50);
      }
      const double cpuPerOp = s.latencyNs.empty() ? 0 : s.cpuSeconds * 1e6 / static_cast<double>(s.latencyNs.size());
      std::printf("%-8u %-15s %11.0f %10.1f %10.1f %8llu %13s %11s %11.1f\n", threads, m.name.c_str(), ops, p50,
                  PercentileUs(s.latencyNs, 99), static_cast<unsigned long long>(s.errors), opsRatio, p50Ratio,
                  cpuPerOp);
      if (m.name == "raw") {
        headline.emplace_back("raw_ops_per_s_" + std::to_string(threads) + "t", ops);
        headline.emplace_back("raw_p50_us_" + std::to_string(threads) + "t", p50);
      }
      if (m.name == "sdf_encrypt_8k") {
        headline.emplace_back("sdf_encrypt_8k_ops_per_s_" + std::to_string(threads) + "t", ops);
        headline.emplace_back("sdf_encrypt_8k_mb_per_s_" + std::to_string(threads) + "t", ops * kEncryptSize / 1e6);
      }
    }
  }
  std::printf("\nload avg    %s (at end)\n", LoadAverage().c_str());

  sim.Stop();
  for (const auto& [name, value] : headline) std::printf("RESULT %s %.3f\n", name.c_str(), value);
  return 0;
}
