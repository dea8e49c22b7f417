// SM2: public-key export, key-pair generation (plain or into device slots),
// signing and verifying a hash, encryption and decryption with internal or
// external keys, and the digital-envelope exchange.
#include <quorsdf.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/AsymStructs.h"

using namespace Quor::Commands;
using namespace Quor::Sdf;

namespace {

constexpr int32_t kKeyTypeEcc = 2;
constexpr int32_t kAlgorithmSm4 = 7;
constexpr size_t kSignatureCapacity = 128;
constexpr size_t kEnvelopeCapacity = 2048;

void RequireSm2(SGD_UINT32 algId) {
  if (!IsSm2Algorithm(algId)) FailWith(SDR_ALGNOTSUPPORT);
}

// r || s, each half of the answer, into the caller's signature.
void ToSignature(std::string_view rs, ECCSignature* out) {
  if (rs.empty() || rs.size() % 2 != 0) FailWith(SDR_COMMFAIL);
  const size_t half = rs.size() / 2;
  ECCSignature sig{};
  PutRightAligned(sig.r, sizeof sig.r, rs.substr(0, half));
  PutRightAligned(sig.s, sizeof sig.s, rs.substr(half));
  *out = sig;
}

// The last n bytes of r and of s.
std::string FromSignature(const ECCSignature& sig, size_t n) {
  std::string s(View(Tail(sig.r, sizeof sig.r, n), n));
  s.append(View(Tail(sig.s, sizeof sig.s, n), n));
  return s;
}

struct Point {
  const SGD_UCHAR* x;
  const SGD_UCHAR* y;
  SGD_UINT32 n;
};

Point PublicTail(const ECCrefPublicKey& k) {
  const SGD_UINT32 n = k.bits / 8;
  return {Tail(k.x, sizeof k.x, n), Tail(k.y, sizeof k.y, n), n};
}

SGD_RV ExportPublicKey(SGD_HANDLE h, const char* name, int32_t usage, SGD_UINT32 index, ECCrefPublicKey* out) {
  return Guard(h, name, [&](Call& c) {
    c.LogNumber("uiKeyIndex", index);
    c.Require(index != 0 && out);
    SGD_UCHAR x[128], y[128];
    SGD_UINT32 xLen = 0, yLen = 0;
    c.Check(GetInternalECCPublicKey(h, static_cast<int32_t>(index), usage, nullptr, {x, &xLen, sizeof x},
                                    {y, &yLen, sizeof y}));
    ToSm2PublicKey(View(x, xLen), View(y, yLen), out);
    return c.Done();
  });
}

// Sends a verification; a failed check is an ordinary outcome, returned
// without the error line.
void Verify(Call& c, int32_t keyIndex, const Point* key, const SGD_UCHAR* data, SGD_UINT32 length,
            const std::string& signature) {
  const SGD_RV rv = Quor_ECCVerifyHash(&c.Session(), kCurveSm2, keyIndex, key ? key->x : nullptr, key ? key->n : 0,
                                       key ? key->y : nullptr, key ? key->n : 0, data, length,
                                       reinterpret_cast<const SGD_UCHAR*>(signature.data()),
                                       static_cast<SGD_UINT32>(signature.size()));
  if (rv == SDR_VERIFYERR) FailWith(rv);
  c.Check(rv);
}

// Encrypts with a stored key (index not 0) or the given point; the cipher
// text's C is as long as the data, so no more room is asked of the caller.
void Encrypt(Call& c, int32_t keyIndex, const Point* key, const SGD_UCHAR* data, SGD_UINT32 length, ECCCipher* out) {
  std::vector<SGD_UCHAR> buf(std::min<size_t>(size_t{length} + 256, kAnswerCapacity));
  SGD_UINT32 outLen = 0;
  c.Check(ECCEncrypt(&c.Session(), kCurveSm2, keyIndex, key ? key->x : nullptr, key ? key->n : 0,
                     key ? key->y : nullptr, key ? key->n : 0, data, length, {buf.data(), &outLen, buf.size()}));
  ToEccCipher(View(buf.data(), outLen), key && keyIndex == 0 ? key->n : kSm2CoordLength, length, out);
}

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_ExportSignPublicKey_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                            ECCrefPublicKey* pucPublicKey) {
  return ExportPublicKey(hSessionHandle, "SDF_ExportSignPublicKey_ECC", 0, uiKeyIndex, pucPublicKey);
}

