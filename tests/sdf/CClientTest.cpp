// A C program built against the public header and the shared library opens a
// device on the simulator and gets random bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "sdf/E2E.h"

namespace {

using namespace QuorTest;

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CClient, BuiltWithTheProject) {
  SimSetup setup;
  EXPECT_EQ(Shell(std::string(QUOR_C_CLIENT) + " " + setup.dir), 0);
}

TEST(CClient, CompiledAgainstTheInstalledHeaderAndLibrary) {
  if (Shell("command -v cc >/dev/null 2>&1") != 0) GTEST_SKIP() << "no C compiler";
  SimSetup setup;
  const std::string prefix = setup.dir + "/prefix";
  ASSERT_EQ(Shell("cmake --install " QUOR_BUILD_DIR " --prefix " + prefix + " >/dev/null"), 0);
  const std::string lib = prefix + "/" QUOR_LIBDIR;
  const std::string exe = setup.dir + "/c_client";
  ASSERT_EQ(Shell("cc " QUOR_C_FLAGS " -std=c11 -Wall -Wextra -Wpedantic -Werror -I" + prefix +
                  "/include " QUOR_C_SOURCE " -L" + lib + " -lquorsdf -o " + exe),
            0);
  EXPECT_EQ(Shell("LD_LIBRARY_PATH=" + lib + " " + exe + " " + setup.dir), 0);
}

}  // namespace
