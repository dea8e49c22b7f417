// Symmetric cryptography of the simulated device: the device algorithm codes,
// block-cipher modes, LMK wrapping, check values, CBC-MAC, HMAC, CCM and GCM.
// Functions return a device return code (0 success) and write their results
// through out-parameters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "simulator/Digest.h"

namespace QuorSim {

// Device return codes used by the simulator.
namespace Dev {
constexpr uint16_t kOk = 0;
constexpr uint16_t kVerifyFailed = 1;
constexpr uint16_t kAlgNotSupported = 3;
constexpr uint16_t kKeyTypeInvalid = 4;
constexpr uint16_t kOffsetInvalid = 6;
constexpr uint16_t kKcvError = 7;
constexpr uint16_t kUnknownCommand = 10;
constexpr uint16_t kFileSizeInvalid = 11;
constexpr uint16_t kInvalidInput = 15;
constexpr uint16_t kIndexInvalid = 21;
constexpr uint16_t kKeyLengthError = 27;
constexpr uint16_t kCryptoFailed = 42;
constexpr uint16_t kKeyNotExist = 45;
constexpr uint16_t kStoreWriteFailed = 46;
constexpr uint16_t kKeyMissing = 61;
constexpr uint16_t kPasswordInvalid = 62;
constexpr uint16_t kFileExists = 71;
constexpr uint16_t kFileNotExist = 73;
constexpr uint16_t kHashAlgInvalid = 79;
constexpr uint16_t kMacTypeError = 102;
constexpr uint16_t kLabelRepeat = 112;
}  // namespace Dev

// Loads OpenSSL's default and legacy providers (single DES lives in the
// legacy one). Safe to call more than once; the first call does the work.
void InitCrypto();

struct SymAlg {
  uint32_t code;
  size_t keyLen;
  size_t block;
};

// The algorithm of a device code, or a device code: kAlgNotSupported for
// algorithms the simulator cannot compute and for unknown codes.
uint16_t FindSymAlg(uint32_t code, SymAlg* out);

// Block-cipher modes of the device: 0 ECB, 1 CBC, 2 CFB (full block), 3 OFB.
// ECB and CBC need whole blocks. ivOut receives the chaining value for the
// next call (empty in ECB).
uint16_t SymCrypt(const SymAlg& alg, uint32_t mode, bool decrypt, std::string_view key, std::string_view iv,
                  std::string_view data, std::string* out, std::string* ivOut);

// Whether a mode's request carries an IV: every mode but 0 and 4.
inline bool ModeCarriesIv(uint32_t mode) { return mode != 0 && mode != 4; }
inline size_t IvLengthFor(uint32_t alg) { return (alg <= 2 || alg == 11) ? 8 : 16; }

// ECB over whole blocks with no padding; false when the length is not whole blocks.
bool EcbCrypt(const SymAlg& alg, bool decrypt, std::string_view key, std::string_view data, std::string* out);

// First 8 bytes of the key's encryption of a zero block.
std::string CheckValue(const SymAlg& alg, std::string_view key);

// CBC-MAC: the last cipher block of the data, zero-padded to whole blocks.
uint16_t CbcMac(const SymAlg& alg, std::string_view key, std::string_view iv, std::string_view data,
                std::string* mac);

// The device's local master keys.
struct Lmk {
  std::string sm4;   // 16 bytes: wraps 16- and 32-byte keys
  std::string des3;  // 24 bytes: wraps 8- and 24-byte keys
};

// A key's LMK cipher has exactly the key's length (ECB under the LMK of its length).
bool LmkWrap(const Lmk& lmk, std::string_view key, std::string* cipher);
bool LmkUnwrap(const Lmk& lmk, std::string_view cipher, std::string* key);

// GCM and CCM over a 16-byte block cipher (AES or SM4).
uint16_t GcmCrypt(const SymAlg& alg, bool decrypt, std::string_view key, std::string_view iv, std::string_view aad,
                  std::string_view data, std::string_view tagIn, std::string* out, std::string* tagOut);
uint16_t CcmCrypt(const SymAlg& alg, bool decrypt, std::string_view key, std::string_view nonce,
                  std::string_view aad, std::string_view data, size_t tagLen, std::string_view tagIn,
                  std::string* out, std::string* tagOut);

// CCM in steps. The whole state travels in a context string between the
// steps; the key is held in it only as its LMK cipher.
struct CcmStream {
  bool decrypt = false;
  uint32_t alg = 0;
  std::string keyCipher;    // LMK cipher of the key
  std::string counter;      // current counter block (16)
  std::string mac;          // running CBC-MAC (16)
  std::string s0;           // encryption of counter block 0 (16)
  std::string macPending;   // plain bytes not yet folded into the MAC (< 16)
  std::string keystream;    // unused keystream bytes (< 16)
  uint64_t total = 0;       // announced data length
  uint64_t done = 0;        // data bytes processed
  uint32_t tagLen = 0;

  std::string Serialize() const;
  static bool Deserialize(std::string_view bytes, CcmStream* out);
};
uint16_t CcmStreamInit(const SymAlg& alg, bool decrypt, std::string_view key, std::string keyCipher,
                       std::string_view nonce, std::string_view aad, uint64_t total, uint32_t tagLen,
                       CcmStream* st);
uint16_t CcmStreamUpdate(CcmStream& st, std::string_view key, std::string_view data, std::string* out);
uint16_t CcmStreamFinal(CcmStream& st, std::string_view key, std::string_view tagIn, std::string* tagOut);

// HMAC whose inner hash state is carried by the client between pieces.
// An empty state starts a new HMAC. Returns the new state and the HMAC of
// everything fed so far.
uint16_t HmacStep(HashAlg alg, std::string_view key, std::string_view state, std::string_view data,
                  std::string* newState, std::string* mac);

void RandomBytes(size_t n, std::string* out);

}  // namespace QuorSim
