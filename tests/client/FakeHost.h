// A scripted device host for tests: a loopback TCP server on a port the
// kernel picks, answering SDF frames on its own threads. It echoes request
// bodies, answers the heartbeat, and can be told to misbehave.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace QuorTest {

class FakeHost {
 public:
  enum class Mode {
    Echo,            // answer = request body
    CloseOnRequest,  // close the connection instead of answering
    Stall,           // read the request, never answer
    WrongHead,       // answer framed with a head that differs from msgHead
  };

  // head/tail: the msgHead/msgTail this host frames with.
  explicit FakeHost(std::string head = "", std::string tail = "");
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // Listens on 127.0.0.1; the first start picks the port, later ones reuse it.
  void Start();
  // Closes the listener and every connection; connects are then refused.
  void Stop();
  // Closes the accepted connections but keeps listening.
  void DropConnections();
  uint16_t Port() const { return port_; }

  // Applies to requests other than the heartbeat. Independently of the
  // mode, a request body beginning with "slow:" is answered after 500 ms.
  void SetMode(Mode mode) { mode_.store(mode); }
  void SetDelayMs(int ms) { delayMs_.store(ms); }
  // Whether the heartbeat is answered 01 03 00 00 (healthy) or 01 04 00 00.
  void SetHealthy(bool healthy) { healthy_.store(healthy); }
  // Heartbeats are read but never answered.
  void SetStallHeartbeats(bool stall) { stallHeartbeats_.store(stall); }

  int Requests() const { return requests_.load(); }    // non-heartbeat requests received
  int Heartbeats() const { return heartbeats_.load(); }
  int Accepted() const { return accepted_.load(); }

 private:
  void AcceptLoop(int listener);
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void Serve(int fd, Worker& self);
  void CloseConnections();

  const std::string head_;
  const std::string tail_;
  uint16_t port_ = 0;
  int listener_ = -1;
  std::thread acceptor_;
  std::atomic<bool> running_{false};
  std::mutex lock_;
  std::vector<int> fds_;
  std::list<Worker> workers_;  // finished ones are joined as new ones start
  std::atomic<Mode> mode_{Mode::Echo};
  std::atomic<int> delayMs_{0};
  std::atomic<bool> healthy_{true};
  std::atomic<bool> stallHeartbeats_{false};
  std::atomic<int> requests_{0};
  std::atomic<int> heartbeats_{0};
  std::atomic<int> accepted_{0};
};

// A loopback port with no server: connects are refused while it is closed,
// and never complete once Blackhole() has filled its listen queue (the kernel
// then drops further handshakes).
class ClosedPort {
 public:
  ClosedPort();
  ~ClosedPort();
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;
  uint16_t Port() const { return port_; }
  void Blackhole();

 private:
  int fd_ = -1;
  std::vector<int> fillers_;
  uint16_t port_ = 0;
};

// Brace-wrapped configuration text for a list of hosts on 127.0.0.1.
struct HostSpec {
  uint16_t port;
  std::string extra;  // more "key=value\n" lines for the section
};
std::string ConfigText(const std::vector<HostSpec>& hosts, const std::string& global = "",
                       const std::string& logger = "level=5\n");

}  // namespace QuorTest
