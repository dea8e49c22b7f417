// Opening and closing devices and sessions; finding the configuration file.
#include <quorsdf.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "client/Client.h"
#include "client/Frame.h"
#include "commands/Exchange.h"
#include "config/IniErrors.h"
#include "sdf/Handles.h"

using Quor::Commands::Call;
using Quor::Commands::GuardPlain;
using Quor::Sdf::ClientLink;
using Quor::Sdf::SdfDevice;
using Quor::Sdf::SdfSession;

namespace {

constexpr size_t kPathCapacity = 256;  // a configuration path and its NUL
constexpr const char* kFileName = "/quorConfig.ini";

// The directory of Quor_SetCfgPath. A directory too long to hold is
// remembered as such, so that opening fails rather than using a shorter,
// different path.
struct ConfigDirectory {
  std::mutex lock;
  std::string directory;
  bool tooLong = false;
};

ConfigDirectory& Directory() {
  static ConfigDirectory d;
  return d;
}

int OpenClient(const std::string& path, ClientHandle** client) {
  *client = nullptr;
  using namespace Quor::Base;
  return ClientOpen(path.c_str(), FormatFrame, ParseFrame, kFrameLengthSize, ReadFrameLength, IgnoreHostStatus,
                    kHeartbeatRequest, sizeof kHeartbeatRequest, nullptr, kHeartbeatAnswer, sizeof kHeartbeatAnswer,
                    client);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Forms directory + "/quorConfig.ini", or returns false when it would not fit.
bool FormPath(const std::string& directory, std::string& path) {
  path = directory + kFileName;
  return path.size() < kPathCapacity;
}

// Finds the configuration and opens a client with it: 0 and the client, or a
// non-zero value when no candidate could be used.
int OpenFromConfiguration(ClientHandle** client) {
  std::string directory;
  bool tooLong = false;
  {
    ConfigDirectory& d = Directory();
    std::lock_guard lock(d.lock);
    directory = d.directory;
    tooLong = d.tooLong;
  }
  std::string path;
  if (tooLong) return -1;
  if (!directory.empty()) {
    if (!FormPath(directory, path)) return -1;
    if (Exists(path)) return OpenClient(path, client);
  }
  const char* env = std::getenv("QUOR_PRYMX_CFG_PATH");
  if (env && *env) {
    if (!FormPath(env, path)) return -1;
    return OpenClient(path, client);
  }
  const int rc = OpenClient("./quorConfig.ini", client);
  if (rc == 0 || (rc != Quor::Base::kIniNotLoaded && rc != Quor::Base::kIniOpenFile)) return rc;
  return OpenClient("/usr/etc/quorConfig.ini", client);
}

}  // namespace

extern "C" {

QUOR_API SGD_RV Quor_SetCfgPath(const char* pcDirectory) {
  GuardPlain([&]() -> SGD_RV {
    ConfigDirectory& d = Directory();
    std::lock_guard lock(d.lock);
    d.directory.clear();
    d.tooLong = false;
    if (pcDirectory == nullptr) return SDR_OK;
    const size_t n = strnlen(pcDirectory, kPathCapacity);
    // Kept as too long rather than cut: a cut directory names another place.
    d.tooLong = true;
    if (n < kPathCapacity) {
      d.directory.assign(pcDirectory, n);
      d.tooLong = false;
    }
    return SDR_OK;
  });
  return SDR_OK;
}

QUOR_API SGD_RV SDF_OpenDevice(SGD_HANDLE* phDeviceHandle) {
  if (phDeviceHandle == nullptr) return SDR_INARGERR;
  return GuardPlain([&]() -> SGD_RV {
    ClientHandle* client = nullptr;
    if (OpenFromConfiguration(&client) != 0 || client == nullptr) return SDR_OPENDEVICE;
    std::unique_ptr<ClientLink> link;
    try {
      link = std::make_unique<ClientLink>(client);
    } catch (...) {
      ClientClose(client);
      throw;
    }
    auto* device = new SdfDevice(std::move(link));
    *phDeviceHandle = device;
    return Call(device->link(), "SDF_OpenDevice").Success();
  });
}

QUOR_API SGD_RV SDF_CloseDevice(SGD_HANDLE hDeviceHandle) {
  if (hDeviceHandle == nullptr) return SDR_INARGERR;
  auto* device = static_cast<SdfDevice*>(hDeviceHandle);
  return GuardPlain([&]() -> SGD_RV {
    if (device->SessionCount() != 0) return SDR_BASE;
    Call(device->link(), "SDF_CloseDevice").Success();
    delete device;
    return SDR_OK;
  });
}

QUOR_API SGD_RV SDF_OpenSession(SGD_HANDLE hDeviceHandle, SGD_HANDLE* phSessionHandle) {
  if (hDeviceHandle == nullptr || phSessionHandle == nullptr) return SDR_INARGERR;
  auto* device = static_cast<SdfDevice*>(hDeviceHandle);
  return GuardPlain([&]() -> SGD_RV {
    SdfSession* session = nullptr;
    try {
      session = device->OpenSession();
    } catch (const std::bad_alloc&) {
      return SDR_OPENSESSION;
    }
    if (session == nullptr) return SDR_UNKNOWERR;
    *phSessionHandle = session;
    return Call(device->link(), "SDF_OpenSession").Success();
  });
}

QUOR_API SGD_RV SDF_CloseSession(SGD_HANDLE hSessionHandle) {
  if (hSessionHandle == nullptr) return SDR_INARGERR;
  SdfDevice& device = static_cast<SdfSession*>(hSessionHandle)->device();
  return GuardPlain([&]() -> SGD_RV {
    if (!device.CloseSession(hSessionHandle)) return SDR_UNKNOWERR;
    return Call(device.link(), "SDF_CloseSession").Success();
  });
}

}  // extern "C"
