// The objects behind the SDF handles: devices, sessions, session keys and
// agreement records, and the link through which a device reaches its hosts.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "common/Bytes.h"

struct ClientHandle;

namespace Quor::Sdf {

// How a device reaches its device hosts and its log. The library uses the
// client core; tests put a scripted device behind it.
class DeviceLink {
 public:
  virtual ~DeviceLink() = default;
  // As ClientCommunicate with host number 0: *answerLen is the capacity on
  // entry and the answer's length on return; 0 or a client-core code.
  virtual int Communicate(const char* request, unsigned long requestLen, void* answer,
                          unsigned long* answerLen) noexcept = 0;
  virtual bool LogEnabled(int level) noexcept = 0;
  virtual void Log(int level, const char* line) noexcept = 0;
};

// The client core behind a device; closes the client when destroyed.
class ClientLink final : public DeviceLink {
 public:
  explicit ClientLink(ClientHandle* client) : client_(client) {}
  ~ClientLink() override;
  ClientLink(const ClientLink&) = delete;
  ClientLink& operator=(const ClientLink&) = delete;

  int Communicate(const char* request, unsigned long requestLen, void* answer,
                  unsigned long* answerLen) noexcept override;
  bool LogEnabled(int level) noexcept override;
  void Log(int level, const char* line) noexcept override;

 private:
  ClientHandle* client_;
};

// A session key made by the library. The key handle is its address; its first
// four bytes are the key index, always 0 for a session key.
struct SdfKey {
  uint32_t idx = 0;
  Bytes cipher;  // the key's LMK cipher as the device returned it
};

// The sponsor's state between the two calls of an SM2 key agreement.
struct SdfAgreement {
  uint32_t keyBits = 0;
  uint32_t keyIndex = 0;
  Bytes tmpX;
  Bytes tmpY;
  Bytes tmpPrivateKey;  // plain; wiped when the record is freed
  Bytes sponsorId;
  ~SdfAgreement();
};

class SdfDevice;

class SdfSession {
 public:
  explicit SdfSession(SdfDevice& device) : device_(device) {}
  ~SdfSession();
  SdfSession(const SdfSession&) = delete;
  SdfSession& operator=(const SdfSession&) = delete;

  SdfDevice& device() const { return device_; }
  DeviceLink& link() const;

  // Access rights: private-key index -> the accepted password.
  bool HasRight(int32_t index) const;
  bool AddRight(int32_t index, Bytes password);  // false when already held
  bool RemoveRight(int32_t index);               // false when not held

  // Session keys and agreement records, owned by the session.
  SdfKey* AddKey(std::unique_ptr<SdfKey> key);
  bool HasKey(const void* handle) const;
  const SdfKey* FindKey(const void* handle) const;  // null when not registered here
  bool DestroyKey(const void* handle);
  SdfAgreement* AddAgreement(std::unique_ptr<SdfAgreement> agreement);
  SdfAgreement* FindAgreement(const void* handle) const;
  bool DestroyAgreement(const void* handle);

  // The running hash's device state; null when no hash is under way. Not
  // guarded: one session's hash must be driven by one thread at a time.
  std::unique_ptr<Bytes> hashState;

 private:
  SdfDevice& device_;
  mutable std::mutex keyLock_;
  std::map<const void*, std::unique_ptr<SdfKey>> keys_;
  mutable std::mutex agreementLock_;
  std::map<const void*, std::unique_ptr<SdfAgreement>> agreements_;
  mutable std::mutex rightLock_;
  std::map<int32_t, Bytes> rights_;
};

class SdfDevice {
 public:
  explicit SdfDevice(std::unique_ptr<DeviceLink> link) : link_(std::move(link)) {}
  ~SdfDevice();
  SdfDevice(const SdfDevice&) = delete;
  SdfDevice& operator=(const SdfDevice&) = delete;

  DeviceLink& link() const { return *link_; }

  SdfSession* OpenSession();              // registered; null if it could not be
  bool CloseSession(const void* handle);  // false when not registered here
  size_t SessionCount() const;

 private:
  std::unique_ptr<DeviceLink> link_;
  mutable std::mutex lock_;
  std::map<const void*, std::unique_ptr<SdfSession>> sessions_;
};

inline DeviceLink& SdfSession::link() const { return device_.link(); }

}  // namespace Quor::Sdf
