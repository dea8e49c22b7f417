// Asymmetric cipher and signature commands: RSA and SM2 encryption,
// decryption, signing and verification with stored or supplied keys, digital
// envelopes, ECIES and the SM2 key exchange.
#include <quorsdf.h>

#include <string>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "common/Hex.h"

namespace Quor::Commands {
namespace {

constexpr int32_t kPadNone = 0;
constexpr int32_t kPadPkcs1 = 1;
constexpr int32_t kPadOaep = 2;
constexpr int32_t kPadPss = 4;
constexpr int32_t kHashNone = 4;  // the "no hash" code of hash modes and OAEP/PSS hashes
constexpr SGD_UINT32 kMaxOaepLabel = 99;
constexpr SGD_UINT32 kMaxPssSalt = 493;
constexpr uint8_t kOaepSeparator = 0x3B;

bool Paired(const Out& o) { return !o.data || o.length; }

// DigestInfo prefixes (DER, RFC 8017) by digest length.
struct DigestPrefix {
  SGD_UINT32 digestLength;
  const char* hex;
};
constexpr DigestPrefix kDigestPrefixes[] = {
    {28, "302D300D06096086480165030402040500041C"},  // SHA-224
    {32, "3031300D060960864801650304020105000420"},  // SHA-256
    {48, "3041300D060960864801650304020205000430"},  // SHA-384
    {64, "3051300D060960864801650304020305000440"},  // SHA-512
};
constexpr SGD_UINT32 kDigestInfoPrefixLength = 19;

// The prefix to put before the data of a PKCS#1 v1.5 signature over a bare
// digest; empty for a complete DigestInfo or when no prefix applies.
std::string DigestInfoPrefix(int32_t padding, int32_t hashMode, SGD_UINT32 dataLength) {
  if (padding != kPadPkcs1 || hashMode != kHashNone) return {};
  for (const DigestPrefix& p : kDigestPrefixes) {
    if (dataLength == p.digestLength) return HexDecodeLenient(p.hex);
    if (dataLength == p.digestLength + kDigestInfoPrefixLength) return {};
  }
  FailWith(SDR_INARGERR);
}

void RequireSignPadding(const Call& c, int32_t padding, int32_t pssHash, SGD_UINT32 saltLength) {
  c.Require(padding != kPadOaep);
  if (padding == kPadPss) c.Require(pssHash != kHashNone && saltLength <= kMaxPssSalt);
}

void RequireCipherPadding(const Call& c, int32_t padding, int32_t oaepHash, const SGD_UCHAR* label,
                          SGD_UINT32 labelLength) {
  c.Require(padding != kPadPss);
  if (padding == kPadOaep) c.Require(oaepHash != kHashNone && labelLength <= kMaxOaepLabel && (labelLength == 0 || label));
}

// padding, then for OAEP: int 1, the hash, the label and its separator.
void PutCipherPadding(Request& req, int32_t padding, int32_t oaepHash, const SGD_UCHAR* label, SGD_UINT32 labelLength) {
  req.Int(padding);
  if (padding == kPadOaep) req.Int(1).Int(oaepHash).Bytes(label, labelLength).Byte(kOaepSeparator);
}

// padding, hash mode, the PSS fields, then the data with its DigestInfo prefix.
void PutSignedData(Request& req, int32_t padding, int32_t hashMode, int32_t pssHash, SGD_UINT32 saltLength,
                   const SGD_UCHAR* data, SGD_UINT32 dataLength, const SGD_UCHAR* signature = nullptr,
                   SGD_UINT32 signatureLength = 0, bool withSignature = false) {
  const std::string prefix = DigestInfoPrefix(padding, hashMode, dataLength);
  req.Int(padding).Int(padding == kPadNone ? kHashNone : hashMode);
  if (padding == kPadPss) req.Int(1).Int(pssHash).Int(saltLength);
  if (withSignature) req.Bytes(signature, signatureLength);
  req.Int(static_cast<int64_t>(dataLength) + static_cast<int64_t>(prefix.size()));
  req.Raw(prefix.data(), prefix.size()).Raw(data, dataLength);
}

// int (x length + y length), then x and y without lengths of their own.
void PutJoinedPoint(Request& req, const EccPoint& p) {
  req.Int(static_cast<int64_t>(p.xLength) + p.yLength).Raw(p.x, p.xLength).Raw(p.y, p.yLength);
}

}  // namespace

SGD_RV RSAEncrypt(SGD_HANDLE h, int32_t keyIndex, const SGD_UCHAR* modulus, SGD_UINT32 modulusLength,
                  const SGD_UCHAR* exponent, SGD_UINT32 exponentLength, int32_t padding, int32_t oaepHash,
                  const SGD_UCHAR* label, SGD_UINT32 labelLength, const SGD_UCHAR* data, SGD_UINT32 dataLength,
                  Out out) noexcept {
  return Guard(h, "Quor_RSAEncrypt", [&](Call& c) {
    c.Require(keyIndex != 0 || (modulus && exponent));
    RequireCipherPadding(c, padding, oaepHash, label, labelLength);
    c.Require(data && Paired(out));
    Request req(0x08, 0x78);
    req.Int(keyIndex);
    if (keyIndex == 0) req.Bytes(modulus, modulusLength).Bytes(exponent, exponentLength);
    PutCipherPadding(req, padding, oaepHash, label, labelLength);
    req.Bytes(data, dataLength);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), out);
    return c.Done();
  });
}

