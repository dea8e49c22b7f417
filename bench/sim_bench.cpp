// quorsim against a trivial framed echo server, side by side in one run:
// 8 kept-open loopback connections each, heartbeat-size commands.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/QuorSimulator.h"

namespace {

constexpr int kConnections = 8;

// Echoes every frame back unchanged, one thread per connection.
class EchoServer {
 public:
  EchoServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 64);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~EchoServer() {
    ::shutdown(fd_, SHUT_RDWR);
    acceptor_.join();
    {
      std::lock_guard<std::mutex> lock(mu_);
      for (int c : conns_) ::shutdown(c, SHUT_RDWR);
    }
    for (auto& t : workers_) t.join();
    for (int c : conns_) ::close(c);
    ::close(fd_);
  }
  uint16_t port() const { return port_; }

 private:
  void Accept() {
    for (;;) {
      const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) return;
      const int one = 1;
      ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      std::lock_guard<std::mutex> lock(mu_);
      conns_.push_back(c);
      workers_.emplace_back([c] { Serve(c); });
    }
  }
  static void Serve(int fd) {
    std::string buf(65537 * 2, '\0');
    size_t have = 0;
    for (;;) {
      const ssize_t n = ::recv(fd, buf.data() + have, buf.size() - have, 0);
      if (n <= 0) return;
      have += static_cast<size_t>(n);
      size_t used = 0;
      while (have - used >= 2) {
        const size_t len = 2 + (static_cast<unsigned char>(buf[used]) << 8 | static_cast<unsigned char>(buf[used + 1]));
        if (have - used < len) break;
        if (::send(fd, buf.data() + used, len, MSG_NOSIGNAL) != static_cast<ssize_t>(len)) return;
        used += len;
      }
      std::memmove(buf.data(), buf.data() + used, have - used);
      have -= used;
    }
  }
  int fd_ = -1;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::mutex mu_;
  std::vector<int> conns_;
  std::vector<std::thread> workers_;
};

uint16_t g_ports[2];  // [0] echo, [1] quorsim

int Dial(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// One thread, one kept-open connection, heartbeats back to back.
void Roundtrips(benchmark::State& state, int target) {
  const int fd = Dial(g_ports[target]);
  if (fd < 0) {
    state.SkipWithError("cannot connect");
    return;
  }
  static const char kHeartbeat[] = {0, 6, 1, 2, 0, 0, 0, 4};
  char buf[256];
  for (auto _ : state) {
    if (::send(fd, kHeartbeat, sizeof kHeartbeat, MSG_NOSIGNAL) != sizeof kHeartbeat) {
      state.SkipWithError("send failed");
      break;
    }
    size_t have = 0, need = 2;
    while (have < need) {
      const ssize_t n = ::recv(fd, buf + have, sizeof buf - have, 0);
      if (n <= 0) break;
      have += static_cast<size_t>(n);
      if (have >= 2) need = 2 + (static_cast<unsigned char>(buf[0]) << 8 | static_cast<unsigned char>(buf[1]));
    }
    if (have < need) {
      state.SkipWithError("connection lost");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  ::close(fd);
}

BENCHMARK_CAPTURE(Roundtrips, echo, 0)->Threads(kConnections)->UseRealTime()->MinTime(1.0);
BENCHMARK_CAPTURE(Roundtrips, quorsim, 1)->Threads(kConnections)->UseRealTime()->MinTime(1.0);

// Keeps each benchmark's rate for the closing comparison.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // The median of the repetitions where there are several, else the single run.
    for (const auto& r : runs) {
      auto it = r.counters.find("items_per_second");
      if (it == r.counters.end()) continue;
      const std::string name = r.run_name.str();
      if (r.run_type == Run::RT_Aggregate) {
        if (r.aggregate_name == "median") medians[name] = it->second.value;
      } else {
        rates[name] = it->second.value;
      }
    }
  }
  std::map<std::string, double> rates, medians;
};

// The echo server runs in a child process, as quorsim does, so that both
// pay the same cost of switching between processes.
pid_t StartEchoProcess(uint16_t* port) {
  int p[2];
  if (::pipe(p) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(p[0]);
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);
    {
      EchoServer echo;
      const uint16_t port = echo.port();
      [[maybe_unused]] auto n = ::write(p[1], &port, sizeof port);
      ::close(p[1]);
      int sig = 0;
      sigwait(&sigs, &sig);
    }
    ::_exit(0);
  }
  ::close(p[1]);
  const bool ok = ::read(p[0], port, sizeof *port) == sizeof *port;
  ::close(p[0]);
  return ok ? pid : -1;
}

}  // namespace

int main(int argc, char** argv) {
  // Unless told otherwise, run each side five times, interleaved, so that the
  // load of a shared machine falls on both alike; the medians are compared.
  std::vector<char*> args(argv, argv + argc);
  std::string reps = "--benchmark_repetitions=5", mix = "--benchmark_enable_random_interleaving=true";
  bool given = false;
  for (int i = 1; i < argc; ++i) given = given || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
  if (!given) {
    args.push_back(reps.data());
    args.push_back(mix.data());
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  uint16_t echoPort = 0;
  const pid_t echo = StartEchoProcess(&echoPort);
  if (echo < 0) {
    std::fprintf(stderr, "cannot start the echo server\n");
    return 1;
  }
  int rc = 0;
  {
    QuorTest::Simulator sim;
    g_ports[0] = echoPort;
    g_ports[1] = sim.port();
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double e = 0, q = 0;
    for (const auto& [name, rate] : reporter.medians.empty() ? reporter.rates : reporter.medians) {
      if (name.find("echo") != std::string::npos) e = rate;
      if (name.find("quorsim") != std::string::npos) q = rate;
    }
    if (e > 0 && q > 0) {
      std::printf("\necho %.0f/s, quorsim %.0f/s over %d connections (medians): ratio %.2f (goal >= 0.50)\n", e, q,
                  kConnections, q / e);
    } else {
      rc = 1;
    }
  }
  ::kill(echo, SIGTERM);
  ::waitpid(echo, nullptr, 0);
  benchmark::Shutdown();
  return rc;
}
