// Shared pieces of the end-to-end tests: a simulator with its configuration
// directory, an open device and session, and the client log.
#pragma once

#include <quorsdf.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/QuorSimulator.h"

namespace QuorTest {

// The heartbeat every host monitor sends about once a second.
inline const std::string kHeartbeatBody("\x01\x02\x00\x00\x00\x04", 6);

// One simulator and a configuration directory pointing at it.
struct SimSetup {
  explicit SimSetup(SimulatorOptions options = {}) : sim(std::move(options)), dir(MakeTempDir()) {
    ClientConfigOptions config;
    config.logPath = dir + "/quor.log";
    config.logLevel = 1;
    WriteClientConfig(dir, {sim.Host()}, config);
  }
  ~SimSetup() {
    sim.Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string LogPath() const { return dir + "/quor.log"; }

  // Requests recorded since the last Forget, heartbeats left out.
  std::vector<std::string> Commands() {
    std::vector<std::string> out;
    for (std::string& r : sim.Requests())
      if (r != kHeartbeatBody) out.push_back(std::move(r));
    return out;
  }
  void Forget() { sim.ControlOk("forget"); }

  Simulator sim;
  std::string dir;
};

// The lines of a log file.
inline std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Whether the log holds a line of the given tag ("[ERROR]") with exactly this
// message; waits a little, since the logger writes from its own thread.
inline bool LogHasLine(const std::string& path, const std::string& tag, const std::string& message) {
  for (int i = 0; i < 100; ++i) {
    for (const std::string& line : ReadLines(path)) {
      const size_t bar = line.find(">|");
      if (line.rfind(tag + "<", 0) == 0 && bar != std::string::npos && line.substr(bar + 2) == message) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// An environment variable set for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The working directory changed for one scope.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::string& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCwd() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

}  // namespace QuorTest
