// Store file: "QUORSIM1" magic, version, payload length, payload, and the
// SHA-256 of everything before it.
#include "simulator/Store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "common/Bytes.h"
#include "simulator/Digest.h"
#include "simulator/Reader.h"

namespace QuorSim {
namespace {

constexpr char kMagic[] = "QUORSIM1";
constexpr size_t kHeader = 8 + 4 + 4;

void PutStr(std::string& o, std::string_view s) {
  Quor::PutU32(o, static_cast<uint32_t>(s.size()));
  o += s;
}

struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

bool WriteAll(int fd, std::string_view s) {
  while (!s.empty()) {
    const ssize_t n = ::write(fd, s.data(), s.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    s.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string DirOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool SyncDir(const std::string& path) {
  Fd d(::open(DirOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return d.fd >= 0 && ::fsync(d.fd) == 0;
}

// Writes bytes to a new temporary file beside path, synced; returns its name.
bool WriteTemp(const std::string& path, std::string_view bytes, std::string* tmp, std::string* err) {
  static std::atomic<unsigned> counter{0};
  *tmp = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
  Fd f(::open(tmp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (f.fd < 0) {
    *err = "cannot create " + *tmp + ": " + std::strerror(errno);
    return false;
  }
  if (!WriteAll(f.fd, bytes) || ::fsync(f.fd) != 0) {
    *err = "cannot write " + *tmp + ": " + std::strerror(errno);
    ::unlink(tmp->c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string SerializeStore(const StoreData& d) {
  std::string p;
  Quor::PutU32(p, static_cast<uint32_t>(d.generation >> 32));
  Quor::PutU32(p, static_cast<uint32_t>(d.generation));
  PutStr(p, d.lmk.sm4);
  PutStr(p, d.lmk.des3);
  PutStr(p, d.pin);
  Quor::PutU32(p, static_cast<uint32_t>(d.slots.size()));
  for (const auto& [index, s] : d.slots) {
    Quor::PutU32(p, index);
    uint32_t flags = 0;
    if (s.sym) flags |= 1;
    if (s.rsa[0]) flags |= 2;
    if (s.rsa[1]) flags |= 4;
    if (s.sm2[0]) flags |= 8;
    if (s.sm2[1]) flags |= 16;
    if (s.password) flags |= 32;
    Quor::PutU32(p, flags);
    if (s.sym) {
      Quor::PutU32(p, s.sym->alg);
      PutStr(p, s.sym->key);
    }
    for (const auto& k : s.rsa)
      if (k) PutStr(p, k->der);
    for (const auto& k : s.sm2)
      if (k) PutStr(p, k->der);
    if (s.password) PutStr(p, *s.password);
    for (const auto& l : s.label) PutStr(p, l);
  }
  Quor::PutU32(p, static_cast<uint32_t>(d.files.size()));
  for (const auto& [name, data] : d.files) {
    PutStr(p, name);
    PutStr(p, data);
  }
  std::string out(kMagic, 8);
  Quor::PutU32(out, kStoreVersion);
  Quor::PutU32(out, static_cast<uint32_t>(p.size()));
  out += p;
  out += HashOnce(HashAlg::Sha256, out);
  return out;
}

std::string ParseStore(std::string_view b, StoreData* out) {
  if (b.size() < kHeader + 32 || b.substr(0, 8) != std::string_view(kMagic, 8))
    return "is not a quorsim store (bad magic or too short)";
  const uint32_t version = Quor::GetU32(b.data() + 8);
  if (version != kStoreVersion)
    return "has format version " + std::to_string(version) + "; this quorsim reads version " +
           std::to_string(kStoreVersion);
  const uint32_t len = Quor::GetU32(b.data() + 12);
  if (b.size() != kHeader + len + 32) return "is corrupt (its length does not match its header)";
  if (HashOnce(HashAlg::Sha256, b.substr(0, kHeader + len)) != b.substr(kHeader + len))
    return "is corrupt (integrity check failed)";
  try {
    Reader r(b.substr(kHeader, len));
    StoreData d;
    d.generation = (uint64_t{r.U32()} << 32) | r.U32();
    d.lmk.sm4 = r.Bytes();
    d.lmk.des3 = r.Bytes();
    d.pin = r.Bytes();
    if (d.lmk.sm4.size() != 16 || d.lmk.des3.size() != 24) return "is corrupt (bad master keys)";
    for (uint32_t n = r.U32(); n > 0; --n) {
      const uint32_t index = r.U32();
      const uint32_t flags = r.U32();
      Slot s;
      if (flags & 1) s.sym = SymKey{r.U32(), std::string(r.Bytes())};
      if (flags & 2) s.rsa[0] = AsymKey{std::string(r.Bytes())};
      if (flags & 4) s.rsa[1] = AsymKey{std::string(r.Bytes())};
      if (flags & 8) s.sm2[0] = AsymKey{std::string(r.Bytes())};
      if (flags & 16) s.sm2[1] = AsymKey{std::string(r.Bytes())};
      if (flags & 32) s.password = std::string(r.Bytes());
      for (auto& l : s.label) l = r.Bytes();
      d.slots[index] = std::move(s);
    }
    for (uint32_t n = r.U32(); n > 0; --n) {
      std::string name(r.Bytes());
      d.files[name] = r.Bytes();
    }
    r.Done();
    *out = std::move(d);
  } catch (const Malformed&) {
    return "is corrupt (bad record layout)";
  }
  return {};
}

bool Store::Create(const std::string& path, std::string* err) {
  InitCrypto();
  StoreData d;
  RandomBytes(16, &d.lmk.sm4);
  RandomBytes(24, &d.lmk.des3);
  d.pin = "12345678";
  std::string tmp;
  if (!WriteTemp(path, SerializeStore(d), &tmp, err)) return false;
  // link() refuses an existing name, so a store is never overwritten.
  const int rc = ::link(tmp.c_str(), path.c_str());
  const int linkErr = errno;
  ::unlink(tmp.c_str());
  if (rc != 0) {
    *err = linkErr == EEXIST ? "store " + path + " already exists; not overwriting it"
                             : "cannot create store " + path + ": " + std::strerror(linkErr);
    return false;
  }
  SyncDir(path);
  return true;
}

Store::~Store() {
  if (lockFd_ >= 0) ::close(lockFd_);
}

bool Store::Open(const std::string& path, std::string* err) {
  InitCrypto();
  path_ = path;
  std::shared_ptr<const StoreData> d;
  FileId id;
  if (!Load(&d, &id, err)) return false;
  lockFd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) {
    *err = "cannot open lock file " + path + ".lock: " + std::strerror(errno);
    return false;
  }
  std::lock_guard<std::mutex> lock(mu_);
  current_ = std::move(d);
  id_ = id;
  return true;
}

bool Store::Load(std::shared_ptr<const StoreData>* data, FileId* id, std::string* err) {
  Fd f(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (f.fd < 0) {
    *err = "cannot open store " + path_ + ": " + std::strerror(errno);
    return false;
  }
  struct stat st{};
  if (::fstat(f.fd, &st) != 0) {
    *err = "cannot stat store " + path_ + ": " + std::strerror(errno);
    return false;
  }
  std::string bytes;
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(f.fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  auto d = std::make_shared<StoreData>();
  const std::string problem = ParseStore(bytes, d.get());
  if (!problem.empty()) {
    *err = "store " + path_ + " " + problem;
    return false;
  }
  *data = std::move(d);
  *id = FileId{st.st_dev, st.st_ino, st.st_size, int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
  return true;
}

std::shared_ptr<const StoreData> Store::Snapshot() {
  std::lock_guard<std::mutex> lock(mu_);
  struct stat st{};
  if (::stat(path_.c_str(), &st) == 0) {
    const FileId now{st.st_dev, st.st_ino, st.st_size,
                     int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
    if (!(now == id_)) {
      std::shared_ptr<const StoreData> d;
      FileId id;
      std::string err;
      // A file that cannot be read now keeps the last good contents in use.
      if (Load(&d, &id, &err)) {
        current_ = std::move(d);
        id_ = id;
      }
    }
  }
  return current_;
}

bool Store::Commit(const StoreData& d, std::string* err) {
  std::string tmp;
  if (!WriteTemp(path_, SerializeStore(d), &tmp, err)) return false;
  if (::rename(tmp.c_str(), path_.c_str()) != 0) {
    *err = "cannot rename " + tmp + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  SyncDir(path_);
  return true;
}

uint16_t Store::Modify(const std::function<uint16_t(StoreData&)>& fn) {
  std::lock_guard<std::mutex> writer(writeMu_);
  while (::flock(lockFd_, LOCK_EX) != 0) {
    if (errno != EINTR) return Dev::kStoreWriteFailed;
  }
  struct Unlock {
    int fd;
    ~Unlock() { ::flock(fd, LOCK_UN); }
  } unlock{lockFd_};
  // Start from what is on disk now: another process may have written since our last read.
  std::shared_ptr<const StoreData> latest;
  FileId id;
  std::string err;
  if (!Load(&latest, &id, &err)) return Dev::kStoreWriteFailed;
  auto copy = std::make_shared<StoreData>(*latest);
  const uint16_t rc = fn(*copy);
  if (rc != Dev::kOk) return rc;
  copy->generation++;
  if (!Commit(*copy, &err)) return Dev::kStoreWriteFailed;
  std::shared_ptr<const StoreData> fresh;
  if (Load(&fresh, &id, &err)) {
    std::lock_guard<std::mutex> lock(mu_);
    current_ = std::move(fresh);
    id_ = id;
  }
  return Dev::kOk;
}

}  // namespace QuorSim
