// The subcommands of quorsdf-tool.
#pragma once

#include <vector>

#include "tools/Cli.h"

namespace QuorTool {

struct Subcommand {
  const char* name;
  const char* summary;
  const char* help;  // the text of "quorsdf-tool NAME --help"
  Args::Spec spec;   // --config and --help are added for every subcommand
  int (*run)(const Args& args);
};

const std::vector<Subcommand>& Subcommands();

int RunInfo(const Args& args);
int RunRandom(const Args& args);
int RunHash(const Args& args);
int RunEncrypt(const Args& args);
int RunDecrypt(const Args& args);
int RunMac(const Args& args);
int RunFiles(const Args& args);
int RunCheck(const Args& args);
int RunBench(const Args& args);

}  // namespace QuorTool
