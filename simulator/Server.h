// The network side of quorsim: framed request/answer connections, one
// thread each, and a line-based control channel for fault injection and
// request inspection.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simulator/Device.h"

namespace QuorSim {

struct Endpoint {
  std::string host;
  uint16_t port = 0;
};

struct ServerOptions {
  Endpoint listen;
  Endpoint control;  // control channel; port 0 picks a free one
  std::string head;  // msgHead bytes
  std::string tail;  // msgTail bytes
};

// Faults switched through the control channel.
struct Faults {
  bool active() const {
    return closeAfter >= 0 || stall || delayMs > 0 || !forced.empty() || answerHead || answerTail ||
           frame != Frame::Normal;
  }
  enum class Frame { Normal, Truncate, Overlong };
  int64_t closeAfter = -1;  // answers per connection before it is closed; -1 off
  uint64_t closeEpoch = 0;  // connections count answers from the latest setting
  bool stall = false;
  int64_t delayMs = 0;
  std::map<uint16_t, uint16_t> forced;  // command code -> device code
  std::optional<std::string> answerHead, answerTail;
  Frame frame = Frame::Normal;
};

class Server {
 public:
  Server(Device& device, ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds both sockets and starts the accepting threads.
  bool Start(std::string* err);
  uint16_t port() const { return port_; }
  uint16_t controlPort() const { return controlPort_; }
  // Closes everything and joins every thread.
  void Stop();

 private:
  struct Conn;
  void AcceptLoop();
  void ControlAcceptLoop();
  void Serve(Conn* c);
  void ServeControl(int fd);
  std::string ControlCommand(const std::string& line);
  bool SendAnswer(int fd, std::string_view body, const Faults& f);
  bool WaitFor(std::chrono::milliseconds d);  // false when stopping
  void Reap(bool all);
  bool Relisten(std::string* err);

  Device& device_;
  ServerOptions opt_;
  uint16_t port_ = 0, controlPort_ = 0;
  int listenFd_ = -1, controlFd_ = -1;
  int stop_[2] = {-1, -1};  // readable once stopping: wakes every poll
  int kick_[2] = {-1, -1};  // tells the acceptor to look at refuse_
  std::mutex listenMu_;
  std::condition_variable listenCv_;
  bool listening_ = false;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_, controlAcceptor_;

  std::mutex connMu_;
  std::map<uint64_t, std::unique_ptr<Conn>> conns_;
  std::vector<std::unique_ptr<Conn>> controlConns_;
  uint64_t nextConn_ = 0;

  // Faults: the flag lets the request path skip the lock while none is set.
  std::atomic<bool> faultsOn_{false};
  std::atomic<bool> refuse_{false};
  std::mutex faultMu_;
  std::condition_variable faultCv_;
  Faults faults_;

  std::mutex recordMu_;
  std::deque<std::string> record_;
  size_t recordMax_ = 100;
  std::atomic<uint64_t> answers_{0};
};

}  // namespace QuorSim
