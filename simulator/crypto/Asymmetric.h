// Asymmetric cryptography of the simulated device: RSA, SM2 signatures and
// encryption, the SM2 key exchange, envelope re-wrapping and the LMK sealing
// of private keys. Every input is treated as untrusted; functions never throw
// and report a device return code (Rc).
//
// Formats and choices:
// - Byte strings are std::string. Numbers are unsigned big-endian; leading
//   zero bytes are accepted on input (the client right-aligns values in wider
//   fields), so only the value matters.
// - RSA: moduli of 1024 to 4096 bits. Generation needs a multiple of 16 bits
//   and an odd public exponent from 3 to 2^32-1. Exported components: n as k
//   bytes (k = modulus bytes), e with no leading zeros, d as k bytes and
//   p, q, dp, dq, qinv as k/2 bytes each, so the client can right-align them.
//   A key built from components is checked for consistency (n = pq, d, the
//   CRT values) before use.
// - RSA padding codes: 0 raw, 1 PKCS#1 v1.5, 2 OAEP (cipher only), 4 PSS
//   (signature only). Hash codes for OAEP and PSS: 1 SHA-1, 6 SHA-256,
//   20 SM3; 4 means "not used" and is refused where a hash is needed. OAEP
//   uses MGF1 with the same hash. PKCS#1 v1.5 signing pads the supplied data
//   as it is (a DigestInfo, or any short data); PSS signs a supplied digest
//   whose length must be the hash's.
// - RSA private key blob: DER RSAPrivateKey (PKCS#1), at most 2400 bytes for
//   4096-bit keys.
// - SM2: the SM2 curve only. Private key: 32-byte scalar d, 1 <= d <= n-2.
//   Public key: x and y, 32 bytes each. Signature: r || s, 32 bytes each, over
//   a supplied 32-byte digest e (no Z is computed: the client hashes).
//   Cipher: x1 || y1 || M || C with M = SM3(x2 || msg || y2) and
//   C = msg xor KDF(x2 || y2), i.e. C1 || C3 || C2.
// - SM2 private key blob: the 32-byte scalar.
// - Z values: an empty ID means the default ID "1234567812345678", as in the
//   device's SM3 preprocessing; IDs longer than 8191 bytes are refused (their
//   bit length must fit ENTL's 16 bits).
// - SM2 key exchange: GM/T 0003.3 without the optional confirmation hashes;
//   w = 127; K = KDF(xV || yV || ZA || ZB), ZA the sponsor's Z and ZB the
//   responder's. The own temporary public key supplied with the request must
//   belong to the temporary private key.
// - LMK sealing: private key blobs are sealed with AES-128-GCM under a key
//   derived from the LMK (SM3 of a label and the LMK); a sealed blob is
//   kind (1 byte) || nonce (12) || cipher || tag (16), the kind being
//   authenticated, so an RSA blob never opens as an SM2 key and a corrupted
//   blob is refused. SM2: 61 bytes; RSA 4096: under 2450 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

typedef struct evp_pkey_st EVP_PKEY;

namespace QuorSim::Asym {

// Device return codes of the asymmetric commands.
enum class Rc : uint16_t {
  Ok = 0,
  VerifyFailed = 1,
  InvalidInput = 15,
  CryptoFailed = 42,
  ModulusLength = 53,
  ExponentInvalid = 56,
  KeyDataInvalid = 57,
  CurveFlag = 58,
  UnpaddingFailed = 70,
  HashAlgInvalid = 79,
};

inline uint16_t Code(Rc rc) { return static_cast<uint16_t>(rc); }

using PkeyPtr = std::shared_ptr<EVP_PKEY>;

// ---------------------------------------------------------------- RSA

constexpr unsigned kRsaMinBits = 1024;
constexpr unsigned kRsaMaxBits = 4096;
constexpr size_t kRsaMaxBlob = 3072;

enum RsaPadding : uint32_t { kPadNone = 0, kPadPkcs1 = 1, kPadOaep = 2, kPadPss = 4 };
constexpr uint32_t kHashSha1 = 1, kHashNone = 4, kHashSha256 = 6, kHashSm3 = 20;

struct RsaComponents {
  std::string n, e, d, p, q, dp, dq, qinv;
};

// An RSA key, public or private. Copies share the immutable key.
class RsaKey {
 public:
  RsaKey() = default;
  bool valid() const { return pkey_ != nullptr; }
  bool isPrivate() const { return private_; }
  size_t modulusBytes() const { return bytes_; }
  EVP_PKEY* pkey() const { return pkey_.get(); }

  static Rc Generate(unsigned bits, uint32_t exponent, RsaKey* out);
  // All eight components make a private key; n and e alone (the others
  // empty) a public one.
  static Rc FromComponents(const RsaComponents& c, RsaKey* out);
  static Rc FromPublic(std::string_view n, std::string_view e, RsaKey* out);
  static Rc FromBlob(std::string_view der, RsaKey* out);
  // A PEM private key ("RSA PRIVATE KEY" or an unencrypted "PRIVATE KEY").
  static Rc FromPem(std::string_view pem, RsaKey* out);
  // An already-made OpenSSL key (taking a reference).
  static Rc FromPkey(EVP_PKEY* pkey, RsaKey* out);

  Rc Export(RsaComponents* out) const;  // public keys fill n and e only
  Rc ToBlob(std::string* der) const;
  std::string PublicPem() const;  // SubjectPublicKeyInfo; empty on failure

