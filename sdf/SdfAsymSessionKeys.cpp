// Session keys made or imported under RSA and SM2 keys.
#include <quorsdf.h>

#include <string>
#include <string_view>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/AsymStructs.h"
#include "sdf/KeyHandles.h"

using namespace Quor::Commands;
using namespace Quor::Sdf;

namespace {

// A key wrapped under RSA is one block of the largest modulus at most.
constexpr size_t kMaxRsaWrapped = RSAref_MAX_LEN;
constexpr size_t kEccWrappedCapacity = 2048;
// The device string of an imported ECCCipher must fit 2048 bytes.
constexpr SGD_UINT32 kMaxImportedC = 2048 - kSm2CipherHead;

// A key made under an SM2 key: C is the key itself, so it is key-length long.
void ToKeyCipher(Call& c, std::string_view device, SGD_UINT32 keyBits, ECCCipher* out) {
  ToEccCipher(device, kSm2CoordLength, keyBits / 8, out);
  LogEccCipher(c, "pucKey", *out);
}

std::string_view Lmk(const SGD_UCHAR* p, SGD_UINT32 n) { return View(p, n); }

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_GenerateKeyWithIPK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UINT32 uiKeyBits,
                                           SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateKeyWithIPK_RSA", [&](Call& c) {
    c.LogNumber("uiIPKIndex", uiIPKIndex);
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.Require(uiIPKIndex != 0 && pucKey && puiKeyLength && phKeyHandle);
    SGD_UCHAR lmk[kLmkCipherCapacity];
    SGD_UINT32 lmkLen = 0;
    c.Check(GenerateSymmKeyWithRSA(hSessionHandle, static_cast<int32_t>(uiIPKIndex), nullptr, 0, nullptr, 0,
                                   uiKeyBits / 8, {pucKey, puiKeyLength, kMaxRsaWrapped}, {lmk, &lmkLen, sizeof lmk}));
    return CompleteKeyHandle(c, c.Session(), Lmk(lmk, lmkLen), phKeyHandle);
  });
}

QUOR_API SGD_RV SDF_GenerateKeyWithEPK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits,
                                           RSArefPublicKey* pucPublicKey, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength,
                                           SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateKeyWithEPK_RSA", [&](Call& c) {
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.LogHex("pucPublicKey", pucPublicKey, pucPublicKey ? sizeof *pucPublicKey : 0);
    c.Require(pucPublicKey && pucKey && puiKeyLength && phKeyHandle);
    const SGD_UINT32 n = pucPublicKey->bits / 8;
    const SGD_UCHAR* m = Tail(pucPublicKey->m, sizeof pucPublicKey->m, n);
    const SGD_UCHAR* e = Tail(pucPublicKey->e, sizeof pucPublicKey->e, n);
    SGD_UCHAR lmk[kLmkCipherCapacity];
    SGD_UINT32 lmkLen = 0;
    // Under an external key the wrapped key is one block of its modulus.
    c.Check(GenerateSymmKeyWithRSA(hSessionHandle, 0, m, n, e, n, uiKeyBits / 8, {pucKey, puiKeyLength, n},
                                   {lmk, &lmkLen, sizeof lmk}));
    return CompleteKeyHandle(c, c.Session(), Lmk(lmk, lmkLen), phKeyHandle);
  });
}

QUOR_API SGD_RV SDF_ImportKeyWithISK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UCHAR* pucKey,
                                         SGD_UINT32 uiKeyLength, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_ImportKeyWithISK_RSA", [&](Call& c) {
    c.LogNumber("uiISKIndex", uiISKIndex);
    c.LogHex("pucKey", pucKey, pucKey ? uiKeyLength : 0);
    c.LogNumber("uiKeyLength", uiKeyLength);
    c.Require(uiISKIndex != 0 && pucKey && phKeyHandle);
    SGD_UCHAR lmk[kLmkCipherCapacity];
    SGD_UINT32 lmkLen = 0;
    c.Check(ImportSymmKeyCipherByInternalRSA(hSessionHandle, static_cast<int32_t>(uiISKIndex), pucKey, uiKeyLength,
                                             {lmk, &lmkLen, sizeof lmk}));
    return CompleteKeyHandle(c, c.Session(), Lmk(lmk, lmkLen), phKeyHandle);
  });
}

