// The tool's view of a device: where its configuration is, an open device and
// session that close themselves, and a key named by a slot or imported.
#pragma once

#include <quorsdf.h>

#include <cstdint>
#include <memory>
#include <string>

namespace QuorTool {

// A private directory under $TMPDIR (or /tmp), removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The configuration file the library will read. With --config: that file;
// without: the candidates SDF_OpenDevice tries, in its order. Empty when none exists.
std::string FindConfigFile(const std::string& configOption);

// Points the library at the file given with --config before a device is
// opened: its own directory when the file is named quorConfig.ini, else a
// private copy under that name. Does nothing without --config.
class ConfigSelection {
 public:
  explicit ConfigSelection(const std::string& configOption);

 private:
  std::unique_ptr<TempDir> copyDir_;
};

class Device {
 public:
  Device();  // SDF_OpenDevice, or a failure
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  SGD_HANDLE handle() const { return handle_; }

 private:
  SGD_HANDLE handle_ = nullptr;
};

class Session {
 public:
  explicit Session(const Device& device);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  SGD_HANDLE handle() const { return handle_; }

 private:
  SGD_HANDLE handle_ = nullptr;
};

// A key handle for SDF_Encrypt and friends: a device slot (the handle points
// at the slot number) or a plain key imported for this session and destroyed
// with this object.
class KeyHandle {
 public:
  static KeyHandle Slot(const Session& session, uint32_t slot);
  static KeyHandle Import(const Session& session, const std::string& plainKey);
  ~KeyHandle();
  KeyHandle(KeyHandle&& other) noexcept;
  KeyHandle& operator=(KeyHandle&&) = delete;
  KeyHandle(const KeyHandle&) = delete;
  SGD_HANDLE handle() { return imported_ ? imported_ : static_cast<SGD_HANDLE>(slot_.get()); }

 private:
  explicit KeyHandle(SGD_HANDLE session) : session_(session) {}
  SGD_HANDLE session_;
  std::unique_ptr<uint32_t> slot_;  // stable address: the handle points at it
  SGD_HANDLE imported_ = nullptr;
};

}  // namespace QuorTool
