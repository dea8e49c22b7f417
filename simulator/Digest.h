// SHA-1, SHA-256 and SM3 with a state that can be written out and read back,
// so that a hash can be carried between commands by the client.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace QuorSim {

enum class HashAlg : uint8_t { Sha1 = 1, Sha256 = 6, Sm3 = 20 };

std::optional<HashAlg> HashAlgFromCode(uint32_t code);

class Digest {
 public:
  explicit Digest(HashAlg alg);

  void Update(std::string_view data);
  // The digest of what has been fed so far; the object stays usable.
  std::string Final() const;

  HashAlg alg() const { return alg_; }
  size_t DigestSize() const { return alg_ == HashAlg::Sha1 ? 20 : 32; }
  static constexpr size_t kBlockSize = 64;

  // Fixed-size encoding: algorithm, total length, chaining words, buffered bytes.
  std::string Serialize() const;
  static std::optional<Digest> Deserialize(std::string_view bytes);
  static constexpr size_t kSerializedSize = 1 + 8 + 32 + 1 + 64;

 private:
  void Compress(const unsigned char* block);

  HashAlg alg_;
  std::array<uint32_t, 8> h_{};
  uint64_t total_ = 0;  // bytes fed
  std::array<unsigned char, 64> buf_{};
  size_t bufLen_ = 0;
};

std::string HashOnce(HashAlg alg, std::string_view data);

// SM2 signer preprocessing value Z = SM3(ENTL || ID || a || b || xG || yG || xA || yA),
// x and y 32 bytes each.
std::string Sm2Z(std::string_view x, std::string_view y, std::string_view id);

}  // namespace QuorSim
