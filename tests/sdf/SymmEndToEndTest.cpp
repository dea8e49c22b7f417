// Symmetric keys and cryptography against a simulated device host, checked
// against OpenSSL computing with the same plain keys.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <quorsdf.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sdf/E2E.h"

namespace {

using namespace QuorTest;
using Bytes = std::string;

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}
unsigned char* U(Bytes& b) { return reinterpret_cast<unsigned char*>(b.data()); }
const unsigned char* U(const Bytes& b) { return reinterpret_cast<const unsigned char*>(b.data()); }
std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
std::string Lp(const std::string& b) { return Be32(static_cast<uint32_t>(b.size())) + b; }

// A pattern that differs from block to block.
Bytes Pattern(size_t n, unsigned seed = 1) {
  Bytes b(n, '\0');
  uint32_t x = seed * 2654435761u;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<char>(x >> 16);
  }
  return b;
}

// OpenSSL's result without padding.
Bytes Reference(const EVP_CIPHER* cipher, const Bytes& key, const Bytes& iv, const Bytes& in, bool encrypt = true) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  EXPECT_EQ(EVP_CipherInit_ex(ctx.get(), cipher, nullptr, U(key), iv.empty() ? nullptr : U(iv), encrypt ? 1 : 0), 1);
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  Bytes out(in.size() + 32, '\0');
  int n = 0;
  int m = 0;
  EXPECT_EQ(EVP_CipherUpdate(ctx.get(), U(out), &n, U(in), static_cast<int>(in.size())), 1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx.get(), U(out) + n, &m), 1);
  out.resize(static_cast<size_t>(n + m));
  return out;
}

const std::string kSm4Hex = "0123456789ABCDEFFEDCBA9876543210";
const std::string kAes128Hex = "2B7E151628AED2A6ABF7158809CF4F3C";
const std::string kAes192Hex = "8E73B0F7DA0E6452C810F32B809079E562F8EAD2522C6B7B";
const std::string kAes256Hex = "603DEB1015CA71BE2B73AEF0857D77811F352C073B6108D72D9810A30914DFF4";
const std::string k3DesHex = "0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123";
constexpr uint32_t kSlotAes192 = 10;
constexpr uint32_t kSlot3Des = 11;
constexpr uint32_t kSlotSm4 = 12;
constexpr uint32_t kSlotAes128 = 13;
constexpr uint32_t kSlotStored = 20;

class SymmEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SimulatorOptions options;
    options.keys = {SimKey{.slot = kSlotAes192, .type = "aes192", .hex = kAes192Hex},
                    SimKey{.slot = kSlot3Des, .type = "3des3", .hex = k3DesHex},
                    SimKey{.slot = kSlotSm4, .type = "sm4", .hex = kSm4Hex},
                    SimKey{.slot = kSlotAes128, .type = "aes128", .hex = kAes128Hex}};
    setup_ = new SimSetup(std::move(options));
  }
  static void TearDownTestSuite() {
    delete setup_;
    setup_ = nullptr;
  }
  void SetUp() override {
    Quor_SetCfgPath(setup_->dir.c_str());
    ASSERT_EQ(SDF_OpenDevice(&device_), SDR_OK);
    ASSERT_EQ(SDF_OpenSession(device_, &session_), SDR_OK);
    setup_->sim.ControlOk("clear");
    setup_->Forget();
  }
  void TearDown() override {
    setup_->sim.ControlOk("clear");
    if (session_) {
      EXPECT_EQ(SDF_CloseSession(session_), SDR_OK);
    }
    if (device_) {
      EXPECT_EQ(SDF_CloseDevice(device_), SDR_OK);
    }
    Quor_SetCfgPath(nullptr);
  }

  SGD_HANDLE Import(const std::string& hex) {
    Bytes key = FromHex(hex);
    SGD_HANDLE h = nullptr;
    EXPECT_EQ(SDF_ImportKey(session_, U(key), static_cast<SGD_UINT32>(key.size()), &h), SDR_OK);
    return h;
  }

  // Encrypts (or decrypts) in calls of the given sizes, all with one IV buffer.
  Bytes Run(bool encrypt, SGD_HANDLE key, SGD_UINT32 algId, Bytes iv, const Bytes& in,
            const std::vector<size_t>& calls) {
    Bytes out(in.size(), '\0');
    size_t done = 0;
    for (size_t n : calls) {
      SGD_UINT32 outLen = 0;
      auto* data = const_cast<unsigned char*>(U(in)) + done;
      const SGD_RV rv = encrypt ? SDF_Encrypt(session_, key, algId, iv.empty() ? nullptr : U(iv), data,
                                              static_cast<SGD_UINT32>(n), U(out) + done, &outLen)
                                : SDF_Decrypt(session_, key, algId, iv.empty() ? nullptr : U(iv), data,
                                              static_cast<SGD_UINT32>(n), U(out) + done, &outLen);
      EXPECT_EQ(rv, SDR_OK);
      EXPECT_EQ(outLen, n);
      done += n;
    }
    return out;
  }

  static SimSetup* setup_;
  SGD_HANDLE device_ = nullptr;
  SGD_HANDLE session_ = nullptr;
};

