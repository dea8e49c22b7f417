// The client object: configuration, logger, one connection pool and one
// liveness monitor per host, host choice and failover. Front door of client/.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "client/Client.h"
#include "client/Connection.h"
#include "client/ConnectionPool.h"
#include "client/Errors.h"
#include "config/INICfgFile.h"
#include "config/Logger.h"

namespace Quor::Base {

class Base {
 public:
  // configPath: a file path or brace-wrapped INI text. Nothing starts yet.
  Base(std::string configPath, FormatRequestFn formatRequest, ParseResponseFn parseResponse,
       uint32_t lengthPrefixSize, ParseLengthFn parseLength, HostStatusFn hostStatus, HeartbeatCheckFn heartbeatCheck,
       std::string heartbeatRequest, std::string heartbeatAnswer);
  ~Base();  // Finalize
  Base(const Base&) = delete;
  Base& operator=(const Base&) = delete;

  // Reads the configuration and brings up logger, pools and monitors; on
  // failure writes the init-failure record and rethrows.
  void Initialize();
  // hostNumber 0 lets the client choose; 1..N names a host (no failover).
  // Fills answer with the unframed answer, or throws.
  void Communicate(std::string_view request, uint32_t hostNumber, std::string& answer);
  std::string Communicate(std::string_view request, uint32_t hostNumber);
  void Finalize();

  bool IsInitialized() const { return initialized_.load(std::memory_order_acquire); }
  // Log front: both are no-ops without a logger.
  void Log(int32_t level, std::string_view message);
  int32_t LogLevel() const;

  // The liveness loop of host i + 1; runs on its own thread until Finalize.
  void MonitorHost(size_t i);

  // For tests: the pool of host i + 1 (null when out of range or not initialised).
  ConnectionPool* Pool(size_t i) const { return i < pools_.size() ? pools_[i].get() : nullptr; }

 private:
  // cancel (the monitors pass stopping) lets a heartbeat waiting for a
  // stalled host give up when the client closes.
  void Communicate(std::string_view request, uint32_t hostNumber, std::string& answer,
                   const std::atomic<bool>* cancel);
  ConnectionPool& ChoosePool(uint32_t hostNumber, size_t& index);
  void Exchange(std::string_view request, Connection& connection, const HostConfig& host, std::string& answer,
                const std::atomic<bool>* cancel);
  void Transmit(Connection& connection, uint32_t protocol, const char* data, size_t n);
  void ReadExact(Connection& connection, uint32_t protocol, char* dst, size_t n, const std::atomic<bool>* cancel);
  void StartMonitors();
  void StopMonitors();

  std::atomic<bool> initialized_{false};
  std::mutex lock_;  // serialises Initialize and Finalize
  const std::string configPath_;
  const int32_t heartbeatInterval_ = 1;  // seconds
  const std::string heartbeatRequest_;
  const std::string heartbeatAnswer_;
  const FormatRequestFn formatRequest_;
  const ParseResponseFn parseResponse_;
  const uint32_t lengthPrefixSize_;
  const ParseLengthFn parseLength_;
  const HostStatusFn hostStatus_;
  const HeartbeatCheckFn heartbeatCheck_;
  std::shared_ptr<INICfgFile> config_;
  std::shared_ptr<Logger> logger_;
  std::atomic<Logger*> loggerRaw_{nullptr};  // lock-free view of logger_ for the log front
  std::vector<std::shared_ptr<ConnectionPool>> pools_;
  int32_t mechanism_ = 1;  // copies of the configuration read on every request
  bool http_ = false;
  std::mutex selectLock_;  // cursor_ and the choice of a host; never held during I/O
  uint64_t cursor_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex stopLock_;  // lets monitors sleep until stopping_ is set
  std::condition_variable stopWake_;
  std::vector<std::thread> monitors_;
};

}  // namespace Quor::Base