QUOR_API SGD_RV SDF_ExportEncPublicKey_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                           ECCrefPublicKey* pucPublicKey) {
  return ExportPublicKey(hSessionHandle, "SDF_ExportEncPublicKey_ECC", 1, uiKeyIndex, pucPublicKey);
}

QUOR_API SGD_RV SDF_GenerateKeyPair_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, SGD_UINT32 uiKeyBits,
                                        ECCrefPublicKey* pucPublicKey, ECCrefPrivateKey* pucPrivateKey) {
  return Guard(hSessionHandle, "SDF_GenerateKeyPair_ECC", [&](Call& c) {
    c.LogNumber("uiAlgID", uiAlgID);
    c.LogNumber("uiKeyBits", uiKeyBits);
    RequireSm2(uiAlgID);
    c.Require(uiKeyBits == kSm2Bits && pucPublicKey && pucPrivateKey);
    const auto publicSlot = static_cast<int32_t>(pucPublicKey->bits);
    const auto privateSlot = static_cast<int32_t>(pucPrivateKey->bits);
    SGD_UCHAR x[64], y[64];
    SGD_UINT32 xLen = 0, yLen = 0;
    ECCrefPublicKey pub{};
    pub.bits = uiKeyBits;

    if (publicSlot <= 0 && privateSlot <= 0) {
      SGD_UCHAR k[64];
      SGD_UINT32 kLen = 0;
      c.Check(GeneratePlainECCKeyPair(hSessionHandle, kCurveSm2, {x, &xLen, sizeof x}, {y, &yLen, sizeof y},
                                      {k, &kLen, sizeof k}));
      ECCrefPrivateKey priv{};
      priv.bits = uiKeyBits;
      PutRightAligned(pub.x, sizeof pub.x, View(x, xLen));
      PutRightAligned(pub.y, sizeof pub.y, View(y, yLen));
      PutRightAligned(priv.K, sizeof priv.K, View(k, kLen));
      *pucPublicKey = pub;
      *pucPrivateKey = priv;
      return c.Done();
    }

    SGD_UCHAR cipher[128];
    SGD_UINT32 cipherLen = 0;
    c.Check(GenerateAsymmKeyWithLMK(hSessionHandle, kKeyTypeEcc, 0, 3, kCurveSm2, {x, &xLen, sizeof x},
                                    {y, &yLen, sizeof y}, {cipher, &cipherLen, sizeof cipher}));
    PutRightAligned(pub.x, sizeof pub.x, View(x, xLen));
    PutRightAligned(pub.y, sizeof pub.y, View(y, yLen));
    for (const auto& [slot, usage] : {std::pair{publicSlot, 1}, std::pair{privateSlot, 0}}) {
      if (slot < 1) continue;
      c.Check(Quor_ImportKeyCipherByLMK(hSessionHandle, slot, kKeyTypeEcc, kCurveSm2, kAlgorithmSm4, usage, x, xLen,
                                        y, yLen, cipher, cipherLen, nullptr, 0));
    }
    *pucPublicKey = pub;
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ExternalSign_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPrivateKey* pucPrivateKey,
                                     SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, ECCSignature* pucSignature) {
  return Guard(hSessionHandle, "SDF_ExternalSign_ECC", [&](Call& c) {
    c.Require(pucData && pucSignature && pucPrivateKey);
    c.LogNumber("uiAlgID", uiAlgID);
    c.LogHex("pucData", pucData, uiDataLength);
    c.LogNumber("uiDataLength", uiDataLength);
    RequireSm2(uiAlgID);
    const SGD_UINT32 n = pucPrivateKey->bits / 8;
    const SGD_UCHAR* k = Tail(pucPrivateKey->K, sizeof pucPrivateKey->K, n);
    SGD_UCHAR rs[kSignatureCapacity];
    SGD_UINT32 rsLen = 0;
    c.Check(ExternalECCSignHash(hSessionHandle, kCurveSm2, k, n, pucData, uiDataLength, {rs, &rsLen, sizeof rs}));
    ToSignature(View(rs, rsLen), pucSignature);
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ExternalVerify_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPublicKey* pucPublicKey,
                                       SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength, ECCSignature* pucSignature) {
  return Guard(hSessionHandle, "SDF_ExternalVerify_ECC", [&](Call& c) {
    c.LogNumber("uiAlgID", uiAlgID);
    c.LogHex("pucPublicKey", pucPublicKey, pucPublicKey ? sizeof *pucPublicKey : 0);
    c.LogHex("pucData", pucDataInput, pucDataInput ? uiInputLength : 0);
    c.LogNumber("uiDataLength", uiInputLength);
    RequireSm2(uiAlgID);
    c.Require(pucPublicKey && pucDataInput && pucSignature);
    const Point key = PublicTail(*pucPublicKey);
    Verify(c, 0, &key, pucDataInput, uiInputLength, FromSignature(*pucSignature, key.n));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_InternalSign_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UCHAR* pucData,
                                     SGD_UINT32 uiDataLength, ECCSignature* pucSignature) {
  return Guard(hSessionHandle, "SDF_InternalSign_ECC", [&](Call& c) {
    c.LogNumber("uiISKIndex", uiISKIndex);
    c.LogHex("pucData", pucData, pucData ? uiDataLength : 0);
    c.LogNumber("uiDataLength", uiDataLength);
    c.Require(uiISKIndex != 0 && pucData && pucSignature);
    SGD_UCHAR rs[kSignatureCapacity];
    SGD_UINT32 rsLen = 0;
    c.Check(InternalECCSignHash(hSessionHandle, kCurveSm2, static_cast<int32_t>(uiISKIndex), pucData, uiDataLength,
                                {rs, &rsLen, sizeof rs}));
    ToSignature(View(rs, rsLen), pucSignature);
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_InternalVerify_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UCHAR* pucData,
                                       SGD_UINT32 uiDataLength, ECCSignature* pucSignature) {
  return Guard(hSessionHandle, "SDF_InternalVerify_ECC", [&](Call& c) {
    c.LogNumber("uiIPKIndex", uiIPKIndex);
    c.LogHex("pucData", pucData, pucData ? uiDataLength : 0);
    c.LogNumber("uiDataLength", uiDataLength);
    c.Require(uiIPKIndex != 0 && pucData && pucSignature);
    Verify(c, static_cast<int32_t>(uiIPKIndex), nullptr, pucData, uiDataLength,
           FromSignature(*pucSignature, kSm2CoordLength));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ExternalEncrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPublicKey* pucPublicKey,
                                        SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, ECCCipher* pucEncData) {
  return Guard(hSessionHandle, "SDF_ExternalEncrypt_ECC", [&](Call& c) {
    c.LogNumber("uiAlgID", uiAlgID);
    c.Require(pucPublicKey != nullptr);
    c.LogNumber("pucPublicKey->bits", pucPublicKey->bits);
    c.LogHex("pucPublicKey->x", pucPublicKey->x, sizeof pucPublicKey->x);
    c.LogHex("pucPublicKey->y", pucPublicKey->y, sizeof pucPublicKey->y);
    c.LogHex("pucData", pucData, pucData ? uiDataLength : 0);
    c.LogNumber("uiDataLength", uiDataLength);
    c.Require(pucData && pucEncData);
    RequireSm2(uiAlgID);
    const Point key = PublicTail(*pucPublicKey);
    Encrypt(c, 0, &key, pucData, uiDataLength, pucEncData);
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ExternalDecrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPrivateKey* pucPrivateKey,
                                        ECCCipher* pucEncData, SGD_UCHAR* pucData, SGD_UINT32* puiDataLength) {
  return Guard(hSessionHandle, "SDF_ExternalDecrypt_ECC", [&](Call& c) {
    c.LogNumber("uiAlgID", uiAlgID);
    c.Require(pucPrivateKey && pucEncData);
    // Only the key's size: a log file is no place for a private key.
    c.LogNumber("pucPrivateKey->bits", pucPrivateKey->bits);
    c.LogNumber("puiDataLength", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(puiDataLength)));
    RequireSm2(uiAlgID);
    c.Require(!pucData || puiDataLength);
    const SGD_UINT32 n = pucPrivateKey->bits / 8;
    const SGD_UCHAR* k = Tail(pucPrivateKey->K, sizeof pucPrivateKey->K, n);
    const std::string cipher = FromEccCipher(*pucEncData);
    // The plain text is as long as C.
    c.Check(ECCDecrypt(hSessionHandle, kCurveSm2, uiAlgID == SGD_SM2_1 ? 0 : 1, 0, k, n,
                       reinterpret_cast<const SGD_UCHAR*>(cipher.data()), static_cast<SGD_UINT32>(cipher.size()),
                       {pucData, puiDataLength, pucEncData->L}));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_InternalEncrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UCHAR* pucData,
                                        SGD_UINT32 uiDataLength, ECCCipher* pucEncData) {
  return Guard(hSessionHandle, "SDF_InternalEncrypt_ECC", [&](Call& c) {
    c.LogNumber("uiIPKIndex", uiIPKIndex);
    c.LogHex("pucData", pucData, pucData ? uiDataLength : 0);
    c.LogNumber("uiDataLength", uiDataLength);
    const auto index = static_cast<int32_t>(uiIPKIndex);
    c.Require(index != 0 && index != INT32_MIN && pucData && pucEncData);
    if (index > 0) {
      Encrypt(c, index, nullptr, pucData, uiDataLength, pucEncData);
      return c.Done();
    }
    // A negative index names the signature pair of the slot.
    SGD_UCHAR x[128], y[128];
    SGD_UINT32 xLen = 0, yLen = 0;
    c.Check(GetInternalECCPublicKey(hSessionHandle, -index, 0, nullptr, {x, &xLen, sizeof x}, {y, &yLen, sizeof y}));
    if (xLen != yLen) FailWith(SDR_COMMFAIL);
    const Point key{x, y, xLen};
    std::vector<SGD_UCHAR> buf(std::min<size_t>(size_t{uiDataLength} + 256, kAnswerCapacity));
    SGD_UINT32 outLen = 0;
    c.Check(ECCEncrypt(hSessionHandle, kCurveSm2, 0, key.x, key.n, key.y, key.n, pucData, uiDataLength,
                       {buf.data(), &outLen, buf.size()}));
    ToEccCipher(View(buf.data(), outLen), kSm2CoordLength, uiDataLength, pucEncData);
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_InternalDecrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, ECCCipher* pucEncData,
                                        SGD_UCHAR* pucData, SGD_UINT32* puiDataLength) {
  return Guard(hSessionHandle, "SDF_InternalDecrypt_ECC", [&](Call& c) {
    c.LogNumber("uiISKIndex", uiISKIndex);
    c.Require(pucEncData != nullptr);
    LogEccCipher(c, "pucEncData", *pucEncData);
    const auto index = static_cast<int32_t>(uiISKIndex);
    c.Require(index != 0 && index != INT32_MIN && (!pucData || puiDataLength));
    const std::string cipher = FromEccCipher(*pucEncData);
    c.Check(ECCDecrypt(hSessionHandle, kCurveSm2, index > 0 ? 1 : 0, index > 0 ? index : -index, nullptr, 0,
                       reinterpret_cast<const SGD_UCHAR*>(cipher.data()), static_cast<SGD_UINT32>(cipher.size()),
                       {pucData, puiDataLength, pucEncData->L}));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ExchangeDigitEnvelopeBaseOnECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex, SGD_UINT32 uiAlgID,
                                                   ECCrefPublicKey* pucPublicKey, ECCCipher* pucEncDataIn,
                                                   ECCCipher* pucEncDataOut) {
  return Guard(hSessionHandle, "SDF_ExchangeDigitEnvelopeBaseOnECC", [&](Call& c) {
    c.LogNumber("uiKeyIndex", uiKeyIndex);
    c.LogNumber("uiAlgID", uiAlgID);
    c.LogHex("pucPublicKey", pucPublicKey, pucPublicKey ? sizeof *pucPublicKey : 0);
    c.LogHex("pucEncDataOut", pucEncDataOut, pucEncDataOut ? sizeof(ECCrefPublicKey) : 0);
    c.Require(uiKeyIndex != 0);
    RequireSm2(uiAlgID);
    c.Require(pucPublicKey && pucEncDataIn && pucEncDataOut);
    const Point key = PublicTail(*pucPublicKey);
    const std::string in = FromEccCipher(*pucEncDataIn);
    SGD_UCHAR out[kEnvelopeCapacity];
    SGD_UINT32 outLen = 0;
    c.Check(ExchangeDataEnvelopeECC(hSessionHandle, static_cast<int32_t>(uiKeyIndex), kCurveSm2, key.x, key.n, key.y,
                                    key.n, reinterpret_cast<const SGD_UCHAR*>(in.data()),
                                    static_cast<SGD_UINT32>(in.size()), {out, &outLen, sizeof out}));
    // The same content re-wrapped: its C is as long as the input's.
    ToEccCipher(View(out, outLen), kSm2CoordLength, pucEncDataIn->L, pucEncDataOut);
    return c.Done();
  });
}

}  // extern "C"
