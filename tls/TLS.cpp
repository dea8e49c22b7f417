// TLS channel. Until the channel is built every context creation fails with
// 403, so TLS hosts stay offline; the facade's argument checks are final.
#include "tls/TLS.h"

#include <utility>

#include "client/Errors.h"

namespace Quor::TLS_TAKE {

TLS::TLS(bool sm2, std::string certPath, std::string certPassword, std::string encCertPath,
         std::string encCertPassword, std::string caCertPath)
    : sm2_(sm2),
      certPath_(std::move(certPath)),
      certPassword_(std::move(certPassword)),
      encCertPath_(std::move(encCertPath)),
      encCertPassword_(std::move(encCertPassword)),
      caCertPath_(std::move(caCertPath)) {}

TLS::~TLS() = default;

struct TlsLink {
  TLS* owner = nullptr;
};

}  // namespace Quor::TLS_TAKE

using Quor::TLS_TAKE::TLS;
using Quor::TLS_TAKE::TlsLink;

int TlsCreateRsa(const char* certPath, const char*, const char*, TLS** out) noexcept {
  if (certPath == nullptr || out == nullptr) return Quor::Base::kErrTlsPointer;
  return Quor::Base::kErrTlsLibrary;
}

int TlsCreateSm2(const char* sigCertPath, const char*, const char*, const char*, const char*, TLS** out) noexcept {
  if (sigCertPath == nullptr || out == nullptr) return Quor::Base::kErrTlsPointer;
  return Quor::Base::kErrTlsLibrary;
}

void TlsDestroy(TLS* tls) noexcept { delete tls; }

int TlsOpen(TLS* tls, int socket, int, unsigned, TlsLink** out) noexcept {
  if (tls == nullptr) return Quor::Base::kErrTlsNotInitialized;
  if (socket < 0) return Quor::Base::kErrTlsValue;
  if (out == nullptr) return Quor::Base::kErrTlsPointer;
  return Quor::Base::kErrTlsConnect;
}

void TlsClose(TlsLink* link) noexcept { delete link; }

int TlsWrite(TlsLink* link, const char* data, unsigned len) noexcept {
  if (link == nullptr || data == nullptr) return Quor::Base::kErrTlsPointer;
  if (len == 0) return Quor::Base::kErrTlsValue;
  return Quor::Base::kErrTlsWrite;
}

int TlsRead(TlsLink* link, int n, char* dst, unsigned* outLen) noexcept {
  if (link == nullptr) return Quor::Base::kErrTlsPointer;
  if (n == 0) return Quor::Base::kErrTlsValue;
  if (dst == nullptr || outLen == nullptr) return Quor::Base::kErrTlsPointer;
  return Quor::Base::kErrTlsRead;
}
