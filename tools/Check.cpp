// check: each configured host on its own. The public interface has no
// per-host call, so every [Host N] section is put alone into a one-host
// configuration in a private directory and opened as a device of its own.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/Commands.h"
#include "tools/Device.h"

namespace QuorTool {

namespace {

std::string Trim(const std::string& s) {
  const char* ws = " \t\r\n\v\f";
  const size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

struct Section {
  std::string name;
  std::vector<std::string> lines;  // key lines and comments, as written
  std::string Value(const std::string& key) const {
    for (const std::string& l : lines) {
      const size_t eq = l.find('=');
      if (eq != std::string::npos && Trim(l.substr(0, eq)) == key) return Trim(l.substr(eq + 1));
    }
    return {};
  }
};

// Sections by first occurrence, as the library looks them up.
std::vector<Section> ReadSections(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail("cannot read " + path);
  std::vector<Section> sections;
  Section* current = nullptr;
  bool skipping = false;
  for (std::string line; std::getline(in, line);) {
    const std::string t = Trim(line);
    if (!t.empty() && t.front() == '[' && t.back() == ']') {
      const std::string name = Trim(t.substr(1, t.size() - 2));
      skipping = false;
      for (const Section& s : sections) skipping = skipping || s.name == name;
      if (!skipping) {
        sections.push_back({name, {}});
        current = &sections.back();
      }
      continue;
    }
    if (current && !skipping) current->lines.push_back(line);
  }
  return sections;
}

const Section* Find(const std::vector<Section>& sections, const std::string& name) {
  for (const Section& s : sections)
    if (s.name == name) return &s;
  return nullptr;
}

// The configuration with only host n, as [Host 1]; groups dropped; opening
// fails when the host cannot be reached; the log goes to the private directory.
std::string OneHostConfig(const std::vector<Section>& sections, const Section& host, const std::string& dir) {
  std::ostringstream out;
  out << "[Logger]\npath = " << dir << "/check.log\nlevel = 5\n\n[Global]\n";
  if (const Section* g = Find(sections, "Global"))
    for (const std::string& l : g->lines) {
      const size_t eq = l.find('=');
      if (eq == std::string::npos || Trim(l.substr(0, eq)) != "allHostAliveStart") out << l << "\n";
    }
  out << "allHostAliveStart = 1\n\n[Host 1]\n";
  for (const std::string& l : host.lines) out << l << "\n";
  return out.str();
}

}  // namespace

int RunCheck(const Args& args) {
  const std::string path = FindConfigFile(args.Get("config"));
  if (path.empty())
    Fail(args.Has("config") ? "no such file: " + args.Get("config")
                            : "no configuration file found ($QUOR_PRYMX_CFG_PATH/quorConfig.ini, ./quorConfig.ini, "
                              "/usr/etc/quorConfig.ini)");
  const std::vector<Section> sections = ReadSections(path);
  std::vector<const Section*> hosts;
  for (int n = 1;; ++n) {
    const Section* h = Find(sections, "Host " + std::to_string(n));
    if (!h) break;
    hosts.push_back(h);
  }
  if (hosts.empty()) Fail(path + " has no [Host 1] section");

  std::printf("configuration: %s\n", path.c_str());
  std::printf("%-5s %-22s %-6s %s\n", "host", "address", "state", "round trip of SDF_GenerateRandom(4)");
  int down = 0;
  for (size_t i = 0; i < hosts.size(); ++i) {
    const Section& h = *hosts[i];
    const std::string address = h.Value("ip") + ":" + h.Value("port");
    TempDir dir;
    {
      std::ofstream f(dir.path() + "/quorConfig.ini");
      f << OneHostConfig(sections, h, dir.path());
      if (!f) Fail("cannot write a configuration in " + dir.path());
    }
    Quor_SetCfgPath(dir.path().c_str());
    std::string state = "up", detail;
    SGD_HANDLE dev = nullptr, session = nullptr;
    SGD_RV rv = SDF_OpenDevice(&dev);
    if (rv == SDR_OK) rv = SDF_OpenSession(dev, &session);
    if (rv == SDR_OK) {
      unsigned char random[4];
      const auto t0 = std::chrono::steady_clock::now();
      rv = SDF_GenerateRandom(session, sizeof random, random);
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.3f ms", ms);
      detail = buf;
    }
    if (session) SDF_CloseSession(session);
    if (dev) SDF_CloseDevice(dev);
    if (rv != SDR_OK) {
      state = "down";
      detail = DescribeSdr(rv);
      ++down;
    }
    std::printf("%-5zu %-22s %-6s %s\n", i + 1, address.c_str(), state.c_str(), detail.c_str());
    std::fflush(stdout);
  }
  Quor_SetCfgPath("");
  return down ? kExitFailure : 0;
}

}  // namespace QuorTool