SGD_RV RSASign(SGD_HANDLE h, int32_t keyIndex, const SGD_UCHAR* keyCipher, SGD_UINT32 keyCipherLength,
               int32_t padding, int32_t hashMode, int32_t pssHash, SGD_UINT32 saltLength, const SGD_UCHAR* data,
               SGD_UINT32 dataLength, Out signature) noexcept {
  return Guard(h, "Quor_RSASign", [&](Call& c) {
    c.Require(data && Paired(signature));
    c.Require(keyIndex != 0 || keyCipher);
    if (keyIndex != 0) c.RequireAccess(keyIndex);
    RequireSignPadding(c, padding, pssHash, saltLength);
    Request req(0x08, 0x19);
    PutSignedData(req, padding, hashMode, pssHash, saltLength, data, dataLength);
    req.Int(keyIndex);
    if (keyIndex == 0) req.Bytes(keyCipher, keyCipherLength);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), signature);
    return c.Done();
  });
}

// The exported form requires the output buffer; the SDF layer may ask for the length alone.
static SGD_RV PublicKeyOperation(SGD_HANDLE h, bool bufferRequired, int32_t keyIndex, const SGD_UCHAR* modulus,
                                 SGD_UINT32 modulusLength, const SGD_UCHAR* exponent, SGD_UINT32 exponentLength,
                                 const SGD_UCHAR* data, SGD_UINT32 dataLength, Out out) noexcept {
  return Guard(h, "Quor_RSASignPublicKeyOperation", [&](Call& c) {
    c.Require(keyIndex != 0 || (modulus && exponent));
    c.Require(data && out.length && (out.data || !bufferRequired));
    Request req(0x03, 0x01);
    req.Int(keyIndex);
    if (keyIndex == 0) req.Bytes(modulus, modulusLength).Bytes(exponent, exponentLength);
    req.Bytes(data, dataLength);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), out);
    return c.Done();
  });
}

SGD_RV RSASignPublicKeyOperation(SGD_HANDLE h, int32_t keyIndex, const SGD_UCHAR* modulus, SGD_UINT32 modulusLength,
                                 const SGD_UCHAR* exponent, SGD_UINT32 exponentLength, const SGD_UCHAR* data,
                                 SGD_UINT32 dataLength, Out out) noexcept {
  return PublicKeyOperation(h, false, keyIndex, modulus, modulusLength, exponent, exponentLength, data, dataLength,
                            out);
}

