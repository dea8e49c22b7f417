// TLS channel to device hosts: one context per TLS host, one link per pooled
// connection. The client core reaches it only through the C-style facade below.
#pragma once

#include <cstdint>
#include <string>

namespace Quor::TLS_TAKE {

// One host's TLS context, configured from its certificate files on first use.
class TLS {
 public:
  TLS(bool sm2, std::string certPath, std::string certPassword, std::string encCertPath,
      std::string encCertPassword, std::string caCertPath);
  ~TLS();
  TLS(const TLS&) = delete;
  TLS& operator=(const TLS&) = delete;

  bool IsSm2() const { return sm2_; }

 private:
  bool configured_ = false;
  bool sm2_;
  std::string certPath_;
  std::string certPassword_;
  std::string encCertPath_;
  std::string encCertPassword_;
  std::string caCertPath_;
};

// One TLS connection on one socket; opaque outside tls/.
struct TlsLink;

}  // namespace Quor::TLS_TAKE

// All return 0 or a TLS code (4xx) and never throw.
int TlsCreateRsa(const char* certPath, const char* certPassword, const char* caCertPath,
                 Quor::TLS_TAKE::TLS** out) noexcept;
int TlsCreateSm2(const char* sigCertPath, const char* sigPassword, const char* encCertPath, const char* encPassword,
                 const char* caCertPath, Quor::TLS_TAKE::TLS** out) noexcept;
void TlsDestroy(Quor::TLS_TAKE::TLS* tls) noexcept;
// Handshakes on a connected socket; timeout in seconds bounds the handshake.
int TlsOpen(Quor::TLS_TAKE::TLS* tls, int socket, int nonBlocking, unsigned timeout,
            Quor::TLS_TAKE::TlsLink** out) noexcept;
void TlsClose(Quor::TLS_TAKE::TlsLink* link) noexcept;
// Writes all len bytes.
int TlsWrite(Quor::TLS_TAKE::TlsLink* link, const char* data, unsigned len) noexcept;
// Reads exactly n bytes into dst and stores n in *outLen.
int TlsRead(Quor::TLS_TAKE::TlsLink* link, int n, char* dst, unsigned* outLen) noexcept;
