// RSA and SM2 for the simulated device, on OpenSSL's EVP interface. Keys are
// carried as EVP_PKEY; byte strings are big-endian and unpadded unless a
// function says otherwise. Failures return false or an empty optional.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/Crypto.h"

namespace QuorSim {

struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

// ---- RSA ----
Pkey RsaGenerate(unsigned bits, unsigned long exponent);
// n, e and, for a private key, d, p, q, dp, dq, qinv.
Pkey RsaFromComponents(const std::vector<std::string>& parts);
// n, e, d, p, q, dp, dq, qinv (the private ones empty for a public key).
std::vector<std::string> RsaComponents(const EVP_PKEY* key);
size_t RsaBytes(const EVP_PKEY* key);
std::string RsaPrivateDer(const EVP_PKEY* key);  // PKCS#8
Pkey RsaFromPrivateDer(std::string_view der);

// Padding codes: 0 none, 1 PKCS#1 v1.5, 2 OAEP, 4 PSS. hash is a device hash code.
std::optional<std::string> RsaEncrypt(EVP_PKEY* key, int padding, uint32_t oaepHash, std::string_view label,
                                      std::string_view data);
std::optional<std::string> RsaDecrypt(EVP_PKEY* key, int padding, uint32_t oaepHash, std::string_view label,
                                      std::string_view data);
// Signs data as given (a DigestInfo for PKCS#1, the hash for PSS, any block for padding 0).
std::optional<std::string> RsaSign(EVP_PKEY* key, int padding, uint32_t pssHash, int saltLen, std::string_view data);
bool RsaVerify(EVP_PKEY* key, int padding, uint32_t pssHash, int saltLen, std::string_view data, std::string_view sig);

// ---- SM2 (256-bit coordinates, 32-byte big-endian values) ----
Pkey Sm2Generate();
Pkey Sm2FromPrivate(std::string_view d);
Pkey Sm2FromPublic(std::string_view x, std::string_view y);
bool Sm2Public(const EVP_PKEY* key, std::string* x, std::string* y);
std::string Sm2PrivateScalar(const EVP_PKEY* key);
// Signs a 32-byte hash: r || s.
std::optional<std::string> Sm2SignHash(EVP_PKEY* key, std::string_view hash);
bool Sm2VerifyHash(EVP_PKEY* key, std::string_view hash, std::string_view rs);
// x || y || M || C (M the 32-byte SM3 check value).
std::optional<std::string> Sm2Encrypt(EVP_PKEY* key, std::string_view data);
std::optional<std::string> Sm2Decrypt(EVP_PKEY* key, std::string_view cipher);

// Private keys under the LMK, each with the first 16 bytes of its SHA-256
// appended before encryption: SM2 is its scalar and check in SM4-ECB (48
// bytes); RSA is its DER and check in SM4-CBC with PKCS#7 padding and a zero
// IV, after a one-byte tag 'R' (at most 2385 bytes for 4096 bits).
std::string LmkWrapPrivate(const Lmk& lmk, bool rsa, std::string_view material);
std::optional<std::string> LmkUnwrapPrivate(const Lmk& lmk, bool rsa, std::string_view cipher);

std::string PemPrivate(const EVP_PKEY* key);
std::string PemPublic(const EVP_PKEY* key);
Pkey FromPem(std::string_view pem);  // a private key in PEM
bool IsSm2(const EVP_PKEY* key);
bool IsRsa(const EVP_PKEY* key);

}  // namespace QuorSim
