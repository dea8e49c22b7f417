// quorsdf's calls to its own exported functions stay inside it, even when a
// library loaded earlier exports the same names.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <quorsdf.h>

#include "sdf/E2E.h"

extern "C" int clash_calls;

namespace {

using namespace QuorTest;
using RandomFn = SGD_RV (*)(SGD_HANDLE, SGD_UINT32, SGD_UCHAR*);

TEST(SymbolClash, InternalCallsReachQuorsdf) {
  SimSetup setup;
  Quor_SetCfgPath(setup.dir.c_str());
  SGD_HANDLE device = nullptr, session = nullptr;
  ASSERT_EQ(SDF_OpenDevice(&device), SDR_OK);
  ASSERT_EQ(SDF_OpenSession(device, &session), SDR_OK);
  unsigned char buf[32] = {};

  // The clash is real: the global lookup finds the other library's function.
  EXPECT_EQ(SDF_GenerateRandom(session, sizeof buf, buf), 0x0C1A5400u);
  EXPECT_EQ(clash_calls, 1);

  // quorsdf's own SDF_GenerateRandom calls Quor_GenerateRandom, an exported
  // name the other library also has: the call must stay inside quorsdf.
  void* lib = dlopen("libquorsdf.so.1", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto own = reinterpret_cast<RandomFn>(dlsym(lib, "SDF_GenerateRandom"));
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own(session, sizeof buf, buf), SDR_OK);
  EXPECT_EQ(clash_calls, 1);
  dlclose(lib);

  EXPECT_EQ(SDF_CloseSession(session), SDR_OK);
  EXPECT_EQ(SDF_CloseDevice(device), SDR_OK);
  Quor_SetCfgPath(nullptr);
}

}  // namespace
