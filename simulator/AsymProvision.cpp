// Asymmetric key provisioning of the simulator's command line.
#include "simulator/AsymProvision.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <fstream>
#include <iterator>
#include <optional>

#include "simulator/Store.h"
#include "simulator/crypto/Asymmetric.h"

namespace QuorSim {
namespace {

using namespace Asym;

constexpr size_t kMaxPemFile = 64 * 1024;

struct AsymType {
  const char* name;
  uint32_t keyType;  // 1 RSA, 2 SM2
  unsigned bits;
};
constexpr AsymType kAsymTypes[] = {
    {"sm2", 2, 256}, {"rsa1024", 1, 1024}, {"rsa2048", 1, 2048}, {"rsa3072", 1, 3072}, {"rsa4096", 1, 4096}};

const AsymType* FindType(std::string_view name) {
  for (const auto& t : kAsymTypes)
    if (name == t.name) return &t;
  return nullptr;
}

std::string Opt(const Options& o, const char* name) {
  auto it = o.find(name);
  return it == o.end() ? std::string() : it->second;
}

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad() && out->size() <= kMaxPemFile;
}

// A new private key blob of the type, or the PEM file's.
std::string MakeBlob(const AsymType& t, const std::string& pem, std::string* err) {
  std::string blob;
  if (t.keyType == 1) {
    RsaKey k;
    const Rc rc = pem.empty() ? RsaKey::Generate(t.bits, 65537, &k) : RsaKey::FromPem(pem, &k);
    if (rc != Rc::Ok) {
      *err = pem.empty() ? "cannot generate the RSA key" : "the PEM file holds no usable unencrypted RSA private key";
      return {};
    }
    if (EVP_PKEY_get_bits(k.pkey()) != static_cast<int>(t.bits)) {
      *err = "the PEM key has " + std::to_string(EVP_PKEY_get_bits(k.pkey())) + " bits, not " + std::to_string(t.bits);
      return {};
    }
    if (k.ToBlob(&blob) != Rc::Ok) *err = "cannot encode the RSA key";
  } else {
    Sm2Key k;
    const Rc rc = pem.empty() ? Sm2Key::Generate(&k) : Sm2Key::FromPem(pem, &k);
    if (rc != Rc::Ok) {
      *err = pem.empty() ? "cannot generate the SM2 key" : "the PEM file holds no usable unencrypted SM2 private key";
      return {};
    }
    blob = k.ToBlob();
  }
  return blob;
}

// --usage: 0 sign, 1 enc; both when absent or "both".
bool ParseUsages(const Options& o, bool allowBoth, bool use[2]) {
  const std::string u = o.count("usage") ? o.at("usage") : (allowBoth ? "both" : "");
  use[0] = u == "sign" || (allowBoth && u == "both");
  use[1] = u == "enc" || (allowBoth && u == "both");
  return use[0] || use[1];
}

std::optional<uint32_t> ParseSlot(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return {};
  const uint32_t slot = static_cast<uint32_t>(std::stoul(text));
  if (slot == 0 || slot > kMaxSlot) return {};
  return slot;
}

}  // namespace

bool IsAsymKeyType(std::string_view type) { return FindType(type) != nullptr; }

std::string AsymKeyAdd(const Options& o, uint32_t slot) {
  const AsymType* t = FindType(Opt(o, "type"));
  if (!t) return "unknown key type '" + Opt(o, "type") + "'";
  if (o.count("hex")) return "--hex is for symmetric keys; use --pem FILE for an RSA or SM2 key";
  bool use[2];
  if (!ParseUsages(o, true, use)) return "--usage must be sign, enc or both";
  const std::string label = Opt(o, "label");
  if (label.size() > kMaxLabel) return "label longer than " + std::to_string(kMaxLabel) + " bytes";
  if (o.count("password") && o.at("password").size() > kMaxPassword)
    return "password longer than " + std::to_string(kMaxPassword) + " bytes";
  std::string pem;
  if (o.count("pem") && !ReadFile(o.at("pem"), &pem)) return "cannot read PEM file " + o.at("pem");

  std::string blobs[2], err;
  for (int u = 0; u < 2; ++u) {
    if (!use[u]) continue;
    // An imported key serves both usages; generated pairs are distinct.
    blobs[u] = (!pem.empty() && u == 1 && use[0]) ? blobs[0] : MakeBlob(*t, pem, &err);
    if (blobs[u].empty()) return err;
  }

  Store store;
  if (!store.Open(Opt(o, "store"), &err)) return err;
  const uint16_t rc = store.Modify([&](StoreData& d) -> uint16_t {
    if (!label.empty()) {
      for (const auto& [i, s] : d.slots)
        if (i != slot && s.label[t->keyType] == label) return Dev::kLabelRepeat;
    }
    Slot& s = d.slots[slot];
    for (int u = 0; u < 2; ++u)
      if (use[u]) (t->keyType == 1 ? s.rsa[u] : s.sm2[u]) = AsymKey{blobs[u]};
    if (o.count("label")) s.label[t->keyType] = label;
    if (o.count("password")) s.password = o.at("password");
    return Dev::kOk;
  });
  for (auto& b : blobs) OPENSSL_cleanse(b.data(), b.size());
  if (rc == Dev::kLabelRepeat) return "label '" + label + "' is already used by another slot";
  if (rc != Dev::kOk) return "cannot write store " + Opt(o, "store");
  return {};
}

std::string AsymKeyExport(const Options& o, std::string* pem) {
  for (const char* name : {"store", "slot", "type", "usage"})
    if (!o.count(name)) return "key export needs --store PATH --slot N --type sm2|rsa --usage sign|enc";
  const auto slot = ParseSlot(o.at("slot"));
  if (!slot) return "slot must be 1 to " + std::to_string(kMaxSlot);
  const std::string type = o.at("type");
  if (type != "sm2" && type != "rsa") return "--type must be sm2 or rsa";
  bool use[2];
  if (!ParseUsages(o, false, use)) return "--usage must be sign or enc";
  const int usage = use[0] ? 0 : 1;
  Store store;
  std::string err;
  if (!store.Open(o.at("store"), &err)) return err;
  const auto d = store.Snapshot();
  auto it = d->slots.find(*slot);
  const std::optional<AsymKey>* key = nullptr;
  if (it != d->slots.end()) key = type == "rsa" ? &it->second.rsa[usage] : &it->second.sm2[usage];
  if (!key || !*key) return "slot " + o.at("slot") + " holds no " + type + " " + o.at("usage") + " key";
  if (type == "rsa") {
    RsaKey k;
    if (RsaKey::FromBlob((*key)->der, &k) != Rc::Ok) return "the stored RSA key is unreadable";
    *pem = k.PublicPem();
  } else {
    Sm2Key k;
    if (Sm2Key::FromBlob((*key)->der, &k) != Rc::Ok) return "the stored SM2 key is unreadable";
    *pem = k.PublicPem();
  }
  return pem->empty() ? "cannot encode the public key" : "";
}

}  // namespace QuorSim
