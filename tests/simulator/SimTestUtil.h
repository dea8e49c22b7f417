// Request building, answer reading and OpenSSL reference computations for the simulator tests.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace SimTest {

inline std::string Hex(std::string_view hex) {
  std::string out;
  std::string digits;
  for (char c : hex)
    if (c != ' ') digits.push_back(c);
  for (size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

inline std::string ToHex(std::string_view b) {
  static const char* d = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : b) {
    out.push_back(d[c >> 4]);
    out.push_back(d[c & 15]);
  }
  return out;
}

// Request builder: Req(0x0401).U32(0).Bytes(data)...
class Req {
 public:
  explicit Req(uint16_t cmd) { U16(cmd); }
  Req& U16(uint16_t v) {
    s_.push_back(static_cast<char>(v >> 8));
    s_.push_back(static_cast<char>(v));
    return *this;
  }
  Req& U32(uint32_t v) {
    for (int i = 3; i >= 0; --i) s_.push_back(static_cast<char>(v >> (8 * i)));
    return *this;
  }
  Req& Bytes(std::string_view b) {
    U32(static_cast<uint32_t>(b.size()));
    s_ += b;
    return *this;
  }
  Req& Raw(std::string_view b) {
    s_ += b;
    return *this;
  }
  // The "key" field: slot index, or index 0 with the LMK cipher.
  Req& Key(uint32_t index, std::string_view cipher = {}) {
    U32(index);
    if (index == 0) U32(2).Bytes(cipher);
    return *this;
  }
  operator std::string() const { return s_; }
  const std::string& str() const { return s_; }

 private:
  std::string s_;
};

// Answer reader: code, then fields.
class Ans {
 public:
  explicit Ans(std::string a) : a_(std::move(a)) {}
  uint16_t cmd() const { return Get16(0); }
  uint16_t code() const { return a_.size() >= 4 ? Get16(2) : 0xFFFF; }
  uint32_t U32() {
    Need(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(a_[pos_ + i]);
    pos_ += 4;
    return v;
  }
  std::string Raw(size_t n) {
    Need(n);
    std::string v = a_.substr(pos_, n);
    pos_ += n;
    return v;
  }
  std::string Bytes() { return Raw(U32()); }
  std::string Rest() { return Raw(a_.size() - pos_); }
  bool AtEnd() const { return pos_ == a_.size(); }
  const std::string& raw() const { return a_; }

 private:
  uint16_t Get16(size_t at) const {
    return static_cast<uint16_t>(static_cast<unsigned char>(a_.at(at)) << 8 | static_cast<unsigned char>(a_.at(at + 1)));
  }
  void Need(size_t n) const {
    if (a_.size() - pos_ < n) throw std::runtime_error("answer too short");
  }
  std::string a_;
  size_t pos_ = 4;
};

inline void LoadProviders() {
  struct Providers {
    OSSL_PROVIDER* def = OSSL_PROVIDER_load(nullptr, "default");
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    ~Providers() {
      if (legacy) OSSL_PROVIDER_unload(legacy);
      if (def) OSSL_PROVIDER_unload(def);
    }
  };
  static Providers providers;
}

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

// OpenSSL reference: one pass of a named cipher, no padding.
inline std::string Evp(const char* name, bool decrypt, std::string_view key, std::string_view iv, std::string_view data) {
  LoadProviders();
  std::unique_ptr<EVP_CIPHER, decltype(&EVP_CIPHER_free)> c(EVP_CIPHER_fetch(nullptr, name, nullptr), EVP_CIPHER_free);
  if (!c) throw std::runtime_error(std::string("no cipher ") + name);
  std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
  EVP_CipherInit_ex(ctx.get(), c.get(), nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                    iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data()), decrypt ? 0 : 1);
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::string out(data.size() + 32, '\0');
  int n = 0, m = 0;
  EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n,
                   reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
  if (EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n, &m) != 1)
    throw std::runtime_error("cipher final failed");
  out.resize(static_cast<size_t>(n + m));
  return out;
}

inline std::string Digest(const char* name, std::string_view data) {
  LoadProviders();
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md_(EVP_MD_fetch(nullptr, name, nullptr), EVP_MD_free);
  EVP_Digest(data.data(), data.size(), md, &n, md_.get(), nullptr);
  return std::string(reinterpret_cast<char*>(md), n);
}

inline std::string Pattern(size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 8)) & 0xFF);
  return s;
}

}  // namespace SimTest
