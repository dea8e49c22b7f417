// RSA: public-key export, key-pair generation (plain or into device slots),
// raw public- and private-key operations and the digital-envelope exchange.
#include <quorsdf.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/AsymStructs.h"

using namespace Quor::Commands;
using namespace Quor::Sdf;

namespace {

// Always F4: an exponent that changed with the clock (and was the weak 3
// half of the time) would make key strength a matter of timing.
constexpr SGD_UINT32 kPublicExponent = 65537;
constexpr int32_t kKeyTypeRsa = 1;
constexpr size_t kPrivateKeyCipherCapacity = 3072;
// A raw RSA result never exceeds the largest modulus.
constexpr size_t kMaxRsaResult = RSAref_MAX_LEN;

struct RsaPublicTail {
  const SGD_UCHAR* m;
  const SGD_UCHAR* e;
  SGD_UINT32 n;
};

// Modulus and exponent as the device takes them: the last bits/8 bytes of each.
RsaPublicTail PublicTail(const RSArefPublicKey& k) {
  const SGD_UINT32 n = k.bits / 8;
  return {Tail(k.m, sizeof k.m, n), Tail(k.e, sizeof k.e, n), n};
}

SGD_RV ExportPublicKey(SGD_HANDLE h, const char* name, int32_t usage, SGD_UINT32 index, RSArefPublicKey* out) {
  return Guard(h, name, [&](Call& c) {
    c.LogNumber("uiKeyIndex", index);
    c.Require(index != 0 && out);
    std::vector<SGD_UCHAR> m(1024), e(1024);
    SGD_UINT32 mLen = 0, eLen = 0;
    c.Check(GetInternalRSAPublicKey(h, static_cast<int32_t>(index), usage, {m.data(), &mLen, m.size()},
                                    {e.data(), &eLen, e.size()}, {}));
    RSArefPublicKey k{};
    k.bits = mLen * 8;
    PutRightAligned(k.m, sizeof k.m, View(m.data(), mLen));
    PutRightAligned(k.e, sizeof k.e, View(e.data(), eLen));
    *out = k;
    return c.Done();
  });
}

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_ExportSignPublicKey_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                            RSArefPublicKey* pucPublicKey) {
  return ExportPublicKey(hSessionHandle, "SDF_ExportSignPublicKey_RSA", 0, uiKeyIndex, pucPublicKey);
}

QUOR_API SGD_RV SDF_ExportEncPublicKey_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                           RSArefPublicKey* pucPublicKey) {
  return ExportPublicKey(hSessionHandle, "SDF_ExportEncPublicKey_RSA", 1, uiKeyIndex, pucPublicKey);
}

