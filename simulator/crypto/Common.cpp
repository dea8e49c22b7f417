// Hash lookup, SM3, and the LMK sealing of private key blobs.
#include <openssl/err.h>
#include <openssl/rand.h>

#include "simulator/crypto/Ossl.h"

namespace QuorSim::Asym {

const std::string_view kSm2DefaultId = "1234567812345678";

namespace Ossl {

const EVP_MD* HashByCode(uint32_t code) {
  switch (code) {
    case kHashSha1: return EVP_sha1();
    case kHashSha256: return EVP_sha256();
    case kHashSm3: return EVP_sm3();
    default: return nullptr;
  }
}

std::string Sm3(std::string_view data) {
  std::string out(32, '\0');
  unsigned int len = 0;
  if (EVP_Digest(data.data(), data.size(), U(out), &len, EVP_sm3(), nullptr) != 1 || len != 32) return {};
  return out;
}

}  // namespace Ossl

namespace {

using namespace Ossl;

constexpr size_t kNonce = 12;
constexpr size_t kTag = 16;

std::string SealKey(std::string_view lmk) {
  std::string in = "quorsim asymmetric key sealing";
  in.append(lmk);
  std::string k = Sm3(in);
  OPENSSL_cleanse(in.data(), in.size());
  k.resize(16);
  return k;
}

}  // namespace

Rc LmkSeal(std::string_view lmk, SealKind kind, std::string_view blob, std::string* sealed) {
  if (lmk.size() < 16 || blob.empty() || blob.size() > 64 * 1024 || !sealed) return Rc::InvalidInput;
  std::string key = SealKey(lmk);
  const unsigned char tag = static_cast<unsigned char>(kind);
  std::string out(1 + kNonce + blob.size() + kTag, '\0');
  out[0] = static_cast<char>(tag);
  unsigned char* nonce = U(out) + 1;
  unsigned char* ct = nonce + kNonce;
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  int n = 0, fin = 0;
  const bool ok = ctx && RAND_bytes(nonce, kNonce) == 1 &&
                  EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, U(key), nonce) == 1 &&
                  EVP_EncryptUpdate(ctx.get(), nullptr, &n, &tag, 1) == 1 &&
                  EVP_EncryptUpdate(ctx.get(), ct, &n, U(blob), static_cast<int>(blob.size())) == 1 &&
                  EVP_EncryptFinal_ex(ctx.get(), ct + n, &fin) == 1 &&
                  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTag, ct + blob.size()) == 1;
  OPENSSL_cleanse(key.data(), key.size());
  if (!ok) {
    ERR_clear_error();
    return Rc::CryptoFailed;
  }
  *sealed = std::move(out);
  return Rc::Ok;
}

Rc LmkOpen(std::string_view lmk, SealKind kind, std::string_view sealed, std::string* blob) {
  if (lmk.size() < 16 || !blob) return Rc::InvalidInput;
  if (sealed.size() <= kSealOverhead || static_cast<unsigned char>(sealed[0]) != static_cast<unsigned char>(kind))
    return Rc::KeyDataInvalid;
  std::string key = SealKey(lmk);
  const unsigned char tag = static_cast<unsigned char>(kind);
  const auto* nonce = U(sealed) + 1;
  const auto* ct = nonce + kNonce;
  const size_t ctLen = sealed.size() - kSealOverhead;
  std::string tagBytes(sealed.substr(sealed.size() - kTag));
  std::string out(ctLen, '\0');
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  int n = 0, fin = 0;
  const bool ok = ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, U(key), nonce) == 1 &&
                  EVP_DecryptUpdate(ctx.get(), nullptr, &n, &tag, 1) == 1 &&
                  EVP_DecryptUpdate(ctx.get(), U(out), &n, ct, static_cast<int>(ctLen)) == 1 &&
                  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTag, tagBytes.data()) == 1 &&
                  EVP_DecryptFinal_ex(ctx.get(), U(out) + n, &fin) == 1;
  OPENSSL_cleanse(key.data(), key.size());
  if (!ok) {
    OPENSSL_cleanse(out.data(), out.size());
    ERR_clear_error();
    return Rc::KeyDataInvalid;
  }
  *blob = std::move(out);
  return Rc::Ok;
}

}  // namespace QuorSim::Asym