SimSetup* SymmEndToEnd::setup_ = nullptr;

struct CipherCase {
  const char* name;
  SGD_UINT32 algId;
  const EVP_CIPHER* (*cipher)();
  const std::string* keyHex;
  bool iv;
};

const CipherCase kImported[] = {
    {"SM4_ECB", SGD_SM4_ECB, EVP_sm4_ecb, &kSm4Hex, false},
    {"SM4_CBC", SGD_SM4_CBC, EVP_sm4_cbc, &kSm4Hex, true},
    {"SM4_CFB", SGD_SM4_CFB, EVP_sm4_cfb128, &kSm4Hex, true},
    {"SM4_OFB", SGD_SM4_OFB, EVP_sm4_ofb, &kSm4Hex, true},
    {"AES128_CBC", 0x80000202, EVP_aes_128_cbc, &kAes128Hex, true},
    {"AES256_CBC", 0x80000202, EVP_aes_256_cbc, &kAes256Hex, true},
};

// An imported key encrypts and decrypts as OpenSSL does with the same plain
// key, over 1, 2 and 1250 blocks, in one call and in several calls that
// chain through the same IV buffer (1250 blocks cross the 8192-byte pieces).
TEST_F(SymmEndToEnd, ImportedKeysMatchOpenSSL) {
  for (const CipherCase& c : kImported) {
    SGD_HANDLE key = Import(*c.keyHex);
    ASSERT_NE(key, nullptr) << c.name;
    const Bytes iv = c.iv ? Pattern(16, 99) : Bytes();
    for (size_t blocks : {1u, 2u, 1250u}) {
      const Bytes plain = Pattern(blocks * 16, static_cast<unsigned>(blocks));
      const Bytes expected = Reference(c.cipher(), FromHex(*c.keyHex), iv, plain);
      std::vector<std::vector<size_t>> splits = {{plain.size()}};
      if (blocks == 2) splits.push_back({16, 16});
      if (blocks == 1250) splits.push_back({600 * 16, 16, 649 * 16});
      for (const auto& calls : splits) {
        EXPECT_EQ(Run(true, key, c.algId, iv, plain, calls), expected)
            << c.name << " " << blocks << " in " << calls.size();
        EXPECT_EQ(Run(false, key, c.algId, iv, expected, calls), plain)
            << c.name << " " << blocks << " in " << calls.size();
      }
    }
    EXPECT_EQ(SDF_DestroyKey(session_, key), SDR_OK);
  }
}

TEST_F(SymmEndToEnd, ChainingValueEndsInTheIvBuffer) {
  SGD_HANDLE key = Import(kSm4Hex);
  const Bytes plain = Pattern(20000 / 16 * 16);
  Bytes iv = Pattern(16, 5);
  Bytes out(plain.size(), '\0');
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(SDF_Encrypt(session_, key, SGD_SM4_CBC, U(iv), const_cast<unsigned char*>(U(plain)),
                        static_cast<SGD_UINT32>(plain.size()), U(out), &outLen),
            SDR_OK);
  EXPECT_EQ(iv, out.substr(out.size() - 16));
  EXPECT_EQ(setup_->Commands().size(), 3u + 3u);  // import, then pieces of 8192, 8192 and 3616
}

