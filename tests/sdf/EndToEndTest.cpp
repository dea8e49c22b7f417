// The SDF functions and their host commands against a simulated device host.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <quorsdf.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "sdf/E2E.h"

namespace {

using namespace QuorTest;
using Bytes = std::string;

Bytes Hex(const std::string& s) {
  static const char* d = "0123456789ABCDEF";
  Bytes out;
  for (unsigned char c : s) {
    out.push_back(d[c >> 4]);
    out.push_back(d[c & 15]);
  }
  return out;
}

class EndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SimulatorOptions options;
    options.keys = {SimKey{.slot = 3, .password = "pw3"}, SimKey{.slot = 4, .password = "pw4"}};
    setup_ = new SimSetup(std::move(options));
  }
  static void TearDownTestSuite() {
    delete setup_;
    setup_ = nullptr;
  }
  void SetUp() override {
    Quor_SetCfgPath(setup_->dir.c_str());
    ASSERT_EQ(SDF_OpenDevice(&device_), SDR_OK);
    ASSERT_EQ(SDF_OpenSession(device_, &session_), SDR_OK);
    setup_->sim.ControlOk("clear");
    setup_->Forget();
  }
  void TearDown() override {
    setup_->sim.ControlOk("clear");
    if (session_) {
      EXPECT_EQ(SDF_CloseSession(session_), SDR_OK);
    }
    if (device_) {
      EXPECT_EQ(SDF_CloseDevice(device_), SDR_OK);
    }
    Quor_SetCfgPath(nullptr);
  }

  static SimSetup* setup_;
  SGD_HANDLE device_ = nullptr;
  SGD_HANDLE session_ = nullptr;
};

SimSetup* EndToEnd::setup_ = nullptr;

TEST_F(EndToEnd, DeviceClosesOnlyWithoutSessions) {
  SGD_HANDLE second = nullptr;
  ASSERT_EQ(SDF_OpenSession(device_, &second), SDR_OK);
  EXPECT_EQ(SDF_CloseDevice(device_), SDR_BASE);
  EXPECT_EQ(SDF_CloseSession(second), SDR_OK);
  EXPECT_EQ(SDF_CloseDevice(device_), SDR_BASE);
  EXPECT_EQ(SDF_CloseSession(session_), SDR_OK);
  session_ = nullptr;
  EXPECT_EQ(SDF_CloseDevice(device_), SDR_OK);
  device_ = nullptr;
  EXPECT_TRUE(LogHasLine(setup_->LogPath(), "[DEBUG]", "SDF_CloseDevice  ----------sucess----------"));
  EXPECT_TRUE(LogHasLine(setup_->LogPath(), "[DEBUG]", "SDF_OpenDevice  ----------sucess----------"));
}

TEST_F(EndToEnd, TwoDevicesAtOnce) {
  SGD_HANDLE other = nullptr, s = nullptr;
  ASSERT_EQ(SDF_OpenDevice(&other), SDR_OK);
  ASSERT_EQ(SDF_OpenSession(other, &s), SDR_OK);
  unsigned char a[16], b[16];
  EXPECT_EQ(SDF_GenerateRandom(s, sizeof a, a), SDR_OK);
  EXPECT_EQ(SDF_GenerateRandom(session_, sizeof b, b), SDR_OK);
  EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
  EXPECT_EQ(SDF_CloseSession(s), SDR_OK);
  EXPECT_EQ(SDF_CloseDevice(other), SDR_OK);
}

TEST_F(EndToEnd, DeviceInfo) {
  DEVICEINFO info;
  std::memset(&info, 0, sizeof info);
  ASSERT_EQ(SDF_GetDeviceInfo(session_, &info), SDR_OK);
  EXPECT_STREQ(reinterpret_cast<char*>(info.IssuerName), "Quorsim Simulated Devices");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(info.DeviceName), 7), "quorsim");
  EXPECT_EQ(info.DeviceVersion, 0x00010000u);
  EXPECT_EQ(info.StandardVersion, 1u);
  EXPECT_EQ(info.BufferSize, 8192u);
  EXPECT_EQ(info.SymAlgAbility, 0x8000071Fu);
  EXPECT_EQ(info.HashAlgAbility, 5u);
  EXPECT_EQ(info.AsymAlgAbility[0], 0x00030F00u);
  EXPECT_EQ(setup_->Commands(), std::vector<std::string>{std::string("\x01\x01", 2)});
}

