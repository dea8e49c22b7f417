// Helpers of the asymmetric-crypto tests: hex, owning OpenSSL pointers, and a
// minimal DER writer and reader for the ASN.1 forms OpenSSL uses for SM2.
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/crypto/Ossl.h"

namespace TestSupport {

using QuorSim::Asym::PkeyPtr;
using QuorSim::Asym::Ossl::Own;
using QuorSim::Asym::Ossl::PkeyCtx;
using QuorSim::Asym::Ossl::U;

inline std::string Hex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
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

inline std::string Flip(std::string s, size_t at) {
  s.at(at) = static_cast<char>(s.at(at) ^ 0x01);
  return s;
}

inline std::string Pem(EVP_PKEY* pkey, bool traditional) {
  QuorSim::Asym::Ossl::Bio bio(BIO_new(BIO_s_mem()));
  const int ok = traditional ? PEM_write_bio_PrivateKey_traditional(bio.get(), pkey, nullptr, nullptr, 0, nullptr, nullptr)
                             : PEM_write_bio_PrivateKey(bio.get(), pkey, nullptr, nullptr, 0, nullptr, nullptr);
  if (ok != 1) throw std::runtime_error("PEM write");
  char* data = nullptr;
  const long len = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(len));
}

inline PkeyPtr ReadPublicPem(const std::string& pem) {
  QuorSim::Asym::Ossl::Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  return Own(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
}

// ---- DER, only what the tests need: SEQUENCE, INTEGER, OCTET STRING.

inline std::string Tlv(unsigned char tag, std::string_view content) {
  std::string out(1, static_cast<char>(tag));
  const size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<char>(n));
  } else if (n < 0x100) {
    out.push_back('\x81');
    out.push_back(static_cast<char>(n));
  } else {
    out.push_back('\x82');
    out.push_back(static_cast<char>(n >> 8));
    out.push_back(static_cast<char>(n));
  }
  return out.append(content);
}

inline std::string DerInt(std::string_view be) {
  size_t i = 0;
  while (i + 1 < be.size() && be[i] == 0) ++i;
  std::string v(be.substr(i));
  if (static_cast<unsigned char>(v[0]) & 0x80) v.insert(v.begin(), '\0');
  return Tlv(0x02, v);
}

// Reads the items of a SEQUENCE; throws on anything it does not expect.
inline std::vector<std::pair<unsigned char, std::string>> DerItems(std::string_view der) {
  auto readTlv = [](std::string_view& in, unsigned char* tag) {
    if (in.size() < 2) throw std::runtime_error("DER");
    *tag = static_cast<unsigned char>(in[0]);
    size_t len = static_cast<unsigned char>(in[1]);
    size_t off = 2;
    if (len & 0x80) {
      const size_t nb = len & 0x7F;
      if (nb == 0 || nb > 2 || in.size() < 2 + nb) throw std::runtime_error("DER");
      len = 0;
      for (size_t i = 0; i < nb; ++i) len = (len << 8) | static_cast<unsigned char>(in[2 + i]);
      off += nb;
    }
    if (in.size() - off < len) throw std::runtime_error("DER");
    std::string_view v = in.substr(off, len);
    in.remove_prefix(off + len);
    return v;
  };
  unsigned char tag = 0;
  std::string_view seq = readTlv(der, &tag);
  if (tag != 0x30 || !der.empty()) throw std::runtime_error("DER");
  std::vector<std::pair<unsigned char, std::string>> items;
  while (!seq.empty()) {
    std::string_view v = readTlv(seq, &tag);
    items.emplace_back(tag, std::string(v));
  }
  return items;
}

// An INTEGER's content as 32 bytes, big-endian.
inline std::string Fixed32(const std::string& v) {
  std::string s = v;
  while (s.size() > 32 && s[0] == 0) s.erase(s.begin());
  if (s.size() > 32) throw std::runtime_error("DER integer");
  return std::string(32 - s.size(), '\0') + s;
}

}  // namespace TestSupport