// Keys of lengths that the import path cannot carry come from device slots.
TEST_F(SymmEndToEnd, SlotKeysMatchOpenSSL) {
  const struct {
    const char* name;
    uint32_t slot;
    SGD_UINT32 algId;
    const EVP_CIPHER* (*cipher)();
    const std::string* keyHex;
    size_t ivLength;
  } cases[] = {
      {"AES192_CBC", kSlotAes192, 0x80000202, EVP_aes_192_cbc, &kAes192Hex, 16},
      {"3DES_CBC", kSlot3Des, 0x80000102, EVP_des_ede3_cbc, &k3DesHex, 8},
      {"3DES_ECB", kSlot3Des, 0x80000101, EVP_des_ede3_ecb, &k3DesHex, 0},
  };
  for (const auto& c : cases) {
    uint32_t slot = c.slot;
    const Bytes plain = Pattern(1250 * 16, 7);
    const Bytes iv = Pattern(c.ivLength, 3);
    const Bytes expected = Reference(c.cipher(), FromHex(*c.keyHex), iv, plain);
    EXPECT_EQ(Run(true, &slot, c.algId, iv, plain, {plain.size()}), expected) << c.name;
    EXPECT_EQ(Run(false, &slot, c.algId, iv, expected, {8192 + 16, plain.size() - 8192 - 16}), plain) << c.name;
  }
}

TEST_F(SymmEndToEnd, OneMebibyteSm4Cbc) {
  SGD_HANDLE key = Import(kSm4Hex);
  const Bytes plain = Pattern(1 << 20, 11);
  const Bytes iv = Pattern(16, 12);
  EXPECT_EQ(Run(true, key, SGD_SM4_CBC, iv, plain, {plain.size()}),
            Reference(EVP_sm4_cbc(), FromHex(kSm4Hex), iv, plain));
}

TEST_F(SymmEndToEnd, MacOverTwoPiecesIsTheCbcMacOfTheWhole) {
  SGD_HANDLE key = Import(kSm4Hex);
  const Bytes data = Pattern(16384, 21);
  Bytes iv(16, '\0');
  unsigned char mac[16];
  SGD_UINT32 macLen = 0;
  ASSERT_EQ(
      SDF_CalculateMAC(session_, key, SGD_SM4_MAC, U(iv), const_cast<unsigned char*>(U(data)), 16384, mac, &macLen),
      SDR_OK);
  const Bytes cbc = Reference(EVP_sm4_cbc(), FromHex(kSm4Hex), Bytes(16, '\0'), data);
  ASSERT_EQ(macLen, 16u);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(mac), 16), cbc.substr(cbc.size() - 16));
  EXPECT_EQ(iv, cbc.substr(cbc.size() - 16));
}

TEST_F(SymmEndToEnd, HmacOverManyPieces) {
  const Bytes data = Pattern(20000, 31);
  const Bytes key = FromHex(kSm4Hex);
  unsigned char expected[32];
  unsigned int expectedLen = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), U(data), data.size(), expected, &expectedLen);
  unsigned char out[64];
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(Quor_PlainKeyCalculateHmac(session_, 6, 0, U(key), 16, U(data), 20000, out, &outLen), SDR_OK);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(out), outLen), Bytes(reinterpret_cast<char*>(expected), expectedLen));
  // The same key in a device slot.
  outLen = 0;
  ASSERT_EQ(Quor_CalculateHmac(session_, 6, kSlotSm4, nullptr, 0, U(data), 20000, out, &outLen), SDR_OK);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(out), outLen), Bytes(reinterpret_cast<char*>(expected), expectedLen));
}