 private:
  PkeyPtr pkey_;
  bool private_ = false;
  size_t bytes_ = 0;
};

// Raw operations: the input has exactly the modulus length and a value below n.
Rc RsaPublicRaw(const RsaKey& key, std::string_view in, std::string* out);
Rc RsaPrivateRaw(const RsaKey& key, std::string_view in, std::string* out);

// Encryption with padding 0, 1 or 2 (label and hash used by OAEP only).
Rc RsaEncrypt(const RsaKey& key, uint32_t padding, uint32_t oaepHash, std::string_view label, std::string_view data,
              std::string* out);
Rc RsaDecrypt(const RsaKey& key, uint32_t padding, uint32_t oaepHash, std::string_view label, std::string_view data,
              std::string* out);
// Signature with padding 0, 1 or 4 (hash and salt length used by PSS only).
Rc RsaSign(const RsaKey& key, uint32_t padding, uint32_t pssHash, uint32_t saltLen, std::string_view data,
           std::string* sig);
// Ok, VerifyFailed, or an input error.
Rc RsaVerify(const RsaKey& key, uint32_t padding, uint32_t pssHash, uint32_t saltLen, std::string_view data,
             std::string_view sig);

// ---------------------------------------------------------------- SM2

constexpr size_t kSm2Bytes = 32;
constexpr size_t kSm2MaxId = 8191;
constexpr size_t kSm2MaxPlain = 65536;
constexpr uint32_t kCurveSm2 = 7;  // the device's curve code
extern const std::string_view kSm2DefaultId;

class Sm2Key {
 public:
  Sm2Key() = default;
  Sm2Key(const Sm2Key&) = default;
  Sm2Key(Sm2Key&&) = default;
  Sm2Key& operator=(const Sm2Key&) = default;
  Sm2Key& operator=(Sm2Key&&) = default;
  ~Sm2Key();  // wipes the scalar
  bool valid() const { return !x_.empty(); }
  bool isPrivate() const { return !d_.empty(); }
  const std::string& x() const { return x_; }  // 32 bytes
  const std::string& y() const { return y_; }  // 32 bytes
  const std::string& d() const { return d_; }  // 32 bytes, empty for a public key

  static Rc Generate(Sm2Key* out);
  // A private key (its public key computed) from the scalar.
  static Rc FromPrivate(std::string_view d, Sm2Key* out);
  // A private key whose supplied public key must be its own.
  static Rc FromPair(std::string_view d, std::string_view x, std::string_view y, Sm2Key* out);
  // A public key; the point must lie on the curve.
  static Rc FromPublic(std::string_view x, std::string_view y, Sm2Key* out);
  static Rc FromBlob(std::string_view blob, Sm2Key* out) { return FromPrivate(blob, out); }
  // A PEM private key on the SM2 curve ("PRIVATE KEY" or "EC PRIVATE KEY").
  static Rc FromPem(std::string_view pem, Sm2Key* out);

  std::string ToBlob() const { return d_; }
  // The key as an OpenSSL SM2 key (private when this one is); null on failure.
  PkeyPtr ToPkey() const;
  std::string PublicPem() const;  // SubjectPublicKeyInfo; empty on failure

 private:
  std::string x_, y_, d_;
};

// SM3 (x2 || y2 based) key derivation function of the SM2 standards.
std::string Sm2Kdf(std::string_view z, size_t len);
// Z = SM3(ENTL || ID || a || b || xG || yG || xA || yA); an empty ID is the default ID.
Rc Sm2Z(const Sm2Key& pub, std::string_view id, std::string* z);

Rc Sm2Sign(const Sm2Key& key, std::string_view digest, std::string* sig);
Rc Sm2Verify(const Sm2Key& key, std::string_view digest, std::string_view sig);
Rc Sm2Encrypt(const Sm2Key& key, std::string_view plain, std::string* cipher);
Rc Sm2Decrypt(const Sm2Key& key, std::string_view cipher, std::string* plain);

struct Sm2ExchangeParams {
  uint32_t role = 0;               // 0 sponsor, 1 responder
  const Sm2Key* ownStatic = nullptr;  // private
  const Sm2Key* ownTemp = nullptr;    // private
  std::string_view ownId;
  const Sm2Key* peerStatic = nullptr;  // public
  const Sm2Key* peerTemp = nullptr;    // public
  std::string_view peerId;
  size_t keyLen = 0;  // bytes, 1 to kSm2MaxAgreedKey
};
constexpr size_t kSm2MaxAgreedKey = 1024;
Rc Sm2KeyExchange(const Sm2ExchangeParams& p, std::string* key);

// ---------------------------------------------------------------- envelopes

// Opens a PKCS#1 v1.5 envelope with the internal key and wraps its content
// the same way under the external public key (n, e).
Rc RsaEnvelopeExchange(const RsaKey& internal, std::string_view n, std::string_view e, std::string_view envelope,
                       std::string* out);
// Opens an SM2 cipher with the internal key and encrypts its content under
// the external public key (x, y).
Rc Sm2EnvelopeExchange(const Sm2Key& internal, std::string_view x, std::string_view y, std::string_view cipher,
                       std::string* out);

// ---------------------------------------------------------------- LMK sealing

enum class SealKind : uint8_t { Rsa = 1, Sm2 = 2 };
constexpr size_t kSealOverhead = 1 + 12 + 16;

// lmk: the master key bytes (any length of at least 16).
Rc LmkSeal(std::string_view lmk, SealKind kind, std::string_view blob, std::string* sealed);
Rc LmkOpen(std::string_view lmk, SealKind kind, std::string_view sealed, std::string* blob);

}  // namespace QuorSim::Asym
