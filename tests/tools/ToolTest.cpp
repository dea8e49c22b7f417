// quorsdf-tool as a user runs it: the binary as a subprocess against quorsim,
// its output and exit status checked, results compared with OpenSSL.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/Hex.h"
#include "support/QuorSimulator.h"

extern char** environ;

namespace {

using QuorTest::Simulator;

// The symmetric SDF functions (SDF_ImportKey, SDF_Encrypt, SDF_Decrypt,
// SDF_CalculateMAC) come from another branch; set to true once they are merged.
constexpr bool kSymmetricFunctionsMerged = true;
#define REQUIRE_SYMMETRIC() \
  if (!kSymmetricFunctionsMerged) GTEST_SKIP() << "symmetric SDF functions not merged yet"

const std::string kSm4Key = "0123456789ABCDEFFEDCBA9876543210";
const std::string kAes256Key = "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F";
const std::string kIv = "A0A1A2A3A4A5A6A7A8A9AAABACADAEAF";

std::string Bytes(const std::string& hex) { return *Quor::HexDecodeStrict(hex); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs the tool with stdin from a file, stdout and stderr into files.
Result RunTool(const std::string& dir, const std::vector<std::string>& args, const std::string& input = {},
               const std::vector<std::string>& extraEnv = {}) {
  const std::string in = dir + "/stdin", out = dir + "/stdout", err = dir + "/stderr";
  WriteFile(in, input);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> argStore = {QUORSDF_TOOL};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("QUOR_PRYMX_CFG_PATH=", 0) != 0) envStore.emplace_back(*e);
  envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (std::string& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  Result r;
  if (posix_spawn(&pid, QUORSDF_TOOL, &fa, nullptr, argv.data(), envp.data()) == 0) {
    int ws = 0;
    waitpid(pid, &ws, 0);
    r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
  }
  posix_spawn_file_actions_destroy(&fa);
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

// OpenSSL's answer for the tool's algorithm names, padding already applied by the caller.
std::string OpenSslCipher(const std::string& alg, const std::string& key, const std::string& iv,
                          const std::string& data, bool encrypt) {
  std::unique_ptr<EVP_CIPHER, decltype(&EVP_CIPHER_free)> cipher(EVP_CIPHER_fetch(nullptr, alg.c_str(), nullptr),
                                                                 EVP_CIPHER_free);
  EXPECT_NE(cipher, nullptr) << alg;
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  EVP_CipherInit_ex2(ctx.get(), cipher.get(), reinterpret_cast<const unsigned char*>(key.data()),
                     iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data()), encrypt ? 1 : 0,
                     nullptr);
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::string out(data.size() + 32, '\0');
  int n = 0, m = 0;
  EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n,
                   reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
  EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n, &m);
  out.resize(static_cast<size_t>(n + m));
  return out;
}

std::string OpenSslDigest(const std::string& alg, const std::string& data) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> type(EVP_MD_fetch(nullptr, alg.c_str(), nullptr), EVP_MD_free);
  EVP_Digest(data.data(), data.size(), md, &len, type.get(), nullptr);
  return Quor::HexEncode(md, len, false);
}

std::string Pkcs7(std::string data) {
  const size_t p = 16 - data.size() % 16;
  data.append(p, static_cast<char>(p));
  return data;
}

// One simulator with an SM4 key in slot 1 and an AES-256 key in slot 2, and
// a configuration for it under a name other than quorConfig.ini (so the tool
// makes its private copy).
class ToolTest : public ::testing::Test {
 protected:
  ToolTest()
      : sim_({.keys = {{.slot = 1, .type = "sm4", .hex = kSm4Key}, {.slot = 2, .type = "aes256", .hex = kAes256Key}}}),
        dir_(QuorTest::MakeTempDir()) {
    QuorTest::ClientConfigOptions options;
    options.logLevel = 5;
    config_ = dir_ + "/tool.ini";
    std::filesystem::rename(QuorTest::WriteClientConfig(dir_, {sim_.Host()}, options), config_);
  }
  ~ToolTest() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  Result Tool(std::vector<std::string> args, const std::string& input = {}) {
    args.push_back("--config");
    args.push_back(config_);
    return RunTool(dir_, args, input);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  Simulator sim_;
  std::string dir_, config_;
};

TEST(ToolUsage, EverySubcommandHasHelpThatNeedsNoDevice) {
  const std::string dir = QuorTest::MakeTempDir();
  for (const char* name : {"info", "random", "hash", "encrypt", "decrypt", "mac", "files", "check", "bench"}) {
    const Result r = RunTool(dir, {name, "--help"});
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.out.rfind(std::string("usage: quorsdf-tool ") + name, 0), 0u) << name << ": " << r.out;
  }
  std::filesystem::remove_all(dir);
}

