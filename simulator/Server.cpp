// One thread per connection with blocking sockets: a slow command or an
// injected delay holds up only its own connection.
#include "simulator/Server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "common/Bytes.h"
#include "common/Hex.h"
#include "common/Text.h"

namespace QuorSim {

struct Server::Conn {
  int fd = -1;
  std::thread thread;
  std::atomic<bool> done{false};
  uint64_t epoch = 0;     // closeEpoch the count below belongs to
  int64_t answered = 0;  // answers since that epoch
  ~Conn() {
    if (thread.joinable()) thread.join();
    if (fd >= 0) ::close(fd);
  }
};

namespace {

bool SendAll(int fd, std::string_view s) {
  while (!s.empty()) {
    const ssize_t n = ::send(fd, s.data(), s.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    s.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

int OpenListener(const Endpoint& ep, uint16_t* boundPort, std::string* err) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* res = nullptr;
  const std::string port = std::to_string(ep.port);
  const int gai = ::getaddrinfo(ep.host.empty() ? nullptr : ep.host.c_str(), port.c_str(), &hints, &res);
  if (gai != 0) {
    *err = "cannot resolve " + ep.host + ": " + ::gai_strerror(gai);
    return -1;
  }
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(res, ::freeaddrinfo);
  for (addrinfo* a = res; a; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 1024) == 0) {
      sockaddr_storage ss{};
      socklen_t len = sizeof ss;
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
      *boundPort = ntohs(ss.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
      return fd;
    }
    *err = "cannot listen on " + ep.host + ":" + port + ": " + std::strerror(errno);
    ::close(fd);
  }
  if (err->empty()) *err = "cannot listen on " + ep.host + ":" + port;
  return -1;
}

// Waits for fd to become readable or for the stop pipe; false on stop.
bool WaitReadable(int fd, int stopFd) {
  pollfd p[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
  for (;;) {
    const int n = ::poll(p, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (p[1].revents) return false;
    if (p[0].revents) return true;
  }
}

}  // namespace

Server::Server(Device& device, ServerOptions options) : device_(device), opt_(std::move(options)) {}

Server::~Server() {
  Stop();
  for (int fd : {listenFd_, controlFd_, stop_[0], stop_[1], kick_[0], kick_[1]})
    if (fd >= 0) ::close(fd);
}

bool Server::Start(std::string* err) {
  if (::pipe2(stop_, O_CLOEXEC) != 0 || ::pipe2(kick_, O_CLOEXEC | O_NONBLOCK) != 0) {
    *err = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  listenFd_ = OpenListener(opt_.listen, &port_, err);
  if (listenFd_ < 0) return false;
  opt_.listen.port = port_;  // a later re-listen after "refuse off" uses the same port
  controlFd_ = OpenListener(opt_.control, &controlPort_, err);
  if (controlFd_ < 0) return false;
  listening_ = true;
  acceptor_ = std::thread([this] { AcceptLoop(); });
  controlAcceptor_ = std::thread([this] { ControlAcceptLoop(); });
  return true;
}

void Server::Stop() {
  if (stopping_.exchange(true)) return;
  if (stop_[1] >= 0) {
    const char c = 's';
    [[maybe_unused]] auto n = ::write(stop_[1], &c, 1);
  }
  {
    std::lock_guard<std::mutex> lock(faultMu_);
  }
  faultCv_.notify_all();
  {
    std::lock_guard<std::mutex> lock(listenMu_);
  }
  listenCv_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  if (controlAcceptor_.joinable()) controlAcceptor_.join();
  {
    // Wake connection threads blocked in recv; they then end by themselves.
    std::lock_guard<std::mutex> lock(connMu_);
    for (auto& [id, c] : conns_) ::shutdown(c->fd, SHUT_RDWR);
    for (auto& c : controlConns_) ::shutdown(c->fd, SHUT_RDWR);
  }
  Reap(true);
}

void Server::Reap(bool all) {
  std::vector<std::unique_ptr<Conn>> finished;
  {
    std::lock_guard<std::mutex> lock(connMu_);
    for (auto it = conns_.begin(); it != conns_.end();) {
      if (all || it->second->done) {
        finished.push_back(std::move(it->second));
        it = conns_.erase(it);
      } else {
        ++it;
      }
    }
    if (all) {
      for (auto& c : controlConns_) finished.push_back(std::move(c));
      controlConns_.clear();
    }
  }
  finished.clear();  // joins outside the lock
}

bool Server::Relisten(std::string* err) {
  uint16_t port = 0;  // the same port as before: opt_.listen holds it; port_ is read by other threads
  listenFd_ = OpenListener(opt_.listen, &port, err);
  return listenFd_ >= 0;
}

void Server::AcceptLoop() {
  for (;;) {
    pollfd p[3] = {{stop_[0], POLLIN, 0}, {kick_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
    const int n = ::poll(p, listenFd_ >= 0 ? 3 : 2, 1000);
    if (stopping_) return;
    if (n < 0 && errno != EINTR) return;
    if (p[1].revents) {
      char buf[64];
      while (::read(kick_[0], buf, sizeof buf) > 0) {
      }
      const bool refuse = refuse_.load();
      if (refuse && listenFd_ >= 0) {
        // Closing the socket makes connection attempts fail, as with a host that is down.
        ::close(listenFd_);
        listenFd_ = -1;
      } else if (!refuse && listenFd_ < 0) {
        std::string err;
        if (!Relisten(&err)) std::fprintf(stderr, "quorsim: %s\n", err.c_str());
      }
      {
        std::lock_guard<std::mutex> lock(listenMu_);
        listening_ = listenFd_ >= 0;
      }
      listenCv_.notify_all();
      continue;
    }
    Reap(false);
    if (listenFd_ < 0 || !(p[2].revents & POLLIN)) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_unique<Conn>();
    c->fd = fd;
    Conn* raw = c.get();
    std::lock_guard<std::mutex> lock(connMu_);
    conns_[nextConn_++] = std::move(c);
    raw->thread = std::thread([this, raw] { Serve(raw); });
  }
}

bool Server::WaitFor(std::chrono::milliseconds d) {
  std::unique_lock<std::mutex> lock(faultMu_);
  return !faultCv_.wait_for(lock, d, [this] { return stopping_.load(); });
}

bool Server::SendAnswer(int fd, std::string_view body, const Faults& f) {
  const std::string& head = f.answerHead ? *f.answerHead : opt_.head;
  const std::string& tail = f.answerTail ? *f.answerTail : opt_.tail;
  std::string padded;
  if (f.frame == Faults::Frame::Overlong) {
    // The longest frame there is: far more than any client's answer buffer.
    padded.assign(body);
    padded.resize(65535 - std::min<size_t>(65535, head.size() + tail.size()), '\0');
    body = padded;
  }
  const size_t len = head.size() + body.size() + tail.size();
  if (len > 65535) return false;
  std::string frame;
  frame.reserve(len + 2);
  Quor::PutU16(frame, static_cast<uint16_t>(len));
  frame += head;
  frame += body;
  frame += tail;
  if (f.frame == Faults::Frame::Truncate) {
    // The length promises the whole frame; half of it arrives and the connection ends.
    SendAll(fd, std::string_view(frame).substr(0, frame.size() / 2));
    return false;
  }
  return SendAll(fd, frame);
}

void Server::Serve(Conn* c) {
  const int fd = c->fd;
  const size_t headLen = opt_.head.size(), tailLen = opt_.tail.size();
  std::string buf(2 * (65535 + 2), '\0');
  size_t begin = 0, end = 0;
  static const Faults kNoFaults;
  for (;;) {
    // Gather one whole frame in the buffer.
    size_t need = 2;
    bool ok = true;
    for (;;) {
      if (end - begin >= 2) need = 2 + Quor::GetU16(buf.data() + begin);
      if (end - begin >= need) break;
      if (buf.size() - begin < need) {
        std::memmove(buf.data(), buf.data() + begin, end - begin);
        end -= begin;
        begin = 0;
      }
      const ssize_t n = ::recv(fd, buf.data() + end, buf.size() - end, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      end += static_cast<size_t>(n);
    }
    if (!ok || stopping_) break;
    const std::string_view frame(buf.data() + begin + 2, need - 2);
    begin += need;
    if (begin == end) begin = end = 0;
    // A frame without a body, or with the wrong head or tail, cannot be read: close.
    if (frame.size() <= headLen + tailLen || frame.substr(0, headLen) != opt_.head ||
        frame.substr(frame.size() - tailLen) != opt_.tail)
      break;
    const std::string_view body = frame.substr(headLen, frame.size() - headLen - tailLen);
    {
      std::lock_guard<std::mutex> lock(recordMu_);
      if (recordMax_ > 0) {
        if (record_.size() >= recordMax_) record_.pop_front();
        record_.emplace_back(body);
      }
    }
    Faults local;
    const Faults* f = &kNoFaults;
    if (faultsOn_.load(std::memory_order_acquire)) {
      std::unique_lock<std::mutex> lock(faultMu_);
      if (faults_.stall) {
        // Never answered: wait until the stall is lifted (or we stop), then drop the connection.
        faultCv_.wait(lock, [this] { return !faults_.stall || stopping_.load(); });
        break;
      }
      local = faults_;
      f = &local;
    }
    if (f->closeAfter >= 0) {
      if (c->epoch != f->closeEpoch) {
        c->epoch = f->closeEpoch;
        c->answered = 0;
      }
      if (c->answered >= f->closeAfter) break;
    }
    if (f->delayMs > 0 && !WaitFor(std::chrono::milliseconds(f->delayMs))) break;
    std::string answer;
    const uint16_t cmd = body.size() >= 2 ? Quor::GetU16(body.data()) : 0;
    if (auto it = f->forced.find(cmd); it != f->forced.end()) {
      answer = Device::AnswerHeader(body, it->second);
    } else {
      answer = device_.Handle(body);
    }
    if (!SendAnswer(fd, answer, *f)) break;
    answers_.fetch_add(1, std::memory_order_relaxed);
    ++c->answered;
    if (f->closeAfter >= 0 && c->answered >= f->closeAfter) break;
  }
  ::shutdown(fd, SHUT_RDWR);
  c->done = true;
}

void Server::ControlAcceptLoop() {
  for (;;) {
    if (!WaitReadable(controlFd_, stop_[0])) return;
    const int fd = ::accept4(controlFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    auto c = std::make_unique<Conn>();
    c->fd = fd;
    Conn* raw = c.get();
    std::lock_guard<std::mutex> lock(connMu_);
    controlConns_.push_back(std::move(c));
    raw->thread = std::thread([this, fd] { ServeControl(fd); });
  }
}

void Server::ServeControl(int fd) {
  std::string pending;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || stopping_) break;
    pending.append(buf, static_cast<size_t>(n));
    if (pending.size() > 65536) break;
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
      const std::string line = Quor::Trim(std::string_view(pending).substr(0, nl));
      pending.erase(0, nl + 1);
      if (!SendAll(fd, ControlCommand(line))) return;
    }
  }
  ::shutdown(fd, SHUT_RDWR);
}

// Replies are zero or more data lines and then "ok" or "error <reason>".
std::string Server::ControlCommand(const std::string& line) {
  std::istringstream in(line);
  std::string cmd, a, b;
  in >> cmd >> a >> b;
  auto number = [](const std::string& s, int64_t* v) {
    if (s.empty() || s.size() > 12 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    *v = std::stoll(s);
    return true;
  };
  auto onOff = [](const std::string& s, bool* v) {
    if (s == "on") return *v = true, true;
    if (s == "off") return *v = false, true;
    return false;
  };
  auto hexOrNone = [](const std::string& s) -> std::optional<std::string> {
    if (s == "none") return std::string();
    return Quor::HexDecodeStrict(s);
  };
  std::string reply;
  {
    std::unique_lock<std::mutex> lock(faultMu_);
    Faults& f = faults_;
    int64_t v = 0;
    bool flag = false;
    if (cmd == "ping") {
    } else if (cmd == "close-after") {
      if (a == "off") {
        f.closeAfter = -1;
      } else if (number(a, &v)) {
        f.closeAfter = v;
        f.closeEpoch++;
      } else {
        return "error usage: close-after N|off\n";
      }
    } else if (cmd == "stall") {
      if (!onOff(a, &flag)) return "error usage: stall on|off\n";
      f.stall = flag;
    } else if (cmd == "delay") {
      if (!number(a, &v)) return "error usage: delay MS\n";
      f.delayMs = v;
    } else if (cmd == "answer") {
      const auto code = Quor::HexDecodeStrict(a);
      if (!code || code->size() != 2) return "error usage: answer CMDHEX CODE|off\n";
      const uint16_t c = Quor::GetU16(code->data());
      if (b == "off") {
        f.forced.erase(c);
      } else if (number(b, &v) && v <= 65535) {
        f.forced[c] = static_cast<uint16_t>(v);
      } else {
        return "error usage: answer CMDHEX CODE|off\n";
      }
    } else if (cmd == "answer-head" || cmd == "answer-tail") {
      auto bytes = hexOrNone(a);
      if (!bytes || bytes->size() > 1024) return "error usage: " + cmd + " HEX|none\n";
      (cmd == "answer-head" ? f.answerHead : f.answerTail) = std::move(*bytes);
    } else if (cmd == "frame") {
      if (a == "normal") {
        f.frame = Faults::Frame::Normal;
      } else if (a == "truncate") {
        f.frame = Faults::Frame::Truncate;
      } else if (a == "overlong") {
        f.frame = Faults::Frame::Overlong;
      } else {
        return "error usage: frame normal|truncate|overlong\n";
      }
    } else if (cmd == "refuse") {
      if (!onOff(a, &flag)) return "error usage: refuse on|off\n";
      refuse_ = flag;
    } else if (cmd == "clear") {
      const uint64_t epoch = f.closeEpoch;
      f = Faults{};
      f.closeEpoch = epoch;
      refuse_ = false;
    } else if (cmd == "record") {
      if (!number(a, &v) || v > 1000) return "error usage: record N (0 to 1000)\n";
      std::lock_guard<std::mutex> rl(recordMu_);
      recordMax_ = static_cast<size_t>(v);
      while (record_.size() > recordMax_) record_.pop_front();
    } else if (cmd == "requests") {
      std::lock_guard<std::mutex> rl(recordMu_);
      for (const auto& r : record_)
        reply += Quor::HexEncode(std::string_view(r).substr(0, 2)) + " " + Quor::HexEncode(r) + "\n";
    } else if (cmd == "forget") {
      std::lock_guard<std::mutex> rl(recordMu_);
      record_.clear();
    } else if (cmd == "stats") {
      std::lock_guard<std::mutex> cl(connMu_);
      size_t open = 0;
      for (const auto& [id, c] : conns_) open += c->done ? 0 : 1;
      reply += "connections " + std::to_string(open) + "\nanswers " + std::to_string(answers_.load()) + "\n";
    } else {
      return "error unknown command\n";
    }
    faultsOn_.store(f.active(), std::memory_order_release);
  }
  faultCv_.notify_all();
  if (cmd == "refuse" || cmd == "clear") {
    // Reply only once the listening socket is in the state asked for.
    const char k = 'k';
    [[maybe_unused]] auto n = ::write(kick_[1], &k, 1);
    std::unique_lock<std::mutex> lock(listenMu_);
    const bool want = !refuse_.load();
    if (!listenCv_.wait_for(lock, std::chrono::seconds(5), [&] { return listening_ == want || stopping_; }))
      return "error listening socket did not follow\n";
  }
  return reply + "ok\n";
}

}  // namespace QuorSim
