// The persistent key store shared by all quorsim processes that name the
// same file: master keys, slots and device files. Every change is written to
// a temporary file, synced and renamed over the store, under a file lock.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "simulator/Crypto.h"

namespace QuorSim {

constexpr uint32_t kStoreVersion = 1;
constexpr uint32_t kMaxSlot = 1024;
constexpr size_t kMaxLabel = 128;
constexpr size_t kMaxFileName = 128;
constexpr size_t kMaxFileSize = 8192;
constexpr size_t kMaxPassword = 64;

struct SymKey {
  uint32_t alg = 0;  // device algorithm code
  std::string key;   // the plain key
};

// An asymmetric pair: the private key blob of quorsim_crypto (DER RSAPrivateKey, or the SM2 scalar).
struct AsymKey {
  std::string der;
};

struct Slot {
  std::optional<SymKey> sym;
  std::optional<AsymKey> rsa[2];  // [usage]: 0 signing, 1 encryption
  std::optional<AsymKey> sm2[2];
  std::string label[3];           // by key type: 0 symmetric, 1 RSA, 2 SM2
  std::optional<std::string> password;

  bool Empty() const {
    return !sym && !rsa[0] && !rsa[1] && !sm2[0] && !sm2[1] && !password;
  }
  bool HasKeyOfType(uint32_t type) const {
    if (type == 0) return sym.has_value();
    if (type == 1) return rsa[0] || rsa[1];
    if (type == 2) return sm2[0] || sm2[1];
    return false;
  }
};

struct StoreData {
  uint64_t generation = 0;
  Lmk lmk;
  std::string pin;  // the application PIN of 08 99
  std::map<uint32_t, Slot> slots;
  std::map<std::string, std::string> files;  // name -> contents (its size is the file size)
};

std::string SerializeStore(const StoreData& d);
// Empty on success, else a message saying what is wrong with the file.
std::string ParseStore(std::string_view bytes, StoreData* out);

class Store {
 public:
  // Makes a new store with fresh master keys; fails if the file exists.
  static bool Create(const std::string& path, std::string* err);

  // Opens an existing store; false with a message when it is missing, corrupt or of another version.
  bool Open(const std::string& path, std::string* err);
  ~Store();

  // The current contents, re-read first when another process replaced the file.
  std::shared_ptr<const StoreData> Snapshot();

  // Runs fn on a copy of the latest contents under the writers' lock and
  // commits the copy when fn returns 0. Returns fn's code, or a store-write
  // failure code.
  uint16_t Modify(const std::function<uint16_t(StoreData&)>& fn);

  const std::string& path() const { return path_; }

 private:
  struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    int64_t mtimeNs = 0;
    bool operator==(const FileId&) const = default;
  };
  // Reads the file; the id describes exactly what was read.
  bool Load(std::shared_ptr<const StoreData>* data, FileId* id, std::string* err);
  bool Commit(const StoreData& d, std::string* err);

  std::string path_;
  int lockFd_ = -1;
  std::mutex mu_;       // guards current_ and id_
  std::mutex writeMu_;  // serialises this process's writers (flock alone does not, within one process)
  std::shared_ptr<const StoreData> current_;
  FileId id_;
};

}  // namespace QuorSim