TEST_F(EndToEnd, RandomSizesAndChunks) {
  for (SGD_UINT32 n : {0u, 1u, 2048u, 5000u}) {
    std::vector<unsigned char> a(n + 1, 0), b(n + 1, 0);
    setup_->Forget();
    ASSERT_EQ(SDF_GenerateRandom(session_, n, a.data()), SDR_OK) << n;
    ASSERT_EQ(SDF_GenerateRandom(session_, n, b.data()), SDR_OK) << n;
    EXPECT_EQ(a[n], 0) << "wrote past " << n;
    if (n >= 16) {
      EXPECT_NE(a, b);
    }
    const size_t commands = n == 0 ? 0 : (n + 2047) / 2048;
    EXPECT_EQ(setup_->Commands().size(), 2 * commands) << n;
  }
  setup_->Forget();
  std::vector<unsigned char> buf(5000);
  ASSERT_EQ(Quor_GenerateRandom(session_, 5000, buf.data()), SDR_OK);
  const auto ask = [](uint32_t n) { return std::string("\x01\x02", 2) + std::string{0, 0, char(n >> 8), char(n)}; };
  EXPECT_EQ(setup_->Commands(), (std::vector<std::string>{ask(2048), ask(2048), ask(904)}));
}

TEST_F(EndToEnd, AccessRightsPerSession) {
  unsigned char pw3[] = "pw3", bad[] = "bad";
  EXPECT_EQ(SDF_GetPrivateKeyAccessRight(session_, 3, pw3, 3), SDR_OK);
  // Both key types are asked, every time.
  const auto sent = setup_->Commands();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(Hex(sent[0]),
            "0103"
            "00000001"
            "00000003"
            "00000003" +
                Hex("pw3"));
  EXPECT_EQ(Hex(sent[1]).substr(4, 8), "00000002");
  EXPECT_EQ(SDF_GetPrivateKeyAccessRight(session_, 3, pw3, 3), SDR_PRKRERR);  // held twice
  EXPECT_EQ(setup_->Commands().size(), 4u);

  SGD_HANDLE other = nullptr;
  ASSERT_EQ(SDF_OpenSession(device_, &other), SDR_OK);
  EXPECT_EQ(SDF_ReleasePrivateKeyAccessRight(other, 3), SDR_PRKRERR);  // not held there
  EXPECT_EQ(SDF_GetPrivateKeyAccessRight(other, 3, pw3, 3), SDR_OK);
  EXPECT_EQ(SDF_CloseSession(other), SDR_OK);

  EXPECT_EQ(SDF_GetPrivateKeyAccessRight(session_, 4, bad, 3), SDR_PRKRERR);  // refused: wrong password
  EXPECT_EQ(SDF_GetPrivateKeyAccessRight(session_, 9, bad, 3), SDR_PRKRERR);  // refused: no password set
  EXPECT_TRUE(LogHasLine(setup_->LogPath(), "[ERROR]", "GetPrivateKeyAccessRight HSM return [62]|[0X00003E]"));
  EXPECT_EQ(SDF_ReleasePrivateKeyAccessRight(session_, 3), SDR_OK);
  EXPECT_EQ(SDF_ReleasePrivateKeyAccessRight(session_, 3), SDR_PRKRERR);
  EXPECT_EQ(SDF_GetPrivateKeyAccessRight(session_, 3, pw3, 3), SDR_OK);
}

// Digest of data with OpenSSL.
Bytes Digest(const EVP_MD* md, const Bytes& data) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EXPECT_EQ(EVP_Digest(data.data(), data.size(), out, &n, md, nullptr), 1);
  return Bytes(reinterpret_cast<char*>(out), n);
}

Bytes Bn(const BIGNUM* v) {
  unsigned char buf[32];
  BN_bn2binpad(v, buf, 32);
  return Bytes(reinterpret_cast<char*>(buf), 32);
}

