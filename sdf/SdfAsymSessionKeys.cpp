// Session keys made or imported under RSA and SM2 keys.
#include <quorsdf.h>

#include <cstring>
#include <string>
#include <vector>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/AsymStructs.h"
#include "sdf/KeyHandles.h"

using namespace Quor::Commands;
using namespace Quor::Sdf;

namespace {

// No session key's LMK cipher is longer.
constexpr size_t kMaxLmkCipher = 128;
// A key wrapped under RSA is one block of the largest modulus at most.
constexpr size_t kMaxRsaWrapped = RSAref_MAX_LEN;
constexpr size_t kMaxEccWrapped = 2048;
// The device string of an imported ECCCipher must fit 2048 bytes.
constexpr SGD_UINT32 kMaxImportedC = 2048 - kSm2CipherHead;

// The exported commands cannot bound their copies, so their results come
// through buffers that any answer fits and are checked here.
struct Received {
  std::vector<SGD_UCHAR> wrapped = std::vector<SGD_UCHAR>(kAnswerCapacity);
  std::vector<SGD_UCHAR> lmk = std::vector<SGD_UCHAR>(kAnswerCapacity);
  SGD_UINT32 wrappedLen = 0;
  SGD_UINT32 lmkLen = 0;

  std::string_view Wrapped(size_t max) const {
    if (wrappedLen > max) FailWith(SDR_COMMFAIL);
    return View(wrapped.data(), wrappedLen);
  }
  std::string_view Lmk() const {
    if (lmkLen > kMaxLmkCipher) FailWith(SDR_COMMFAIL);
    return View(lmk.data(), lmkLen);
  }
};

void CopyWrapped(std::string_view w, SGD_UCHAR* key, SGD_UINT32* keyLength) {
  if (!w.empty()) std::memcpy(key, w.data(), w.size());
  *keyLength = static_cast<SGD_UINT32>(w.size());
}

// A key made under an SM2 key: C is the key itself, so it is key-length long.
void ToKeyCipher(Call& c, std::string_view device, SGD_UINT32 keyBits, ECCCipher* out) {
  ToEccCipher(device, kSm2CoordLength, keyBits / 8, out);
  LogEccCipher(c, "pucKey", *out);
}

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_GenerateKeyWithIPK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UINT32 uiKeyBits,
                                           SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateKeyWithIPK_RSA", [&](Call& c) {
    c.LogNumber("uiIPKIndex", uiIPKIndex);
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.Require(uiIPKIndex != 0 && pucKey && puiKeyLength && phKeyHandle);
    Received r;
    c.Check(Quor_GenerateSymmKeyWithRSA(hSessionHandle, static_cast<int32_t>(uiIPKIndex), nullptr, 0, nullptr, 0,
                                        uiKeyBits / 8, r.wrapped.data(), &r.wrappedLen, r.lmk.data(), &r.lmkLen));
    const std::string_view wrapped = r.Wrapped(kMaxRsaWrapped);
    const std::string_view lmk = r.Lmk();
    CopyWrapped(wrapped, pucKey, puiKeyLength);
    CompleteKeyHandle(c, c.Session(), lmk, phKeyHandle);
    return c.Done();
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
    Received r;
    c.Check(Quor_GenerateSymmKeyWithRSA(hSessionHandle, 0, m, n, e, n, uiKeyBits / 8, r.wrapped.data(), &r.wrappedLen,
                                        r.lmk.data(), &r.lmkLen));
    // Under an external key the wrapped key is one block of its modulus.
    const std::string_view wrapped = r.Wrapped(n);
    const std::string_view lmk = r.Lmk();
    CopyWrapped(wrapped, pucKey, puiKeyLength);
    CompleteKeyHandle(c, c.Session(), lmk, phKeyHandle);
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ImportKeyWithISK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UCHAR* pucKey,
                                         SGD_UINT32 uiKeyLength, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_ImportKeyWithISK_RSA", [&](Call& c) {
    c.LogNumber("uiISKIndex", uiISKIndex);
    c.LogHex("pucKey", pucKey, pucKey ? uiKeyLength : 0);
    c.LogNumber("uiKeyLength", uiKeyLength);
    c.Require(uiISKIndex != 0 && pucKey && phKeyHandle);
    Received r;
    c.Check(Quor_ImportSymmKeyCipherByInternalRSA(hSessionHandle, static_cast<int32_t>(uiISKIndex), pucKey,
                                                  uiKeyLength, r.lmk.data(), &r.lmkLen));
    CompleteKeyHandle(c, c.Session(), r.Lmk(), phKeyHandle);
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_GenerateKeyWithIPK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UINT32 uiKeyBits,
                                           ECCCipher* pucKey, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateKeyWithIPK_ECC", [&](Call& c) {
    c.LogNumber("uiIPKIndex", uiIPKIndex);
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.Require(uiIPKIndex != 0 && pucKey && phKeyHandle);
    Received r;
    c.Check(Quor_GenerateSymmKeyWithECC(hSessionHandle, static_cast<int32_t>(uiIPKIndex), kCurveSm2, nullptr, 0,
                                        nullptr, 0, uiKeyBits / 8, r.wrapped.data(), &r.wrappedLen, r.lmk.data(),
                                        &r.lmkLen));
    const std::string_view wrapped = r.Wrapped(kMaxEccWrapped);
    const std::string_view lmk = r.Lmk();
    ToKeyCipher(c, wrapped, uiKeyBits, pucKey);
    CompleteKeyHandle(c, c.Session(), lmk, phKeyHandle);
    return c.Done();
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
    Received r;
    c.Check(Quor_GenerateSymmKeyWithECC(hSessionHandle, 0, kCurveSm2, x, n, y, n, uiKeyBits / 8, r.wrapped.data(),
                                        &r.wrappedLen, r.lmk.data(), &r.lmkLen));
    const std::string_view wrapped = r.Wrapped(kMaxEccWrapped);
    const std::string_view lmk = r.Lmk();
    ToKeyCipher(c, wrapped, uiKeyBits, pucKey);
    CompleteKeyHandle(c, c.Session(), lmk, phKeyHandle);
    return c.Done();
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
    Received r;
    c.Check(Quor_ImportSymmKeyCipherByInternalECC(hSessionHandle, static_cast<int32_t>(uiISKIndex),
                                                  reinterpret_cast<const SGD_UCHAR*>(cipher.data()),
                                                  static_cast<SGD_UINT32>(cipher.size()), r.lmk.data(), &r.lmkLen));
    CompleteKeyHandle(c, c.Session(), r.Lmk(), phKeyHandle);
    return c.Done();
  });
}

}  // extern "C"