SGD_RV RSAPlainPrivateKeyOperation(SGD_HANDLE h, int32_t keyIndex, int32_t keyUsage, const RsaComponents& key,
                                   const SGD_UCHAR* data, SGD_UINT32 dataLength, Out out) noexcept {
  return Guard(h, "Quor_RSAPlainPrivateKeyOperation", [&](Call& c) {
    c.LogNumber("index", static_cast<uint32_t>(keyIndex));
    c.LogNumber("keyUsage", static_cast<uint32_t>(keyUsage));
    c.Require(Paired(out));
    if (keyIndex == 0) {
      for (const SGD_UCHAR* part : key.data) c.Require(part != nullptr);
      c.Require(data && out.length);
    } else {
      c.RequireAccess(keyIndex);
    }
    Request req(0x08, 0x11);
    req.Int(keyUsage).Int(keyIndex);
    if (keyIndex == 0)
      for (int i = 0; i < 8; ++i) req.Bytes(key.data[i], key.length[i]);
    req.Bytes(data, dataLength);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), out);
    return c.Done();
  });
}

SGD_RV ExchangeDataEnvelopeRSA(SGD_HANDLE h, int32_t keyIndex, const SGD_UCHAR* modulus, SGD_UINT32 modulusLength,
                               const SGD_UCHAR* exponent, SGD_UINT32 exponentLength, const SGD_UCHAR* data,
                               SGD_UINT32 dataLength, Out out) noexcept {
  return Guard(h, "Quor_ExchangeDataEnvelopeRSA", [&](Call& c) {
    c.Require(keyIndex != 0 && modulus && exponent && data && Paired(out));
    c.RequireAccess(keyIndex);
    const Answer a = c.Exchange(Request(0x02, 0x06)
                                    .Int(keyIndex)
                                    .Bytes(modulus, modulusLength)
                                    .Bytes(exponent, exponentLength)
                                    .Bytes(data, dataLength),
                                OneResult());
    c.CopyOut(a.Field(3), out);
    return c.Done();
  });
}

SGD_RV ExchangeDataEnvelopeECC(SGD_HANDLE h, int32_t keyIndex, int32_t curve, const SGD_UCHAR* x, SGD_UINT32 xLength,
                               const SGD_UCHAR* y, SGD_UINT32 yLength, const SGD_UCHAR* cipher, SGD_UINT32 cipherLength,
                               Out out) noexcept {
  return Guard(h, "Quor_ExchangeDataEnvelopeECC", [&](Call& c) {
    c.Require(keyIndex != 0 && curve == kCurveSm2 && x && y && cipher && Paired(out));
    c.RequireAccess(keyIndex);
    const Answer a = c.Exchange(
        Request(0x02, 0x12).Int(keyIndex).Bytes(x, xLength).Bytes(y, yLength).Bytes(cipher, cipherLength),
        OneResult());
    c.CopyOut(a.Field(3), out);
    return c.Done();
  });
}

SGD_RV InternalECCSignHash(SGD_HANDLE h, int32_t curve, int32_t keyIndex, const SGD_UCHAR* hash, SGD_UINT32 hashLength,
                           Out signature) noexcept {
  return Guard(h, "Quor_InternalECCSignHash", [&](Call& c) {
    c.Require(keyIndex != 0 && hash && signature.data && signature.length);
    c.RequireAccess(keyIndex);
    const Answer a = c.Exchange(Request(0x03, 0x03).Short(curve).Int(keyIndex).Bytes(hash, hashLength), OneResult());
    c.CopyOut(a.Field(3), signature);
    return c.Done();
  });
}

SGD_RV ExternalECCSignHash(SGD_HANDLE h, int32_t curve, const SGD_UCHAR* privateKey, SGD_UINT32 privateKeyLength,
                           const SGD_UCHAR* hash, SGD_UINT32 hashLength, Out signature) noexcept {
  return Guard(h, "Quor_ExternalECCSignHash", [&](Call& c) {
    c.Require(privateKey && hash && signature.data && signature.length);
    const Answer a = c.Exchange(
        Request(0x08, 0x12).Int(curve).Bytes(privateKey, privateKeyLength).Bytes(hash, hashLength), OneResult());
    c.CopyOut(a.Field(3), signature);
    return c.Done();
  });
}

