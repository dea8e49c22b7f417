// Connections, the pool and the HTTP answer reader against loopback peers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <ostream>
#include <string>
#include <thread>

#include "client/Connection.h"
#include "client/ConnectionPool.h"
#include "client/Errors.h"
#include "client/FakeHost.h"

namespace {

using Quor::Base::Connection;
using Quor::Base::ConnectionPool;
using Clock = std::chrono::steady_clock;
using QuorTest::ClosedPort;
using QuorTest::FakeHost;

template <typename F>
int32_t CodeOf(F&& f) {
  try {
    f();
  } catch (const Quor::Exception& e) {
    return e.Code();
  }
  return 0;
}

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A listener that accepts one connection and hands its socket to the test.
class RawPeer {
 public:
  explicit RawPeer(int family = AF_INET) : fd_(socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (family == AF_INET) {
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
      socklen_t len = sizeof a;
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
      port_ = ntohs(a.sin_port);
    } else {
      setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
      sockaddr_in6 a{};
      a.sin6_family = AF_INET6;
      a.sin6_addr = in6addr_loopback;
      bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
      socklen_t len = sizeof a;
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
      port_ = ntohs(a.sin6_port);
    }
    listen(fd_, 4);
  }
  ~RawPeer() {
    if (peer_ >= 0) close(peer_);
    close(fd_);
  }
  uint16_t Port() const { return port_; }
  int Accept() { return peer_ = accept(fd_, nullptr, nullptr); }
  void SendText(const std::string& s) { ASSERT_EQ(send(peer_, s.data(), s.size(), 0), static_cast<ssize_t>(s.size())); }
  void ClosePeer() {
    close(peer_);
    peer_ = -1;
  }

