// SM2 key agreement: the device computes the exchange in one command; the
// library makes the temporary key pair, keeps the sponsor's state between its
// two calls and turns the agreed key into a key handle.
#include <openssl/crypto.h>
#include <quorsdf.h>

#include <cstdint>
#include <memory>
#include <string>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/AsymStructs.h"
#include "sdf/KeyHandles.h"

using namespace Quor::Commands;
using namespace Quor::Sdf;

namespace {

constexpr size_t kCapacity = 128;
constexpr int32_t kSponsor = 0;
constexpr int32_t kResponder = 1;

// The agreement functions refuse a missing right themselves, with SDR_PRKRERR.
void RequireRight(const Call& c, SGD_UINT32 index) {
  if (!c.Session().HasRight(static_cast<int32_t>(index))) FailWith(SDR_PRKRERR);
}

EccPoint PointOf(const ECCrefPublicKey& k) {
  const SGD_UINT32 n = k.bits / 8;
  return {Tail(k.x, sizeof k.x, n), n, Tail(k.y, sizeof k.y, n), n};
}

const SGD_UCHAR* Data(const Quor::Bytes& b) { return reinterpret_cast<const SGD_UCHAR*>(b.data()); }
SGD_UINT32 Size(const Quor::Bytes& b) { return static_cast<SGD_UINT32>(b.size()); }

EccPoint PointOf(const Quor::Bytes& x, const Quor::Bytes& y) { return {Data(x), Size(x), Data(y), Size(y)}; }

// The own public key (usage 1) and a fresh temporary key pair.
struct OwnKeys {
  ECCrefPublicKey publicKey{};
  ECCrefPublicKey tmpPublicKey{};
  Quor::Bytes tmpX, tmpY, tmpPrivateKey;
  OwnKeys() = default;
  OwnKeys(const OwnKeys&) = delete;
  OwnKeys& operator=(const OwnKeys&) = delete;
  ~OwnKeys() { OPENSSL_cleanse(tmpPrivateKey.data(), tmpPrivateKey.size()); }
};

void MakeOwnKeys(Call& c, SGD_UINT32 index, OwnKeys& k) {
  SGD_HANDLE h = &c.Session();
  SGD_UCHAR x[kCapacity], y[kCapacity], d[kCapacity];
  SGD_UINT32 xLen = 0, yLen = 0, dLen = 0;
  c.Check(GetInternalECCPublicKey(h, static_cast<int32_t>(index), 1, nullptr, {x, &xLen, sizeof x},
                                  {y, &yLen, sizeof y}));
  ToSm2PublicKey(View(x, xLen), View(y, yLen), &k.publicKey);
  const SGD_RV rv =
      GeneratePlainECCKeyPair(h, kCurveSm2, {x, &xLen, sizeof x}, {y, &yLen, sizeof y}, {d, &dLen, sizeof d});
  k.tmpPrivateKey.assign(reinterpret_cast<const char*>(d), rv == SDR_OK ? dLen : 0);
  OPENSSL_cleanse(d, sizeof d);
  c.Check(rv);
  ToSm2PublicKey(View(x, xLen), View(y, yLen), &k.tmpPublicKey);
  k.tmpX.assign(reinterpret_cast<const char*>(x), xLen);
  k.tmpY.assign(reinterpret_cast<const char*>(y), yLen);
}

// Runs the device's key exchange; returns the agreed key's LMK cipher.
Quor::Bytes Exchange(Call& c, int32_t role, const ECCrefPublicKey& peer, const ECCrefPublicKey& peerTmp,
                     const SGD_UCHAR* peerId, SGD_UINT32 peerIdLength, SGD_UINT32 index, const Quor::Bytes& tmpX,
                     const Quor::Bytes& tmpY, const Quor::Bytes& tmpPrivateKey, const SGD_UCHAR* ownId,
                     SGD_UINT32 ownIdLength, SGD_UINT32 keyBits) {
  SGD_UCHAR cipher[kCapacity];
  SGD_UINT32 cipherLen = 0;
  c.Check(SM2ExchangeKeyOutCipherByLMK(&c.Session(), role, PointOf(peer), PointOf(peerTmp), peerId, peerIdLength,
                                       static_cast<int32_t>(index), PointOf(tmpX, tmpY), Data(tmpPrivateKey),
                                       Size(tmpPrivateKey), ownId, ownIdLength, keyBits / 8,
                                       {cipher, &cipherLen, sizeof cipher}));
  return Quor::Bytes(reinterpret_cast<const char*>(cipher), cipherLen);
}

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_GenerateAgreementDataWithECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UINT32 uiKeyBits,
                                                 SGD_UCHAR* pucSponsorID, SGD_UINT32 uiSponsorIDLength,
                                                 ECCrefPublicKey* pucSponsorPublicKey,
                                                 ECCrefPublicKey* pucSponsorTmpPublicKey,
                                                 SGD_HANDLE* phAgreementHandle) {
  return Guard(hSessionHandle, "SDF_GenerateAgreementDataWithECC", [&](Call& c) {
    c.LogNumber("uiISKIndex", uiISKIndex);
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.LogHex("pucSponsorID", pucSponsorID, pucSponsorID ? uiSponsorIDLength : 0);
    c.LogNumber("uiSponsorIDLength", uiSponsorIDLength);
    c.Require(uiISKIndex != 0 && (uiSponsorIDLength == 0 || pucSponsorID));
    c.Require(pucSponsorPublicKey && pucSponsorTmpPublicKey && phAgreementHandle);
    RequireRight(c, uiISKIndex);
    OwnKeys own;
    MakeOwnKeys(c, uiISKIndex, own);
    auto record = std::make_unique<SdfAgreement>();
    record->keyBits = uiKeyBits;
    record->keyIndex = uiISKIndex;
    record->tmpX = own.tmpX;
    record->tmpY = own.tmpY;
    record->tmpPrivateKey = own.tmpPrivateKey;
    record->sponsorId.assign(reinterpret_cast<const char*>(pucSponsorID), pucSponsorID ? uiSponsorIDLength : 0);
    *pucSponsorPublicKey = own.publicKey;
    *pucSponsorTmpPublicKey = own.tmpPublicKey;
    *phAgreementHandle = c.Session().AddAgreement(std::move(record));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_GenerateKeyWithECC(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucResponseID,
                                       SGD_UINT32 uiResponseIDLength, ECCrefPublicKey* pucResponsePublicKey,
                                       ECCrefPublicKey* pucResponseTmpPublicKey, SGD_HANDLE hAgreementHandle,
                                       SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateKeyWithECC", [&](Call& c) {
    c.LogHex("pucResponseID", pucResponseID, pucResponseID ? uiResponseIDLength : 0);
    c.LogNumber("uiResponseIDLength", uiResponseIDLength);
    c.LogHex("pucResponsePublicKey", pucResponsePublicKey, pucResponsePublicKey ? sizeof(ECCrefPublicKey) : 0);
    c.LogHex("pucResponseTmpPublicKey", pucResponseTmpPublicKey,
             pucResponseTmpPublicKey ? sizeof(ECCrefPublicKey) : 0);
    c.LogNumber("hAgreementHandle", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hAgreementHandle)));
    c.Require(uiResponseIDLength == 0 || pucResponseID);
    c.Require(pucResponsePublicKey && pucResponseTmpPublicKey && hAgreementHandle && phKeyHandle);
    // Looked up by address only: a consumed handle's record is never read.
    const SdfAgreement* a = c.Session().FindAgreement(hAgreementHandle);
    if (!a) FailWith(SDR_STEPERR);
    RequireRight(c, a->keyIndex);
    const Quor::Bytes cipher =
        Exchange(c, kSponsor, *pucResponsePublicKey, *pucResponseTmpPublicKey, pucResponseID, uiResponseIDLength,
                 a->keyIndex, a->tmpX, a->tmpY, a->tmpPrivateKey, Data(a->sponsorId), Size(a->sponsorId), a->keyBits);
    const SGD_RV rv = CompleteKeyHandle(c, c.Session(), cipher, phKeyHandle);
    // Only a completed key consumes the agreement.
    c.Session().DestroyAgreement(hAgreementHandle);
    return rv;
  });
}