SGD_RV ECCEncrypt(SGD_HANDLE h, int32_t curve, int32_t keyIndex, const SGD_UCHAR* x, SGD_UINT32 xLength,
                  const SGD_UCHAR* y, SGD_UINT32 yLength, const SGD_UCHAR* data, SGD_UINT32 dataLength,
                  Out out) noexcept {
  return Guard(h, "Quor_ECCEncrypt", [&](Call& c) {
    c.Require((keyIndex != 0 || (x && y)) && data && Paired(out));
    Request req(0x03, 0x05);
    req.Short(curve).Int(keyIndex);
    if (keyIndex == 0) req.Bytes(x, xLength).Bytes(y, yLength);
    req.Bytes(data, dataLength);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), out);
    return c.Done();
  });
}

SGD_RV ECCDecrypt(SGD_HANDLE h, int32_t curve, int32_t usage, int32_t keyIndex, const SGD_UCHAR* privateKey,
                  SGD_UINT32 privateKeyLength, const SGD_UCHAR* cipher, SGD_UINT32 cipherLength, Out out) noexcept {
  return Guard(h, "Quor_ECCDecrypt", [&](Call& c) {
    c.Require((keyIndex != 0 || privateKey) && cipher && Paired(out));
    Request req(0x08, 0x13);
    req.Int(curve).Int(usage).Int(keyIndex);
    if (keyIndex == 0) req.Bytes(privateKey, privateKeyLength);
    req.Bytes(cipher, cipherLength);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), out);
    return c.Done();
  });
}

SGD_RV SM2ExchangeKeyOutCipherByLMK(SGD_HANDLE h, int32_t role, EccPoint peer, EccPoint peerTmp,
                                    const SGD_UCHAR* peerId, SGD_UINT32 peerIdLength, int32_t ownKeyIndex,
                                    EccPoint ownTmp, const SGD_UCHAR* ownTmpPrivateKey,
                                    SGD_UINT32 ownTmpPrivateKeyLength, const SGD_UCHAR* ownId, SGD_UINT32 ownIdLength,
                                    SGD_UINT32 keyLength, Out out) noexcept {
  return Guard(h, "Quor_SM2ExchangeKeyOutCipherByLMK", [&](Call& c) {
    c.Require(peer.x && peer.y && peerTmp.x && peerTmp.y && (peerIdLength == 0 || peerId));
    c.Require(ownKeyIndex != 0 && ownTmp.x && ownTmp.y && ownTmpPrivateKey && (ownIdLength == 0 || ownId));
    c.Require(Paired(out));
    Request req(0x02, 0x13);
    req.Int(role).Bytes(peerId, peerIdLength);
    PutJoinedPoint(req, peer);
    PutJoinedPoint(req, peerTmp);
    req.Int(ownKeyIndex).Int(keyLength).Bytes(ownId, ownIdLength);
    PutJoinedPoint(req, ownTmp);
    req.Bytes(ownTmpPrivateKey, ownTmpPrivateKeyLength);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), out);
    return c.Done();
  });
}

}  // namespace Quor::Commands

using namespace Quor::Commands;

extern "C" {

QUOR_API SGD_RV Quor_RSAEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                                SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                SGD_INT32 iPadding, SGD_INT32 iOaepHash, const SGD_UCHAR* pucLabel,
                                SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                                SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return RSAEncrypt(hSessionHandle, iKeyIndex, pucModulus, uiModulusLen, pucExponent, uiExponentLen, iPadding,
                    iOaepHash, pucLabel, uiLabelLen, pucData, uiDataLen, {pucOut, puiOutLen});
}

