#include "client/Connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <utility>

#include "client/Errors.h"

namespace Quor::Base {
namespace {

constexpr int kConnectStepMs = 30;

// A peer that goes away must fail a send, not kill the process. Sends also
// pass MSG_NOSIGNAL; the process-wide setting covers TLS writes, whose sends
// we do not make ourselves. Done once instead of on every send.
void IgnoreSigpipeOnce() {
  static const bool done = [] {
    signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)done;
}

struct AddrInfoFree {
  void operator()(addrinfo* p) const { freeaddrinfo(p); }
};

// Owns the socket until the connection is complete.
struct FdGuard {
  int fd;
  ~FdGuard() {
    if (fd >= 0) close(fd);
  }
  int Release() { return std::exchange(fd, -1); }
};

[[noreturn]] void ThrowConnectErrno(int err) { throw MakeError(err == ETIMEDOUT ? kErrTimeout : kErrConnect); }

// Applies one recv() result: advances past the bytes, does nothing on EINTR
// (the caller tries again), or marks the connection spent and throws. The
// socket's own receive time-out (EAGAIN) counts as a failed receive.
void TakeReceived(ssize_t got, bool& reusable, char*& dst, size_t& n) {
  if (got < 0) {
    if (errno == EINTR) return;
    reusable = false;
    throw MakeError(errno == ETIMEDOUT ? kErrTimeout : kErrReceive);
  }
  if (got == 0) {
    reusable = false;
    throw MakeError(kErrReceive);
  }
  dst += got;
  n -= static_cast<size_t>(got);
}

}  // namespace

Connection::Connection(const std::string& address, uint16_t port, int32_t timeout, const std::atomic<bool>* cancel)
    : timeout_(timeout) {
  IgnoreSigpipeOnce();
  const int family = address.find('.') != std::string::npos ? AF_INET : AF_INET6;
  FdGuard sock{socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0)};
  if (sock.fd < 0) throw MakeError(kErrSocket);
  if (family == AF_INET6) {
    const int one = 1;
    setsockopt(sock.fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
  }
  const timeval tv{std::max<int32_t>(timeout, 0), 0};
  setsockopt(sock.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(sock.fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  // Closing resets the connection at once instead of lingering in TIME_WAIT.
  const linger lg{1, 0};
  setsockopt(sock.fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  const int one = 1;
  setsockopt(sock.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(address.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
    throw MakeError(kErrResolve);
  }
  const std::unique_ptr<addrinfo, AddrInfoFree> resolved(found);
  // Port 0 names no listening service; never try it.
  if (port == 0) throw MakeError(kErrConnect);

  const int flags = fcntl(sock.fd, F_GETFL, 0);
  fcntl(sock.fd, F_SETFL, flags | O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::max<int32_t>(timeout, 0));
  bool started = false;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || (cancel != nullptr && cancel->load(std::memory_order_relaxed))) {
      throw MakeError(kErrTimeout);
    }
    if (!started) {
      if (connect(sock.fd, resolved->ai_addr, resolved->ai_addrlen) == 0) break;
      const int err = errno;
      if (err == EISCONN) break;
      if (err != EINTR && err != EAGAIN && err != EALREADY && err != EINPROGRESS) ThrowConnectErrno(err);
      started = err != EINTR;
      if (!started) continue;
    }
    // Wait at most one step, so the deadline and the cancel flag are seen
    // promptly, but a quick connect is not held back by a blind sleep.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    pollfd p{sock.fd, POLLOUT, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::clamp<long long>(left, 1, kConnectStepMs)));
    if (ready > 0) {
      int err = 0;
      socklen_t len = sizeof err;
      if (getsockopt(sock.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
      if (err == 0 || err == EISCONN) break;
      ThrowConnectErrno(err);
    }
  }
  fcntl(sock.fd, F_SETFL, flags & ~O_NONBLOCK);
  fd_ = sock.Release();
  reusable_ = true;
}

Connection::~Connection() {
  if (tls_ != nullptr) TlsClose(tls_);
  if (fd_ >= 0) {
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
  }
}

void Connection::AttachTls(TLS_TAKE::TlsLink* link) {
  if (tls_ != nullptr) TlsClose(tls_);
  tls_ = link;
}

void Connection::Send(const char* data, size_t n) {
  while (n > 0) {
    const ssize_t sent = send(fd_, data, n, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      reusable_ = false;
      throw MakeError(errno == ETIMEDOUT ? kErrTimeout : kErrSend);
    }
    if (sent == 0) {
      reusable_ = false;
      throw MakeError(kErrSend);
    }
    data += sent;
    n -= static_cast<size_t>(sent);
  }
}

void Connection::Receive(char* dst, size_t n, const std::atomic<bool>* cancel) {
  if (cancel != nullptr) return ReceiveCancellable(dst, n, *cancel);
  while (n > 0) {
    TakeReceived(recv(fd_, dst, n, 0), reusable_, dst, n);
  }
}

void Connection::ReceiveCancellable(char* dst, size_t n, const std::atomic<bool>& cancel) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::max<int32_t>(timeout_, 0));
  while (n > 0) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, kConnectStepMs);
    if (ready <= 0) {
      if (cancel.load(std::memory_order_relaxed) || std::chrono::steady_clock::now() >= deadline) {
        reusable_ = false;
        throw MakeError(kErrReceive);
      }
      continue;
    }
    // Readable (or closed, or failed): one receive takes what is there.
    TakeReceived(recv(fd_, dst, n, 0), reusable_, dst, n);
  }
}

std::string Connection::Receive(size_t n) {
  std::string out(n, '\0');
  Receive(out.data(), n);
  return out;
}

namespace {

// Reads through the TLS link for TLS hosts, from the socket otherwise.
class ByteSource {
 public:
  ByteSource(Connection& c, uint32_t protocol) : c_(c), tls_(protocol == 2 || protocol == 4) {}