QUOR_API SGD_RV SDF_GenerateKeyWithIPK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UINT32 uiKeyBits,
                                           ECCCipher* pucKey, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateKeyWithIPK_ECC", [&](Call& c) {
    c.LogNumber("uiIPKIndex", uiIPKIndex);
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.Require(uiIPKIndex != 0 && pucKey && phKeyHandle);
    SGD_UCHAR wrapped[kEccWrappedCapacity], lmk[kLmkCipherCapacity];
    SGD_UINT32 wrappedLen = 0, lmkLen = 0;
    c.Check(GenerateSymmKeyWithECC(hSessionHandle, static_cast<int32_t>(uiIPKIndex), kCurveSm2, nullptr, 0, nullptr, 0,
                                   uiKeyBits / 8, {wrapped, &wrappedLen, sizeof wrapped}, {lmk, &lmkLen, sizeof lmk}));
    ToKeyCipher(c, View(wrapped, wrappedLen), uiKeyBits, pucKey);
    return CompleteKeyHandle(c, c.Session(), Lmk(lmk, lmkLen), phKeyHandle);
  });
}

QUOR_API SGD_RV SDF_GenerateKeyWithEPK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, SGD_UINT32 uiAlgID,
                                           ECCrefPublicKey* pucPublicKey, ECCCipher* pucKey, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateKeyWithEPK_ECC", [&](Call& c) {
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.LogNumber("uiAlgID", uiAlgID);
    if (!IsSm2Algorithm(uiAlgID)) FailWith(SDR_ALGNOTSUPPORT);
    c.Require(pucPublicKey && pucKey && phKeyHandle);
    const SGD_UINT32 n = pucPublicKey->bits / 8;
    const SGD_UCHAR* x = Tail(pucPublicKey->x, sizeof pucPublicKey->x, n);
    const SGD_UCHAR* y = Tail(pucPublicKey->y, sizeof pucPublicKey->y, n);
    SGD_UCHAR wrapped[kEccWrappedCapacity], lmk[kLmkCipherCapacity];
    SGD_UINT32 wrappedLen = 0, lmkLen = 0;
    c.Check(GenerateSymmKeyWithECC(hSessionHandle, 0, kCurveSm2, x, n, y, n, uiKeyBits / 8,
                                   {wrapped, &wrappedLen, sizeof wrapped}, {lmk, &lmkLen, sizeof lmk}));
    ToKeyCipher(c, View(wrapped, wrappedLen), uiKeyBits, pucKey);
    return CompleteKeyHandle(c, c.Session(), Lmk(lmk, lmkLen), phKeyHandle);
  });
}

QUOR_API SGD_RV SDF_ImportKeyWithISK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, ECCCipher* pucKey,
                                         SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_ImportKeyWithISK_ECC", [&](Call& c) {
    c.LogNumber("uiISKIndex", uiISKIndex);
    c.Require(pucKey != nullptr);
    // Checked before C is read for the log: the device string must fit its buffer.
    c.Require(pucKey->L <= kMaxImportedC);
    LogEccCipher(c, "pucKey", *pucKey);
    c.Require(uiISKIndex != 0 && phKeyHandle);
    const std::string cipher = FromEccCipher(*pucKey);
    SGD_UCHAR lmk[kLmkCipherCapacity];
    SGD_UINT32 lmkLen = 0;
    c.Check(ImportSymmKeyCipherByInternalECC(hSessionHandle, static_cast<int32_t>(uiISKIndex),
                                             reinterpret_cast<const SGD_UCHAR*>(cipher.data()),
                                             static_cast<SGD_UINT32>(cipher.size()), {lmk, &lmkLen, sizeof lmk}));
    return CompleteKeyHandle(c, c.Session(), Lmk(lmk, lmkLen), phKeyHandle);
  });
}

}  // extern "C"
