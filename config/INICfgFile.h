// The library's configuration: an INIParser whose known sections are read
// into typed, checked fields when it is built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/INIParser.h"

namespace Quor::Base {

struct LoggerSettings {
  int32_t level = 1;
  std::string path = "quor.log";
  int32_t maxSize = 1024;  // MiB
  int32_t backupNum = 10;
  std::string sm2PubKey;
};

struct HostConfig {
  int32_t number = 0;  // N of its [Host N] section
  std::string model;
  std::string ip;
  std::string spare;  // set by no key; copied into the host's pool
  uint16_t port = 0;
  uint32_t timeout = 10;  // seconds
  uint32_t minConn = 10;
  int32_t maxConn = 30;  // 0: no limit
  std::string msgHead;   // bytes
  std::string msgTail;   // bytes
  uint32_t protocol = 1;  // 1 TCP, 2 TLS (RSA), 4 TLS (SM2)
  std::string rsaPfxPath;
  std::string rsaPfxPwd;
  std::string sm2SigPfxPath;
  std::string sm2SigPfxPwd;
  std::string sm2EncPfxPath;
  std::string sm2EncPfxPwd;
  std::string caCertPath;
  std::string sysname;
  std::string signkey;
};

class INICfgFile : public INIParser {
 public:
  // Loads and validates; throws Quor::Exception (101-111, 301) on failure.
  explicit INICfgFile(const std::string& pathOrText);

  LoggerSettings logger;
  int32_t mechanism = 1;
  bool http = false;
  bool allHostAliveStart = true;
  bool session = false;
  std::vector<HostConfig> hosts;
  // Each group lists indexes into hosts (0-based), in the order written.
  std::vector<std::vector<size_t>> groups;
};

// Writes "quor_init_failed.log" in the working directory (three lines: the
// path-or-text, the code, the message). Never throws.
void WriteInitFailure(const std::string& pathOrText, int32_t code, const char* message) noexcept;
// The same into a chosen file, for tests.
void WriteInitFailureTo(const std::string& file, const std::string& pathOrText, int32_t code,
                        const char* message) noexcept;

}  // namespace Quor::Base