TEST(ToolUsage, BadArgumentsExitWithTwoAndSayWhy) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"frobnicate"}, "unknown command frobnicate"},
      {{"random"}, "random takes one number of bytes"},
      {{"random", "0"}, "the number of bytes must be a whole number from 1"},
      {{"random", "12x"}, "the number of bytes must be a whole number"},
      {{"random", "4", "--colour"}, "unknown option --colour"},
      {{"hash", "--alg", "md5", "-"}, "--alg must be sm3, sha1 or sha256"},
      {{"encrypt", "--alg", "des-cbc", "--slot", "1"}, "--alg must be one of"},
      {{"encrypt", "--alg", "sm4-cbc", "--slot", "1"}, "needs --iv"},
      {{"encrypt", "--alg", "sm4-ecb", "--slot", "1", "--iv", kIv}, "--iv is not used"},
      {{"encrypt", "--alg", "sm4-cbc", "--slot", "1", "--iv", "00FF"}, "--iv must be 16 bytes"},
      {{"encrypt", "--alg", "sm4-cbc", "--slot", "1", "--iv", "XYZ0"}, "--iv is not hexadecimal"},
      {{"files", "ls"}, "no command that lists files"},
      {{"files", "mv", "a", "b"}, "unknown files action mv"},
      {{"bench", "sm4-cbc", "15"}, "multiple of 16"},
      {{"bench", "random", "16", "--threads", "0"}, "--threads must be a whole number from 1"},
  };
  const std::string dir = QuorTest::MakeTempDir();
  for (const Case& c : cases) {
    const Result r = RunTool(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.args[0] << " " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << "expected \"" << c.message << "\" in: " << r.err;
  }
  std::filesystem::remove_all(dir);
}