  void Read(char* dst, size_t n) {
    if (!tls_) return c_.Receive(dst, n);
    while (n > 0) {
      const unsigned step = static_cast<unsigned>(std::min<size_t>(n, 1u << 20));
      unsigned got = 0;
      const int rc = TlsRead(c_.Tls(), static_cast<int>(step), dst, &got);
      if (rc != 0) throw MakeError(rc);
      dst += step;
      n -= step;
    }
  }

  char Byte() {
    char b;
    Read(&b, 1);
    return b;
  }

 private:
  Connection& c_;
  bool tls_;
};

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool HasAtOrAfter(const std::string& s, const char* word, size_t pos) {
  return s.size() >= pos && s.find(word, pos) != std::string::npos;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends exactly n more bytes, growing only as data arrives so a huge
// announced length cannot make us allocate it up front.
void ReadBody(ByteSource& in, std::string& answer, uint64_t n) {
  constexpr uint64_t kStep = 64 * 1024;
  while (n > 0) {
    const size_t step = static_cast<size_t>(std::min(n, kStep));
    const size_t at = answer.size();
    answer.resize(at + step);
    in.Read(answer.data() + at, step);
    n -= step;
  }
}

}  // namespace

std::string ReadHttpAnswer(Connection& connection, uint32_t protocol) {
  ByteSource in(connection, protocol);
  std::string answer;
  uint64_t contentLength = 0;
  bool close = false;
  bool chunked = false;

  for (;;) {
    const size_t lineStart = answer.size();
    char b;
    do {
      b = in.Byte();
      answer.push_back(b);
    } while (b != '\n');
    const char first = answer[lineStart];
    if (first == '\r' || first == '\n') break;
    std::string line = answer.substr(lineStart);
    for (char& c : line) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (StartsWith(line, "CONTENT-LENGTH:")) {
      size_t i = 15;
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      uint64_t v = 0;
      for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        const uint64_t d = static_cast<uint64_t>(line[i] - '0');
        v = v > (UINT64_MAX - d) / 10 ? UINT64_MAX : v * 10 + d;
      }
      contentLength = v;
    } else if (StartsWith(line, "CONNECTION:") && HasAtOrAfter(line, "CLOSE", 11)) {
      close = true;
    } else if (StartsWith(line, "TRANSFER-ENCODING:") && HasAtOrAfter(line, "CHUNKED", 18)) {
      chunked = true;
    } else if (StartsWith(line, "PROXY-CONNECTION:") && HasAtOrAfter(line, "CLOSE", 17)) {
      close = true;
    }
  }

  if (contentLength != 0) {
    ReadBody(in, answer, contentLength);
  } else if (chunked) {
    enum class State { Size, SizeEnd, Data, DataEnd, Trailer, Final } state = State::Size;
    uint32_t size = 0;
    int digits = 0;
    bool trailerFields = false;
    for (bool done = false; !done;) {
      if (state == State::Data) {
        ReadBody(in, answer, size);
        state = State::DataEnd;
        continue;
      }
      const char b = in.Byte();
      answer.push_back(b);
      const bool eol = b == '\r' || b == '\n';
      switch (state) {
        case State::Size:
          if (HexValue(b) >= 0) {
            if (digits < 8) {
              size = (size << 4) | static_cast<uint32_t>(HexValue(b));
              ++digits;
            }
          } else if (digits > 0) {
            state = State::SizeEnd;
          }
          break;
        case State::SizeEnd:
          if (b == '\n') state = size != 0 ? State::Data : State::Trailer;
          break;
        case State::DataEnd:
          if (b == '\n') {
            size = 0;
            digits = 0;
            state = State::Size;
          }
          break;
        case State::Trailer:
          if (eol) {
            state = State::Final;
          } else {
            trailerFields = true;
          }
          break;
        case State::Final:
          if (eol) {
            done = true;
          } else {
            trailerFields = true;
            state = State::Trailer;
          }
          break;
        case State::Data:
          break;
      }
    }
    // The answer ends after the first trailer line; whatever follows it is
    // still on the wire and would be taken for the next answer.
    if (trailerFields) close = true;
  }

  if (close) connection.SetReusable(false);
  return answer;
}

}  // namespace Quor::Base