QUOR_API SGD_RV Quor_RSADecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKeyCipher,
                                SGD_UINT32 uiKeyCipherLen, SGD_INT32 iPadding, SGD_INT32 iOaepHash,
                                const SGD_UCHAR* pucLabel, SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucData,
                                SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return Guard(hSessionHandle, "Quor_RSADecrypt", [&](Call& c) {
    c.Require(iKeyIndex != 0 || pucKeyCipher);
    if (iKeyIndex != 0) c.RequireAccess(iKeyIndex);
    RequireCipherPadding(c, iPadding, iOaepHash, pucLabel, uiLabelLen);
    c.Require(pucData && (!pucOut || puiOutLen));
    Request req(0x08, 0x79);
    req.Int(iKeyIndex);
    if (iKeyIndex == 0) req.Bytes(pucKeyCipher, uiKeyCipherLen);
    PutCipherPadding(req, iPadding, iOaepHash, pucLabel, uiLabelLen);
    req.Bytes(pucData, uiDataLen);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), {pucOut, puiOutLen});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_RSASign(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKeyCipher,
                             SGD_UINT32 uiKeyCipherLen, SGD_INT32 iPadding, SGD_INT32 iHashMode, SGD_INT32 iPssHash,
                             SGD_UINT32 uiSaltLen, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                             SGD_UCHAR* pucSignature, SGD_UINT32* puiSignatureLen) {
  return RSASign(hSessionHandle, iKeyIndex, pucKeyCipher, uiKeyCipherLen, iPadding, iHashMode, iPssHash, uiSaltLen,
                 pucData, uiDataLen, {pucSignature, puiSignatureLen});
}

QUOR_API SGD_RV Quor_RSAVerify(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                               SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                               SGD_INT32 iPadding, SGD_INT32 iHashMode, SGD_INT32 iPssHash, SGD_UINT32 uiSaltLen,
                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, const SGD_UCHAR* pucSignature,
                               SGD_UINT32 uiSignatureLen) {
  return Guard(hSessionHandle, "Quor_RSAVerify", [&](Call& c) {
    c.Require(pucData && pucSignature);
    c.Require(iKeyIndex != 0 || (pucModulus && pucExponent));
    RequireSignPadding(c, iPadding, iPssHash, uiSaltLen);
    Request req(0x08, 0x20);
    PutSignedData(req, iPadding, iHashMode, iPssHash, uiSaltLen, pucData, uiDataLen, pucSignature, uiSignatureLen,
                  true);
    req.Int(iKeyIndex);
    if (iKeyIndex == 0) req.Bytes(pucModulus, uiModulusLen).Bytes(pucExponent, uiExponentLen);
    c.Exchange(req, NoResult(), DeviceErrorRule::Verify);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_RSASignPublicKeyOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                               const SGD_UCHAR* pucModulus, SGD_UINT32 uiModulusLen,
                                               const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut,
                                               SGD_UINT32* puiOutLen) {
  return PublicKeyOperation(hSessionHandle, true, iKeyIndex, pucModulus, uiModulusLen, pucExponent, uiExponentLen,
                            pucData, uiDataLen, {pucOut, puiOutLen});
}

QUOR_API SGD_RV Quor_PrivateKeyCipherByLMKOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iCurve,
                                                    SGD_INT32 iValue, const SGD_UCHAR* pucKeyCipher,
                                                    SGD_UINT32 uiKeyCipherLen, const SGD_UCHAR* pucData,
                                                    SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return Guard(hSessionHandle, "Quor_PrivateKeyCipherByLMKOperation", [&](Call& c) {
    c.Require(iKeyType != 0 && pucKeyCipher && pucData && (!pucOut || puiOutLen));
    Request req(0x08, 0x29);
    req.Int(iKeyType);
    if (iKeyType == 2) req.Int(iCurve).Int(iCurve == kCurveSm2 ? iValue : 0);
    req.Bytes(pucKeyCipher, uiKeyCipherLen).Bytes(pucData, uiDataLen);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), {pucOut, puiOutLen});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_ExchangeDataEnvelopeRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                             const SGD_UCHAR* pucModulus, SGD_UINT32 uiModulusLen,
                                             const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                             const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut,
                                             SGD_UINT32* puiOutLen) {
  return ExchangeDataEnvelopeRSA(hSessionHandle, iKeyIndex, pucModulus, uiModulusLen, pucExponent, uiExponentLen,
                                 pucData, uiDataLen, {pucOut, puiOutLen});
}

QUOR_API SGD_RV Quor_ExchangeDataEnvelopeECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iCurve,
                                             const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY,
                                             SGD_UINT32 uiYLen, const SGD_UCHAR* pucCipher, SGD_UINT32 uiCipherLen,
                                             SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return ExchangeDataEnvelopeECC(hSessionHandle, iKeyIndex, iCurve, pucX, uiXLen, pucY, uiYLen, pucCipher,
                                 uiCipherLen, {pucOut, puiOutLen});
}

