// Symmetric key management commands: making, importing, storing and
// re-wrapping keys that leave the device only in protected form.
#include <quorsdf.h>

#include <cstring>

#include "commands/Exchange.h"
#include "commands/Internal.h"

namespace Quor::Commands {
namespace {

constexpr int32_t kSymmetric = 0;
constexpr int32_t kRsa = 1;
constexpr int32_t kEcc = 2;
constexpr int32_t kSm2Curve = 7;
constexpr size_t kCheckLength = 8;

// "{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}{4,8:B}": one result and 8 raw bytes.
const FieldTemplate& ResultAndEight() {
  static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}{4,8:B}");
  return t;
}

// The conversion commands send an IV for these modes, sized by the algorithm.
bool ConversionModeHasIv(int32_t mode) { return mode == 1 || mode == 2 || mode == 3 || mode == 5; }
size_t ConversionIvLength(int32_t algorithm) { return algorithm < 3 ? 8 : 16; }

void AddConversionIv(Call& c, Request& req, int32_t algorithm, int32_t mode, const SGD_UCHAR* iv) {
  if (!ConversionModeHasIv(mode)) return;
  c.Require(iv != nullptr);
  req.Raw(iv, ConversionIvLength(algorithm));
}

// An output given without its length pointer.
bool Unpaired(const Out& o) { return o.data && !o.length; }

}  // namespace

SGD_RV GenerateSymmKeyWithLMK(SGD_HANDLE h, int32_t algorithm, Out key, Out check) noexcept {
  return Guard(h, "Quor_GenerateSymmKeyWithLMK", [&](Call& c) {
    c.Require(!Unpaired(key) && !Unpaired(check));
    const Answer a = c.Exchange(Request(0x08, 0x16).Int(algorithm), Results(2));
    c.CopyOut({{a.Field(3), key}, {a.Field(5), check}});
    return c.Done();
  });
}

SGD_RV GenerateSymmKeyWithInternalKEK(SGD_HANDLE h, int32_t kekIndex, SGD_UINT32 keyLength, Out wrapped,
                                      Out key) noexcept {
  return Guard(h, "Quor_GenerateSymmKeyWithInternalKEK", [&](Call& c) {
    c.Require(kekIndex != 0 && wrapped.data && !Unpaired(key));
    const Answer a = c.Exchange(Request(0x02, 0x14).Int(keyLength).Int(kekIndex), Results(2));
    c.CopyOut({{a.Field(3), wrapped}, {a.Field(5), key}});
    return c.Done();
  });
}

SGD_RV GenerateSymmKeyWithRSA(SGD_HANDLE h, int32_t keyIndex, const SGD_UCHAR* modulus, SGD_UINT32 modulusLength,
                              const SGD_UCHAR* exponent, SGD_UINT32 exponentLength, SGD_UINT32 keyLength, Out wrapped,
                              Out key) noexcept {
  return Guard(h, "Quor_GenerateSymmKeyWithRSA", [&](Call& c) {
    c.Require((keyIndex != 0 || (modulus && exponent)) && !Unpaired(wrapped) && !Unpaired(key));
    Request req(0x02, 0x03);
    req.Int(keyIndex);
    if (keyIndex == 0) req.Bytes(modulus, modulusLength).Bytes(exponent, exponentLength);
    req.Int(keyLength);
    const Answer a = c.Exchange(req, Results(2));
    c.CopyOut({{a.Field(3), wrapped}, {a.Field(5), key}});
    return c.Done();
  });
}