TEST_F(ToolTest, InfoPrintsTheDeviceAsATable) {
  const Result r = Tool({"info"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Issuer             Quorsim Simulated Devices\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Device name        quorsim\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Hash algs          0x00000005 (SM3, SHA-256)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Buffer size        8192 bytes\n"), std::string::npos) << r.out;
}

TEST_F(ToolTest, ConfigIsFoundByItsNameOrThroughTheEnvironment) {
  std::filesystem::copy_file(config_, Path("quorConfig.ini"));
  // A file named quorConfig.ini is used in place; the environment is how SDF_OpenDevice looks without the option.
  for (const auto& [args, env] :
       {std::pair<std::vector<std::string>, std::vector<std::string>>{{"info", "--config", Path("quorConfig.ini")}, {}},
        {{"info"}, {"QUOR_PRYMX_CFG_PATH=" + dir_}}}) {
    const Result r = RunTool(dir_, args, {}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("quorsim"), std::string::npos);
  }
}

TEST_F(ToolTest, RandomWritesHexOrRawBytes) {
  // 5000 bytes take several random commands (at most 2048 bytes each).
  Result r = Tool({"random", "5000"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.out.size(), 10001u);
  EXPECT_EQ(r.out.back(), '\n');
  EXPECT_TRUE(Quor::HexDecodeStrict(r.out.substr(0, 10000)).has_value());

  r = Tool({"random", "100", "--out", Path("rnd.bin")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(Path("rnd.bin")).size(), 100u);
}

TEST_F(ToolTest, HashMatchesOpenSslForEveryAlgorithm) {
  // 20000 bytes cross the 8192-byte pieces of SDF_HashUpdate.
  const std::string data = Pattern(20000);
  WriteFile(Path("data"), data);
  for (const auto& [alg, ossl] : {std::pair{"sm3", "SM3"}, {"sha1", "SHA1"}, {"sha256", "SHA256"}}) {
    const Result r = Tool({"hash", "--alg", alg, Path("data")});
    EXPECT_EQ(r.status, 0) << alg << ": " << r.err;
    EXPECT_EQ(r.out, OpenSslDigest(ossl, data) + "  " + Path("data") + "\n") << alg;
  }
  const Result r = Tool({"hash", "-"}, "abc");
  EXPECT_EQ(r.out, OpenSslDigest("SM3", "abc") + "  -\n");
}

TEST_F(ToolTest, EncryptMatchesOpenSslAndDecryptRestoresTheData) {
  REQUIRE_SYMMETRIC();
  WriteFile(Path("sm4.key"), kSm4Key + "\n");
  WriteFile(Path("aes128.key"), kSm4Key);
  WriteFile(Path("aes256.key"), kAes256Key);
  struct Case {
    std::string alg, ossl;
    std::vector<std::string> key;  // options naming the key
    std::string keyBytes;
    size_t length;
  };
  const std::vector<Case> cases = {
      {"sm4-ecb", "SM4-ECB", {"--slot", "1"}, kSm4Key, 0},
      {"sm4-cbc", "SM4-CBC", {"--key-hex-file", Path("sm4.key")}, kSm4Key, 16},  // a whole block of padding
      {"sm4-cfb", "SM4-CFB", {"--slot", "1"}, kSm4Key, 20001},
      {"sm4-ofb", "SM4-OFB", {"--key-hex-file", Path("sm4.key")}, kSm4Key, 33},
      {"aes-128-cbc", "AES-128-CBC", {"--key-hex-file", Path("aes128.key")}, kSm4Key, 100},
      {"aes-256-cbc", "AES-256-CBC", {"--slot", "2"}, kAes256Key, 9000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alg);
    const std::string plain = Pattern(c.length);
    const bool ecb = c.alg == "sm4-ecb";
    std::vector<std::string> args = {"--alg", c.alg};
    args.insert(args.end(), c.key.begin(), c.key.end());
    if (!ecb) args.insert(args.end(), {"--iv", kIv});
    std::vector<std::string> enc = {"encrypt", "--out", Path("ct")};
    enc.insert(enc.end(), args.begin(), args.end());
    Result r = Tool(enc, plain);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string ct = ReadFile(Path("ct"));
    EXPECT_EQ(ct, OpenSslCipher(c.ossl, Bytes(c.keyBytes), ecb ? "" : Bytes(kIv), Pkcs7(plain), true));

    std::vector<std::string> dec = {"decrypt", "--in", Path("ct")};
    dec.insert(dec.end(), args.begin(), args.end());
    r = Tool(dec);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, plain);
  }
}

TEST_F(ToolTest, RawBlocksAndBadPadding) {
  REQUIRE_SYMMETRIC();
  const std::vector<std::string> key = {"--alg", "sm4-cbc", "--slot", "1", "--iv", kIv};
  auto with = [&](std::vector<std::string> head) {
    head.insert(head.end(), key.begin(), key.end());
    return head;
  };
  // --no-pad: 32 bytes in, 32 bytes out, equal to OpenSSL without padding.
  const std::string blocks = Pattern(32);
  Result r = Tool(with({"encrypt", "--no-pad"}), blocks);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, OpenSslCipher("SM4-CBC", Bytes(kSm4Key), Bytes(kIv), blocks, true));

  r = Tool(with({"encrypt", "--no-pad"}), Pattern(17));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("17 bytes, not a multiple of 16"), std::string::npos) << r.err;

  // Decrypting what was not padded: the padding check refuses it, nothing is written.
  r = Tool(with({"decrypt", "--out", Path("pt")}), OpenSslCipher("SM4-CBC", Bytes(kSm4Key), Bytes(kIv), blocks, true));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no valid PKCS#7 padding"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(Path("pt")));
}

TEST_F(ToolTest, KeyFileOfTheWrongLengthIsRefused) {
  WriteFile(Path("short.key"), "00112233");
  const Result r = Tool({"encrypt", "--alg", "aes-256-cbc", "--key-hex-file", Path("short.key"), "--iv", kIv}, "x");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the key file holds 4 bytes; this algorithm needs 32"), std::string::npos) << r.err;
}

TEST_F(ToolTest, MacIsTheCbcMacOfTheZeroPaddedData) {
  REQUIRE_SYMMETRIC();
  // 8200 bytes: two device pieces, the last one zero-padded.
  const std::string data = Pattern(8200);
  std::string padded = data;
  padded.append(8, '\0');
  const std::string ct = OpenSslCipher("SM4-CBC", Bytes(kSm4Key), Bytes(kIv), padded, true);
  const Result r = Tool({"mac", "--slot", "1", "--iv", kIv}, data);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, Quor::HexEncode(ct.substr(ct.size() - 16), false) + "\n");
}

