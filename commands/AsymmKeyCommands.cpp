// Asymmetric key management: RSA and SM2 key pairs made by the device, public
// keys of stored pairs, public keys from private ones, stored keys read back
// under the LMK.
#include <quorsdf.h>

#include <cstring>

#include "commands/Exchange.h"
#include "commands/Internal.h"

namespace Quor::Commands {
namespace {

// An output buffer needs its length pointer in every function of this family.
bool Paired(const Out& o) { return !o.data || o.length; }

// Curve, x and y of the ECC public-key answers (02 16, 08 27 for SM2).
const FieldTemplate& CurveAndPoint() {
  static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,4:B}{4,$(3):B}{5,4:B}{6,$(5):B}");
  return t;
}

}  // namespace

SGD_RV GeneratePlainRSAKeyPair(SGD_HANDLE h, SGD_UINT32 bits, SGD_UINT32 exponent, const Out (&o)[8]) noexcept {
  return Guard(h, "Quor_GeneratePlainRSAKeyPair", [&](Call& c) {
    for (const Out& out : o) c.Require(Paired(out));
    const Answer a = c.Exchange(Request(0x02, 0x02).Int(bits).Int(exponent), Results(8));
    c.CopyOut({{a.Field(3), o[0]},
               {a.Field(5), o[1]},
               {a.Field(7), o[2]},
               {a.Field(9), o[3]},
               {a.Field(11), o[4]},
               {a.Field(13), o[5]},
               {a.Field(15), o[6]},
               {a.Field(17), o[7]}});
    return c.Done();
  });
}

SGD_RV GeneratePlainECCKeyPair(SGD_HANDLE h, int32_t curve, Out x, Out y, Out privateKey) noexcept {
  return Guard(h, "Quor_GeneratePlainECCKeyPair", [&](Call& c) {
    c.Require(Paired(x) && Paired(y) && Paired(privateKey));
    const Answer a = c.Exchange(Request(0x02, 0x08).Int(curve), Results(3));
    c.CopyOut({{a.Field(3), x}, {a.Field(5), y}, {a.Field(7), privateKey}});
    return c.Done();
  });
}

SGD_RV GenerateAsymmKeyWithLMK(SGD_HANDLE h, int32_t keyType, SGD_UINT32 bits, SGD_UINT32 exponent, int32_t curve,
                               Out out1, Out out2, Out out3) noexcept {
  return Guard(h, "Quor_GenerateAsymmKeyWithLMK", [&](Call& c) {
    c.Require(Paired(out1) && Paired(out2) && Paired(out3));
    Request req(0x08, 0x18);
    req.Int(keyType);
    if (keyType == 1)
      req.Int(bits).Int(exponent);
    else
      req.Int(256).Int(curve);
    const Answer a = c.Exchange(req, Results(3));
    c.CopyOut({{a.Field(3), out1}, {a.Field(5), out2}, {a.Field(7), out3}});
    return c.Done();
  });
}

SGD_RV GetInternalRSAPublicKey(SGD_HANDLE h, int32_t keyIndex, int32_t usage, Out modulus, Out exponent,
                               Out third) noexcept {
  return Guard(h, "Quor_GetInternalRSAPublicKey", [&](Call& c) {
    c.Require(keyIndex != 0 && Paired(modulus) && Paired(exponent) && Paired(third));
    const Answer a = c.Exchange(Request(0x02, 0x01).Int(keyIndex).Int(usage), Results(3));
    c.CopyOut({{a.Field(3), modulus}, {a.Field(5), exponent}, {a.Field(7), third}});
    return c.Done();
  });
}

SGD_RV GetInternalECCPublicKey(SGD_HANDLE h, int32_t keyIndex, int32_t usage, SGD_UINT32* curve, Out x,
                               Out y) noexcept {
  return Guard(h, "Quor_GetInternalECCPublicKey", [&](Call& c) {
    c.Require(keyIndex != 0 && Paired(x) && Paired(y));
    const Answer a = c.Exchange(Request(0x02, 0x16).Int(keyIndex).Int(usage), CurveAndPoint());
    c.CopyOut({{a.Field(4), x}, {a.Field(6), y}});
    if (curve) *curve = a.Number(2);
    return c.Done();
  });
}

}  // namespace Quor::Commands