SGD_RV GenerateSymmKeyWithECC(SGD_HANDLE h, int32_t keyIndex, int32_t curve, const SGD_UCHAR* x, SGD_UINT32 xLength,
                              const SGD_UCHAR* y, SGD_UINT32 yLength, SGD_UINT32 keyLength, Out wrapped,
                              Out key) noexcept {
  return Guard(h, "Quor_GenerateSymmKeyWithECC", [&](Call& c) {
    c.Require((keyIndex != 0 || (curve == kSm2Curve && x && y)) && !Unpaired(wrapped) && !Unpaired(key));
    Request req(0x02, 0x09);
    req.Int(keyIndex);
    if (keyIndex == 0) req.Bytes(x, xLength).Bytes(y, yLength);
    req.Int(keyLength);
    const Answer a = c.Exchange(req, Results(2));
    c.CopyOut({{a.Field(3), wrapped}, {a.Field(5), key}});
    return c.Done();
  });
}

namespace {

// The three imports of a wrapped key differ in their command and in whether
// the private key behind the index needs an access right.
SGD_RV ImportWrapped(SGD_HANDLE h, const char* name, uint8_t number, bool needsRight, int32_t keyIndex,
                     const SGD_UCHAR* wrapped, SGD_UINT32 wrappedLength, Out key) noexcept {
  return Guard(h, name, [&](Call& c) {
    c.Require(keyIndex != 0 && wrapped && !Unpaired(key));
    if (needsRight) c.RequireAccess(keyIndex);
    const Answer a = c.Exchange(Request(0x02, number).Int(keyIndex).Bytes(wrapped, wrappedLength), OneResult());
    c.CopyOut(a.Field(3), key);
    return c.Done();
  });
}

}  // namespace

SGD_RV ImportSymmKeyCipherByInternalRSA(SGD_HANDLE h, int32_t keyIndex, const SGD_UCHAR* wrapped,
                                        SGD_UINT32 wrappedLength, Out key) noexcept {
  return ImportWrapped(h, "Quor_ImportSymmKeyCipherByInternalRSA", 0x04, true, keyIndex, wrapped, wrappedLength, key);
}

SGD_RV ImportSymmKeyCipherByInternalECC(SGD_HANDLE h, int32_t keyIndex, const SGD_UCHAR* wrapped,
                                        SGD_UINT32 wrappedLength, Out key) noexcept {
  return ImportWrapped(h, "Quor_ImportSymmKeyCipherByInternalECC", 0x11, true, keyIndex, wrapped, wrappedLength, key);
}

SGD_RV ImportSymmKeyCipherByInternalKEK(SGD_HANDLE h, int32_t kekIndex, const SGD_UCHAR* wrapped,
                                        SGD_UINT32 wrappedLength, Out key) noexcept {
  return ImportWrapped(h, "Quor_ImportSymmKeyCipherByInternalKEK", 0x15, false, kekIndex, wrapped, wrappedLength, key);
}

SGD_RV ImportSymmConvertKey(SGD_HANDLE h, const SGD_UCHAR* encrypted, SGD_UINT32 encryptedLength,
                            const SGD_UCHAR* transportKey, SGD_UINT32 transportKeyLength, Out key) noexcept {
  return Guard(h, "Quor_ImportSymmConvertKey", [&](Call& c) {
    c.Require(encrypted && !Unpaired(key));
    Request req(0x08, 0xA1);
    req.Int(0).Int(0).Int(1).Int(1).Int(0).Int(7).Bytes(transportKey, transportKeyLength);
    req.Int(0).Int(7).Int(0).Int(0).Int(0).Bytes(encrypted, encryptedLength);
    const Answer a = c.Exchange(req, ResultAndEight());
    c.CopyOut(a.Field(3), key);
    return c.Done();
  });
}

SGD_RV GetSymmKeyCipherByLMK(SGD_HANDLE h, int32_t keyIndex, Out cipher) noexcept {
  return Guard(h, "Quor_GetInternalKeyCipherByLMK", [&](Call& c) {
    c.Require(!Unpaired(cipher));
    static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}{4,8:B}{5,4:B}");
    const Answer a = c.Exchange(Request(0x08, 0x32).Int(kSymmetric).Int(keyIndex), t);
    c.CopyOut(a.Field(3), cipher);
    return c.Done();
  });
}

}  // namespace Quor::Commands

