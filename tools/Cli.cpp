#include "tools/Cli.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/Hex.h"

namespace QuorTool {

void UsageError(const std::string& message) { throw ToolError(kExitUsage, message); }
void Fail(const std::string& message) { throw ToolError(kExitFailure, message); }

namespace {

struct SdrName {
  SGD_RV code;
  const char* name;
  const char* meaning;
};

constexpr SdrName kSdrNames[] = {
    {SDR_OK, "SDR_OK", "success"},
    {SDR_BASE, "SDR_BASE", "general error (for example sessions are still open on the device)"},
    {SDR_UNKNOWERR, "SDR_UNKNOWERR", "unknown error"},
    {SDR_NOTSUPPORT, "SDR_NOTSUPPORT", "the function is not supported"},
    {SDR_COMMFAIL, "SDR_COMMFAIL", "communication with the device failed"},
    {SDR_HARDFAIL, "SDR_HARDFAIL", "the device hardware failed"},
    {SDR_OPENDEVICE, "SDR_OPENDEVICE", "the device could not be opened"},
    {SDR_OPENSESSION, "SDR_OPENSESSION", "the session could not be opened"},
    {SDR_PARDENY, "SDR_PARDENY", "permission denied"},
    {SDR_KEYNOTEXIST, "SDR_KEYNOTEXIST", "the key does not exist"},
    {SDR_ALGNOTSUPPORT, "SDR_ALGNOTSUPPORT", "the algorithm is not supported"},
    {SDR_ALGMODNOTSUPPORT, "SDR_ALGMODNOTSUPPORT", "the algorithm mode is not supported"},
    {SDR_PKOPERR, "SDR_PKOPERR", "the public key operation failed"},
    {SDR_SKOPERR, "SDR_SKOPERR", "the private key operation failed"},
    {SDR_SIGNERR, "SDR_SIGNERR", "signing failed"},
    {SDR_VERIFYERR, "SDR_VERIFYERR", "the signature did not verify"},
    {SDR_SYMOPERR, "SDR_SYMOPERR", "the symmetric operation failed"},
    {SDR_STEPERR, "SDR_STEPERR", "functions called out of order"},
    {SDR_FILESIZEERR, "SDR_FILESIZEERR", "the file size is not allowed"},
    {SDR_FILENOEXIST, "SDR_FILENOEXIST", "the file does not exist"},
    {SDR_FILEOFSERR, "SDR_FILEOFSERR", "the file offset is out of range"},
    {SDR_KEYTYPEERR, "SDR_KEYTYPEERR", "the key type is wrong"},
    {SDR_KEYERR, "SDR_KEYERR", "the key is wrong"},
    {SDR_ENCDATAERR, "SDR_ENCDATAERR", "the encrypted data is wrong"},
    {SDR_RANDERR, "SDR_RANDERR", "random number generation failed"},
    {SDR_PRKRERR, "SDR_PRKRERR", "the private key access right was refused"},
    {SDR_MACERR, "SDR_MACERR", "the MAC calculation failed"},
    {SDR_FILEEXSITS, "SDR_FILEEXSITS", "the file already exists"},
    {SDR_FILEWERR, "SDR_FILEWERR", "writing the file failed"},
    {SDR_NOBUFFER, "SDR_NOBUFFER", "out of memory"},
    {SDR_INARGERR, "SDR_INARGERR", "an input argument is invalid"},
    {SDR_OUTARGERR, "SDR_OUTARGERR", "an output argument is invalid"},
};

}  // namespace

std::string DescribeSdr(SGD_RV code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", code);
  for (const SdrName& n : kSdrNames)
    if (n.code == code) return std::string(n.name) + " (" + hex + "): " + n.meaning;
  return std::string("unknown code (") + hex + ")";
}

void CheckSdr(SGD_RV code, const char* function) {
  if (code == SDR_OK) return;
  std::string message = std::string(function) + " failed: " + DescribeSdr(code);
  if (code == SDR_OPENDEVICE)
    message += "\n  (is the configuration file there and valid, and is every host reachable?)";
  Fail(message);
}

Args::Args(const std::vector<std::string>& argv, const Spec& spec) {
  auto contains = [](const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  bool optionsEnded = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (optionsEnded || a.size() < 3 || a.compare(0, 2, "--") != 0) {
      if (a == "--")
        optionsEnded = true;
      else
        positional_.push_back(a);
      continue;
    }
    std::string name = a.substr(2), value;
    const size_t eq = name.find('=');
    const bool inlineValue = eq != std::string::npos;
    if (inlineValue) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (contains(spec.flags, name)) {
      if (inlineValue) UsageError("--" + name + " takes no value");
      values_[name] = "1";
    } else if (contains(spec.valued, name)) {
      if (!inlineValue) {
        if (i + 1 >= argv.size()) UsageError("--" + name + " needs a value");
        value = argv[++i];
      }
      values_[name] = value;
    } else {
      UsageError("unknown option --" + name);
    }
  }
}

std::string Args::Get(const std::string& name, const std::string& fallback) const {
  const auto it = values_.find(name);
  return it == values_.end() ? fallback : it->second;
}

uint64_t Args::Number(const std::string& text, const std::string& what, uint64_t min, uint64_t max) {
  uint64_t v = 0;
  bool ok = !text.empty() && text.size() <= 19;
  for (char c : text) ok = ok && c >= '0' && c <= '9';
  if (ok) v = std::stoull(text);
  if (!ok || v < min || v > max)
    UsageError(what + " must be a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
               " (got \"" + text + "\")");
  return v;
}

std::string ToHex(std::string_view bytes) { return Quor::HexEncode(bytes, false); }

std::string FromHex(std::string_view text, const std::string& what) {
  const char* ws = " \t\r\n\v\f";
  const size_t b = text.find_first_not_of(ws);
  const size_t e = text.find_last_not_of(ws);
  const std::string_view t = b == std::string_view::npos ? std::string_view() : text.substr(b, e - b + 1);
  auto bytes = Quor::HexDecodeStrict(t);
  if (!bytes) UsageError(what + " is not hexadecimal (an even number of the digits 0-9, a-f)");
  return *bytes;
}

std::string ReadInput(const std::string& path) {
  std::string data;
  if (path == "-") {
    char buf[65536];
    for (;;) {
      const ssize_t n = ::read(0, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail(std::string("cannot read standard input: ") + std::strerror(errno));
      if (n == 0) break;
      data.append(buf, static_cast<size_t>(n));
    }
    return data;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot open " + path + ": " + std::strerror(errno));
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) Fail("cannot read " + path);
  return data;
}

void WriteOutput(const std::string& path, std::string_view bytes) {
  if (path == "-") {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail(std::string("cannot write standard output: ") + std::strerror(errno));
      done += static_cast<size_t>(n);
    }
    return;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) Fail("cannot create " + path + ": " + std::strerror(errno));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write " + path);
}

}  // namespace QuorTool