TEST_F(SymmEndToEnd, GcmMatchesOpenSSLAndRefusesAWrongTag) {
  const Bytes key = FromHex(kAes128Hex);
  const Bytes iv = Pattern(12, 41);
  const Bytes aad = Pattern(20, 42);
  const Bytes plain = Pattern(100, 43);
  unsigned char out[128];
  SGD_UINT32 outLen = 0;
  unsigned char tag[16];
  SGD_UINT32 tagLen = 0;
  ASSERT_EQ(Quor_SymmKeyGCMOperation(session_, 0, kSlotAes128, nullptr, 0, 3, U(iv), 12, U(aad), 20, U(plain), 100, tag,
                                     &tagLen, out, &outLen),
            SDR_OK);
  ASSERT_EQ(tagLen, 16u);

  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, U(key), U(iv)), 1);
  int n = 0;
  ASSERT_EQ(EVP_EncryptUpdate(ctx.get(), nullptr, &n, U(aad), 20), 1);
  unsigned char expected[128];
  ASSERT_EQ(EVP_EncryptUpdate(ctx.get(), expected, &n, U(plain), 100), 1);
  ASSERT_EQ(EVP_EncryptFinal_ex(ctx.get(), expected + n, &n), 1);
  unsigned char expectedTag[16];
  ASSERT_EQ(EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, 16, expectedTag), 1);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(out), outLen), Bytes(reinterpret_cast<char*>(expected), 100));
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(tag), 16), Bytes(reinterpret_cast<char*>(expectedTag), 16));

  unsigned char back[128];
  SGD_UINT32 backLen = 0;
  ASSERT_EQ(Quor_SymmKeyGCMOperation(session_, 1, kSlotAes128, nullptr, 0, 3, U(iv), 12, U(aad), 20, out, outLen, tag,
                                     &tagLen, back, &backLen),
            SDR_OK);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(back), backLen), plain);
  tag[0] ^= 1;
  EXPECT_EQ(Quor_SymmKeyGCMOperation(session_, 1, kSlotAes128, nullptr, 0, 3, U(iv), 12, U(aad), 20, out, outLen, tag,
                                     &tagLen, back, &backLen),
            SDR_VERIFYERR);
}

TEST_F(SymmEndToEnd, CcmOneShotAndStepsAgreeAndRefuseAWrongTag) {
  const Bytes nonce = Pattern(12, 51);
  const Bytes aad = Pattern(24, 52);
  const Bytes plain = Pattern(70, 53);
  unsigned char cipher[128];
  SGD_UINT32 cipherLen = 0;
  unsigned char tag[16];
  ASSERT_EQ(Quor_SymmKeyCCMOperation(session_, 0, kSlotSm4, nullptr, 0, 7, U(aad), 24, U(nonce), 12, U(plain), 70, tag,
                                     16, cipher, &cipherLen),
            SDR_OK);
  ASSERT_EQ(cipherLen, 70u);

  unsigned char back[128];
  SGD_UINT32 backLen = 0;
  ASSERT_EQ(Quor_SymmKeyCCMOperation(session_, 1, kSlotSm4, nullptr, 0, 7, U(aad), 24, U(nonce), 12, cipher, 70, tag,
                                     16, back, &backLen),
            SDR_OK);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(back), backLen), plain);
  unsigned char bad[16];
  std::memcpy(bad, tag, 16);
  bad[15] ^= 0x80;
  EXPECT_EQ(Quor_SymmKeyCCMOperation(session_, 1, kSlotSm4, nullptr, 0, 7, U(aad), 24, U(nonce), 12, cipher, 70, bad,
                                     16, back, &backLen),
            SDR_VERIFYERR);

  // The same in steps, with pieces of uneven lengths.
  unsigned char context[1024];
  SGD_UINT32 contextLen = 0;
  ASSERT_EQ(Quor_SymmKeyCCMOperationInit(session_, 0, kSlotSm4, nullptr, 0, 7, U(nonce), 12, U(aad), 24, 70, 16,
                                         context, &contextLen),
            SDR_OK);
  Bytes stepped;
  for (const auto& [from, n] : {std::pair{0, 33}, std::pair{33, 37}}) {
    unsigned char piece[64];
    SGD_UINT32 pieceLen = 0;
    ASSERT_EQ(Quor_SymmKeyCCMOperationUpdate(session_, 0, context, contextLen, U(plain) + from, n, context, &contextLen,
                                             piece, &pieceLen),
              SDR_OK);
    stepped.append(reinterpret_cast<char*>(piece), pieceLen);
  }
  unsigned char steppedTag[16];
  SGD_UINT32 steppedTagLen = 0;
  ASSERT_EQ(Quor_SymmKeyCCMOperationFinal(session_, 0, context, contextLen, steppedTag, &steppedTagLen), SDR_OK);
  EXPECT_EQ(stepped, Bytes(reinterpret_cast<char*>(cipher), 70));
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(steppedTag), steppedTagLen), Bytes(reinterpret_cast<char*>(tag), 16));
}