using namespace Quor::Commands;

extern "C" {

QUOR_API SGD_RV Quor_GenerateSymmKeyWithLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_UCHAR* pucKey,
                                            SGD_UINT32* puiKeyLen, SGD_UCHAR* pucCheck, SGD_UINT32* puiCheckLen) {
  return GenerateSymmKeyWithLMK(hSessionHandle, iAlgorithm, {pucKey, puiKeyLen}, {pucCheck, puiCheckLen});
}

QUOR_API SGD_RV Quor_GenerateSymmKeyWithInternalKEK(SGD_HANDLE hSessionHandle, SGD_INT32 iKekIndex, SGD_UINT32 uiKeyLen,
                                                    SGD_UCHAR* pucWrappedKey, SGD_UINT32* puiWrappedKeyLen,
                                                    SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return GenerateSymmKeyWithInternalKEK(hSessionHandle, iKekIndex, uiKeyLen, {pucWrappedKey, puiWrappedKeyLen},
                                        {pucKey, puiKeyLen});
}

QUOR_API SGD_RV Quor_GenerateSymmKeyWithRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                                            SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent,
                                            SGD_UINT32 uiExponentLen, SGD_UINT32 uiKeyLen, SGD_UCHAR* pucWrappedKey,
                                            SGD_UINT32* puiWrappedKeyLen, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return GenerateSymmKeyWithRSA(hSessionHandle, iKeyIndex, pucModulus, uiModulusLen, pucExponent, uiExponentLen,
                                uiKeyLen, {pucWrappedKey, puiWrappedKeyLen}, {pucKey, puiKeyLen});
}

QUOR_API SGD_RV Quor_GenerateSymmKeyWithECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iCurve,
                                            const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY,
                                            SGD_UINT32 uiYLen, SGD_UINT32 uiKeyLen, SGD_UCHAR* pucCipher,
                                            SGD_UINT32* puiCipherLen, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return GenerateSymmKeyWithECC(hSessionHandle, iKeyIndex, iCurve, pucX, uiXLen, pucY, uiYLen, uiKeyLen,
                                {pucCipher, puiCipherLen}, {pucKey, puiKeyLen});
}

QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return ImportSymmKeyCipherByInternalRSA(hSessionHandle, iKeyIndex, pucWrappedKey, uiWrappedKeyLen,
                                          {pucKey, puiKeyLen});
}

QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return ImportSymmKeyCipherByInternalECC(hSessionHandle, iKeyIndex, pucWrappedKey, uiWrappedKeyLen,
                                          {pucKey, puiKeyLen});
}

QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalKEK(SGD_HANDLE hSessionHandle, SGD_INT32 iKekIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return ImportSymmKeyCipherByInternalKEK(hSessionHandle, iKekIndex, pucWrappedKey, uiWrappedKeyLen,
                                          {pucKey, puiKeyLen});
}

QUOR_API SGD_RV Quor_ImportPlainSymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iAlgorithm,
                                        const SGD_UCHAR* pucLabel, SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucPlainKey,
                                        SGD_UINT32 uiPlainKeyLen) {
  return Guard(hSessionHandle, "Quor_ImportPlainSymmKey", [&](Call& c) {
    c.LogNumber("alg", static_cast<uint32_t>(iAlgorithm));
    c.LogNumber("index", static_cast<uint32_t>(iKeyIndex));
    c.LogNumber("labelLen", uiLabelLen);
    c.LogNumber("plainKeyLen", uiPlainKeyLen);
    c.Require(pucLabel && pucPlainKey);
    c.Exchange(Request(0x08, 0x03)
                   .Int(iKeyIndex)
                   .Int(iAlgorithm)
                   .Bytes(pucLabel, uiLabelLen)
                   .Bytes(pucPlainKey, uiPlainKeyLen),
               NoResult());
    return SGD_RV{SDR_OK};
  });
}