using namespace Quor::Commands;

extern "C" {

QUOR_API SGD_RV Quor_GeneratePlainRSAKeyPair(
    SGD_HANDLE hSessionHandle, SGD_UINT32 uiBits, SGD_UINT32 uiExponent, SGD_UCHAR* pucModulus,
    SGD_UINT32* puiModulusLen, SGD_UCHAR* pucPublicExponent, SGD_UINT32* puiPublicExponentLen,
    SGD_UCHAR* pucPrivateExponent, SGD_UINT32* puiPrivateExponentLen, SGD_UCHAR* pucPrime1, SGD_UINT32* puiPrime1Len,
    SGD_UCHAR* pucPrime2, SGD_UINT32* puiPrime2Len, SGD_UCHAR* pucExponent1, SGD_UINT32* puiExponent1Len,
    SGD_UCHAR* pucExponent2, SGD_UINT32* puiExponent2Len, SGD_UCHAR* pucCoefficient, SGD_UINT32* puiCoefficientLen) {
  const Out o[8] = {{pucModulus, puiModulusLen},           {pucPublicExponent, puiPublicExponentLen},
                    {pucPrivateExponent, puiPrivateExponentLen}, {pucPrime1, puiPrime1Len},
                    {pucPrime2, puiPrime2Len},             {pucExponent1, puiExponent1Len},
                    {pucExponent2, puiExponent2Len},       {pucCoefficient, puiCoefficientLen}};
  return GeneratePlainRSAKeyPair(hSessionHandle, uiBits, uiExponent, o);
}

QUOR_API SGD_RV Quor_GeneratePlainECCKeyPair(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_UCHAR* pucX,
                                             SGD_UINT32* puiXLen, SGD_UCHAR* pucY, SGD_UINT32* puiYLen,
                                             SGD_UCHAR* pucPrivateKey, SGD_UINT32* puiPrivateKeyLen) {
  return GeneratePlainECCKeyPair(hSessionHandle, iCurve, {pucX, puiXLen}, {pucY, puiYLen},
                                 {pucPrivateKey, puiPrivateKeyLen});
}

QUOR_API SGD_RV Quor_GenerateAsymmKeyWithLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_UINT32 uiBits,
                                             SGD_UINT32 uiExponent, SGD_INT32 iCurve, SGD_UCHAR* pucOut1,
                                             SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len,
                                             SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len) {
  return GenerateAsymmKeyWithLMK(hSessionHandle, iKeyType, uiBits, uiExponent, iCurve, {pucOut1, puiOut1Len},
                                 {pucOut2, puiOut2Len}, {pucOut3, puiOut3Len});
}

QUOR_API SGD_RV Quor_GetInternalRSAPublicKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iUsage,
                                             SGD_UCHAR* pucModulus, SGD_UINT32* puiModulusLen, SGD_UCHAR* pucExponent,
                                             SGD_UINT32* puiExponentLen, SGD_UCHAR* pucThird, SGD_UINT32* puiThirdLen) {
  return GetInternalRSAPublicKey(hSessionHandle, iKeyIndex, iUsage, {pucModulus, puiModulusLen},
                                 {pucExponent, puiExponentLen}, {pucThird, puiThirdLen});
}

QUOR_API SGD_RV Quor_GetInternalECCPublicKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iUsage,
                                             SGD_UINT32* puiCurve, SGD_UCHAR* pucX, SGD_UINT32* puiXLen,
                                             SGD_UCHAR* pucY, SGD_UINT32* puiYLen) {
  return GetInternalECCPublicKey(hSessionHandle, iKeyIndex, iUsage, puiCurve, {pucX, puiXLen}, {pucY, puiYLen});
}

