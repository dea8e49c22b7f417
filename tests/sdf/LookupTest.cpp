// Where SDF_OpenDevice finds its configuration: the directory set with
// Quor_SetCfgPath, QUOR_PRYMX_CFG_PATH, ./quorConfig.ini, /usr/etc/quorConfig.ini.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include <filesystem>
#include <fstream>

#include "sdf/E2E.h"

namespace {

using namespace QuorTest;
namespace fs = std::filesystem;

class Lookup : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setup_ = new SimSetup(); }
  static void TearDownTestSuite() {
    delete setup_;
    setup_ = nullptr;
  }
  void SetUp() override {
    empty_ = MakeTempDir();
    invalid_ = MakeTempDir();
    std::ofstream(invalid_ + "/quorConfig.ini") << "[Global]\nmechanism = 7\n";
    Quor_SetCfgPath(nullptr);
  }
  void TearDown() override {
    Quor_SetCfgPath(nullptr);
    fs::remove_all(empty_);
    fs::remove_all(invalid_);
  }
  // Opens and closes a device; the code of the open.
  static SGD_RV OpenClose() {
    SGD_HANDLE device = nullptr;
    const SGD_RV rv = SDF_OpenDevice(&device);
    if (rv == SDR_OK) {
      EXPECT_EQ(SDF_CloseDevice(device), SDR_OK);
    } else {
      EXPECT_EQ(device, nullptr);
    }
    return rv;
  }

  static SimSetup* setup_;
  std::string empty_, invalid_;
};

SimSetup* Lookup::setup_ = nullptr;

TEST_F(Lookup, DirectoryFirstAndReusable) {
  ScopedEnv env("QUOR_PRYMX_CFG_PATH", invalid_.c_str());
  Quor_SetCfgPath(setup_->dir.c_str());
  EXPECT_EQ(OpenClose(), SDR_OK);
  EXPECT_EQ(OpenClose(), SDR_OK);  // the same file again
}

TEST_F(Lookup, DirectoryWithoutFileFallsThroughToEnvironment) {
  ScopedEnv env("QUOR_PRYMX_CFG_PATH", setup_->dir.c_str());
  Quor_SetCfgPath(empty_.c_str());
  EXPECT_EQ(OpenClose(), SDR_OK);
}

TEST_F(Lookup, InvalidFileInDirectoryStopsTheSearch) {
  ScopedEnv env("QUOR_PRYMX_CFG_PATH", setup_->dir.c_str());
  Quor_SetCfgPath(invalid_.c_str());
  EXPECT_EQ(OpenClose(), SDR_OPENDEVICE);
}

TEST_F(Lookup, EnvironmentWithoutFileStopsTheSearch) {
  ScopedCwd cwd(setup_->dir);  // a usable ./quorConfig.ini that must not be tried
  ScopedEnv env("QUOR_PRYMX_CFG_PATH", empty_.c_str());
  EXPECT_EQ(OpenClose(), SDR_OPENDEVICE);
}

TEST_F(Lookup, WorkingDirectoryWithoutDirectoryOrEnvironment) {
  ScopedEnv env("QUOR_PRYMX_CFG_PATH", "");
  {
    ScopedCwd cwd(setup_->dir);
    EXPECT_EQ(OpenClose(), SDR_OK);
  }
  if (!fs::exists("/usr/etc/quorConfig.ini")) {
    ScopedCwd cwd(empty_);
    EXPECT_EQ(OpenClose(), SDR_OPENDEVICE);
  }
}

TEST_F(Lookup, OverLongDirectoriesAreRefusedNotCut) {
  // A directory whose path would not fit: refused even though a cut one could exist.
  ScopedCwd cwd(setup_->dir);
  const std::string longDir = setup_->dir + "/" + std::string(300, 'd');
  {
    ScopedEnv env("QUOR_PRYMX_CFG_PATH", "");
    Quor_SetCfgPath(longDir.c_str());
    EXPECT_EQ(OpenClose(), SDR_OPENDEVICE);
  }
  {
    Quor_SetCfgPath(nullptr);
    ScopedEnv env("QUOR_PRYMX_CFG_PATH", longDir.c_str());
    EXPECT_EQ(OpenClose(), SDR_OPENDEVICE);
  }
  {
    // Directory + "/quorConfig.ini" one byte too long for 256 bytes.
    ScopedEnv env("QUOR_PRYMX_CFG_PATH", "");
    const std::string dir = "/" + std::string(240, 'x');
    Quor_SetCfgPath(dir.c_str());
    EXPECT_EQ(OpenClose(), SDR_OPENDEVICE);
  }
}

}  // namespace
