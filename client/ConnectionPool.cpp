#include "client/ConnectionPool.h"

#include <utility>

#include "client/Errors.h"

namespace Quor::Base {

ConnectionPool::ConnectionPool(std::string address, uint16_t port, int32_t timeout, uint32_t minConn,
                               int32_t maxConn, TlsContext tls)
    : address_(std::move(address)),
      port_(port),
      timeout_(timeout),
      minConn_(minConn),
      maxConn_(maxConn),
      tls_(std::move(tls)) {}

ConnectionPool::~ConnectionPool() { Stop(); }

void ConnectionPool::Start(const std::atomic<bool>* cancel, const std::function<void(Connection&)>& prepare) {
  std::lock_guard life(lifecycle_);
  if (IsAlive()) return;
  // Connect without the idle lock: requests never wait for a connect of ours.
  std::deque<std::shared_ptr<Connection>> fresh;
  for (uint32_t i = 0; i < minConn_; ++i) {
    fresh.push_back(std::make_shared<Connection>(address_, port_, timeout_, cancel));
    if (prepare) prepare(*fresh.back());
  }
  {
    std::lock_guard lock(lock_);
    fresh.swap(idle_);
  }
  SetAlive(true);
  // fresh now holds leftovers of an earlier life, closed here outside the lock.
}

void ConnectionPool::Stop() {
  std::lock_guard life(lifecycle_);
  SetAlive(false);
  std::deque<std::shared_ptr<Connection>> old;
  {
    std::unique_lock lock(lock_);
    returned_.wait(lock, [this] { return lent_.load(std::memory_order_relaxed) == 0; });
    old.swap(idle_);
  }
  // old's connections close here, outside the lock.
}

std::shared_ptr<Connection> ConnectionPool::Take(const std::atomic<bool>* cancel) {
  if (!IsAlive()) throw MakeError(kErrPoolNotAlive);
  {
    std::lock_guard lock(lock_);
    if (!idle_.empty()) {
      std::shared_ptr<Connection> c = std::move(idle_.front());
      idle_.pop_front();
      lent_.fetch_add(1, std::memory_order_relaxed);
      return c;
    }
    if (maxConn_ > 0 && lent_.load(std::memory_order_relaxed) >= maxConn_) throw MakeError(kErrNoConnection);
    lent_.fetch_add(1, std::memory_order_relaxed);
  }
  try {
    return std::make_shared<Connection>(address_, port_, timeout_, cancel);
  } catch (...) {
    {
      std::lock_guard lock(lock_);
      lent_.fetch_sub(1, std::memory_order_relaxed);
    }
    returned_.notify_all();
    throw;
  }
}

void ConnectionPool::Give(std::shared_ptr<Connection> connection) {
  {
    std::lock_guard lock(lock_);
    const int32_t lent = lent_.load(std::memory_order_relaxed);
    if (connection && IsAlive() && connection->Reusable() && minConn_ >= idle_.size() + static_cast<uint32_t>(lent)) {
      idle_.push_back(std::move(connection));
    }
    lent_.store(lent - 1, std::memory_order_relaxed);
  }
  returned_.notify_all();
  // A connection not kept closes here, outside the lock.
}

size_t ConnectionPool::IdleCount() const {
  std::lock_guard lock(lock_);
  return idle_.size();
}

}  // namespace Quor::Base
