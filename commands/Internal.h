// Command functions that are not exported, and the forms of exported ones that
// internal callers use when they know their buffers' capacities.
#pragma once

#include <quorsdf.h>

#include "commands/Exchange.h"

namespace Quor::Commands {

// The access-right command for one key type (01 03); logs under the name
// "GetPrivateKeyAccessRight".
SGD_RV GetPrivateKeyAccessRight(SGD_HANDLE session, int32_t keyIndex, int32_t keyType, const SGD_UCHAR* password,
                                SGD_UINT32 passwordLength) noexcept;
// Sends the access-right command for key type 1 and then for key type 2:
// 0 when either succeeded, else the first one's code.
SGD_RV requestPrivateKeyAccessRight(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* password,
                                    SGD_UINT32 passwordLength) noexcept;

// Quor_GetDeviceInfo with text buffers of known capacity.
SGD_RV GetDeviceInfo(SGD_HANDLE session, Out issuer, Out deviceName, Out serial, SGD_UINT32* value1, SGD_UINT32* value2,
                     SGD_UINT64* value64a, SGD_UINT32* value3, SGD_UINT32* value4, SGD_UINT64* value64b) noexcept;

// The hash commands with state and digest buffers of known capacity.
SGD_RV HashInit(SGD_HANDLE session, int32_t hashCode, const SGD_UCHAR* x, SGD_UINT32 xLength, const SGD_UCHAR* y,
                SGD_UINT32 yLength, const SGD_UCHAR* id, SGD_UINT32 idLength, Out state) noexcept;
SGD_RV HashUpdate(SGD_HANDLE session, const SGD_UCHAR* state, SGD_UINT32 stateLength, const SGD_UCHAR* data,
                  SGD_UINT32 dataLength, Out newState) noexcept;
SGD_RV HashFinal(SGD_HANDLE session, const SGD_UCHAR* state, SGD_UINT32 stateLength, Out digest) noexcept;

// No digest the device computes is longer (SHA-512).
inline constexpr size_t kMaxDigest = 64;

// Asymmetric key management with output buffers of known capacity. Each
// logs under the name of its exported form.
SGD_RV GeneratePlainRSAKeyPair(SGD_HANDLE session, SGD_UINT32 bits, SGD_UINT32 exponent, const Out (&components)[8]) noexcept;
SGD_RV GeneratePlainECCKeyPair(SGD_HANDLE session, int32_t curve, Out x, Out y, Out privateKey) noexcept;
SGD_RV GenerateAsymmKeyWithLMK(SGD_HANDLE session, int32_t keyType, SGD_UINT32 bits, SGD_UINT32 exponent,
                               int32_t curve, Out out1, Out out2, Out out3) noexcept;
SGD_RV GetInternalRSAPublicKey(SGD_HANDLE session, int32_t keyIndex, int32_t usage, Out modulus, Out exponent,
                               Out third) noexcept;
SGD_RV GetInternalECCPublicKey(SGD_HANDLE session, int32_t keyIndex, int32_t usage, SGD_UINT32* curve, Out x,
                               Out y) noexcept;

// Asymmetric cipher and signature commands with outputs of known capacity.
SGD_RV RSAEncrypt(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* modulus, SGD_UINT32 modulusLength,
                  const SGD_UCHAR* exponent, SGD_UINT32 exponentLength, int32_t padding, int32_t oaepHash,
                  const SGD_UCHAR* label, SGD_UINT32 labelLength, const SGD_UCHAR* data, SGD_UINT32 dataLength,
                  Out out) noexcept;
SGD_RV RSASign(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* keyCipher, SGD_UINT32 keyCipherLength,
               int32_t padding, int32_t hashMode, int32_t pssHash, SGD_UINT32 saltLength, const SGD_UCHAR* data,
               SGD_UINT32 dataLength, Out signature) noexcept;
SGD_RV RSASignPublicKeyOperation(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* modulus,
                                 SGD_UINT32 modulusLength, const SGD_UCHAR* exponent, SGD_UINT32 exponentLength,
                                 const SGD_UCHAR* data, SGD_UINT32 dataLength, Out out) noexcept;
// The eight RSA components in the order modulus, public exponent, private
// exponent, the two primes, the two prime exponents, coefficient.
struct RsaComponents {
  const SGD_UCHAR* data[8] = {};
  SGD_UINT32 length[8] = {};
};
// Quor_RSAPlainPrivateKeyOperation (08 11): a private-key operation with a
// stored key (index not 0, access right needed) or with supplied components.
SGD_RV RSAPlainPrivateKeyOperation(SGD_HANDLE session, int32_t keyIndex, int32_t keyUsage,
                                   const RsaComponents& key, const SGD_UCHAR* data, SGD_UINT32 dataLength,
                                   Out out) noexcept;
SGD_RV ExchangeDataEnvelopeRSA(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* modulus,
                               SGD_UINT32 modulusLength, const SGD_UCHAR* exponent, SGD_UINT32 exponentLength,
                               const SGD_UCHAR* data, SGD_UINT32 dataLength, Out out) noexcept;
SGD_RV ExchangeDataEnvelopeECC(SGD_HANDLE session, int32_t keyIndex, int32_t curve, const SGD_UCHAR* x,
                               SGD_UINT32 xLength, const SGD_UCHAR* y, SGD_UINT32 yLength, const SGD_UCHAR* cipher,
                               SGD_UINT32 cipherLength, Out out) noexcept;
SGD_RV InternalECCSignHash(SGD_HANDLE session, int32_t curve, int32_t keyIndex, const SGD_UCHAR* hash,
                           SGD_UINT32 hashLength, Out signature) noexcept;
// Quor_ExternalECCSignHash (08 12): signs a hash with a supplied private key.
SGD_RV ExternalECCSignHash(SGD_HANDLE session, int32_t curve, const SGD_UCHAR* privateKey,
                           SGD_UINT32 privateKeyLength, const SGD_UCHAR* hash, SGD_UINT32 hashLength,
                           Out signature) noexcept;
SGD_RV ECCEncrypt(SGD_HANDLE session, int32_t curve, int32_t keyIndex, const SGD_UCHAR* x, SGD_UINT32 xLength,
                  const SGD_UCHAR* y, SGD_UINT32 yLength, const SGD_UCHAR* data, SGD_UINT32 dataLength,
                  Out out) noexcept;
SGD_RV ECCDecrypt(SGD_HANDLE session, int32_t curve, int32_t usage, int32_t keyIndex, const SGD_UCHAR* privateKey,
                  SGD_UINT32 privateKeyLength, const SGD_UCHAR* cipher, SGD_UINT32 cipherLength, Out out) noexcept;

// One side of an SM2 key exchange: a public key as two coordinate strings.
struct EccPoint {
  const SGD_UCHAR* x = nullptr;
  SGD_UINT32 xLength = 0;
  const SGD_UCHAR* y = nullptr;
  SGD_UINT32 yLength = 0;
};
// Quor_SM2ExchangeKeyOutCipherByLMK (02 13): the device runs the SM2 key
// exchange for role 0 (sponsor) or 1 (responder) and returns the agreed
// key's LMK cipher.
SGD_RV SM2ExchangeKeyOutCipherByLMK(SGD_HANDLE session, int32_t role, EccPoint peer, EccPoint peerTmp,
                                    const SGD_UCHAR* peerId, SGD_UINT32 peerIdLength, int32_t ownKeyIndex,
                                    EccPoint ownTmp, const SGD_UCHAR* ownTmpPrivateKey,
                                    SGD_UINT32 ownTmpPrivateKeyLength, const SGD_UCHAR* ownId,
                                    SGD_UINT32 ownIdLength, SGD_UINT32 keyLength, Out out) noexcept;

// The only curve code the library sends (SM2).
inline constexpr int32_t kCurveSm2 = 7;

// ---- Symmetric keys and ciphers ----

// Capacity-aware forms of the symmetric key commands, for the SDF layer.
SGD_RV GenerateSymmKeyWithLMK(SGD_HANDLE session, int32_t algorithm, Out key, Out check) noexcept;
SGD_RV GenerateSymmKeyWithInternalKEK(SGD_HANDLE session, int32_t kekIndex, SGD_UINT32 keyLength, Out wrapped,
                                      Out key) noexcept;
SGD_RV GenerateSymmKeyWithRSA(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* modulus, SGD_UINT32 modulusLength,
                              const SGD_UCHAR* exponent, SGD_UINT32 exponentLength, SGD_UINT32 keyLength, Out wrapped,
                              Out key) noexcept;
SGD_RV GenerateSymmKeyWithECC(SGD_HANDLE session, int32_t keyIndex, int32_t curve, const SGD_UCHAR* x,
                              SGD_UINT32 xLength, const SGD_UCHAR* y, SGD_UINT32 yLength, SGD_UINT32 keyLength,
                              Out wrapped, Out key) noexcept;
SGD_RV ImportSymmKeyCipherByInternalRSA(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* wrapped,
                                        SGD_UINT32 wrappedLength, Out key) noexcept;
SGD_RV ImportSymmKeyCipherByInternalECC(SGD_HANDLE session, int32_t keyIndex, const SGD_UCHAR* wrapped,
                                        SGD_UINT32 wrappedLength, Out key) noexcept;
SGD_RV ImportSymmKeyCipherByInternalKEK(SGD_HANDLE session, int32_t kekIndex, const SGD_UCHAR* wrapped,
                                        SGD_UINT32 wrappedLength, Out key) noexcept;
SGD_RV ImportSymmConvertKey(SGD_HANDLE session, const SGD_UCHAR* encrypted, SGD_UINT32 encryptedLength,
                            const SGD_UCHAR* transportKey, SGD_UINT32 transportKeyLength, Out key) noexcept;
// The LMK cipher of the symmetric key in a device slot (08 32 for key type 0;
// logs as Quor_GetInternalKeyCipherByLMK).
SGD_RV GetSymmKeyCipherByLMK(SGD_HANDLE session, int32_t keyIndex, Out cipher) noexcept;

// Quor_CalculateMAC with a MAC buffer of known capacity.
SGD_RV CalculateMac(SGD_HANDLE session, int32_t macType, const SGD_UCHAR* iv, int32_t keyIndex, const SGD_UCHAR* key,
                    SGD_UINT32 keyLength, int32_t algorithm, const SGD_UCHAR* data, SGD_UINT32 dataLength,
                    Out mac) noexcept;

// Device mode codes.
inline constexpr int32_t kModeEcb = 0;
inline constexpr int32_t kModeCbc = 1;
inline constexpr int32_t kModeCfb = 2;
inline constexpr int32_t kModeOfb = 3;
inline constexpr int32_t kModeStream = 5;

// Modes 0 and 4 carry no IV.
inline bool ModeCarriesIv(int32_t mode) { return mode != 0 && mode != 4; }
// The IV (and block) length of a device algorithm code.
inline size_t IvLength(int32_t algorithm) { return (algorithm >= 0 && algorithm <= 2) || algorithm == 11 ? 8 : 16; }

struct CipherChoice {
  int32_t mode;
  int32_t algorithm;
};
// A cipher identifier -> device mode and algorithm code; keyLength decides
// within the two vendor families. withVendorAlgorithm adds 0x00008001 and
// 0x00008002 (the SDF table). False when the identifier is not known.
bool ChooseCipher(SGD_UINT32 algId, size_t keyLength, bool withVendorAlgorithm, CipherChoice& choice);

// Data travels to the device in pieces of at most this size.
inline constexpr SGD_UINT32 kCipherPiece = 8192;

}  // namespace Quor::Commands