// A handle place that points to an integer stores the key into that slot,
// which any session can then use, until it is destroyed.
TEST_F(SymmEndToEnd, KeyStoredIntoASlotServesAnotherSession) {
  uint32_t slot = kSlotStored;
  SGD_HANDLE place = &slot;
  Bytes key = FromHex(kSm4Hex);
  ASSERT_EQ(SDF_ImportKey(session_, U(key), 16, &place), SDR_OK);
  EXPECT_EQ(place, &slot);

  SGD_HANDLE other = nullptr;
  ASSERT_EQ(SDF_OpenSession(device_, &other), SDR_OK);
  const Bytes plain = Pattern(64, 61);
  const Bytes iv = Pattern(16, 62);
  Bytes ivBuf = iv;
  Bytes out(64, '\0');
  SGD_UINT32 outLen = 0;
  ASSERT_EQ(SDF_Encrypt(other, &slot, SGD_SM4_CBC, U(ivBuf), const_cast<unsigned char*>(U(plain)), 64, U(out), &outLen),
            SDR_OK);
  EXPECT_EQ(out, Reference(EVP_sm4_cbc(), key, iv, plain));

  EXPECT_EQ(SDF_DestroyKey(other, &slot), SDR_OK);
  EXPECT_EQ(SDF_Encrypt(other, &slot, SGD_SM4_CBC, U(ivBuf), const_cast<unsigned char*>(U(plain)), 64, U(out), &outLen),
            SDR_KEYNOTEXIST);
  EXPECT_EQ(SDF_DestroyKey(other, &slot), SDR_KEYNOTEXIST);
  EXPECT_EQ(SDF_CloseSession(other), SDR_OK);
}

TEST_F(SymmEndToEnd, SessionKeysBelongToTheirSession) {
  SGD_HANDLE key = Import(kSm4Hex);
  SGD_HANDLE other = nullptr;
  ASSERT_EQ(SDF_OpenSession(device_, &other), SDR_OK);
  Bytes data(16, 'd');
  Bytes out(16, '\0');
  SGD_UINT32 outLen = 0;
  EXPECT_EQ(SDF_Encrypt(other, key, SGD_SM4_ECB, nullptr, U(data), 16, U(out), &outLen), SDR_STEPERR);
  EXPECT_EQ(SDF_DestroyKey(other, key), SDR_UNKNOWERR);
  EXPECT_EQ(SDF_CloseSession(other), SDR_OK);
  EXPECT_EQ(SDF_Encrypt(session_, key, SGD_SM4_ECB, nullptr, U(data), 16, U(out), &outLen), SDR_OK);
  EXPECT_EQ(SDF_DestroyKey(session_, key), SDR_OK);
}