QUOR_API SGD_RV SDF_GenerateAgreementDataAndKeyWithECC(
    SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UINT32 uiKeyBits, SGD_UCHAR* pucResponseID,
    SGD_UINT32 uiResponseIDLength, SGD_UCHAR* pucSponsorID, SGD_UINT32 uiSponsorIDLength,
    ECCrefPublicKey* pucSponsorPublicKey, ECCrefPublicKey* pucSponsorTmpPublicKey,
    ECCrefPublicKey* pucResponsePublicKey, ECCrefPublicKey* pucResponseTmpPublicKey, SGD_HANDLE* phKeyHandle) {
  return Guard(hSessionHandle, "SDF_GenerateAgreementDataAndKeyWithECC", [&](Call& c) {
    c.LogNumber("uiISKIndex", uiISKIndex);
    c.LogNumber("uiKeyBits", uiKeyBits);
    c.LogHex("pucResponseID", pucResponseID, pucResponseID ? uiResponseIDLength : 0);
    c.LogNumber("uiResponseIDLength", uiResponseIDLength);
    c.LogHex("pucSponsorID", pucSponsorID, pucSponsorID ? uiSponsorIDLength : 0);
    c.LogNumber("uiSponsorIDLength", uiSponsorIDLength);
    c.LogHex("pucSponsorPublicKey", pucSponsorPublicKey, pucSponsorPublicKey ? sizeof(ECCrefPublicKey) : 0);
    c.LogHex("pucSponsorTmpPublicKey", pucSponsorTmpPublicKey, pucSponsorTmpPublicKey ? sizeof(ECCrefPublicKey) : 0);
    c.LogHex("pucResponsePublicKey", pucResponsePublicKey, pucResponsePublicKey ? sizeof(ECCrefPublicKey) : 0);
    c.Require(uiISKIndex != 0 && (uiResponseIDLength == 0 || pucResponseID) &&
              (uiSponsorIDLength == 0 || pucSponsorID));
    c.Require(pucSponsorPublicKey && pucSponsorTmpPublicKey && pucResponsePublicKey && pucResponseTmpPublicKey &&
              phKeyHandle);
    RequireRight(c, uiISKIndex);
    OwnKeys own;
    MakeOwnKeys(c, uiISKIndex, own);
    const Quor::Bytes cipher =
        Exchange(c, kResponder, *pucSponsorPublicKey, *pucSponsorTmpPublicKey, pucSponsorID, uiSponsorIDLength,
                 uiISKIndex, own.tmpX, own.tmpY, own.tmpPrivateKey, pucResponseID, uiResponseIDLength, uiKeyBits);
    *pucResponsePublicKey = own.publicKey;
    *pucResponseTmpPublicKey = own.tmpPublicKey;
    return CompleteKeyHandle(c, c.Session(), cipher, phKeyHandle);
  });
}

}  // extern "C"