QUOR_API SGD_RV SDF_GenerateKeyPair_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, RSArefPublicKey* pucPublicKey,
                                        RSArefPrivateKey* pucPrivateKey) {
  return Guard(hSessionHandle, "SDF_GenerateKeyPair_RSA", [&](Call& c) {
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.Require(pucPublicKey && pucPrivateKey);
    const auto publicSlot = static_cast<int32_t>(pucPublicKey->bits);
    const auto privateSlot = static_cast<int32_t>(pucPrivateKey->bits);
    std::vector<SGD_UCHAR> buf(8 * 512);
    SGD_UINT32 len[8] = {};
    auto part = [&](int i) { return View(buf.data() + 512 * i, len[i]); };

    if (publicSlot <= 0 && privateSlot <= 0) {
      Out o[8];
      for (int i = 0; i < 8; ++i) o[i] = {buf.data() + 512 * i, &len[i], 512};
      c.Check(GeneratePlainRSAKeyPair(hSessionHandle, uiKeyBits, kPublicExponent, o));
      RSArefPublicKey pub{};
      auto priv = std::make_unique<RSArefPrivateKey>();
      *priv = {};
      pub.bits = priv->bits = uiKeyBits;
      PutRightAligned(pub.m, sizeof pub.m, part(0));
      PutRightAligned(pub.e, sizeof pub.e, part(1));
      PutRightAligned(priv->m, sizeof priv->m, part(0));
      PutRightAligned(priv->e, sizeof priv->e, part(1));
      PutRightAligned(priv->d, sizeof priv->d, part(2));
      PutRightAligned(priv->prime[0], sizeof priv->prime[0], part(3));
      PutRightAligned(priv->prime[1], sizeof priv->prime[1], part(4));
      PutRightAligned(priv->pexp[0], sizeof priv->pexp[0], part(5));
      PutRightAligned(priv->pexp[1], sizeof priv->pexp[1], part(6));
      PutRightAligned(priv->coef, sizeof priv->coef, part(7));
      *pucPublicKey = pub;
      *pucPrivateKey = *priv;
      return c.Done();
    }

    std::vector<SGD_UCHAR> cipher(kPrivateKeyCipherCapacity);
    SGD_UINT32 cipherLen = 0;
    c.Check(GenerateAsymmKeyWithLMK(hSessionHandle, kKeyTypeRsa, uiKeyBits, kPublicExponent, kCurveSm2,
                                    {buf.data(), &len[0], 512}, {buf.data() + 512, &len[1], 512},
                                    {cipher.data(), &cipherLen, cipher.size()}));
    RSArefPublicKey pub{};
    pub.bits = uiKeyBits;
    PutRightAligned(pub.m, sizeof pub.m, part(0));
    PutRightAligned(pub.e, sizeof pub.e, part(1));
    // Usage 1 into the public structure's slot, usage 0 into the private one's.
    for (const auto& [slot, usage] : {std::pair{publicSlot, 1}, std::pair{privateSlot, 0}}) {
      if (slot < 1) continue;
      c.Check(Quor_ImportKeyCipherByLMK(hSessionHandle, slot, kKeyTypeRsa, 0, 0, usage, buf.data(), len[0],
                                        buf.data() + 512, len[1], cipher.data(), cipherLen, nullptr, 0));
    }
    *pucPublicKey = pub;
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ExternalPublicKeyOperation_RSA(SGD_HANDLE hSessionHandle, RSArefPublicKey* pucPublicKey,
                                                   SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                   SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength) {
  return Guard(hSessionHandle, "SDF_ExternalPublicKeyOperation_RSA", [&](Call& c) {
    c.LogHex("pucDataInput", pucDataInput, pucDataInput ? uiInputLength : 0);
    c.LogNumber("uiInputLength", uiInputLength);
    c.Require(pucPublicKey != nullptr);
    c.LogNumber("pucPublicKey->bits", pucPublicKey->bits);
    c.LogHex("pucPublicKey->m", pucPublicKey->m, sizeof pucPublicKey->m);
    c.LogHex("pucPublicKey->e", pucPublicKey->e, sizeof pucPublicKey->e);
    c.Require(pucDataInput && pucDataOutput && puiOutputLength);
    const RsaPublicTail k = PublicTail(*pucPublicKey);
    c.Check(RSAEncrypt(hSessionHandle, 0, k.m, k.n, k.e, k.n, 0, 4, nullptr, 0, pucDataInput, uiInputLength,
                       {pucDataOutput, puiOutputLength, k.n}));
    return c.Done();
  });
}

// Null arguments are refused like everywhere else rather than read through.
QUOR_API SGD_RV SDF_ExternalPrivateKeyOperation_RSA(SGD_HANDLE hSessionHandle, RSArefPrivateKey* pucPrivateKey,
                                                    SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                    SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength) {
  return Guard(hSessionHandle, "SDF_ExternalPrivateKeyOperation_RSA", [&](Call& c) {
    c.Require(pucPrivateKey && pucDataInput && pucDataOutput && puiOutputLength);
    const RSArefPrivateKey& k = *pucPrivateKey;
    const SGD_UINT32 n = k.bits / 8;
    const SGD_UINT32 half = k.bits / 16;
    RsaComponents parts;
    const SGD_UCHAR* halves[5] = {k.prime[0], k.prime[1], k.pexp[0], k.pexp[1], k.coef};
    parts.data[0] = Tail(k.m, sizeof k.m, n);
    parts.length[0] = n;
    // The exponent goes with its whole array, leading zeros included.
    parts.data[1] = k.e;
    parts.length[1] = sizeof k.e;
    parts.data[2] = Tail(k.d, sizeof k.d, n);
    parts.length[2] = n;
    for (int i = 0; i < 5; ++i) {
      parts.data[3 + i] = Tail(halves[i], RSAref_MAX_PLEN, half);
      parts.length[3 + i] = half;
    }
    c.Check(RSAPlainPrivateKeyOperation(hSessionHandle, 0, 0, parts, pucDataInput, uiInputLength,
                                        {pucDataOutput, puiOutputLength, n}));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_InternalPublicKeyOperation_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                   SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                   SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength) {
  return Guard(hSessionHandle, "SDF_InternalPublicKeyOperation_RSA", [&](Call& c) {
    c.LogNumber("uiKeyIndex", uiKeyIndex);
    c.LogHex("pucDataInput", pucDataInput, pucDataInput ? uiInputLength : 0);
    c.LogNumber("uiInputLength", uiInputLength);
    c.Require(uiKeyIndex != 0 && pucDataInput && (!pucDataOutput || puiOutputLength));
    c.Check(RSASignPublicKeyOperation(hSessionHandle, static_cast<int32_t>(uiKeyIndex), nullptr, 0, nullptr, 0,
                                      pucDataInput, uiInputLength, {pucDataOutput, puiOutputLength, kMaxRsaResult}));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_InternalPrivateKeyOperation_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                    SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                    SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength) {
  return Guard(hSessionHandle, "SDF_InternalPrivateKeyOperation_RSA", [&](Call& c) {
    c.LogNumber("uiKeyIndex", uiKeyIndex);
    c.LogHex("pucDataInput", pucDataInput, pucDataInput ? uiInputLength : 0);
    c.LogNumber("uiInputLength", uiInputLength);
    c.Require(uiKeyIndex != 0 && pucDataInput && (!pucDataOutput || puiOutputLength));
    // Padding 0 is the raw private-key operation; no DigestInfo is added.
    c.Check(RSASign(hSessionHandle, static_cast<int32_t>(uiKeyIndex), nullptr, 0, 0, 4, 4, 0, pucDataInput,
                    uiInputLength, {pucDataOutput, puiOutputLength, kMaxRsaResult}));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ExchangeDigitEnvelopeBaseOnRSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                   RSArefPublicKey* pucPublicKey, SGD_UCHAR* pucDEInput,
                                                   SGD_UINT32 uiDELength, SGD_UCHAR* pucDEOutput,
                                                   SGD_UINT32* puiDELength) {
  return Guard(hSessionHandle, "SDF_ExchangeDigitEnvelopeBaseOnRSA", [&](Call& c) {
    c.LogNumber("uiKeyIndex", uiKeyIndex);
    c.LogHex("pucPublicKey", pucPublicKey, pucPublicKey ? sizeof *pucPublicKey : 0);
    c.LogHex("pucDEInput", pucDEInput, pucDEInput ? uiDELength : 0);
    c.LogNumber("uiDELength", uiDELength);
    c.Require(uiKeyIndex != 0 && pucPublicKey && pucDEInput);
    c.Require(!pucDEOutput || puiDELength);
    const RsaPublicTail k = PublicTail(*pucPublicKey);
    // The re-wrapped envelope is one block of the external key.
    c.Check(ExchangeDataEnvelopeRSA(hSessionHandle, static_cast<int32_t>(uiKeyIndex), k.m, k.n, k.e, k.n, pucDEInput,
                                    uiDELength, {pucDEOutput, puiDELength, k.n}));
    return c.Done();
  });
}

}  // extern "C"