// One session used from several threads at once: a shared key for
// encryption while each thread makes and destroys keys of its own.
TEST_F(SymmEndToEnd, OneSessionFromManyThreads) {
  SGD_HANDLE shared = Import(kSm4Hex);
  const Bytes plain = Pattern(8192 + 64, 101);
  const Bytes iv = Pattern(16, 102);
  const Bytes expected = Reference(EVP_sm4_cbc(), FromHex(kSm4Hex), iv, plain);
  std::vector<int> good(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) {
        Bytes own = FromHex(kAes128Hex);
        SGD_HANDLE mine = nullptr;
        if (SDF_ImportKey(session_, U(own), 16, &mine) != SDR_OK) return;
        Bytes ivBuf = iv;
        Bytes out(plain.size(), '\0');
        SGD_UINT32 n = 0;
        if (SDF_Encrypt(session_, shared, SGD_SM4_CBC, U(ivBuf), const_cast<unsigned char*>(U(plain)),
                        static_cast<SGD_UINT32>(plain.size()), U(out), &n) == SDR_OK &&
            out == expected && SDF_DestroyKey(session_, mine) == SDR_OK)
          ++good[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(good, std::vector<int>(4, 10));
}

TEST_F(SymmEndToEnd, KeysMadeUnderAKekAndImportedBack) {
  // The KEK is the SM4 key in its slot: the wrapped key is the new key under it.
  SGD_HANDLE made = nullptr;
  unsigned char wrapped[64];
  SGD_UINT32 wrappedLen = 0;
  ASSERT_EQ(SDF_GenerateKeyWithKEK(session_, 128, SGD_SM4_ECB, kSlotSm4, wrapped, &wrappedLen, &made), SDR_OK);
  ASSERT_EQ(wrappedLen, 16u);
  SGD_HANDLE imported = nullptr;
  ASSERT_EQ(SDF_ImportKeyWithKEK(session_, SGD_SM4_ECB, kSlotSm4, wrapped, wrappedLen, &imported), SDR_OK);
  // Both handles name the same key, whose plain value is the unwrapped key.
  const Bytes plainKey =
      Reference(EVP_sm4_ecb(), FromHex(kSm4Hex), {}, Bytes(reinterpret_cast<char*>(wrapped), 16), false);
  Bytes data = Pattern(32, 71);
  Bytes a(32, '\0');
  Bytes b(32, '\0');
  SGD_UINT32 n = 0;
  ASSERT_EQ(SDF_Encrypt(session_, made, SGD_SM4_ECB, nullptr, U(data), 32, U(a), &n), SDR_OK);
  ASSERT_EQ(SDF_Encrypt(session_, imported, SGD_SM4_ECB, nullptr, U(data), 32, U(b), &n), SDR_OK);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, Reference(EVP_sm4_ecb(), plainKey, {}, data));
}

TEST_F(SymmEndToEnd, BatchRoundTripAndHexText) {
  Bytes s1 = "";
  Bytes s2(16, 'b');
  Bytes s3 = "hello";
  BatchRecord in{};
  in.slot[0] = {U(s1), 0};
  in.slot[1] = {U(s2), 16};
  in.slot[2] = {U(s3), 5};
  std::vector<unsigned char> t[3] = {std::vector<unsigned char>(64), std::vector<unsigned char>(64),
                                     std::vector<unsigned char>(64)};
  BatchRecord out{};
  for (int i = 0; i < 3; ++i) out.slot[i] = {t[i].data(), 64};
  Bytes iv = Pattern(16, 81);
  const Bytes startIv = iv;
  ASSERT_EQ(Quor_BatchEncrypt(session_, kSlotSm4, nullptr, 16, SGD_SM4_CBC, U(iv), 1, &in, &out), SDR_OK);
  EXPECT_EQ(out.slot[0].length, 32u);
  EXPECT_EQ(out.slot[1].length, 64u);
  EXPECT_EQ(out.slot[2].length, 32u);
  const Bytes padded = Bytes(16, '\x10') + s2 + Bytes(16, '\x10') + s3 + Bytes(11, '\x0B');
  const Bytes expected = Reference(EVP_sm4_cbc(), FromHex(kSm4Hex), startIv, padded);
  std::string text;
  for (int i = 0; i < 3; ++i) text.append(reinterpret_cast<char*>(t[i].data()), out.slot[i].length);
  static const char* d = "0123456789ABCDEF";
  std::string expectedText;
  for (unsigned char c : expected) {
    expectedText.push_back(d[c >> 4]);
    expectedText.push_back(d[c & 15]);
  }
  EXPECT_EQ(text, expectedText);

  // Back: the text slots decrypt to the items.
  BatchRecord back{};
  std::vector<unsigned char> p[3] = {std::vector<unsigned char>(32), std::vector<unsigned char>(32),
                                     std::vector<unsigned char>(3)};
  for (int i = 0; i < 3; ++i) back.slot[i] = {p[i].data(), static_cast<SGD_UINT32>(p[i].size())};
  Bytes iv2 = startIv;
  EXPECT_EQ(Quor_BatchDecrypt(session_, kSlotSm4, nullptr, 16, SGD_SM4_CBC, U(iv2), 1, &out, &back), 0x02000002u);
  EXPECT_EQ(back.slot[2].length, 5u);
  EXPECT_EQ(back.slot[0].length, 0u);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(p[1].data()), back.slot[1].length), s2);
  p[2].resize(5);
  back.slot[2] = {p[2].data(), 5};
  iv2 = startIv;
  ASSERT_EQ(Quor_BatchDecrypt(session_, kSlotSm4, nullptr, 16, SGD_SM4_CBC, U(iv2), 1, &out, &back), SDR_OK);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(p[2].data()), 5), s3);
}

TEST_F(SymmEndToEnd, MultiDataRoundTrip) {
  Bytes a = "abc";
  Bytes b(20, 'q');
  DataRecord in[2] = {{U(a), 3}, {U(b), 20}};
  std::vector<unsigned char> t1(33), t2(65);
  DataRecord text[2] = {{t1.data(), 33}, {t2.data(), 65}};
  ASSERT_EQ(Quor_MultiDataEncrypt(session_, kSlotSm4, nullptr, 16, SGD_SM4_ECB, 2, in, text), SDR_OK);
  EXPECT_EQ(text[0].length, 32u);
  EXPECT_EQ(text[1].length, 64u);
  EXPECT_EQ(t1[32], 0);
  std::vector<unsigned char> p1(16), p2(32);
  DataRecord plain[2] = {{p1.data(), 16}, {p2.data(), 32}};
  ASSERT_EQ(Quor_MultiDataDecrypt(session_, kSlotSm4, nullptr, 16, SGD_SM4_ECB, 2, text, plain), SDR_OK);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(p1.data()), plain[0].length), a);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(p2.data()), plain[1].length), b);
}

