// Device return codes: messages and their GM/T 0018 codes.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include "commands/DeviceErrors.h"

namespace {

using Quor::Commands::deviceErrorMessage;
using Quor::Commands::mapDeviceError;

TEST(DeviceErrorMessage, TableAndUnknownCodes) {
  EXPECT_EQ(Quor::Commands::deviceErrorTableSize(), 101);
  EXPECT_STREQ(deviceErrorMessage(0), "Success");
  EXPECT_STREQ(deviceErrorMessage(21), "Key index is invalid or index(or block number) overflow");
  EXPECT_STREQ(deviceErrorMessage(1545), "Key index error");
  EXPECT_STREQ(deviceErrorMessage(518), "Key label repeat");
  for (int missing : {-2, 8, 14, 47, 200, 1544, 100000}) EXPECT_STREQ(deviceErrorMessage(missing), "Unknow error");
}

struct MapRow {
  std::vector<int> codes;
  SGD_RV expected;
};

TEST(MapDeviceError, Rows) {
  const std::vector<MapRow> rows = {
      {{1}, SDR_VERIFYERR},
      {{2, 5, 7, 27, 30, 53, 54, 56, 57, 76, 78, 96, 111, 112, 518, 1545}, SDR_KEYERR},
      {{3, 22, 29, 31, 58, 79}, SDR_ALGNOTSUPPORT},
      {{4, 28}, SDR_KEYTYPEERR},
      {{6}, SDR_FILEOFSERR},
      {{10, 67, 68}, SDR_NOTSUPPORT},
      {{11}, SDR_FILESIZEERR},
      {{15, 82, 100, 101, 102, 103, 104}, SDR_INARGERR},
      {{21, 45, 61}, SDR_KEYNOTEXIST},
      {{62, 63}, SDR_PRKRERR},
      {{70}, SDR_SKOPERR},
      {{71}, SDR_FILEEXSITS},
      {{72}, SDR_FILEWERR},
      {{73}, SDR_FILENOEXIST},
      {{8, 9, 13, 99, 200, -1, 1544}, SDR_HARDFAIL},
  };
  for (const MapRow& row : rows)
    for (int code : row.codes) EXPECT_EQ(mapDeviceError("Quor_DestroyKey", code), row.expected) << code;
}

TEST(MapDeviceError, Code42ByFunctionName) {
  const std::vector<std::pair<const char*, SGD_RV>> names = {
      {"Quor_RSAEncrypt", SDR_PKOPERR},
      {"Quor_RSADecrypt", SDR_SKOPERR},
      {"Quor_RSASign", SDR_SIGNERR},
      {"Quor_RSAVerify", SDR_VERIFYERR},
      {"Quor_SymmKeyOperation", SDR_ALGNOTSUPPORT},
      {"Quor_GetPublicKeyByPrivateKey", SDR_PKOPERR},  // "Pub" is tried before "Pri"
      {"Quor_PrivateKeyCipherByLMKOperation", SDR_SKOPERR},
      {"Quor_rsaencrypt", SDR_ALGNOTSUPPORT},  // case-sensitive
      {nullptr, SDR_ALGNOTSUPPORT},
  };
  for (const auto& [name, expected] : names) EXPECT_EQ(mapDeviceError(name, 42), expected) << (name ? name : "null");
}

}  // namespace
