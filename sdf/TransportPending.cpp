// Weak stand-ins for the client core until the transport lands; the real
// definitions replace them at link time.
#include "sdf/TransportPending.h"

#define QUOR_WEAK __attribute__((weak))

QUOR_WEAK int ClientOpen(const char*, FormatRequestFn, ParseResponseFn, unsigned long, ParseLengthFn, HostStatusFn,
                         const char*, unsigned long, HeartbeatCheckFn, const char*, unsigned long,
                         ClientHandle**) noexcept {
  return 102;
}
QUOR_WEAK int ClientCommunicate(ClientHandle*, const char*, unsigned long, int, void*, unsigned long*) noexcept {
  return 304;
}
QUOR_WEAK int ClientClose(ClientHandle*) noexcept { return 0; }
QUOR_WEAK void LogMessage(ClientHandle*, int, const char*, ...) noexcept {}
QUOR_WEAK bool LogEnabled(ClientHandle*, int) noexcept { return false; }
namespace Quor::Base {
QUOR_WEAK long FormatFrame(const char*, size_t, const MessageContext*, void*, size_t*) { return -1; }
QUOR_WEAK long ParseFrame(const char*, size_t, const MessageContext*, void*, size_t*) { return -1; }
QUOR_WEAK long ReadFrameLength(const char*, size_t) { return -1; }
QUOR_WEAK void IgnoreHostStatus(unsigned long, unsigned long, const char*, unsigned long) {}
}  // namespace Quor::Base