QUOR_API SGD_RV Quor_GetPublicKeyByPrivateKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iCurve,
                                              SGD_INT32 iKeyStatus, const SGD_UCHAR* pucPrivateKey,
                                              SGD_UINT32 uiPrivateKeyLen, SGD_UINT32* puiCurve, SGD_UCHAR* pucPublic1,
                                              SGD_UINT32* puiPublic1Len, SGD_UCHAR* pucPublic2,
                                              SGD_UINT32* puiPublic2Len) {
  return Guard(hSessionHandle, "Quor_GetPublicKeyByPrivateKey", [&](Call& c) {
    c.LogNumber("type", static_cast<uint32_t>(iKeyType));
    c.LogNumber("curve", static_cast<uint32_t>(iCurve));
    c.LogNumber("keyStatus", static_cast<uint32_t>(iKeyStatus));
    // The private key itself is not written to the log: a log file is no place for key material.
    c.Require(pucPrivateKey && uiPrivateKeyLen != 0 && pucPublic1 && puiPublic1Len && pucPublic2 && puiPublic2Len);
    // The SM2 answer carries a curve, so its out is required for that key type.
    c.Require(iKeyType != 2 || puiCurve);
    Request req(0x08, 0x27);
    req.Int(iKeyType);
    if (iKeyType == 2) req.Int(iCurve);
    req.Int(iKeyStatus).Bytes(pucPrivateKey, uiPrivateKeyLen);
    if (iKeyType == 2) {
      static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,4:B}{4,$(3):B}{5,4:B}{6,$(5):B}");
      const Answer a = c.Exchange(req, t);
      c.CopyOut({{a.Field(4), {pucPublic1, puiPublic1Len}}, {a.Field(6), {pucPublic2, puiPublic2Len}}});
      *puiCurve = a.Number(2);
    } else {
      const Answer a = c.Exchange(req, Results(2));
      c.CopyOut({{a.Field(3), {pucPublic1, puiPublic1Len}}, {a.Field(5), {pucPublic2, puiPublic2Len}}});
    }
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_GetInternalKeyCipherByLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iKeyType,
                                               SGD_INT32 iUsage, SGD_UCHAR* pucPublic1, SGD_UINT32* puiPublic1Len,
                                               SGD_UCHAR* pucPublic2, SGD_UINT32* puiPublic2Len, SGD_UCHAR* pucCipher,
                                               SGD_UINT32* puiCipherLen, SGD_UCHAR* pucCheck, SGD_UINT32* puiNumber1,
                                               SGD_UINT32* puiNumber2) {
  return Guard(hSessionHandle, "Quor_GetInternalKeyCipherByLMK", [&](Call& c) {
    const Out pub1{pucPublic1, puiPublic1Len}, pub2{pucPublic2, puiPublic2Len}, cipher{pucCipher, puiCipherLen};
    c.Require(Paired(pub1) && Paired(pub2) && Paired(cipher));
    // No answer layout is known for other key types.
    c.Require(iKeyType >= 0 && iKeyType <= 2);
    // RSA rights are held under the negated index, SM2 rights under the index itself.
    if (iKeyType == 1) c.RequireAccess(-iKeyIndex);
    if (iKeyType == 2) c.RequireAccess(iKeyIndex);
    Request req(0x08, 0x32);
    req.Int(iKeyType).Int(iKeyIndex);
    if (iKeyType != 0) req.Int(iUsage);
    if (iKeyType == 0) {
      static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}{4,8:B}{5,4:B}");
      const Answer a = c.Exchange(req, t);
      const std::string_view check = a.Field(4);
      if (pucCheck && check.size() != 8) FailWith(SDR_COMMFAIL);
      c.CopyOut(a.Field(3), cipher);
      if (pucCheck) std::memcpy(pucCheck, check.data(), 8);
      if (puiNumber1) *puiNumber1 = a.Number(5);
    } else if (iKeyType == 2) {
      static const FieldTemplate t =
          FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}{4,4:B}{5,$(4):B}{6,4:B}{7,$(6):B}{8,4:B}");
      const Answer a = c.Exchange(req, t);
      c.CopyOut({{a.Field(3), pub1}, {a.Field(5), pub2}, {a.Field(7), cipher}});
      if (puiNumber2) *puiNumber2 = a.Number(8);
    } else {
      const Answer a = c.Exchange(req, Results(3));
      c.CopyOut({{a.Field(3), pub1}, {a.Field(5), pub2}, {a.Field(7), cipher}});
    }
    return c.Done();
  });
}

}  // extern "C"
