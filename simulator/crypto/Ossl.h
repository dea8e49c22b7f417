// Owning wrappers for the OpenSSL objects of the asymmetric module, and the
// small conversions between byte strings and big numbers it shares.
#pragma once

#include <openssl/bn.h>
#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>
#include <string>
#include <string_view>

#include "simulator/crypto/Asymmetric.h"

namespace QuorSim::Asym::Ossl {

template <auto Fn>
struct Deleter {
  template <typename T>
  void operator()(T* p) const {
    Fn(p);
  }
};

using Bn = std::unique_ptr<BIGNUM, Deleter<BN_clear_free>>;
using BnCtx = std::unique_ptr<BN_CTX, Deleter<BN_CTX_free>>;
using Group = std::unique_ptr<EC_GROUP, Deleter<EC_GROUP_free>>;
using Point = std::unique_ptr<EC_POINT, Deleter<EC_POINT_free>>;
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>>;
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, Deleter<EVP_CIPHER_CTX_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;
using ParamBld = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD_free>>;
using Params = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM_free>>;

inline PkeyPtr Own(EVP_PKEY* p) { return PkeyPtr(p, EVP_PKEY_free); }

inline Bn NewBn() { return Bn(BN_new()); }

// Null when the bytes cannot be held (allocation failure only).
inline Bn FromBytes(std::string_view b) {
  return Bn(BN_bin2bn(reinterpret_cast<const unsigned char*>(b.data()), static_cast<int>(b.size()), nullptr));
}

// Big-endian, left-padded to width; empty when the value does not fit.
inline std::string ToBytes(const BIGNUM* v, size_t width) {
  std::string out(width, '\0');
  if (BN_bn2binpad(v, reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(width)) < 0) return {};
  return out;
}

// Big-endian with no leading zeros (one zero byte for the value 0).
inline std::string ToMinBytes(const BIGNUM* v) {
  const int n = BN_num_bytes(v);
  return ToBytes(v, n == 0 ? 1 : static_cast<size_t>(n));
}

inline const unsigned char* U(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }
inline unsigned char* U(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }

// The digest of a device hash code; null for unknown codes and for 4.
const EVP_MD* HashByCode(uint32_t code);

std::string Sm3(std::string_view data);

}  // namespace QuorSim::Asym::Ossl
