// Command-line plumbing of quorsdf-tool: options, errors with exit codes,
// SDR code names, hexadecimal text and whole-file input and output.
#pragma once

#include <quorsdf.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace QuorTool {

// Exit codes: 0 success, 1 a failed operation, 2 a usage error.
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Thrown anywhere in a subcommand; main prints it and exits with its code.
struct ToolError : std::runtime_error {
  ToolError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode(exitCode) {}
  int exitCode;
};

[[noreturn]] void UsageError(const std::string& message);
[[noreturn]] void Fail(const std::string& message);

// "SDR_KEYNOTEXIST (0x01000008): the key does not exist"
std::string DescribeSdr(SGD_RV code);
// Throws a failure naming the function and the code when code is not SDR_OK.
void CheckSdr(SGD_RV code, const char* function);

// Options of one subcommand, parsed from its arguments. Options are
// "--name value", "--name=value" or flags; "--" ends them; "-" is a positional.
class Args {
 public:
  struct Spec {
    std::vector<std::string> valued;  // options that take a value
    std::vector<std::string> flags;   // options without one
  };
  Args(const std::vector<std::string>& argv, const Spec& spec);

  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  std::string Get(const std::string& name, const std::string& fallback = {}) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  // A whole number in [min, max] from an option or text, or a usage error naming what.
  static uint64_t Number(const std::string& text, const std::string& what, uint64_t min, uint64_t max);

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> positional_;
};

std::string ToHex(std::string_view bytes);
// Strict: an even number of hex digits, white space around it allowed; else a usage error naming what.
std::string FromHex(std::string_view text, const std::string& what);

// "-" is standard input / output.
std::string ReadInput(const std::string& path);
void WriteOutput(const std::string& path, std::string_view bytes);

}  // namespace QuorTool
