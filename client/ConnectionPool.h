// The connections of one device host: opened at start, lent one request at a
// time, kept for reuse up to minConn, and the host's online flag.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "client/Connection.h"
#include "tls/TLS.h"

namespace Quor::Base {

class ConnectionPool {
 public:
  using TlsContext = std::shared_ptr<TLS_TAKE::TLS>;

  // maxConn 0 or negative: no limit on lent connections. Starts offline, empty.
  ConnectionPool(std::string address, uint16_t port, int32_t timeout, uint32_t minConn, int32_t maxConn,
                 TlsContext tls = nullptr);
  ~ConnectionPool();  // Stop, then releases the TLS context
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // Opens minConn connections, runs prepare on each (a TLS handshake), and
  // goes online; on failure stays offline and empty and rethrows. A set
  // *cancel abandons a connect in progress.
  void Start(const std::atomic<bool>* cancel = nullptr, const std::function<void(Connection&)>& prepare = nullptr);
  // Goes offline, waits until nothing is lent, closes every idle connection.
  void Stop();
  // An idle connection, or a new one within maxConn; throws 206 when
  // offline, 207 when maxConn are lent, or the connect error.
  std::shared_ptr<Connection> Take(const std::atomic<bool>* cancel = nullptr);
  // Every taken connection must come back here, also after a failure.
  void Give(std::shared_ptr<Connection> connection);

  bool IsAlive() const { return online_.load(std::memory_order_acquire); }
  void SetAlive(bool online) { online_.store(online, std::memory_order_release); }

  TLS_TAKE::TLS* Tls() const { return tls_.get(); }
  int32_t Timeout() const { return timeout_; }
  int32_t Lent() const { return lent_.load(std::memory_order_relaxed); }
  size_t IdleCount() const;

 private:
  const std::string address_;
  const uint16_t port_;
  const int32_t timeout_;
  const uint32_t minConn_;
  const int32_t maxConn_;
  std::atomic<int32_t> lent_{0};
  std::deque<std::shared_ptr<Connection>> idle_;
  mutable std::mutex lock_;          // idle_ and the lent_ count changes Stop waits on
  std::condition_variable returned_;  // a lent connection came back
  std::mutex lifecycle_;              // serialises Start and Stop; never taken by requests
  std::atomic<bool> online_{false};
  TlsContext tls_;
};

}  // namespace Quor::Base
