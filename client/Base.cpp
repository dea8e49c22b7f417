#include "client/Base.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <optional>
#include <utility>

#include "tls/TLS.h"

namespace Quor::Base {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kBusyPoolWait = std::chrono::milliseconds(30);
constexpr auto kWrongAnswerPause = std::chrono::milliseconds(100);
// Answers longer than this are read in steps, so a bogus length prefix costs
// memory only as fast as bytes actually arrive.
constexpr size_t kReadStep = size_t{1} << 20;

bool IsTlsProtocol(uint32_t protocol) { return protocol == 2 || protocol == 4; }

bool IsCallbackCode(int32_t code) {
  return code == kErrFormatRequest || code == kErrParseResponse || code == kErrParseLength;
}

int32_t TimeoutOf(const HostConfig& host) { return static_cast<int32_t>(std::min<uint32_t>(host.timeout, INT32_MAX)); }

// Makes the TLS context of a TLS host; null for plain TCP. Reads no file.
std::shared_ptr<TLS_TAKE::TLS> MakeTls(const HostConfig& h) {
  if (!IsTlsProtocol(h.protocol)) return nullptr;
  TLS_TAKE::TLS* raw = nullptr;
  const int rc = h.protocol == 2
                     ? TlsCreateRsa(h.rsaPfxPath.c_str(), h.rsaPfxPwd.c_str(), h.caCertPath.c_str(), &raw)
                     : TlsCreateSm2(h.sm2SigPfxPath.c_str(), h.sm2SigPfxPwd.c_str(), h.sm2EncPfxPath.c_str(),
                                    h.sm2EncPfxPwd.c_str(), h.caCertPath.c_str(), &raw);
  if (rc != 0) throw MakeError(rc);
  return std::shared_ptr<TLS_TAKE::TLS>(raw, TlsDestroy);
}

void OpenTlsLink(TLS_TAKE::TLS* tls, Connection& c, const HostConfig& host) {
  TLS_TAKE::TlsLink* link = nullptr;
  const int rc = TlsOpen(tls, c.Socket(), 1, host.timeout, &link);
  if (rc != 0) throw MakeError(rc);
  c.AttachTls(link);
}

// A taken connection always goes back to its pool. One given back by the
// destructor (an unexpected exception mid-exchange) may hold half an answer,
// so it is not kept.
class Lease {
 public:
  explicit Lease(ConnectionPool& pool) : pool_(pool) {}
  ~Lease() {
    if (conn_) {
      conn_->SetReusable(false);
      pool_.Give(std::move(conn_));
    }
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;

  void Take(const std::atomic<bool>* cancel) { conn_ = pool_.Take(cancel); }
  Connection* operator->() const { return conn_.get(); }
  Connection& operator*() const { return *conn_; }
  explicit operator bool() const { return conn_ != nullptr; }
  void Give() { pool_.Give(std::move(conn_)); }

 private:
  ConnectionPool& pool_;
  std::shared_ptr<Connection> conn_;
};

}  // namespace

Base::Base(std::string configPath, FormatRequestFn formatRequest, ParseResponseFn parseResponse,
           uint32_t lengthPrefixSize, ParseLengthFn parseLength, HostStatusFn hostStatus,
           HeartbeatCheckFn heartbeatCheck, std::string heartbeatRequest, std::string heartbeatAnswer)
    : configPath_(std::move(configPath)),
      heartbeatRequest_(std::move(heartbeatRequest)),
      heartbeatAnswer_(std::move(heartbeatAnswer)),
      formatRequest_(formatRequest),
      parseResponse_(parseResponse),
      lengthPrefixSize_(lengthPrefixSize),
      parseLength_(parseLength),
      hostStatus_(hostStatus),
      heartbeatCheck_(heartbeatCheck) {}

Base::~Base() { Finalize(); }

void Base::Initialize() {
  if (IsInitialized()) return;
  std::lock_guard lk(lock_);
  if (IsInitialized()) return;
  try {
    try {
      config_ = std::make_shared<INICfgFile>(configPath_);
      logger_ = std::make_shared<Logger>(config_->logger);
      loggerRaw_.store(logger_.get(), std::memory_order_release);
      if (config_->hosts.empty()) throw MakeError(kErrNoHostOnline);
      for (const HostConfig& host : config_->hosts) {
        std::shared_ptr<TLS_TAKE::TLS> tls;
        std::optional<Exception> tlsFailure;
        try {
          tls = MakeTls(host);
        } catch (const Exception& e) {
          tlsFailure = e;
        }
        auto pool = std::make_shared<ConnectionPool>(host.ip, host.port, TimeoutOf(host), host.minConn,
                                                     host.maxConn, tls);
        pools_.push_back(pool);
        try {
          if (tlsFailure) throw *tlsFailure;
          pool->Start(nullptr, tls ? std::function<void(Connection&)>([&](Connection& c) {
            OpenTlsLink(tls.get(), c, host);
          })
                                   : nullptr);
        } catch (const Exception&) {
          // Kept in the list as it is; its monitor brings it up later.
          if (config_->allHostAliveStart) throw;
        }
      }
      mechanism_ = config_->mechanism;
      http_ = config_->http;
      stopping_.store(false);
      initialized_.store(true, std::memory_order_release);
      StartMonitors();
    } catch (const Exception&) {
      throw;
    } catch (const std::exception&) {
      throw MakeError(kErrBaseUnknown);
    }
  } catch (const Exception& e) {
    StopMonitors();
    initialized_.store(false);
    pools_.clear();
    loggerRaw_.store(nullptr);
    logger_.reset();
    config_.reset();
    WriteInitFailure(configPath_, e.Code(), e.what());
    throw;
  }
}

void Base::StartMonitors() {
  monitors_.reserve(pools_.size());
  for (size_t i = 0; i < pools_.size(); ++i) monitors_.emplace_back([this, i] { MonitorHost(i); });
}

void Base::StopMonitors() {
  {
    std::lock_guard lk(stopLock_);
    stopping_.store(true);
  }
  stopWake_.notify_all();
  for (std::thread& t : monitors_) {
    if (t.joinable()) t.join();
  }
  monitors_.clear();
}

void Base::Finalize() {
  std::lock_guard lk(lock_);
  if (!IsInitialized()) return;
  StopMonitors();
  initialized_.store(false);
  // Each pool waits for its lent connections, then closes everything.
  pools_.clear();
  loggerRaw_.store(nullptr);
  logger_.reset();
  config_.reset();
}

ConnectionPool& Base::ChoosePool(uint32_t hostNumber, size_t& index) {
  const size_t n = pools_.size();
  if (hostNumber > n) throw MakeError(kErrHostOverflow);
  if (hostNumber != 0) {
    index = hostNumber - 1;
    if (!pools_[index]->IsAlive()) throw MakeError(kErrHostOffline);
    return *pools_[index];
  }
  if (n == 1) {
    // The cursor of a single host never moves: nothing to guard.
    if (!pools_[0]->IsAlive()) throw MakeError(kErrNoHostOnline);
    index = 0;
    return *pools_[0];
  }
  std::lock_guard lk(selectLock_);
  const uint64_t start = cursor_;
  for (;;) {
    if (mechanism_ == 2) {
      for (uint64_t i = 0; i <= cursor_; ++i) {
        if (pools_[i]->IsAlive()) {
          index = i;
          return *pools_[i];
        }
      }
      cursor_ = (cursor_ + 1) % n;
    } else {
      const uint64_t at = cursor_;
      cursor_ = (cursor_ + 1) % n;
      if (pools_[at]->IsAlive()) {
        index = at;
        return *pools_[at];
      }
    }
    if (cursor_ == start) throw MakeError(kErrNoHostOnline);
  }
}

std::string Base::Communicate(std::string_view request, uint32_t hostNumber) {
  std::string answer;
  Communicate(request, hostNumber, answer);
  return answer;
}

void Base::Communicate(std::string_view request, uint32_t hostNumber, std::string& answer) {
  Communicate(request, hostNumber, answer, nullptr);
}

void Base::Communicate(std::string_view request, uint32_t hostNumber, std::string& answer,
                       const std::atomic<bool>* cancel) {
  if (!IsInitialized()) throw MakeError(kErrNotInitialized);
  const auto start = Clock::now();
  for (;;) {
    size_t index = 0;
    // The pools live until Finalize, which never overlaps a request.
    ConnectionPool& pool = ChoosePool(hostNumber, index);
    const HostConfig& host = config_->hosts[index];
    std::optional<Exception> failure;
    {
      Lease conn(pool);
      try {
        conn.Take(&stopping_);
        if (IsTlsProtocol(host.protocol) && conn->Tls() == nullptr) OpenTlsLink(pool.Tls(), *conn, host);
      } catch (const Exception& e) {
        if (e.Code() != kErrNoConnection) pool.SetAlive(false);
        if (conn) conn.Give();
        failure = e;
      }
      if (!failure) {
        try {
          Exchange(request, *conn, host, answer, cancel);
          conn.Give();
          return;
        } catch (const Exception& e) {
          if (!IsCallbackCode(e.Code())) pool.SetAlive(false);
          // The rest of an answer whose length was refused is still unread.
          if (e.Code() == kErrParseLength) conn->SetReusable(false);
          conn.Give();
          failure = e;
        }
      }
    }
    const int32_t code = failure->Code();
    if (IsCallbackCode(code)) throw *failure;
    if (pool.IsAlive()) {
      if (code == kErrNoConnection) {
        std::this_thread::sleep_for(kBusyPoolWait);
        if (Clock::now() - start >= std::chrono::seconds(pool.Timeout())) throw *failure;
      }
      continue;  // a 207, or the host came back meanwhile
    }
    if (hostNumber != 0) throw *failure;
  }
}

void Base::Transmit(Connection& c, uint32_t protocol, const char* data, size_t n) {
  if (!IsTlsProtocol(protocol)) return c.Send(data, n);
  while (n > 0) {
    const unsigned step = static_cast<unsigned>(std::min<size_t>(n, UINT_MAX));
    const int rc = TlsWrite(c.Tls(), data, step);
    if (rc != 0) throw MakeError(rc);
    data += step;
    n -= step;
  }
}

void Base::ReadExact(Connection& c, uint32_t protocol, char* dst, size_t n, const std::atomic<bool>* cancel) {
  if (!IsTlsProtocol(protocol)) return c.Receive(dst, n, cancel);
  while (n > 0) {
    const unsigned step = static_cast<unsigned>(std::min<size_t>(n, INT_MAX));
    unsigned got = 0;
    const int rc = TlsRead(c.Tls(), static_cast<int>(step), dst, &got);
    if (rc != 0) throw MakeError(rc);
    dst += step;
    n -= step;
  }
}

void Base::Exchange(std::string_view request, Connection& c, const HostConfig& host, std::string& answer,
                    const std::atomic<bool>* cancel) {
  static constexpr char kEmpty[] = "";
  const std::string& pubKey = config_->logger.sm2PubKey;
  MessageContext ctx{host.msgHead.data(), host.msgHead.size(),  host.msgTail.data(), host.msgTail.size(),
                     host.sysname.data(), host.sysname.size(),  host.signkey.data(), host.signkey.size(),
                     kEmpty,              0,                    pubKey.data(),       pubKey.size(),
                     host.number,         this};
  // Per-thread buffers: after warm-up a request allocates nothing here.
  thread_local std::string frame;
  thread_local std::string raw;

  size_t size = 0;
  if (formatRequest_(request.data(), request.size(), &ctx, nullptr, &size) < 0) throw MakeError(kErrFormatRequest);
  frame.resize(size);
  size_t framed = size;
  if (formatRequest_(request.data(), request.size(), &ctx, frame.data(), &framed) < 0) {
    throw MakeError(kErrFormatRequest);
  }
  framed = std::min(framed, size);
  ctx.request = frame.data();
  ctx.requestLen = framed;

  Transmit(c, host.protocol, frame.data(), framed);

  if (http_) {
    raw = ReadHttpAnswer(c, host.protocol);
  } else {
    raw.resize(lengthPrefixSize_);
    ReadExact(c, host.protocol, raw.data(), lengthPrefixSize_, cancel);
    long rest = 0;
    if (parseLength_ != nullptr) rest = parseLength_(raw.data(), lengthPrefixSize_);
    if (rest < 0) throw MakeError(kErrParseLength);
    size_t left = static_cast<size_t>(rest);
    while (left > 0) {
      const size_t step = std::min(left, kReadStep);
      const size_t at = raw.size();
      raw.resize(at + step);
      ReadExact(c, host.protocol, raw.data() + at, step, cancel);
      left -= step;
    }
  }

  size_t need = 0;
  if (parseResponse_(raw.data(), raw.size(), &ctx, nullptr, &need) < 0) throw MakeError(kErrParseResponse);
  answer.resize(need);
  size_t got = need;
  if (parseResponse_(raw.data(), raw.size(), &ctx, answer.data(), &got) < 0) throw MakeError(kErrParseResponse);
  answer.resize(std::min(got, need));
  if (raw.capacity() > kReadStep) raw = std::string();
}

void Base::Log(int32_t level, std::string_view message) {
  if (Logger* l = loggerRaw_.load(std::memory_order_acquire)) l->Write(level, message);
}

int32_t Base::LogLevel() const {
  const Logger* l = loggerRaw_.load(std::memory_order_acquire);
  return l ? l->GetLevel() : INT32_MAX;
}

void Base::MonitorHost(size_t i) {
  if (!IsInitialized()) return;
  const uint32_t hostNumber = static_cast<uint32_t>(i + 1);
  std::string answer;
  while (!stopping_.load()) {
    int32_t result = 0;
    try {
      ConnectionPool& pool = *pools_[i];
      answer.clear();
      if (pool.IsAlive()) {
        try {
          Communicate(heartbeatRequest_, hostNumber, answer, &stopping_);
          const bool healthy = heartbeatCheck_ != nullptr
                                   ? heartbeatCheck_(hostNumber, answer.data(), answer.size()) == 1
                                   : answer.size() >= heartbeatAnswer_.size() &&
                                         answer.compare(0, heartbeatAnswer_.size(), heartbeatAnswer_) == 0;
          if (!healthy) {
            result = 1;
            pool.Stop();
          }
        } catch (const Exception& e) {
          // All connections lent: Communicate already waited the host's timeout.
          if (e.Code() == kErrNoConnection) continue;
          answer.clear();
          pool.Stop();
          result = e.Code();
        }
      } else {
        // Stop first: it drops idle connections left from the failure.
        pool.Stop();
        try {
          pool.Start(&stopping_);
        } catch (const Exception&) {
          // Stays offline; the next pass tries again.
        }
      }
      // A heartbeat cut short by closing says nothing about the host.
      if (hostStatus_ != nullptr && !stopping_.load()) {
        hostStatus_(hostNumber, pool.IsAlive() ? 1 : 0, answer.data(), answer.size());
      }
    } catch (...) {
      // Anything else (exhausted memory, a throwing callback) costs this
      // pass only; the monitor is the host's only way back online.
    }
    std::unique_lock lk(stopLock_);
    const auto pause = result == 1 ? std::chrono::duration_cast<std::chrono::milliseconds>(kWrongAnswerPause)
                                   : std::chrono::milliseconds(std::chrono::seconds(heartbeatInterval_));
    stopWake_.wait_for(lk, pause, [this] { return stopping_.load(); });
  }
}

}  // namespace Quor::Base