// The requests as the device host received them, including the conversion
// commands whose results the simulator does not compute.
TEST_F(SymmEndToEnd, RecordedRequestLayouts) {
  const Bytes iv = Pattern(16, 91);
  const Bytes v16 = Pattern(16, 92);
  const Bytes data = Pattern(16, 93);
  unsigned char out[256];
  SGD_UINT32 len = 0;
  SGD_UINT32 number = 0;
  unsigned char check[8];
  Quor_ImportCovertKeyBySymmKey(session_, 2, 1, U(iv), 1, 2, 3, 4, U(data), 16);
  Quor_ImportCovertKeyByAsymmKey(session_, 1, 2, 3, 4, U(data), 16);
  Quor_ExportCovertKeyBySymmKey(session_, 7, 5, U(iv), 1, 2, 3, &number, out, &len, nullptr, nullptr);
  Quor_ExportCovertKeyByAsymmKey(session_, 1, 2, 3, &number, out, &len, nullptr, nullptr);
  Quor_KeyEncryptByOhterToLMK(session_, 0, 1, 1, U(v16), nullptr, 0, nullptr, 0, nullptr, 0, kSlotSm4, 2, nullptr, 0,
                              nullptr, 0, nullptr, 0, 0, 3, 4, nullptr, 0, 0, 5, U(data), 16, nullptr, nullptr, 0, out,
                              &len, check);
  Quor_KeyEncryptByLMKToOhter(session_, 1, 1, 1, nullptr, nullptr, 0, nullptr, 0, kSlotSm4, 2, nullptr, 0, nullptr, 0,
                              nullptr, 0, 1, 3, 4, nullptr, 0, 22, 0, 6, kSlotAes128, 7, nullptr, 0, U(v16), out, &len,
                              nullptr, nullptr, nullptr, nullptr, check);
  ASSERT_EQ(Quor_GetSymmKCV(session_, kSlotSm4, nullptr, 0, 7, check), SDR_OK);
  unsigned char block[16];
  ASSERT_EQ(Quor_SymmKeyOperation(session_, 0, 1, U(iv), kSlotSm4, nullptr, 0, 7, U(data), 16, block, nullptr), SDR_OK);

  const std::vector<std::string> expected = {
      Bytes("\x08\x58", 2) + Be32(2) + Be32(1) + iv.substr(0, 8) + Be32(1) + Be32(4) + Be32(2) + Be32(3) + Be32(4) +
          Lp(data) + Be32(0) + Be32(0),
      Bytes("\x08\x59", 2) + Be32(2) + Be32(1) + Be32(1) + Be32(0) + Be32(3) + Be32(4) + Lp(data) + Be32(0) + Be32(0),
      Bytes("\x08\x56", 2) + Be32(7) + Be32(5) + iv + Be32(1) + Be32(4) + Be32(2) + Be32(3),
      Bytes("\x08\x57", 2) + Be32(2) + Be32(1) + Be32(1) + Be32(0) + Be32(3),
      // Kind 0 sends no value B after a slot index.
      Bytes("\x09\x58", 2) + Be32(0) + Be32(1) + Be32(1) + v16 + Be32(kSlotSm4) + Be32(0) + Be32(0) + Be32(5) +
          Lp(data),
      Bytes("\x09\x56", 2) + Be32(1) + Be32(kSlotSm4) + Be32(2) + Be32(1) + Be32(22) + Be32(0) + Be32(6) +
          Be32(kSlotAes128) + Be32(7) + v16,
      Bytes("\x08\x09", 2) + Be32(kSlotSm4),
      Bytes("\x04\x01", 2) + Be32(1) + Be32(kSlotSm4) + Be32(7) + Lp(data) + iv,
  };
  EXPECT_EQ(setup_->Commands(), expected);
}

}  // namespace