QUOR_API SGD_RV Quor_ExportPlainSymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32* piAlgorithm,
                                        SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return Guard(hSessionHandle, "Quor_ExportPlainSymmKey", [&](Call& c) {
    c.Require(piAlgorithm && pucKey && puiKeyLen);
    static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:A}{2,4:B}{3,4:B}{4,$(3):B}");
    const Answer a = c.Exchange(Request(0x08, 0x04).Int(iKeyIndex), t);
    c.CopyOut(a.Field(4), {pucKey, puiKeyLen});
    *piAlgorithm = static_cast<SGD_INT32>(a.Number(2));
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_GetSymmKeyInfo(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32* piAlgorithm,
                                    SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen, SGD_UCHAR* pucCheck) {
  return Guard(hSessionHandle, "Quor_GetSymmKeyInfo", [&](Call& c) {
    c.Require(iKeyIndex != 0 && !(pucKey && !puiKeyLen));
    static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,4:B}{4,$(3):B}{5,8:B}");
    const Answer a = c.Exchange(Request(0x08, 0x09).Int(iKeyIndex), t);
    const std::string_view check = a.Field(5);
    // The check value is written whole or not at all.
    if (pucCheck && check.size() != kCheckLength) FailWith(SDR_COMMFAIL);
    c.CopyOut(a.Field(4), {pucKey, puiKeyLen});
    if (piAlgorithm) *piAlgorithm = static_cast<SGD_INT32>(a.Number(2));
    if (pucCheck) std::memcpy(pucCheck, check.data(), kCheckLength);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_GetSymmKCV(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                SGD_UINT32 uiKeyLen, SGD_INT32 iAlgorithm, SGD_UCHAR* pucCheck) {
  return Guard(hSessionHandle, "Quor_GetSymmKCV", [&](Call& c) {
    c.Require(pucCheck != nullptr);
    if (iKeyIndex != 0) {
      const SGD_RV rv = Quor_GetSymmKeyInfo(hSessionHandle, iKeyIndex, nullptr, nullptr, nullptr, pucCheck);
      if (rv != SDR_OK) FailWith(rv);
      return c.Done();
    }
    c.Require(pucKey && uiKeyLen != 0);
    const SGD_UCHAR zeros[16] = {};
    SGD_UCHAR encrypted[16];
    const SGD_UINT32 n = iAlgorithm >= 0 && iAlgorithm < 3 ? 8 : 16;
    const SGD_RV rv = Quor_SymmKeyOperation(hSessionHandle, 0, 0, nullptr, 0, pucKey, uiKeyLen, iAlgorithm, zeros, n,
                                            encrypted, nullptr);
    if (rv != SDR_OK) FailWith(rv);
    std::memcpy(pucCheck, encrypted, kCheckLength);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_ImportKeyCipherByLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iKeyType,
                                          SGD_INT32 iCurve, SGD_INT32 iAlgorithm, SGD_INT32 iUsage,
                                          const SGD_UCHAR* pucPart1, SGD_UINT32 uiPart1Len, const SGD_UCHAR* pucPart2,
                                          SGD_UINT32 uiPart2Len, const SGD_UCHAR* pucPart3, SGD_UINT32 uiPart3Len,
                                          const SGD_UCHAR* pucCheck, SGD_INT32 iFlag) {
  return Guard(hSessionHandle, "Quor_ImportKeyCipherByLMK", [&](Call& c) {
    const bool asymmetric = iKeyType == kRsa || iKeyType == kEcc;
    c.Require(iKeyIndex != 0 && pucPart3);
    if (asymmetric) c.Require(pucPart1 && pucPart2);
    if (iKeyType == kSymmetric) c.Require(pucCheck != nullptr);
    Request req(0x08, 0x33);
    req.Int(iKeyType).Int(iKeyIndex);
    if (iKeyType == kEcc) req.Int(iCurve);
    if (asymmetric) req.Int(iUsage).Bytes(pucPart1, uiPart1Len).Bytes(pucPart2, uiPart2Len);
    if (iKeyType == kSymmetric) req.Int(iAlgorithm);
    req.Bytes(pucPart3, uiPart3Len);
    if (iKeyType == kSymmetric) req.Raw(pucCheck, kCheckLength);
    req.Int(iFlag != 0 ? 2 : 1);
    c.Exchange(req, NoResult());
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_ImportSymmConvertKey(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucEncKey, SGD_UINT32 uiEncKeyLen,
                                          const SGD_UCHAR* pucTransportKey, SGD_UINT32 uiTransportKeyLen,
                                          SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return ImportSymmConvertKey(hSessionHandle, pucEncKey, uiEncKeyLen, pucTransportKey, uiTransportKeyLen,
                              {pucKey, puiKeyLen});
}

}  // extern "C"

namespace {

// The two KEK conversions share their layout: the key, the KEK by index or as
// an LMK cipher, then code B before code A.
SGD_RV ConvertByKek(SGD_HANDLE h, const char* name, uint8_t number, const SGD_UCHAR* key, SGD_UINT32 keyLength,
                    SGD_INT32 kekIndex, const SGD_UCHAR* kek, SGD_UINT32 kekLength, SGD_INT32 codeA, SGD_INT32 codeB,
                    SGD_UCHAR* out, SGD_UINT32* outLength) noexcept {
  return Guard(h, name, [&](Call& c) {
    c.Require(key && (kekIndex != 0 || kek) && !(out && !outLength));
    Request req(0x08, number);
    req.Bytes(key, keyLength).Int(kekIndex);
    if (kekIndex == 0) req.Bytes(kek, kekLength);
    req.Int(codeB).Int(codeA);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), {out, outLength});
    return c.Done();
  });
}

const FieldTemplate& CovertExportAnswer() {
  static const FieldTemplate t =
      FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,4:B}{4,$(3):B}{5,4:B}{6,$(5):B}{7,4:B}{8,$(7):B}");
  return t;
}

}  // namespace

extern "C" {

QUOR_API SGD_RV Quor_ConvertSymmKeyCipherByKEKToLMK(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucKey,
                                                    SGD_UINT32 uiKeyLen, SGD_INT32 iKekIndex, const SGD_UCHAR* pucKek,
                                                    SGD_UINT32 uiKekLen, SGD_INT32 iCodeA, SGD_INT32 iCodeB,
                                                    SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return ConvertByKek(hSessionHandle, "Quor_ConvertSymmKeyCipherByKEKToLMK", 0x15, pucKey, uiKeyLen, iKekIndex, pucKek,
                      uiKekLen, iCodeA, iCodeB, pucOut, puiOutLen);
}

QUOR_API SGD_RV Quor_ConvertSymmKeyCipherByLMKToKEK(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucKey,
                                                    SGD_UINT32 uiKeyLen, SGD_INT32 iKekIndex, const SGD_UCHAR* pucKek,
                                                    SGD_UINT32 uiKekLen, SGD_INT32 iCodeA, SGD_INT32 iCodeB,
                                                    SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return ConvertByKek(hSessionHandle, "Quor_ConvertSymmKeyCipherByLMKToKEK", 0x14, pucKey, uiKeyLen, iKekIndex, pucKek,
                      uiKekLen, iCodeA, iCodeB, pucOut, puiOutLen);
}

QUOR_API SGD_RV Quor_ImportCovertKeyBySymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_INT32 iMode,
                                              const SGD_UCHAR* pucIV, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                              SGD_INT32 iValue3, SGD_INT32 iValue4, const SGD_UCHAR* pucData,
                                              SGD_UINT32 uiDataLen) {
  return Guard(hSessionHandle, "Quor_ImportCovertKeyBySymmKey", [&](Call& c) {
    c.Require(pucData != nullptr);
    Request req(0x08, 0x58);
    req.Int(iAlgorithm).Int(iMode);
    AddConversionIv(c, req, iAlgorithm, iMode, pucIV);
    req.Int(iValue1).Int(4).Int(iValue2).Int(iValue3).Int(iValue4).Bytes(pucData, uiDataLen).Int(0).Int(0);
    c.Exchange(req, NoResult());
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_ImportCovertKeyByAsymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                               SGD_INT32 iValue3, SGD_INT32 iValue4, const SGD_UCHAR* pucData,
                                               SGD_UINT32 uiDataLen) {
  return Guard(hSessionHandle, "Quor_ImportCovertKeyByAsymmKey", [&](Call& c) {
    c.Require(pucData != nullptr);
    Request req(0x08, 0x59);
    req.Int(iValue2).Int(iValue1).Int(1).Int(0).Int(iValue3).Int(iValue4).Bytes(pucData, uiDataLen).Int(0).Int(0);
    c.Exchange(req, NoResult());
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_ExportCovertKeyBySymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_INT32 iMode,
                                              const SGD_UCHAR* pucIV, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                              SGD_INT32 iValue3, SGD_UINT32* puiNumber, SGD_UCHAR* pucOut1,
                                              SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len) {
  return Guard(hSessionHandle, "Quor_ExportCovertKeyBySymmKey", [&](Call& c) {
    c.Require(puiNumber != nullptr);
    Request req(0x08, 0x56);
    req.Int(iAlgorithm).Int(iMode);
    AddConversionIv(c, req, iAlgorithm, iMode, pucIV);
    req.Int(iValue1).Int(4).Int(iValue2).Int(iValue3);
    const Answer a = c.Exchange(req, CovertExportAnswer());
    c.CopyOut({{a.Field(4), {pucOut1, puiOut1Len}}, {a.Field(6), {pucOut2, puiOut2Len}}});
    *puiNumber = a.Number(2);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_ExportCovertKeyByAsymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                               SGD_INT32 iValue3, SGD_UINT32* puiNumber, SGD_UCHAR* pucOut1,
                                               SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len) {
  return Guard(hSessionHandle, "Quor_ExportCovertKeyByAsymmKey", [&](Call& c) {
    // The number is written unconditionally, so its place must exist.
    c.Require(puiNumber != nullptr);
    Request req(0x08, 0x57);
    req.Int(iValue2).Int(iValue1).Int(1).Int(0).Int(iValue3);
    const Answer a = c.Exchange(req, CovertExportAnswer());
    c.CopyOut({{a.Field(4), {pucOut1, puiOut1Len}}, {a.Field(6), {pucOut2, puiOut2Len}}});
    *puiNumber = a.Number(2);
    return c.Done();
  });
}

}  // extern "C"

namespace {

constexpr int32_t kSlotByCipher = 0;
constexpr int32_t kSlotWithBlobs = 9999;

bool CarriesSecondValue(int32_t resultFormat) { return resultFormat == 20 || resultFormat == 21 || resultFormat == 22; }

// The protection of the key being converted, common to both directions:
// kind, value A, format with its 16-byte value or blobs.
void AddProtection(Request& req, int32_t kind, int32_t valueA, int32_t format, const SGD_UCHAR* value16,
                   std::initializer_list<std::pair<const SGD_UCHAR*, SGD_UINT32>> formatSixBlobs) {
  req.Int(kind);
  if (kind == 1) return;
  req.Int(valueA);
  if (kind != 0) return;
  req.Int(format);
  if (format == 1) req.Raw(value16, 16);
  if (format == 6)
    for (const auto& [blob, length] : formatSixBlobs) req.Bytes(blob, length);
}

// The key slot or LMK cipher of a key, and the mode block.
void AddKeyAndMode(Request& req, int32_t kind, int32_t keyIndex, int32_t valueB, const SGD_UCHAR* cipher,
                   SGD_UINT32 cipherLength, const SGD_UCHAR* blobD, SGD_UINT32 blobDLength, const SGD_UCHAR* blobE,
                   SGD_UINT32 blobELength, int32_t mode, int32_t valueC, int32_t valueD, const SGD_UCHAR* blobF,
                   SGD_UINT32 blobFLength) {
  req.Int(keyIndex);
  if (keyIndex == kSlotByCipher) {
    req.Bytes(cipher, cipherLength);
  } else {
    if (kind != 0) req.Int(valueB);
    if (keyIndex == kSlotWithBlobs) req.Bytes(blobD, blobDLength).Bytes(blobE, blobELength);
  }
  if (kind == 2) return;
  req.Int(mode);
  if (mode == 6) req.Int(1).Int(valueC).Int(valueD).Bytes(blobF, blobFLength);
}

}  // namespace

extern "C" {

QUOR_API SGD_RV Quor_KeyEncryptByOhterToLMK(
    SGD_HANDLE hSessionHandle, SGD_INT32 iKind, SGD_INT32 iValueA, SGD_INT32 iFormat, const SGD_UCHAR* pucValue16,
    const SGD_UCHAR* pucBlobA, SGD_UINT32 uiBlobALen, const SGD_UCHAR* pucBlobB, SGD_UINT32 uiBlobBLen,
    const SGD_UCHAR* pucBlobC, SGD_UINT32 uiBlobCLen, SGD_INT32 iKeyIndex, SGD_INT32 iValueB,
    const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen, const SGD_UCHAR* pucBlobD, SGD_UINT32 uiBlobDLen,
    const SGD_UCHAR* pucBlobE, SGD_UINT32 uiBlobELen, SGD_INT32 iMode, SGD_INT32 iValueC, SGD_INT32 iValueD,
    const SGD_UCHAR* pucBlobF, SGD_UINT32 uiBlobFLen, SGD_INT32 iResultFormat, SGD_INT32 iValueE,
    const SGD_UCHAR* pucKeyData, SGD_UINT32 uiKeyDataLen, const SGD_UCHAR* pucValue16b, const SGD_UCHAR* pucBlobG,
    SGD_UINT32 uiBlobGLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen, SGD_UCHAR* pucOut8) {
  return Guard(hSessionHandle, "Quor_KeyEncryptByOhterToLMK", [&](Call& c) {
    c.Require((iKeyIndex != 0 || pucKeyCipher) && pucKeyData && pucOut);
    Request req(0x09, 0x58);
    AddProtection(req, iKind, iValueA, iFormat, pucValue16,
                  {{pucBlobA, uiBlobALen}, {pucBlobB, uiBlobBLen}, {pucBlobC, uiBlobCLen}});
    AddKeyAndMode(req, iKind, iKeyIndex, iValueB, pucKeyCipher, uiKeyCipherLen, pucBlobD, uiBlobDLen, pucBlobE,
                  uiBlobELen, iMode, iValueC, iValueD, pucBlobF, uiBlobFLen);
    req.Int(iResultFormat);
    if (iResultFormat != 21 && iResultFormat != 1) req.Int(iValueE);
    req.Bytes(pucKeyData, uiKeyDataLen);
    if (CarriesSecondValue(iResultFormat)) req.Raw(pucValue16b, 16).Bytes(pucBlobG, uiBlobGLen);
    const bool withCheck = iResultFormat == 0;
    const Answer a = c.Exchange(req, withCheck ? ResultAndEight() : OneResult());
    c.CopyOut(a.Field(3), {pucOut, puiOutLen});
    if (withCheck && pucOut8 && a.Field(4).size() == 8) std::memcpy(pucOut8, a.Field(4).data(), 8);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_KeyEncryptByLMKToOhter(
    SGD_HANDLE hSessionHandle, SGD_INT32 iKind, SGD_INT32 iValueA, SGD_INT32 iFormat, const SGD_UCHAR* pucValue16,
    const SGD_UCHAR* pucBlobA, SGD_UINT32 uiBlobALen, const SGD_UCHAR* pucBlobB, SGD_UINT32 uiBlobBLen,
    SGD_INT32 iKeyIndex, SGD_INT32 iValueB, const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen,
    const SGD_UCHAR* pucBlobD, SGD_UINT32 uiBlobDLen, const SGD_UCHAR* pucBlobE, SGD_UINT32 uiBlobELen, SGD_INT32 iMode,
    SGD_INT32 iValueC, SGD_INT32 iValueD, const SGD_UCHAR* pucBlobF, SGD_UINT32 uiBlobFLen, SGD_INT32 iResultFormat,
    SGD_INT32 iTargetSelector, SGD_INT32 iValueF, SGD_INT32 iTargetIndex, SGD_INT32 iValueE,
    const SGD_UCHAR* pucTargetCipher, SGD_UINT32 uiTargetCipherLen, const SGD_UCHAR* pucValue16b, SGD_UCHAR* pucOut1,
    SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len, SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len,
    SGD_UCHAR* pucOut8) {
  return Guard(hSessionHandle, "Quor_KeyEncryptByLMKToOhter", [&](Call& c) {
    c.Require((iKeyIndex != 0 || pucKeyCipher) && (iTargetIndex != 0 || pucTargetCipher) && pucOut1);
    Request req(0x09, 0x56);
    AddProtection(req, iKind, iValueA, iFormat, pucValue16, {{pucBlobA, uiBlobALen}, {pucBlobB, uiBlobBLen}});
    AddKeyAndMode(req, iKind, iKeyIndex, iValueB, pucKeyCipher, uiKeyCipherLen, pucBlobD, uiBlobDLen, pucBlobE,
                  uiBlobELen, iMode, iValueC, iValueD, pucBlobF, uiBlobFLen);
    req.Int(iResultFormat).Int(iTargetSelector);
    if (iTargetSelector == 0) {
      const int32_t f = iResultFormat;
      if (f == 1 || f == 2 || f == 12 || f == 21 || f == 22) req.Int(iValueF);
      req.Int(iTargetIndex);
    }
    if (iResultFormat != 21 && iResultFormat != 1) req.Int(iValueE);
    if (iTargetSelector == 1) req.Bytes(pucTargetCipher, uiTargetCipherLen);
    if (CarriesSecondValue(iResultFormat)) req.Raw(pucValue16b, 16);

    const Answer a = c.Exchange(req, OneResult());
    // Up to three length-prefixed results and possibly an 8-byte value follow
    // the header. Where the layout is not fixed by the result format, a tail
    // of exactly 8 bytes is the 8-byte value and anything else must be a whole
    // length-prefixed result.
    std::string_view rest = a.Raw().substr(std::min(a.Raw().size(), size_t{8} + a.Field(3).size()));
    std::string_view results[3] = {a.Field(3)};
    std::string_view eight;
    size_t count = a.Count() > 3 ? 1 : 0;
    const bool twoMore = CarriesSecondValue(iResultFormat) && iFormat == 6;
    while (!rest.empty()) {
      if (!twoMore && rest.size() == 8) {
        eight = rest;
        break;
      }
      if (count == 3 || rest.size() < 4) FailWith(SDR_COMMFAIL);
      const uint32_t n = Quor::GetU32(rest.data());
      if (n > rest.size() - 4) FailWith(SDR_COMMFAIL);
      results[count++] = rest.substr(4, n);
      rest.remove_prefix(4 + n);
    }
    c.CopyOut({{results[0], {pucOut1, puiOut1Len}},
               {results[1], {pucOut2, puiOut2Len}},
               {results[2], {pucOut3, puiOut3Len}}});
    if (pucOut8 && !eight.empty()) std::memcpy(pucOut8, eight.data(), 8);
    return c.Done();
  });
}

}  // extern "C"