TEST_F(ToolTest, FilesPutLsGetRm) {
  // 4096 bytes end exactly on a read piece; 5000 take two pieces.
  for (size_t size : {size_t{1}, size_t{4096}, size_t{5000}}) {
    SCOPED_TRACE(size);
    const std::string content = Pattern(size);
    WriteFile(Path("local"), content);
    Result r = Tool({"files", "put", "doc", Path("local")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Tool({"files", "ls", "doc"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(std::to_string(size) + " bytes"), std::string::npos) << r.out;
    r = Tool({"files", "get", "doc"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, content);
    r = Tool({"files", "rm", "doc"});
    EXPECT_EQ(r.status, 0) << r.err;
  }
}

TEST_F(ToolTest, FilesPutOverAnExistingFileNeedsReplace) {
  ASSERT_EQ(Tool({"files", "put", "doc", "-"}, "first").status, 0);
  Result r = Tool({"files", "put", "doc", "-"}, "second version");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("SDR_FILEEXSITS (0x0100001A): the file already exists"), std::string::npos) << r.err;
  r = Tool({"files", "put", "doc", "-", "--replace"}, "second version");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Tool({"files", "get", "doc"}).out, "second version");
}

TEST_F(ToolTest, DeviceErrorsPrintTheSdrNameAndMeaning) {
  Result r = Tool({"files", "ls", "nothing-here"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("nothing-here"), std::string::npos);
  EXPECT_NE(r.out.find("(no such file)"), std::string::npos) << r.out;

  r = Tool({"files", "get", "nothing-here"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("SDF_ReadFile failed: SDR_FILENOEXIST (0x01000012): the file does not exist"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(ToolTest, EmptyKeySlotIsSdrKeyNotExist) {
  REQUIRE_SYMMETRIC();
  const Result r = Tool({"encrypt", "--alg", "sm4-cbc", "--slot", "77", "--iv", kIv}, "data");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("SDR_KEYNOTEXIST (0x01000008): the key does not exist"), std::string::npos) << r.err;
}

TEST_F(ToolTest, UnreachableDeviceIsSdrOpenDevice) {
  sim_.Stop();
  const Result r = Tool({"random", "4"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("SDR_OPENDEVICE (0x01000005): the device could not be opened"), std::string::npos) << r.err;
}

TEST(ToolCheck, ReportsEachHostUpWithItsRoundTripOrDown) {
  Simulator up, down;
  const std::string dir = QuorTest::MakeTempDir();
  QuorTest::ClientConfigOptions options;
  options.logLevel = 5;
  QuorTest::WriteClientConfig(dir, {up.Host(), down.Host()}, options);
  const uint16_t downPort = down.port();
  down.Stop();
  const Result r = RunTool(dir, {"check", "--config", dir + "/quorConfig.ini"});
  EXPECT_EQ(r.status, 1) << r.err;
  std::istringstream lines(r.out);
  std::string line;
  std::vector<std::string> rows;
  while (std::getline(lines, line)) rows.push_back(line);
  ASSERT_EQ(rows.size(), 4u) << r.out;
  EXPECT_EQ(rows[2].rfind("1     127.0.0.1:" + std::to_string(up.port()), 0), 0u) << rows[2];
  EXPECT_NE(rows[2].find(" up "), std::string::npos) << rows[2];
  EXPECT_NE(rows[2].find(" ms"), std::string::npos) << rows[2];
  EXPECT_EQ(rows[3].rfind("2     127.0.0.1:" + std::to_string(downPort), 0), 0u) << rows[3];
  EXPECT_NE(rows[3].find(" down "), std::string::npos) << rows[3];
  std::filesystem::remove_all(dir);
}

TEST_F(ToolTest, BenchReportsProgressThroughputAndPercentiles) {
  const Result r = Tool({"bench", "random", "16", "--threads", "2", "--seconds", "1"});
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.err.find("bench:   1s"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("operation   random of 16 bytes, 2 threads"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 0 failed"), std::string::npos) << r.out;
  for (const char* field : {"ops/s", "MB/s", "p50 ", "p90 ", "p99 ", "max "})
    EXPECT_NE(r.out.find(field), std::string::npos) << field << " in " << r.out;
}

TEST_F(ToolTest, BenchSm4CountsFailuresAndExitsNonZero) {
  REQUIRE_SYMMETRIC();
  // An empty slot: every operation fails, and the run says so.
  const Result r = Tool({"bench", "sm4-cbc", "64", "--slot", "99", "--seconds", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("0 succeeded"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("first error SDR_KEYNOTEXIST"), std::string::npos) << r.out;
}

}  // namespace
