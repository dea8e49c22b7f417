#include "client/FakeHost.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace QuorTest {
namespace {

bool ReadAll(int fd, char* p, size_t n) {
  while (n > 0) {
    const ssize_t r = recv(fd, p, n, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool WriteAll(int fd, const std::string& s) {
  size_t at = 0;
  while (at < s.size()) {
    const ssize_t r = send(fd, s.data() + at, s.size() - at, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    at += static_cast<size_t>(r);
  }
  return true;
}

std::string Frame(const std::string& head, const std::string& body, const std::string& tail) {
  const size_t l = head.size() + body.size() + tail.size();
  std::string out;
  out.push_back(static_cast<char>(l >> 8));
  out.push_back(static_cast<char>(l & 0xFF));
  return out + head + body + tail;
}

uint16_t BoundPort(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

int BindLoopback(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    throw std::runtime_error(std::string("bind: ") + std::strerror(errno));
  }
  return fd;
}

// Holds the connection, answering nothing, until it is shut down.
void Drain(int fd) {
  char b;
  while (recv(fd, &b, 1, 0) > 0) {
  }
}

const std::string kHeartbeat("\x01\x02\x00\x00\x00\x04", 6);

}  // namespace

FakeHost::FakeHost(std::string head, std::string tail) : head_(std::move(head)), tail_(std::move(tail)) { Start(); }

FakeHost::~FakeHost() { Stop(); }

void FakeHost::Start() {
  if (running_.load()) return;
  listener_ = BindLoopback(port_);
  if (listen(listener_, 64) != 0) throw std::runtime_error("listen");
  port_ = BoundPort(listener_);
  running_.store(true);
  acceptor_ = std::thread([this, fd = listener_] { AcceptLoop(fd); });
}

void FakeHost::Stop() {
  if (!running_.exchange(false)) return;
  shutdown(listener_, SHUT_RDWR);
  acceptor_.join();
  close(listener_);
  listener_ = -1;
  CloseConnections();
}

void FakeHost::DropConnections() { CloseConnections(); }

void FakeHost::CloseConnections() {
  std::list<Worker> workers;
  {
    std::lock_guard lk(lock_);
    for (int fd : fds_) shutdown(fd, SHUT_RDWR);
    workers.splice(workers.end(), workers_);
  }
  for (Worker& w : workers) w.thread.join();
}

void FakeHost::AcceptLoop(int listener) {
  for (;;) {
    const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // shut down
    }
    accepted_.fetch_add(1);
    std::list<Worker> finished;
    std::lock_guard lk(lock_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      auto next = std::next(it);
      if (it->done.load()) finished.splice(finished.end(), workers_, it);
      it = next;
    }
    for (Worker& w : finished) w.thread.join();
    fds_.push_back(fd);
    Worker& w = workers_.emplace_back();
    w.thread = std::thread([this, fd, &w] { Serve(fd, w); });
  }
}

void FakeHost::Serve(int fd, Worker& self) {
  for (;;) {
    char len[2];
    if (!ReadAll(fd, len, 2)) break;
    const size_t l = (static_cast<size_t>(static_cast<unsigned char>(len[0])) << 8) | static_cast<unsigned char>(len[1]);
    std::string frame(l, '\0');
    if (!ReadAll(fd, frame.data(), l)) break;
    // A request framed without our head and tail is a client fault: hang up.
    if (l < head_.size() + tail_.size() || frame.compare(0, head_.size(), head_) != 0 ||
        frame.compare(l - tail_.size(), tail_.size(), tail_) != 0) {
      break;
    }
    const std::string body = frame.substr(head_.size(), l - head_.size() - tail_.size());
    std::string answer;
    const Mode mode = mode_.load();
    if (body == kHeartbeat) {
      heartbeats_.fetch_add(1);
      if (stallHeartbeats_.load()) {
        Drain(fd);
        break;
      }
      answer = Frame(head_, std::string(healthy_.load() ? "\x01\x03" : "\x01\x04", 2) + std::string("\0\0RAND", 6), tail_);
    } else {
      requests_.fetch_add(1);
      if (mode == Mode::CloseOnRequest) break;
      if (mode == Mode::Stall) {
        Drain(fd);
        break;
      }
      if (const int ms = delayMs_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      if (body.rfind("slow:", 0) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
      std::string head = head_;
      if (mode == Mode::WrongHead) head = head.empty() ? std::string("\xEE", 1) : std::string(head.size(), '\xEE');
      answer = Frame(head, body, tail_);
    }
    if (!WriteAll(fd, answer)) break;
  }
  std::lock_guard lk(lock_);
  for (auto it = fds_.begin(); it != fds_.end(); ++it) {
    if (*it == fd) {
      fds_.erase(it);
      break;
    }
  }
  close(fd);
  self.done.store(true);
}

ClosedPort::ClosedPort() : fd_(BindLoopback(0)), port_(BoundPort(fd_)) {}

void ClosedPort::Blackhole() {
  listen(fd_, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port_);
  for (int i = 0; i < 4; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers_.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

ClosedPort::~ClosedPort() {
  for (int fd : fillers_) close(fd);
  close(fd_);
}

std::string ConfigText(const std::vector<HostSpec>& hosts, const std::string& global, const std::string& logger) {
  std::string text = "{\n[Logger]\n" + logger;
  if (!global.empty()) text += "[Global]\n" + global;
  for (size_t i = 0; i < hosts.size(); ++i) {
    text += "[Host " + std::to_string(i + 1) + "]\nmodel=fake\nip=127.0.0.1\nport=" +
            std::to_string(hosts[i].port) + "\n" + hosts[i].extra;
  }
  return text + "}";
}

}  // namespace QuorTest
