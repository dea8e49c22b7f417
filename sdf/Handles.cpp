#include "sdf/Handles.h"

#include <openssl/crypto.h>

#include "client/Client.h"

namespace Quor::Sdf {
namespace {

void Wipe(Bytes& b) {
  if (!b.empty()) OPENSSL_cleanse(b.data(), b.size());
}

}  // namespace

ClientLink::~ClientLink() { ClientClose(client_); }

int ClientLink::Communicate(const char* request, unsigned long requestLen, void* answer,
                            unsigned long* answerLen) noexcept {
  return ClientCommunicate(client_, request, requestLen, 0, answer, answerLen);
}

bool ClientLink::LogEnabled(int level) noexcept { return ::LogEnabled(client_, level); }

void ClientLink::Log(int level, const char* line) noexcept { LogMessage(client_, level, "%s", line); }

SdfAgreement::~SdfAgreement() { Wipe(tmpPrivateKey); }

SdfSession::~SdfSession() {
  // Release order: hash state, session keys, agreements, access rights.
  hashState.reset();
  keys_.clear();
  agreements_.clear();
  for (auto& [index, password] : rights_) Wipe(password);
  rights_.clear();
}

bool SdfSession::HasRight(int32_t index) const {
  std::lock_guard lock(rightLock_);
  return rights_.contains(index);
}

bool SdfSession::AddRight(int32_t index, Bytes password) {
  std::lock_guard lock(rightLock_);
  const bool inserted = rights_.try_emplace(index, std::move(password)).second;
  return inserted;
}

bool SdfSession::RemoveRight(int32_t index) {
  std::lock_guard lock(rightLock_);
  const auto it = rights_.find(index);
  if (it == rights_.end()) return false;
  Wipe(it->second);
  rights_.erase(it);
  return true;
}

SdfKey* SdfSession::AddKey(std::unique_ptr<SdfKey> key) {
  SdfKey* raw = key.get();
  std::lock_guard lock(keyLock_);
  keys_.emplace(raw, std::move(key));
  return raw;
}

bool SdfSession::HasKey(const void* handle) const {
  std::lock_guard lock(keyLock_);
  return keys_.contains(handle);
}

const SdfKey* SdfSession::FindKey(const void* handle) const {
  std::lock_guard lock(keyLock_);
  const auto it = keys_.find(handle);
  return it == keys_.end() ? nullptr : it->second.get();
}

bool SdfSession::DestroyKey(const void* handle) {
  std::unique_ptr<SdfKey> doomed;
  {
    std::lock_guard lock(keyLock_);
    const auto it = keys_.find(handle);
    if (it == keys_.end()) return false;
    doomed = std::move(it->second);
    keys_.erase(it);
  }
  Wipe(doomed->cipher);
  return true;
}

SdfAgreement* SdfSession::AddAgreement(std::unique_ptr<SdfAgreement> agreement) {
  SdfAgreement* raw = agreement.get();
  std::lock_guard lock(agreementLock_);
  agreements_.emplace(raw, std::move(agreement));
  return raw;
}

SdfAgreement* SdfSession::FindAgreement(const void* handle) const {
  std::lock_guard lock(agreementLock_);
  const auto it = agreements_.find(handle);
  return it == agreements_.end() ? nullptr : it->second.get();
}

bool SdfSession::DestroyAgreement(const void* handle) {
  std::unique_ptr<SdfAgreement> doomed;
  std::lock_guard lock(agreementLock_);
  const auto it = agreements_.find(handle);
  if (it == agreements_.end()) return false;
  doomed = std::move(it->second);
  agreements_.erase(it);
  return true;
}

SdfDevice::~SdfDevice() {
  {
    std::lock_guard lock(lock_);
    sessions_.clear();
  }
  link_.reset();  // closes the client core last
}

SdfSession* SdfDevice::OpenSession() {
  auto session = std::make_unique<SdfSession>(*this);
  SdfSession* raw = session.get();
  std::lock_guard lock(lock_);
  return sessions_.emplace(raw, std::move(session)).second ? raw : nullptr;
}

bool SdfDevice::CloseSession(const void* handle) {
  std::unique_ptr<SdfSession> doomed;
  std::lock_guard lock(lock_);
  const auto it = sessions_.find(handle);
  if (it == sessions_.end()) return false;
  doomed = std::move(it->second);
  sessions_.erase(it);
  return true;
}

size_t SdfDevice::SessionCount() const {
  std::lock_guard lock(lock_);
  return sessions_.size();
}

}  // namespace Quor::Sdf
