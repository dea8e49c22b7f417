#include "tools/Device.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "tools/Cli.h"

namespace fs = std::filesystem;

namespace QuorTool {

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/quorsdf-tool.XXXXXX";
  if (!mkdtemp(templ.data())) Fail("cannot make a temporary directory: " + std::string(std::strerror(errno)));
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

namespace {
bool IsFile(const std::string& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}
}  // namespace

std::string FindConfigFile(const std::string& configOption) {
  if (!configOption.empty()) return IsFile(configOption) ? configOption : std::string();
  // No stored directory here: the tool sets one only with --config.
  if (const char* env = getenv("QUOR_PRYMX_CFG_PATH"); env && *env) {
    const std::string p = std::string(env) + "/quorConfig.ini";
    return IsFile(p) ? p : std::string();
  }
  if (IsFile("./quorConfig.ini")) return "./quorConfig.ini";
  if (IsFile("/usr/etc/quorConfig.ini")) return "/usr/etc/quorConfig.ini";
  return {};
}

ConfigSelection::ConfigSelection(const std::string& configOption) {
  if (configOption.empty()) return;
  std::error_code ec;
  if (!fs::is_regular_file(configOption, ec)) UsageError("--config: no such file: " + configOption);
  const fs::path p = fs::absolute(configOption, ec);
  if (p.filename() == "quorConfig.ini") {
    Quor_SetCfgPath(p.parent_path().c_str());
    return;
  }
  copyDir_ = std::make_unique<TempDir>();
  const fs::path copy = fs::path(copyDir_->path()) / "quorConfig.ini";
  if (!fs::copy_file(p, copy, ec)) Fail("cannot copy " + configOption + ": " + ec.message());
  Quor_SetCfgPath(copyDir_->path().c_str());
}

Device::Device() { CheckSdr(SDF_OpenDevice(&handle_), "SDF_OpenDevice"); }
Device::~Device() {
  if (handle_) SDF_CloseDevice(handle_);
}

Session::Session(const Device& device) { CheckSdr(SDF_OpenSession(device.handle(), &handle_), "SDF_OpenSession"); }
Session::~Session() {
  if (handle_) SDF_CloseSession(handle_);
}

KeyHandle KeyHandle::Slot(const Session& session, uint32_t slot) {
  KeyHandle k(session.handle());
  k.slot_ = std::make_unique<uint32_t>(slot);
  return k;
}

KeyHandle KeyHandle::Import(const Session& session, const std::string& plainKey) {
  KeyHandle k(session.handle());
  std::string key = plainKey;
  const SGD_RV rv = SDF_ImportKey(session.handle(), reinterpret_cast<SGD_UCHAR*>(key.data()),
                                  static_cast<SGD_UINT32>(key.size()), &k.imported_);
  explicit_bzero(key.data(), key.size());
  if (rv != SDR_OK) k.imported_ = nullptr;
  CheckSdr(rv, "SDF_ImportKey");
  return k;
}

KeyHandle::KeyHandle(KeyHandle&& other) noexcept
    : session_(other.session_), slot_(std::move(other.slot_)), imported_(other.imported_) {
  other.imported_ = nullptr;
}

KeyHandle::~KeyHandle() {
  if (imported_) SDF_DestroyKey(session_, imported_);
}

}  // namespace QuorTool