 private:
  int fd_;
  int peer_ = -1;
  uint16_t port_ = 0;
};

TEST(ConnectionTest, SendsAndReceivesExactly) {
  RawPeer peer;
  Connection c("127.0.0.1", peer.Port(), 2);
  ASSERT_GE(peer.Accept(), 0);
  EXPECT_TRUE(c.Reusable());
  c.Send("ping", 4);
  peer.SendText("pongEXTRA");
  EXPECT_EQ(c.Receive(4), "pong");
  EXPECT_EQ(c.Receive(5), "EXTRA");
}

TEST(ConnectionTest, AddressWithoutDotUsesIpv6Only) {
  RawPeer v6(AF_INET6);
  Connection c("::1", v6.Port(), 2);
  EXPECT_GE(v6.Accept(), 0);
  // An IPv4-only server is not reachable through an IPv6 address.
  FakeHost v4;
  EXPECT_EQ(CodeOf([&] { Connection("::1", v4.Port(), 2); }), Quor::Base::kErrConnect);
}

TEST(ConnectionTest, PeerCloseAfterCompleteAnswer) {
  RawPeer peer;
  Connection c("127.0.0.1", peer.Port(), 2);
  ASSERT_GE(peer.Accept(), 0);
  peer.SendText("done");
  peer.ClosePeer();
  EXPECT_EQ(c.Receive(4), "done");
  EXPECT_EQ(CodeOf([&] { c.Receive(1); }), Quor::Base::kErrReceive);
  EXPECT_FALSE(c.Reusable());
}

struct ConnectCase {
  const char* name;
  bool refusing;  // else an existing FakeHost
  bool zeroPort;
  int32_t timeout;
  int32_t code;
};
void PrintTo(const ConnectCase& k, std::ostream* os) { *os << k.name; }

class ConnectFailureTest : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectFailureTest, FailsWithCode) {
  const ConnectCase& k = GetParam();
  ClosedPort closed;
  FakeHost live;
  const uint16_t port = k.zeroPort ? 0 : (k.refusing ? closed.Port() : live.Port());
  const auto t0 = Clock::now();
  EXPECT_EQ(CodeOf([&] { Connection("127.0.0.1", port, k.timeout); }), k.code);
  EXPECT_LT(MsSince(t0), 500);
  EXPECT_EQ(live.Accepted(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConnectFailureTest,
                         ::testing::Values(ConnectCase{"Refused", true, false, 2, Quor::Base::kErrConnect},
                                           ConnectCase{"PortZero", false, true, 2, Quor::Base::kErrConnect},
                                           ConnectCase{"TimeoutZero", false, false, 0, Quor::Base::kErrTimeout}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConnectionTest, UnansweredConnectEndsAtDeadlineOrWhenCancelled) {
  ClosedPort hole;
  hole.Blackhole();
  auto t0 = Clock::now();
  EXPECT_EQ(CodeOf([&] { Connection("127.0.0.1", hole.Port(), 1); }), Quor::Base::kErrTimeout);
  EXPECT_GE(MsSince(t0), 900);
  EXPECT_LT(MsSince(t0), 1500);

  std::atomic<bool> cancel{false};
  t0 = Clock::now();
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cancel.store(true);
  });
  EXPECT_EQ(CodeOf([&] { Connection("127.0.0.1", hole.Port(), 10, &cancel); }), Quor::Base::kErrTimeout);
  canceller.join();
  EXPECT_LT(MsSince(t0), 400);
}

// ---- HTTP answers ----

struct HttpCase {
  const char* name;
  std::string wire;      // what the peer sends, the answer followed by "NEXT"
  std::string expected;  // what the reader returns
  bool reusable;
};
void PrintTo(const HttpCase& k, std::ostream* os) { *os << k.name; }

class HttpAnswerTest : public ::testing::TestWithParam<HttpCase> {};

TEST_P(HttpAnswerTest, ReadsExactlyOneAnswer) {
  const HttpCase& k = GetParam();
  RawPeer peer;
  Connection c("127.0.0.1", peer.Port(), 2);
  ASSERT_GE(peer.Accept(), 0);
  peer.SendText(k.wire);
  EXPECT_EQ(Quor::Base::ReadHttpAnswer(c, 1), k.expected);
  EXPECT_EQ(c.Reusable(), k.reusable);
  if (k.reusable) {
    EXPECT_EQ(c.Receive(4), "NEXT");  // nothing of the next answer was eaten
  }
}

const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpAnswerTest,
    ::testing::Values(
        HttpCase{"ContentLengthAnyCase", "HTTP/1.1 200 OK\r\ncontent-LENGTH:  5\r\n\r\nhelloNEXT",
                 "HTTP/1.1 200 OK\r\ncontent-LENGTH:  5\r\n\r\nhello", true},
        HttpCase{"NoBody", "HTTP/1.1 204 No Content\r\nServer: x\r\n\r\nNEXT",
                 "HTTP/1.1 204 No Content\r\nServer: x\r\n\r\n", true},
        HttpCase{"BareLfLines", "HTTP/1.1 200 OK\nContent-Length: 2\n\nokNEXT", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok",
                 true},
        HttpCase{"Chunked", kChunked + "3\r\nabc\r\n0\r\n\r\nNEXT", kChunked + "3\r\nabc\r\n0\r\n\r\n", true},
        HttpCase{"ChunkedHexSizes", kChunked + "A\r\n0123456789\r\n1f\r\n" + std::string(31, 'z') + "\r\n0\r\n\r\nNEXT",
                 kChunked + "A\r\n0123456789\r\n1f\r\n" + std::string(31, 'z') + "\r\n0\r\n\r\n", true},
        HttpCase{"LengthWinsOverChunked",
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n3\r\nNEXT",
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n3\r\n", true},
        HttpCase{"ConnectionClose", "HTTP/1.1 200 OK\r\nConnection: Close\r\nContent-Length: 1\r\n\r\nxNEXT",
                 "HTTP/1.1 200 OK\r\nConnection: Close\r\nContent-Length: 1\r\n\r\nx", false},
        HttpCase{"ProxyConnectionClose", "HTTP/1.1 200 OK\r\nproxy-connection: close\r\n\r\nNEXT",
                 "HTTP/1.1 200 OK\r\nproxy-connection: close\r\n\r\n", false},
        HttpCase{"KeepAliveIsNotClose", "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\nNEXT",
                 "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\n", true},
        // The answer ends after the first trailer line; the rest of the
        // trailer is still on the wire, so the connection must not be reused.
        HttpCase{"TrailerMakesConnectionUnusable", kChunked + "1\r\nq\r\n0\r\nX-Sum: 1\r\nX-Two: 2\r\n\r\nNEXT",
                 kChunked + "1\r\nq\r\n0\r\nX-Sum: 1\r\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpAnswerTest, PeerClosingMidBodyFails) {
  RawPeer peer;
  Connection c("127.0.0.1", peer.Port(), 2);
  ASSERT_GE(peer.Accept(), 0);
  peer.SendText("HTTP/1.1 200 OK\r\nContent-Length: 4000000000\r\n\r\nshort");
  peer.ClosePeer();
  EXPECT_EQ(CodeOf([&] { Quor::Base::ReadHttpAnswer(c, 1); }), Quor::Base::kErrReceive);
}

// ---- pools ----

TEST(ConnectionPoolTest, OfflinePoolLendsNothing) {
  FakeHost host;
  ConnectionPool pool("127.0.0.1", host.Port(), 2, 1, 1);
  EXPECT_FALSE(pool.IsAlive());
  EXPECT_EQ(CodeOf([&] { pool.Take(); }), Quor::Base::kErrPoolNotAlive);
  EXPECT_EQ(host.Accepted(), 0);
}

TEST(ConnectionPoolTest, FailedStartLeavesPoolOfflineAndEmpty) {
  ClosedPort closed;
  ConnectionPool pool("127.0.0.1", closed.Port(), 2, 3, 3);
  EXPECT_EQ(CodeOf([&] { pool.Start(); }), Quor::Base::kErrConnect);
  EXPECT_FALSE(pool.IsAlive());
  EXPECT_EQ(pool.IdleCount(), 0u);
}

TEST(ConnectionPoolTest, MinConnZeroOpensPerRequestAndClosesAfter) {
  FakeHost host;
  ConnectionPool pool("127.0.0.1", host.Port(), 2, 0, 5);
  pool.Start();
  EXPECT_TRUE(pool.IsAlive());
  EXPECT_EQ(host.Accepted(), 0);
  for (int i = 0; i < 2; ++i) {
    auto c = pool.Take();
    pool.Give(std::move(c));
    EXPECT_EQ(pool.IdleCount(), 0u);
  }
  EXPECT_EQ(pool.Lent(), 0);
}

TEST(ConnectionPoolTest, LendsBeyondIdleUpToMaxConnAndKeepsOnlyMinConn) {
  FakeHost host;
  ConnectionPool pool("127.0.0.1", host.Port(), 2, 2, 3);
  pool.Start();
  EXPECT_EQ(pool.IdleCount(), 2u);
  auto a = pool.Take();
  auto b = pool.Take();
  auto c = pool.Take();  // a new connection
  EXPECT_EQ(pool.Lent(), 3);
  EXPECT_EQ(CodeOf([&] { pool.Take(); }), Quor::Base::kErrNoConnection);
  pool.Give(std::move(a));
  pool.Give(std::move(b));
  pool.Give(std::move(c));
  EXPECT_EQ(pool.IdleCount(), 2u);
  EXPECT_EQ(pool.Lent(), 0);
  // Oldest idle first: the two kept connections are reused, nothing new opens.
  const int accepted = host.Accepted();
  auto d = pool.Take();
  auto e = pool.Take();
  pool.Give(std::move(d));
  pool.Give(std::move(e));
  EXPECT_EQ(host.Accepted(), accepted);
}

TEST(ConnectionPoolTest, NoLimitWhenMaxConnZeroOrNegative) {
  FakeHost host;
  for (const int32_t maxConn : {0, -1}) {
    ConnectionPool pool("127.0.0.1", host.Port(), 2, 1, maxConn);
    pool.Start();
    std::vector<std::shared_ptr<Connection>> held;
    for (int i = 0; i < 6; ++i) held.push_back(pool.Take());
    for (auto& c : held) pool.Give(std::move(c));
    EXPECT_EQ(pool.IdleCount(), 1u);
  }
}

TEST(ConnectionPoolTest, UnusableOrOfflineReturnsAreNotKept) {
  FakeHost host;
  ConnectionPool pool("127.0.0.1", host.Port(), 2, 2, 2);
  pool.Start();
  auto a = pool.Take();
  a->SetReusable(false);
  pool.Give(std::move(a));
  EXPECT_EQ(pool.IdleCount(), 1u);
  auto b = pool.Take();
  pool.SetAlive(false);
  pool.Give(std::move(b));
  EXPECT_EQ(pool.IdleCount(), 0u);
}

TEST(ConnectionPoolTest, StopWaitsForLentConnection) {
  FakeHost host;
  ConnectionPool pool("127.0.0.1", host.Port(), 2, 1, 1);
  pool.Start();
  auto c = pool.Take();
  auto stopped = std::async(std::launch::async, [&] { pool.Stop(); });
  EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout);
  EXPECT_FALSE(pool.IsAlive());
  pool.Give(std::move(c));
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(pool.IdleCount(), 0u);
  // A stopped pool starts again with fresh connections.
  pool.Start();
  EXPECT_TRUE(pool.IsAlive());
  EXPECT_EQ(pool.IdleCount(), 1u);
}

}  // namespace
