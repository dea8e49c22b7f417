// A C program built against the public header calls every GM/T 0018 function
// once against the simulator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sdf/E2E.h"

namespace {

using namespace QuorTest;

TEST(AsymmWalk, EverySdfFunctionOnce) {
  SimulatorOptions options;
  options.keys = {SimKey{.slot = 1, .type = "sm2", .password = "pw1"},
                  SimKey{.slot = 2, .type = "rsa2048", .password = "pw2"},
                  SimKey{.slot = 5, .type = "sm2", .password = "pw5"}, SimKey{.slot = 10, .type = "sm4"}};
  SimSetup setup(std::move(options));
  const int status = std::system((std::string(QUOR_ASYMM_WALK) + " " + setup.dir).c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the step of that number failed; see its line above";
}

}  // namespace