// The SM2 signer value Z = SM3(ENTL || ID || a || b || xG || yG || xA || yA).
Bytes Sm2Z(const Bytes& id, const Bytes& x, const Bytes& y) {
  std::unique_ptr<EC_GROUP, decltype(&EC_GROUP_free)> group(EC_GROUP_new_by_curve_name(NID_sm2), EC_GROUP_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> p(BN_new(), BN_free), a(BN_new(), BN_free), b(BN_new(), BN_free),
      gx(BN_new(), BN_free), gy(BN_new(), BN_free);
  EC_GROUP_get_curve(group.get(), p.get(), a.get(), b.get(), nullptr);
  EC_POINT_get_affine_coordinates(group.get(), EC_GROUP_get0_generator(group.get()), gx.get(), gy.get(), nullptr);
  const uint16_t bits = static_cast<uint16_t>(id.size() * 8);
  Bytes in{char(bits >> 8), char(bits & 0xFF)};
  in += id + Bn(a.get()) + Bn(b.get()) + Bn(gx.get()) + Bn(gy.get()) + x + y;
  return Digest(EVP_sm3(), in);
}

class Hashing : public EndToEnd {
 protected:
  Bytes data_ = [] {
    Bytes d(20000, '\0');
    for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<char>(i * 7 + i / 251);
    return d;
  }();

  // Hashes data_ in uneven updates and returns the device's digest.
  Bytes Run(SGD_UINT32 alg, ECCrefPublicKey* pub, const Bytes& id) {
    EXPECT_EQ(SDF_HashInit(session_, alg, pub, reinterpret_cast<SGD_UCHAR*>(const_cast<char*>(id.data())),
                           static_cast<SGD_UINT32>(id.size())),
              SDR_OK);
    size_t at = 0;
    for (size_t piece : {1u, 63u, 8191u, 8193u, 3552u}) {
      EXPECT_EQ(
          SDF_HashUpdate(session_, reinterpret_cast<SGD_UCHAR*>(data_.data() + at), static_cast<SGD_UINT32>(piece)),
          SDR_OK);
      at += piece;
    }
    EXPECT_EQ(at, data_.size());
    unsigned char out[64];
    SGD_UINT32 len = 0;
    EXPECT_EQ(SDF_HashFinal(session_, out, &len), SDR_OK);
    return Bytes(reinterpret_cast<char*>(out), len);
  }
};

TEST_F(Hashing, MatchesOpenSsl) {
  EXPECT_EQ(Hex(Run(SGD_SHA1, nullptr, "")), Hex(Digest(EVP_sha1(), data_)));
  EXPECT_EQ(Hex(Run(SGD_SHA256, nullptr, "")), Hex(Digest(EVP_sha256(), data_)));
  EXPECT_EQ(Hex(Run(SGD_SM3, nullptr, "")), Hex(Digest(EVP_sm3(), data_)));
}

TEST_F(Hashing, Sm3WithSignerPreprocessing) {
  ECCrefPublicKey pub{};
  pub.bits = 256;
  Bytes x(32, '\0'), y(32, '\0');
  for (int i = 0; i < 32; ++i) {
    x[i] = static_cast<char>(0x10 + i);
    y[i] = static_cast<char>(0xA0 + i);
  }
  std::memcpy(pub.x + 32, x.data(), 32);
  std::memcpy(pub.y + 32, y.data(), 32);
  const Bytes id = "ALICE123@YAHOO.COM";
  EXPECT_EQ(Hex(Run(SGD_SM3, &pub, id)), Hex(Digest(EVP_sm3(), Sm2Z(id, x, y) + data_)));
  // An empty ID stands for the scheme's default one.
  EXPECT_EQ(Hex(Run(SGD_SM3, &pub, "")), Hex(Digest(EVP_sm3(), Sm2Z("1234567812345678", x, y) + data_)));
  // SHA-256 ignores the key.
  EXPECT_EQ(Hex(Run(SGD_SHA256, &pub, id)), Hex(Digest(EVP_sha256(), data_)));
}

TEST_F(Hashing, PiecesOf8192OnTheWire) {
  ASSERT_EQ(SDF_HashInit(session_, SGD_SHA256, nullptr, nullptr, 0), SDR_OK);
  setup_->Forget();
  ASSERT_EQ(SDF_HashUpdate(session_, reinterpret_cast<SGD_UCHAR*>(data_.data()), 20000), SDR_OK);
  std::vector<uint32_t> pieces;
  for (const std::string& r : setup_->Commands()) {
    ASSERT_EQ(r.substr(0, 2), std::string("\x05\x02", 2));
    const uint32_t stateLen =
        uint32_t(uint8_t(r[2])) << 24 | uint32_t(uint8_t(r[3])) << 16 | uint32_t(uint8_t(r[4])) << 8 | uint8_t(r[5]);
    const size_t at = 6 + stateLen;
    pieces.push_back(uint32_t(uint8_t(r[at])) << 24 | uint32_t(uint8_t(r[at + 1])) << 16 |
                     uint32_t(uint8_t(r[at + 2])) << 8 | uint8_t(r[at + 3]));
  }
  EXPECT_EQ(pieces, (std::vector<uint32_t>{8192, 8192, 3616}));
  unsigned char out[64];
  SGD_UINT32 len = 0;
  EXPECT_EQ(SDF_HashFinal(session_, out, &len), SDR_OK);
  EXPECT_EQ(SDF_HashFinal(session_, out, &len), SDR_STEPERR);
}

TEST_F(EndToEnd, FilesWithBounds) {
  unsigned char name[] = "e2e-file";
  const SGD_UINT32 nameLen = 8;
  SDF_DeleteFile(session_, name, nameLen);  // left over from an earlier run, if any
  ASSERT_EQ(SDF_CreateFile(session_, name, nameLen, 8192), SDR_OK);
  EXPECT_EQ(SDF_CreateFile(session_, name, nameLen, 10), SDR_FILEEXSITS);

  std::vector<unsigned char> head(100), tail(192);
  for (size_t i = 0; i < head.size(); ++i) head[i] = static_cast<unsigned char>(i);
  for (size_t i = 0; i < tail.size(); ++i) tail[i] = static_cast<unsigned char>(0xFF - i);
  ASSERT_EQ(SDF_WriteFile(session_, name, nameLen, 0, 100, head.data()), SDR_OK);
  ASSERT_EQ(SDF_WriteFile(session_, name, nameLen, 8000, 192, tail.data()), SDR_OK);

  unsigned char buf[4097];
  SGD_UINT32 len = 50;
  ASSERT_EQ(SDF_ReadFile(session_, name, nameLen, 25, &len, buf), SDR_OK);
  EXPECT_EQ(len, 50u);
  EXPECT_EQ(std::memcmp(buf, head.data() + 25, 50), 0);
  len = 192;
  ASSERT_EQ(SDF_ReadFile(session_, name, nameLen, 8000, &len, buf), SDR_OK);
  EXPECT_EQ(std::memcmp(buf, tail.data(), 192), 0);

  setup_->Forget();
  len = 193;
  EXPECT_EQ(SDF_ReadFile(session_, name, nameLen, 8000, &len, buf), SDR_INARGERR);
  len = 4097;
  EXPECT_EQ(SDF_ReadFile(session_, name, nameLen, 0, &len, buf), SDR_INARGERR);
  EXPECT_EQ(SDF_WriteFile(session_, name, nameLen, 8100, 100, buf), SDR_INARGERR);
  EXPECT_EQ(SDF_CreateFile(session_, name, nameLen, 8193), SDR_INARGERR);
  unsigned char longName[130];
  std::memset(longName, 'n', sizeof longName);
  EXPECT_EQ(SDF_CreateFile(session_, longName, 129, 16), SDR_INARGERR);
  EXPECT_TRUE(setup_->Commands().empty());

  ASSERT_EQ(SDF_DeleteFile(session_, name, nameLen), SDR_OK);
  len = 10;
  EXPECT_EQ(SDF_ReadFile(session_, name, nameLen, 0, &len, buf), SDR_FILENOEXIST);
  EXPECT_EQ(SDF_DeleteFile(session_, name, nameLen), SDR_FILENOEXIST);
  EXPECT_TRUE(
      LogHasLine(setup_->LogPath(), "[ERROR]", "Quor_DeleteFile HSM return [73]|[0X000049]: File doesn't exist"));
}

struct Fault {
  const char* name;
  const char* command;  // as the control channel names it
  int code;
  SGD_RV expected;
  const char* line;  // the level-4 line of the host command
};
void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

class DeviceErrors : public EndToEnd, public ::testing::WithParamInterface<Fault> {
 protected:
  SGD_RV Call(const std::string& command) {
    unsigned char name[] = "fault-file";
    unsigned char buf[64] = {};
    SGD_UINT32 len = 8;
    if (command == "0601") return SDF_CreateFile(session_, name, 10, 64);
    if (command == "0602") return SDF_ReadFile(session_, name, 10, 0, &len, buf);
    if (command == "0603") return SDF_WriteFile(session_, name, 10, 0, 8, buf);
    if (command == "0604") return SDF_DeleteFile(session_, name, 10);
    if (command == "0808") return Quor_DestroyKey(session_, 0, 5);
    if (command == "0501") return SDF_HashInit(session_, SGD_SM3, nullptr, nullptr, 0);
    if (command == "0101") {
      DEVICEINFO info;
      return SDF_GetDeviceInfo(session_, &info);
    }
    if (command == "0103") return SDF_GetPrivateKeyAccessRight(session_, 3, buf, 3);
    if (command == "0899") return Quor_AppPinAuth(session_, reinterpret_cast<const unsigned char*>("12345678"), 8);
    if (command == "0806") return Quor_GetKeyLabel(session_, 0, 1, buf, &len);
    ADD_FAILURE() << command;
    return 0;
  }
};

TEST_P(DeviceErrors, MappedAndLogged) {
  const Fault& f = GetParam();
  ASSERT_TRUE(setup_->sim.ControlOk(std::string("answer ") + f.command + " " + std::to_string(f.code)));
  EXPECT_EQ(Call(f.command), f.expected);
  if (*f.line) {
    EXPECT_TRUE(LogHasLine(setup_->LogPath(), "[ERROR]", f.line)) << f.line;
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, DeviceErrors,
    ::testing::Values(
        Fault{"FileExists", "0601", 71, SDR_FILEEXSITS, "Quor_CreateFile HSM return [71]|[0X000047]: File has existed"},
        Fault{"CreateFailed", "0601", 72, SDR_FILEWERR,
              "Quor_CreateFile HSM return [72]|[0X000048]: Create file failed"},
        Fault{"FileSize", "0601", 11, SDR_FILESIZEERR,
              "Quor_CreateFile HSM return [11]|[0X00000B]: File size is invalid"},
        Fault{
            "Offset", "0602", 6, SDR_FILEOFSERR,
            "Quor_ReadFile HSM return [6]|[0X000006]: The count of key components is invalid or the offset is invlid"},
        Fault{"NoFile", "0603", 73, SDR_FILENOEXIST, "Quor_WriteFile HSM return [73]|[0X000049]: File doesn't exist"},
        Fault{"KeyIndex", "0808", 21, SDR_KEYNOTEXIST,
              "Quor_DestroyKey HSM return [21]|[0X000015]: Key index is invalid or index(or block number) overflow"},
        Fault{"KeyError", "0806", 1545, SDR_KEYERR, "Quor_GetKeyLabel HSM return [1545]|[0X000609]: Key index error"},
        Fault{"NotSupported", "0604", 68, SDR_NOTSUPPORT,
              "Quor_DeleteFile HSM return [68]|[0X000044]: The command is disabled"},
        Fault{"HashAlgorithm", "0501", 79, SDR_ALGNOTSUPPORT,
              "Quor_HashInit HSM return [79]|[0X00004F]: Hash algorithm flag is error"},
        // (Random numbers are left alone: the host monitors probe with that command.)
        Fault{"Unknown", "0604", 200, SDR_HARDFAIL, "Quor_DeleteFile HSM return [200]|[0X0000C8]: Unknow error"},
        Fault{"InputData", "0602", 15, SDR_INARGERR,
              "Quor_ReadFile HSM return [15]|[0X00000F]: Invalid input data(eg: format character or length)"},
        Fault{"DeviceInfo", "0101", 21, SDR_COMMFAIL, "Quor_GetDeviceInfo HSM return [21]|[0X000015]"},
        Fault{"AccessRefused", "0103", 62, SDR_PRKRERR, "GetPrivateKeyAccessRight HSM return [62]|[0X00003E]"},
        Fault{"AccessCode1", "0103", 1, SDR_COMMFAIL, "GetPrivateKeyAccessRight HSM return [1]|[0X000001]"},
        Fault{"PinMismatch", "0899", 1, SDR_VERIFYERR, ""},
        Fault{"PinOther", "0899", 24, SDR_COMMFAIL, "Quor_AppPinAuth HSM return [24]|[0X000018]"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEnd, SdfErrorLineNamesTheFunction) {
  ASSERT_TRUE(setup_->sim.ControlOk("answer 0604 99"));
  unsigned char name[] = "x";
  EXPECT_EQ(SDF_DeleteFile(session_, name, 1), SDR_HARDFAIL);
  EXPECT_TRUE(LogHasLine(setup_->LogPath(), "[ERROR]", "SDF_DeleteFile error [16777220]|[0X1000004]"));
}

TEST_F(EndToEnd, LostHostIsCommFail) {
  ASSERT_TRUE(setup_->sim.ControlOk("frame truncate"));
  unsigned char buf[8];
  EXPECT_EQ(SDF_GenerateRandom(session_, 8, buf), SDR_COMMFAIL);
}

}  // namespace
