// Session keys: keys the device makes or imports, held by the library only as
// LMK ciphers, or stored into device slots.
#include <quorsdf.h>

#include <cstring>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/KeyHandles.h"

using namespace Quor::Commands;
using Quor::AsView;
using Quor::Sdf::CompleteKeyHandle;
using Quor::Sdf::kLmkCipherCapacity;
using Quor::Sdf::SdfSession;

namespace {

constexpr int32_t kSm4 = 7;
// The plain key is encrypted into a buffer of this size before import.
constexpr SGD_UINT32 kPlainKeyCapacity = 256;
// Room for a key wrapped under a KEK when the caller offers no buffer.
constexpr size_t kWrappedCapacity = 512;

// The identifiers a KEK-made key may name; the device is not told which.
bool KekAlgorithm(SGD_UINT32 algId) {
  switch (algId) {
    case SGD_SM1_ECB:
    case SGD_SSF33_ECB:
    case SGD_SM4_ECB:
    case 0x00000801:
    case 0x80000101:
    case 0x80000201:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_GenerateKeyWithKEK(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, SGD_UINT32 uiAlgID,
                                       SGD_UINT32 uiKEKIndex, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength,
                                       SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateKeyWithKEK", [&](Call& c) {
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.LogNumber("uiAlgID", uiAlgID);
    c.LogNumber("uiKEKIndex", uiKEKIndex);
    if (!KekAlgorithm(uiAlgID)) FailWith(SDR_ALGNOTSUPPORT);
    c.Require(!(pucKey && !puiKeyLength) && phKeyHandle);
    // The device always returns the wrapped key; without a caller's buffer it
    // lands here and only its length is passed on.
    SGD_UCHAR wrappedHere[kWrappedCapacity];
    SGD_UINT32 wrappedLength = 0;
    const Out wrapped = pucKey ? Out{pucKey, puiKeyLength} : Out{wrappedHere, &wrappedLength, sizeof wrappedHere};
    SGD_UCHAR cipher[kLmkCipherCapacity];
    SGD_UINT32 cipherLength = 0;
    c.Check(GenerateSymmKeyWithInternalKEK(hSessionHandle, static_cast<int32_t>(uiKEKIndex), uiKeyBits / 8, wrapped,
                                           {cipher, &cipherLength, sizeof cipher}));
    if (!pucKey && puiKeyLength) *puiKeyLength = wrappedLength;
    return CompleteKeyHandle(c, c.Session(), AsView(cipher, cipherLength), phKeyHandle);
  });
}

QUOR_API SGD_RV SDF_ImportKeyWithKEK(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, SGD_UINT32 uiKEKIndex,
                                     SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLength, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_ImportKeyWithKEK", [&](Call& c) {
    c.LogNumber("uiAlgID", uiAlgID);
    c.LogNumber("uiKEKIndex", uiKEKIndex);
    c.LogHex("pucKey", pucKey, pucKey ? uiKeyLength : 0);
    c.LogNumber("uiKeyLength", uiKeyLength);
    if (!KekAlgorithm(uiAlgID)) FailWith(SDR_ALGNOTSUPPORT);
    c.Require(pucKey && phKeyHandle);
    SGD_UCHAR cipher[kLmkCipherCapacity];
    SGD_UINT32 cipherLength = 0;
    c.Check(ImportSymmKeyCipherByInternalKEK(hSessionHandle, static_cast<int32_t>(uiKEKIndex), pucKey, uiKeyLength,
                                             {cipher, &cipherLength, sizeof cipher}));
    return CompleteKeyHandle(c, c.Session(), AsView(cipher, cipherLength), phKeyHandle);
  });
}

QUOR_API SGD_RV SDF_ImportKey(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLength,
                              SGD_HANDLE* phKeyHandle) {
  if (!hSessionHandle || !pucKey) return SDR_INARGERR;
  return Guard(hSessionHandle, "SDF_ImportKey", [&](Call& c) {
    c.Require(phKeyHandle && uiKeyLength != 0 && uiKeyLength <= kPlainKeyCapacity);
    // The key leaves this process once, as the data of the encryption under a
    // fresh transport key (04 01): on a plain TCP host that request is
    // readable on the network. Only its LMK cipher is kept.
    SGD_UCHAR transport[kLmkCipherCapacity];
    SGD_UINT32 transportLength = 0;
    SGD_UCHAR check[32];
    SGD_UINT32 checkLength = 0;
    c.Check(GenerateSymmKeyWithLMK(hSessionHandle, kSm4, {transport, &transportLength, sizeof transport},
                                   {check, &checkLength, sizeof check}));
    SGD_UCHAR encrypted[kPlainKeyCapacity];
    c.Check(Quor_SymmKeyOperation(hSessionHandle, 0, kModeEcb, nullptr, 0, transport, transportLength, kSm4, pucKey,
                                  uiKeyLength, encrypted, nullptr));
    SGD_UCHAR cipher[kLmkCipherCapacity];
    SGD_UINT32 cipherLength = 0;
    c.Check(ImportSymmConvertKey(hSessionHandle, encrypted, uiKeyLength, transport, transportLength,
                                 {cipher, &cipherLength, sizeof cipher}));
    return CompleteKeyHandle(c, c.Session(), AsView(cipher, cipherLength), phKeyHandle);
  });
}

QUOR_API SGD_RV SDF_DestroyKey(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle) {
  return Guard(hSessionHandle, "SDF_DestroyKey", [&](Call& c) {
    c.Require(hKeyHandle != nullptr);
    SdfSession& session = c.Session();
    // A registered session key is recognised by its address, so a handle
    // that was already freed is not read when it is still registered here.
    if (!session.HasKey(hKeyHandle)) {
      uint32_t idx = 0;
      std::memcpy(&idx, hKeyHandle, sizeof idx);
      if (idx == 0) return SGD_RV{SDR_UNKNOWERR};
      c.Check(Quor_DestroyKey(hSessionHandle, 0, static_cast<SGD_INT32>(idx)));
      return c.Done();
    }
    if (!session.DestroyKey(hKeyHandle)) return SGD_RV{SDR_UNKNOWERR};
    return c.Done();
  });
}

}  // extern "C"
