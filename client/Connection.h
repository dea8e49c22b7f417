// One TCP connection to a device host, and the HTTP answer reader.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "tls/TLS.h"

namespace Quor::Base {

class Connection {
 public:
  // Connects within timeout seconds or throws 201, 202, 203 or 208. A set
  // *cancel ends a connect still in progress with 202, so a closing client
  // need not wait for an unreachable host's deadline.
  Connection(const std::string& address, uint16_t port, int32_t timeout,
             const std::atomic<bool>* cancel = nullptr);
  ~Connection();  // closes the TLS link, then resets the socket
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Sends all bytes or throws 202/204.
  void Send(const char* data, size_t n);
  // Fills dst with exactly n bytes or throws 202/205. With cancel, waits in
  // short steps (bounded by the timeout) and gives up with 205 once *cancel
  // is set; without, relies on the socket's own receive time-out.
  void Receive(char* dst, size_t n, const std::atomic<bool>* cancel = nullptr);
  std::string Receive(size_t n);

  int Socket() const { return fd_; }
  bool Reusable() const { return reusable_; }
  void SetReusable(bool reusable) { reusable_ = reusable; }

  TLS_TAKE::TlsLink* Tls() const { return tls_; }
  // Takes ownership of the link; it is closed before the socket.
  void AttachTls(TLS_TAKE::TlsLink* link);

 private:
  void ReceiveCancellable(char* dst, size_t n, const std::atomic<bool>& cancel);

  int fd_ = -1;
  int32_t timeout_;
  TLS_TAKE::TlsLink* tls_ = nullptr;
  bool reusable_ = false;
};

// Reads one HTTP response (status line, headers, body) from the connection,
// through its TLS link for protocols 2 and 4. Clears the connection's
// reusable flag when the answer asks for closing or leaves bytes unread.
std::string ReadHttpAnswer(Connection& connection, uint32_t protocol);

}  // namespace Quor::Base
