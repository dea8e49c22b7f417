// quorsdf-tool: the device functions from the command line, on the public
// SDF/Quor interface of libquorsdf.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/Commands.h"

namespace QuorTool {

namespace {

const char* kCommonHelp =
    "\nCommon options:\n"
    "  --config PATH   the configuration file (default: found as SDF_OpenDevice finds it:\n"
    "                  $QUOR_PRYMX_CFG_PATH/quorConfig.ini, ./quorConfig.ini, /usr/etc/quorConfig.ini)\n"
    "  --help          this text\n";

}  // namespace

const std::vector<Subcommand>& Subcommands() {
  static const std::vector<Subcommand> table = {
      {"info",
       "device information as a table",
       "usage: quorsdf-tool info\n\nPrints the device information (SDF_GetDeviceInfo).\n",
       {},
       RunInfo},
      {"random",
       "random bytes from the device",
       "usage: quorsdf-tool random N [--out FILE]\n\n"
       "N random bytes (1 to 1073741824) from SDF_GenerateRandom: hexadecimal on standard\n"
       "output, or raw bytes into FILE with --out.\n",
       {{"out"}, {}},
       RunRandom},
      {"hash",
       "digest of a file computed by the device",
       "usage: quorsdf-tool hash [--alg sm3|sha1|sha256] FILE|-\n\n"
       "Prints \"DIGEST  FILE\" (DIGEST in hexadecimal); - reads standard input. Default: sm3.\n",
       {{"alg"}, {}},
       RunHash},
      {"encrypt",
       "encrypt with a device key",
       "usage: quorsdf-tool encrypt --alg ALG (--slot N | --key-hex-file FILE) [--iv HEX]\n"
       "                            [--in FILE|-] [--out FILE|-] [--no-pad]\n\n"
       "ALG: sm4-ecb, sm4-cbc, sm4-cfb, sm4-ofb, aes-128-cbc, aes-256-cbc.\n"
       "  --slot N            a key kept in device key slot N\n"
       "  --key-hex-file F    a plain key in hexadecimal, imported for this run (SDF_ImportKey)\n"
       "  --iv HEX            16 bytes; required by every mode but ECB\n"
       "  --in, --out         default: standard input and output\n"
       "  --no-pad            the data is whole 16-byte blocks; no PKCS#7 padding is added\n",
       {{"alg", "slot", "key-hex-file", "iv", "in", "out"}, {"no-pad"}},
       RunEncrypt},
      {"decrypt",
       "decrypt with a device key",
       "usage: quorsdf-tool decrypt --alg ALG (--slot N | --key-hex-file FILE) [--iv HEX]\n"
       "                            [--in FILE|-] [--out FILE|-] [--no-pad]\n\n"
       "The options of encrypt. The PKCS#7 padding is checked and removed unless --no-pad.\n",
       {{"alg", "slot", "key-hex-file", "iv", "in", "out"}, {"no-pad"}},
       RunDecrypt},
      {"mac",
       "CBC-MAC with a device key",
       "usage: quorsdf-tool mac [--alg sm4|aes-128|aes-256] (--slot N | --key-hex-file FILE)\n"
       "                        [--iv HEX] [--in FILE|-]\n\n"
       "Prints the CBC-MAC (SDF_CalculateMAC) in hexadecimal. The data is padded with zero\n"
       "bytes to whole 16-byte blocks (an empty input is one zero block), as the device pads.\n"
       "Default algorithm sm4, default IV 16 zero bytes.\n",
       {{"alg", "slot", "key-hex-file", "iv", "in"}, {}},
       RunMac},
      {"files",
       "device files: ls, put, get, rm",
       "usage: quorsdf-tool files ls NAME...\n"
       "       quorsdf-tool files put NAME FILE|- [--replace]\n"
       "       quorsdf-tool files get NAME [--out FILE|-]\n"
       "       quorsdf-tool files rm NAME...\n\n"
       "The device interface has no call that lists files, so ls reports, for each NAME\n"
       "given, its size or that it does not exist (exit status 1 if any is missing).\n"
       "put creates the file with the size of the data (--replace deletes it first).\n",
       {{"out"}, {"replace"}},
       RunFiles},
      {"check",
       "state and round-trip time of every configured host",
       "usage: quorsdf-tool check\n\n"
       "Opens each [Host N] of the configuration alone (a one-host copy of the configuration\n"
       "in a private temporary directory) and times one SDF_GenerateRandom(4) on it.\n"
       "Exit status 1 if any host is down.\n",
       {},
       RunCheck},
      {"bench",
       "throughput and latency of one operation",
       "usage: quorsdf-tool bench random|sm4-cbc|sm3 N [--threads T] [--seconds S] [--slot K]\n\n"
       "Runs the operation on N bytes in a loop on T threads (default 1; one session each)\n"
       "for S seconds (default 5); prints a progress line a second on standard error, then\n"
       "ops/s, MB/s and the latency percentiles p50, p90, p99 and max of the operations\n"
       "that succeeded. sm4-cbc uses an imported random key, or device slot K with --slot;\n"
       "sm3 counts HashInit, HashUpdate and HashFinal as one operation.\n"
       "Exit status 1 if any operation failed.\n",
       {{"threads", "seconds", "slot"}, {}},
       RunBench},
  };
  return table;
}

namespace {

void PrintUsage(FILE* to) {
  std::fprintf(to, "usage: quorsdf-tool COMMAND [options]   (quorsdf-tool COMMAND --help for details)\n\n");
  for (const Subcommand& c : Subcommands()) std::fprintf(to, "  %-9s %s\n", c.name, c.summary);
  std::fprintf(to, "%s", kCommonHelp);
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(stdout);
    return 0;
  }
  const Subcommand* command = nullptr;
  for (const Subcommand& c : Subcommands())
    if (name == c.name) command = &c;
  if (!command) {
    std::fprintf(stderr, "quorsdf-tool: unknown command %s\n", name.c_str());
    PrintUsage(stderr);
    return kExitUsage;
  }
  const std::vector<std::string> rest(argv + 2, argv + argc);
  for (const std::string& a : rest) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      std::printf("%s%s", command->help, kCommonHelp);
      return 0;
    }
  }
  try {
    Args::Spec spec = command->spec;
    spec.valued.push_back("config");
    const Args args(rest, spec);
    return command->run(args);
  } catch (const ToolError& e) {
    std::fprintf(stderr, "quorsdf-tool %s: %s\n", command->name, e.what());
    if (e.exitCode == kExitUsage) std::fprintf(stderr, "(quorsdf-tool %s --help shows the options)\n", command->name);
    return e.exitCode;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorsdf-tool %s: %s\n", command->name, e.what());
    return kExitFailure;
  }
}

}  // namespace

}  // namespace QuorTool

int main(int argc, char** argv) { return QuorTool::Main(argc, argv); }
