// Starting, driving and stopping quorsim from tests.
#include "support/QuorSimulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace QuorTest {
namespace {

using Clock = std::chrono::steady_clock;

int ConnectLoopback(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

bool WaitIn(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    const int n = ::poll(&p, 1, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

// Reads one '\n'-terminated line from fd (one byte at a time: the rest belongs to others).
bool ReadLine(int fd, std::string* line, int timeoutMs) {
  line->clear();
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !WaitIn(fd, static_cast<int>(left))) return false;
    char c;
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (c == '\n') return true;
    line->push_back(c);
  }
}

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

uint16_t PortOf(const std::string& line, const std::string& prefix) {
  if (line.rfind(prefix + " ", 0) != 0) throw std::runtime_error("quorsim printed '" + line + "'");
  return static_cast<uint16_t>(std::stoul(line.substr(line.rfind(':') + 1)));
}

}  // namespace

std::string MakeTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/quorsim-XXXXXX";
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  return tmpl;
}

// ---- FramedClient ----

FramedClient::FramedClient(uint16_t port, std::string head, std::string tail)
    : fd_(ConnectLoopback(port)), head_(std::move(head)), tail_(std::move(tail)) {}

FramedClient::~FramedClient() { Close(); }

FramedClient::FramedClient(FramedClient&& o) noexcept
    : fd_(o.fd_), head_(std::move(o.head_)), tail_(std::move(o.tail_)) {
  o.fd_ = -1;
}

void FramedClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FramedClient::SendRaw(std::string_view bytes) {
  if (fd_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool FramedClient::Send(std::string_view body) {
  const size_t len = head_.size() + body.size() + tail_.size();
  if (len > 65535) return false;
  std::string frame;
  frame.push_back(static_cast<char>(len >> 8));
  frame.push_back(static_cast<char>(len));
  frame += head_;
  frame += body;
  frame += tail_;
  return SendRaw(frame);
}

bool FramedClient::ReadExact(char* p, size_t n, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (n > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !WaitIn(fd_, static_cast<int>(left))) return false;
    const ssize_t got = ::recv(fd_, p, n, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

std::optional<std::string> FramedClient::ReceiveFrame(int timeoutMs) {
  if (fd_ < 0) return std::nullopt;
  unsigned char len[2];
  if (!ReadExact(reinterpret_cast<char*>(len), 2, timeoutMs)) return std::nullopt;
  std::string frame(static_cast<size_t>(len[0] << 8 | len[1]), '\0');
  if (!ReadExact(frame.data(), frame.size(), timeoutMs)) return std::nullopt;
  return frame;
}

std::optional<std::string> FramedClient::Receive(int timeoutMs) {
  auto frame = ReceiveFrame(timeoutMs);
  if (!frame || frame->size() < head_.size() + tail_.size()) return std::nullopt;
  if (frame->compare(0, head_.size(), head_) != 0 ||
      frame->compare(frame->size() - tail_.size(), tail_.size(), tail_) != 0)
    return std::nullopt;
  return frame->substr(head_.size(), frame->size() - head_.size() - tail_.size());
}

std::optional<std::string> FramedClient::Exchange(std::string_view body, int timeoutMs) {
  if (!Send(body)) return std::nullopt;
  return Receive(timeoutMs);
}

bool FramedClient::PeerClosed(int timeoutMs) {
  if (fd_ < 0) return true;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buf[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !WaitIn(fd_, static_cast<int>(left))) return false;
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
  }
}

// ---- Simulator ----

std::string Simulator::Binary() {
  if (const char* p = std::getenv("QUORSIM"); p && *p) return p;
  return QUORSIM_PATH;
}

int Simulator::Run(const std::vector<std::string>& args, std::string* out, std::string* err) {
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&fa, errPipe[1], 2);
  std::vector<std::string> all{Binary()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  std::string o, e;
  if (rc == 0) {
    // Drain both pipes until the child closes them.
    pollfd p[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buf[4096];
    while (open > 0) {
      if (::poll(p, 2, -1) < 0 && errno != EINTR) break;
      for (int i = 0; i < 2; ++i) {
        if (p[i].fd < 0 || !p[i].revents) continue;
        const ssize_t n = ::read(p[i].fd, buf, sizeof buf);
        if (n > 0) {
          (i == 0 ? o : e).append(buf, static_cast<size_t>(n));
        } else {
          p[i].fd = -1;
          --open;
        }
      }
    }
  }
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  if (rc != 0) throw std::runtime_error("cannot start " + Binary());
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (out) *out = o;
  if (err) *err = e;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void Simulator::Provision(const std::string& store, const std::vector<SimKey>& keys) {
  std::string err;
  if (Run({"init", "--store", store}, nullptr, &err) != 0) throw std::runtime_error("quorsim init: " + err);
  for (const auto& k : keys) {
    std::vector<std::string> args{"key", "add", "--store", store, "--slot", std::to_string(k.slot)};
    if (!k.type.empty()) args.insert(args.end(), {"--type", k.type});
    if (!k.hex.empty()) args.insert(args.end(), {"--hex", k.hex});
    if (!k.label.empty()) args.insert(args.end(), {"--label", k.label});
    if (!k.password.empty()) args.insert(args.end(), {"--password", k.password});
    if (Run(args, nullptr, &err) != 0) throw std::runtime_error("quorsim key add: " + err);
  }
}

Simulator::Simulator(SimulatorOptions options) : opt_(std::move(options)) {
  if (opt_.store.empty()) {
    tempDir_ = MakeTempDir();
    store_ = tempDir_ + "/store";
    Provision(store_, opt_.keys);
  } else {
    store_ = opt_.store;
  }
  std::vector<std::string> args{Binary(), "serve", "--store", store_, "--listen", "127.0.0.1:0", "--exit-with-parent", "yes"};
  if (!opt_.msgHead.empty()) args.insert(args.end(), {"--msg-head", opt_.msgHead});
  if (!opt_.msgTail.empty()) args.insert(args.end(), {"--msg-tail", opt_.msgTail});
  int outPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(outPipe[1]);
  stdoutFd_ = outPipe[0];
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + args[0]);
  }
  std::string l1, l2;
  try {
    if (!ReadLine(stdoutFd_, &l1, 20000) || !ReadLine(stdoutFd_, &l2, 5000))
      throw std::runtime_error("quorsim did not report its ports");
    port_ = PortOf(l1, "listening");
    controlPort_ = PortOf(l2, "control");
  } catch (...) {
    Stop();
    if (!tempDir_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(tempDir_, ec);
    }
    throw;
  }
}

Simulator::~Simulator() {
  Stop();
  if (!tempDir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(tempDir_, ec);
  }
}

int Simulator::Stop() {
  if (controlFd_ >= 0) ::close(controlFd_);
  controlFd_ = -1;
  int status = 0;
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_ || (r < 0 && errno != EINTR)) break;
      if (Clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
  }
  if (stdoutFd_ >= 0) ::close(stdoutFd_);
  stdoutFd_ = -1;
  return status;
}

void Simulator::Kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  Stop();
}

std::string Simulator::Control(const std::string& line) {
  if (controlFd_ < 0) {
    controlFd_ = ConnectLoopback(controlPort_);
    if (controlFd_ < 0) throw std::runtime_error("cannot reach the control channel");
  }
  const std::string out = line + "\n";
  if (::send(controlFd_, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size()))
    throw std::runtime_error("control channel send failed");
  std::string reply, l;
  for (;;) {
    if (!ReadLine(controlFd_, &l, 10000)) throw std::runtime_error("control channel gave no reply to " + line);
    reply += l + "\n";
    if (l == "ok" || l.rfind("error", 0) == 0) return reply;
  }
}

bool Simulator::ControlOk(const std::string& line) {
  const std::string r = Control(line);
  return r.size() >= 3 && r.compare(r.size() - 3, 3, "ok\n") == 0;
}

std::vector<std::string> Simulator::Requests() {
  std::vector<std::string> out;
  const std::string r = Control("requests");
  size_t pos = 0;
  for (size_t nl; (nl = r.find('\n', pos)) != std::string::npos; pos = nl + 1) {
    const std::string l = r.substr(pos, nl - pos);
    const auto space = l.find(' ');
    if (space != std::string::npos) out.push_back(FromHex(l.substr(space + 1)));
  }
  return out;
}

FramedClient Simulator::Connect() const {
  return FramedClient(port_, FromHex(opt_.msgHead), FromHex(opt_.msgTail));
}

Simulator::HostEntry Simulator::Host() const {
  HostEntry h;
  h.port = port_;
  h.msgHead = opt_.msgHead;
  h.msgTail = opt_.msgTail;
  return h;
}

std::string WriteClientConfig(const std::string& dir, const std::vector<HostEntry>& hosts,
                              const ClientConfigOptions& o) {
  const std::string path = dir + "/quorConfig.ini";
  std::ofstream f(path, std::ios::trunc);
  f << "[Logger]\n"
    << "path=" << (o.logPath.empty() ? dir + "/quor.log" : o.logPath) << "\n"
    << "level=" << o.logLevel << "\n\n"
    << "[Global]\n"
    << "mechanism=" << o.mechanism << "\n"
    << "allHostAliveStart=" << o.allHostAliveStart << "\n";
  for (size_t i = 0; i < hosts.size(); ++i) {
    const HostEntry& h = hosts[i];
    f << "\n[Host " << i + 1 << "]\n"
      << "model=" << h.model << "\n"
      << "ip=" << h.ip << "\n"
      << "port=" << h.port << "\n"
      << "timeout=" << h.timeout << "\n"
      << "minConn=" << h.minConn << "\n"
      << "maxConn=" << h.maxConn << "\n";
    if (!h.msgHead.empty()) f << "msgHead=" << h.msgHead << "\n";
    if (!h.msgTail.empty()) f << "msgTail=" << h.msgTail << "\n";
  }
  f.close();
  if (!f) throw std::runtime_error("cannot write " + path);
  return path;
}

}  // namespace QuorTest
