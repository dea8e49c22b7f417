// Device information, random numbers and private-key access rights.
#include <quorsdf.h>

#include <cstring>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/Handles.h"

using namespace Quor::Commands;

namespace {

constexpr SGD_UINT32 kAsymAlgAbility = 0x00030F00;  // SGD_RSA | SGD_SM2 | SGD_SM2_1 | SGD_SM2_2 | SGD_SM2_3
constexpr SGD_UINT32 kAsymKeyLengths = 0x00001D00;  // 256 | 1024 | 2048 | 4096
constexpr SGD_UINT32 kSymAlgAbility = 0x8000071F;
constexpr SGD_UINT32 kHashAlgAbility = SGD_SM3 | SGD_SHA256;

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_GetDeviceInfo(SGD_HANDLE hSessionHandle, DEVICEINFO* pstDeviceInfo) {
  return Guard(hSessionHandle, "SDF_GetDeviceInfo", [&](Call& c) {
    c.Require(pstDeviceInfo != nullptr);
    SGD_UCHAR issuer[sizeof pstDeviceInfo->IssuerName];
    SGD_UCHAR name[sizeof pstDeviceInfo->DeviceName];
    SGD_UCHAR serial[sizeof pstDeviceInfo->DeviceSerial];
    SGD_UINT32 issuerLen = 0, nameLen = 0, serialLen = 0;
    SGD_UINT32 version = 0, standard = 0, unused32 = 0, bufferSize = 0;
    SGD_UINT64 unused64 = 0;
    // Text buffers of the structure's field sizes: a longer text from the
    // device fails the command instead of running into the next field.
    c.Check(GetDeviceInfo(hSessionHandle, {issuer, &issuerLen, sizeof issuer}, {name, &nameLen, sizeof name},
                          {serial, &serialLen, sizeof serial}, &version, &standard, &unused64, &unused32, &bufferSize,
                          nullptr));
    std::memcpy(pstDeviceInfo->IssuerName, issuer, issuerLen);
    std::memcpy(pstDeviceInfo->DeviceName, name, nameLen);
    std::memcpy(pstDeviceInfo->DeviceSerial, serial, serialLen);
    pstDeviceInfo->DeviceVersion = version;
    pstDeviceInfo->StandardVersion = standard;
    pstDeviceInfo->AsymAlgAbility[0] = kAsymAlgAbility;
    pstDeviceInfo->AsymAlgAbility[1] = kAsymKeyLengths;
    pstDeviceInfo->SymAlgAbility = kSymAlgAbility;
    pstDeviceInfo->HashAlgAbility = kHashAlgAbility;
    pstDeviceInfo->BufferSize = bufferSize;
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_GenerateRandom(SGD_HANDLE hSessionHandle, SGD_UINT32 uiLength, SGD_UCHAR* pucRandom) {
  return Guard(hSessionHandle, "SDF_GenerateRandom", [&](Call& c) {
    c.LogNumber("uiLength", uiLength);
    c.Require(pucRandom != nullptr);
    c.Check(Quor_GenerateRandom(hSessionHandle, uiLength, pucRandom));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_GetPrivateKeyAccessRight(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex, SGD_UCHAR* pucPassword,
                                             SGD_UINT32 uiPwdLength) {
  return Guard(hSessionHandle, "SDF_GetPrivateKeyAccessRight", [&](Call& c) {
    c.LogNumber("uiKeyIndex", uiKeyIndex);
    c.LogNumber("uiPwdLength", uiPwdLength);
    const auto index = static_cast<int32_t>(uiKeyIndex);
    c.Check(requestPrivateKeyAccessRight(hSessionHandle, index, pucPassword, uiPwdLength));
    if (!c.Session().AddRight(index, Quor::Bytes(Quor::AsView(pucPassword, uiPwdLength)))) FailWith(SDR_PRKRERR);
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ReleasePrivateKeyAccessRight(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex) {
  return Guard(hSessionHandle, "SDF_ReleasePrivateKeyAccessRight", [&](Call& c) {
    c.LogNumber("uiKeyIndex", uiKeyIndex);
    c.Require(uiKeyIndex != 0);
    if (!c.Session().RemoveRight(static_cast<int32_t>(uiKeyIndex))) FailWith(SDR_PRKRERR);
    return c.Done();
  });
}

}  // extern "C"
