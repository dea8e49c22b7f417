#include "config/INICfgFile.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "client/Errors.h"
#include "common/Hex.h"
#include "common/Text.h"
#include "common/Timestamp.h"

namespace Quor::Base {
namespace {

[[noreturn]] void Invalid() { throw MakeError(kErrInvalidConfig); }

// Lookup failures that mean "not configured" for an optional key.
bool MeansAbsent(int32_t code) {
  return code == kIniEmptySection || code == kIniNoKey || code == kIniEmptyKey || code == kIniEmptyValue;
}

std::optional<std::string> Optional(const INIParser& ini, const std::string& section, const char* key) {
  try {
    return ini.GetValues(section, key).front();
  } catch (const Exception& e) {
    if (MeansAbsent(e.Code())) return std::nullopt;
    throw;
  }
}

std::string Required(const INIParser& ini, const std::string& section, const char* key) {
  return ini.GetValues(section, key).front();
}

// A section that is absent (104) is reported as false; other failures pass.
bool HasSection(const INIParser& ini, const std::string& section) {
  try {
    ini.GetSection(section);
    return true;
  } catch (const Exception& e) {
    if (e.Code() == kIniNoSection) return false;
    throw;
  }
}

// Checked signed field: the number itself must lie in [lo, hi], so a number
// too large for the field is out of range rather than wrapped into it.
std::optional<int32_t> CheckedInt(const INIParser& ini, const std::string& section, const char* key, int64_t lo,
                                  int64_t hi = std::numeric_limits<int32_t>::max()) {
  const auto text = Optional(ini, section, key);
  if (!text) return std::nullopt;
  const int64_t n = ParseLeadingInt(*text);
  if (n < lo || n > hi) Invalid();
  return static_cast<int32_t>(n);
}

// Unchecked unsigned field: the number modulo 2^32, as a C conversion would.
std::optional<uint32_t> Unsigned(const INIParser& ini, const std::string& section, const char* key) {
  const auto text = Optional(ini, section, key);
  if (!text) return std::nullopt;
  return static_cast<uint32_t>(ParseLeadingInt(*text));
}

std::string HexBytes(const std::string& text) {
  auto bytes = HexDecodeStrict(text);
  if (!bytes) Invalid();
  return std::move(*bytes);
}

bool AllDigits(const std::string& s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

HostConfig ReadHost(const INIParser& ini, const std::string& section, int32_t number) {
  HostConfig h;
  h.number = number;
  h.model = Required(ini, section, "model");
  h.ip = Required(ini, section, "ip");
  h.port = static_cast<uint16_t>(ParseLeadingInt(Required(ini, section, "port")));
  if (auto v = Unsigned(ini, section, "timeout")) h.timeout = *v;
  if (auto v = Unsigned(ini, section, "minConn")) {
    h.minConn = *v;
    h.maxConn = static_cast<int32_t>(*v);
  }
  if (auto v = Unsigned(ini, section, "maxConn")) {
    if (*v < h.minConn) Invalid();
    h.maxConn = static_cast<int32_t>(*v);
  }
  if (auto v = Optional(ini, section, "msgHead")) h.msgHead = HexBytes(*v);
  if (auto v = Optional(ini, section, "msgTail")) h.msgTail = HexBytes(*v);
  if (auto v = Optional(ini, section, "protocol")) {
    const int64_t n = ParseLeadingInt(*v);
    if (n != 1 && n != 2 && n != 4) Invalid();
    h.protocol = static_cast<uint32_t>(n);
  }

  if (h.protocol == 2) {
    if (auto v = Optional(ini, section, "rsaPfxPath")) {
      h.rsaPfxPath = *v;
      h.rsaPfxPwd = Required(ini, section, "rsaPfxPwd");
    }
  } else if (h.protocol == 4) {
    if (auto v = Optional(ini, section, "sm2SigPfxPath")) {
      h.sm2SigPfxPath = *v;
      h.sm2SigPfxPwd = Required(ini, section, "sm2SigPfxPwd");
      if (auto enc = Optional(ini, section, "sm2EncPfxPath")) {
        h.sm2EncPfxPath = *enc;
        h.sm2EncPfxPwd = Required(ini, section, "sm2EncPfxPwd");
      }
    }
  }
  if (h.protocol == 2 || h.protocol == 4) {
    if (auto v = Optional(ini, section, "caCertPath")) h.caCertPath = *v;
  }

  if (auto v = Optional(ini, section, "sysname")) {
    h.sysname = *v;
    h.signkey = Required(ini, section, "signkey");
  }
  return h;
}

std::vector<size_t> ReadGroup(const INIParser& ini, const std::string& section, size_t hostCount) {
  const std::string list = Required(ini, section, "host");
  std::vector<size_t> members;
  size_t start = 0;
  while (true) {
    const size_t comma = list.find(',', start);
    const std::string piece = Trim(std::string_view(list).substr(start, comma - start));
    if (!AllDigits(piece)) Invalid();
    // Compared unwrapped: a huge number must not alias a small host number.
    const int64_t n = ParseLeadingInt(piece);
    if (n < 1 || static_cast<uint64_t>(n) > hostCount) Invalid();
    members.push_back(static_cast<size_t>(n - 1));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return members;
}

struct FileCloser {
  void operator()(FILE* f) const noexcept { std::fclose(f); }
};

bool WriteLine(FILE* f, const std::string& line) {
  return std::fwrite(line.data(), 1, line.size(), f) == line.size() && std::fflush(f) == 0;
}

}  // namespace

INICfgFile::INICfgFile(const std::string& pathOrText) {
  Load(pathOrText);

  if (HasSection(*this, "Logger")) {
    if (auto v = CheckedInt(*this, "Logger", "level", 1, 5)) logger.level = *v;
    if (auto v = Optional(*this, "Logger", "path")) logger.path = *v;
    if (auto v = CheckedInt(*this, "Logger", "maxSize", 1)) logger.maxSize = *v;
    if (auto v = CheckedInt(*this, "Logger", "backupNum", 0)) logger.backupNum = *v;
    if (auto v = Optional(*this, "Logger", "sm2PubKey")) logger.sm2PubKey = *v;
  }

  if (HasSection(*this, "Global")) {
    if (auto v = CheckedInt(*this, "Global", "mechanism", 1, 2)) mechanism = *v;
    if (auto v = CheckedInt(*this, "Global", "http", 0, 1)) http = *v == 1;
    if (auto v = CheckedInt(*this, "Global", "allHostAliveStart", 0, 1)) allHostAliveStart = *v == 1;
    if (auto v = CheckedInt(*this, "Global", "session", 0, 1)) session = *v == 1;
  }

  // Hosts are numbered from 1 without gaps; at least Host 1 is required.
  for (int32_t n = 1;; ++n) {
    const std::string section = "Host " + std::to_string(n);
    if (n == 1) {
      GetSection(section);  // 104 when missing
    } else if (!HasSection(*this, section)) {
      break;
    }
    hosts.push_back(ReadHost(*this, section, n));
  }

  for (int32_t n = 1;; ++n) {
    const std::string section = "Group " + std::to_string(n);
    if (!HasSection(*this, section)) break;
    groups.push_back(ReadGroup(*this, section, hosts.size()));
  }
}

void WriteInitFailureTo(const std::string& file, const std::string& pathOrText, int32_t code,
                        const char* message) noexcept {
  try {
    std::unique_ptr<FILE, FileCloser> f(std::fopen(file.c_str(), "wb"));
    if (!f) return;
    const std::string head = "[ERROR]<" + LogTimestamp() + ">| ";
    if (!WriteLine(f.get(), head + "Failed config file or content: " + pathOrText + "\n")) return;
    if (!WriteLine(f.get(), head + "Error code: " + std::to_string(code) + "\n")) return;
    WriteLine(f.get(), head + "Error reason: " + (message ? message : "") + "\n");
  } catch (...) {
    // Out of memory while reporting a failure: the failure is still returned.
  }
}

void WriteInitFailure(const std::string& pathOrText, int32_t code, const char* message) noexcept {
  WriteInitFailureTo("quor_init_failed.log", pathOrText, code, message);
}

}  // namespace Quor::Base