QUOR_API SGD_RV Quor_InternalECCSignHash(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucHash, SGD_UINT32 uiHashLen, SGD_UCHAR* pucSignature,
                                         SGD_UINT32* puiSignatureLen) {
  return InternalECCSignHash(hSessionHandle, iCurve, iKeyIndex, pucHash, uiHashLen, {pucSignature, puiSignatureLen});
}

QUOR_API SGD_RV Quor_ECCVerifyHash(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                   const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY, SGD_UINT32 uiYLen,
                                   const SGD_UCHAR* pucHash, SGD_UINT32 uiHashLen, const SGD_UCHAR* pucSignature,
                                   SGD_UINT32 uiSignatureLen) {
  return Guard(hSessionHandle, "Quor_ECCVerifyHash", [&](Call& c) {
    c.Require((iKeyIndex != 0 || (pucX && pucY)) && pucHash && pucSignature);
    Request req(0x03, 0x04);
    req.Short(iCurve).Int(iKeyIndex);
    if (iKeyIndex == 0) req.Bytes(pucX, uiXLen).Bytes(pucY, uiYLen);
    req.Bytes(pucHash, uiHashLen).Bytes(pucSignature, uiSignatureLen);
    c.Exchange(req, NoResult(), DeviceErrorRule::Verify);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_ECCEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucX,
                                SGD_UINT32 uiXLen, const SGD_UCHAR* pucY, SGD_UINT32 uiYLen, const SGD_UCHAR* pucData,
                                SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return ECCEncrypt(hSessionHandle, iCurve, iKeyIndex, pucX, uiXLen, pucY, uiYLen, pucData, uiDataLen,
                    {pucOut, puiOutLen});
}

QUOR_API SGD_RV Quor_ECCDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iUsage, SGD_INT32 iKeyIndex,
                                const SGD_UCHAR* pucPrivateKey, SGD_UINT32 uiPrivateKeyLen, const SGD_UCHAR* pucCipher,
                                SGD_UINT32 uiCipherLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return ECCDecrypt(hSessionHandle, iCurve, iUsage, iKeyIndex, pucPrivateKey, uiPrivateKeyLen, pucCipher, uiCipherLen,
                    {pucOut, puiOutLen});
}

QUOR_API SGD_RV Quor_InternalECCDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                        const SGD_UCHAR* pucCipher, SGD_UINT32 uiCipherLen, SGD_UCHAR* pucOut,
                                        SGD_UINT32* puiOutLen) {
  return Guard(hSessionHandle, "Quor_InternalECCDecrypt", [&](Call& c) {
    c.Require(iKeyIndex != 0 && pucCipher && pucOut && puiOutLen);
    c.RequireAccess(iKeyIndex);
    const Answer a = c.Exchange(
        Request(0x08, 0x13).Int(iCurve).Int(1).Int(iKeyIndex).Bytes(pucCipher, uiCipherLen), OneResult());
    c.CopyOut(a.Field(3), {pucOut, puiOutLen});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_EciesEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iValueA, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                  SGD_INT32 iValueD, SGD_INT32 iValueE, SGD_INT32 iKeyIndex,
                                  const SGD_UCHAR* pucPublicKey, SGD_UINT32 uiPublicKeyLen, SGD_INT32 iValueF,
                                  const SGD_UCHAR* pucG, SGD_UINT32 uiGLen, SGD_INT32 iValueH, const SGD_UCHAR* pucI,
                                  SGD_UINT32 uiILen, SGD_INT32 iValueJ, SGD_INT32 iValueK, const SGD_UCHAR* pucL,
                                  SGD_UINT32 uiLLen, SGD_INT32 iValueM, const SGD_UCHAR* pucN, SGD_UINT32 uiNLen,
                                  SGD_UCHAR* pucOut1, SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2,
                                  SGD_UINT32* puiOut2Len, SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len) {
  return Guard(hSessionHandle, "Quor_EciesEncrypt", [&](Call& c) {
    c.Require(iKeyIndex != 0 || pucPublicKey);
    c.Require((!pucOut1 || puiOut1Len) && (!pucOut2 || puiOut2Len) && (!pucOut3 || puiOut3Len));
    Request req(0x03, 0x06);
    req.Int(iValueA).Int(iValueB).Int(iValueC).Int(iValueD);
    if (iValueD != 99) req.Int(iValueE);
    req.Int(iKeyIndex);
    if (iKeyIndex == 0) req.Bytes(pucPublicKey, uiPublicKeyLen);
    req.Int(iValueF);
    if (iValueD != 99 && iValueE != 0) req.Raw(pucG, uiGLen);
    if (iValueB < 2) req.Int(iValueH);
    req.Bytes(pucI, uiILen).Int(iValueJ).Int(iValueK).Bytes(pucL, uiLLen).Int(iValueM).Bytes(pucN, uiNLen);
    if (iValueJ == 0) {
      const Answer a = c.Exchange(req, Results(2));
      c.CopyOut({{a.Field(3), {pucOut1, puiOut1Len}}, {a.Field(5), {pucOut2, puiOut2Len}}});
    } else {
      const Answer a = c.Exchange(req, Results(3));
      c.CopyOut({{a.Field(3), {pucOut1, puiOut1Len}},
                 {a.Field(5), {pucOut2, puiOut2Len}},
                 {a.Field(7), {pucOut3, puiOut3Len}}});
    }
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_EciesDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iValueA, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                  SGD_INT32 iValueD, SGD_INT32 iValueE, SGD_INT32 iKeyIndex,
                                  const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen, SGD_INT32 iValueP,
                                  SGD_INT32 iValueQ, const SGD_UCHAR* pucR, SGD_UINT32 uiRLen, const SGD_UCHAR* pucG,
                                  SGD_UINT32 uiGLen, SGD_INT32 iValueH, const SGD_UCHAR* pucI, SGD_UINT32 uiILen,
                                  SGD_INT32 iValueS, SGD_INT32 iValueT, const SGD_UCHAR* pucU, SGD_UINT32 uiULen,
                                  const SGD_UCHAR* pucV, SGD_UINT32 uiVLen, SGD_INT32 iValueM, const SGD_UCHAR* pucN,
                                  SGD_UINT32 uiNLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return Guard(hSessionHandle, "Quor_EciesDecrypt", [&](Call& c) {
    c.Require(iKeyIndex != 0 || pucKeyCipher);
    c.Require(!pucOut || puiOutLen);
    Request req(0x03, 0x07);
    req.Int(iValueA).Int(iValueB).Int(iValueC).Int(iValueD);
    if (iValueD != 99) req.Int(iValueE);
    req.Int(iKeyIndex);
    if (iKeyIndex == 0) req.Bytes(pucKeyCipher, uiKeyCipherLen);
    req.Int(iValueP);
    if (iValueP == 0) req.Int(iValueQ).Bytes(pucR, uiRLen);
    if (iValueD != 99 && iValueE != 0) req.Raw(pucG, uiGLen);
    if (iValueB < 2) req.Int(iValueH);
    req.Bytes(pucI, uiILen).Int(iValueS);
    if (iValueS == 1) req.Int(iValueT).Bytes(pucU, uiULen).Bytes(pucV, uiVLen);
    req.Int(iValueM).Bytes(pucN, uiNLen);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), {pucOut, puiOutLen});
    return c.Done();
  });
}

}  // extern "C"
