// Command handlers. Each reads its request with a Reader (any layout error is
// device code 15), computes, and appends its result fields.
#include "simulator/Device.h"

#include <openssl/crypto.h>

#include <algorithm>

#include "common/Bytes.h"
#include "common/Hex.h"
#include "simulator/AsymCommands.h"
#include "simulator/Reader.h"

namespace QuorSim {
namespace {

using Quor::PutU32;

void PutBytes(std::string& o, std::string_view s) {
  PutU32(o, static_cast<uint32_t>(s.size()));
  o += s;
}

// Device code as a C++ exception, so that helpers deep in a handler can stop it.
struct Refuse {
  uint16_t code;
};

constexpr size_t kMaxData = 65536;
constexpr size_t kMaxState = 512;
constexpr char kHashMagic[] = "HSH1";
const std::string kDefaultSm2Id = "1234567812345678";

// The algorithm the SDF layer assumes for a key of this length.
uint32_t AlgForLength(size_t len) {
  switch (len) {
    case 8: return 0;
    case 16: return 7;
    case 24: return 2;
    default: return 5;
  }
}

SymAlg NeedAlg(uint32_t code) {
  SymAlg a{};
  if (const uint16_t rc = FindSymAlg(code, &a)) throw Refuse{rc};
  return a;
}

uint32_t NeedIndex(uint32_t index) {
  if (index == 0 || index > kMaxSlot) throw Refuse{Dev::kIndexInvalid};
  return index;
}

uint32_t NeedKeyType(uint32_t type) {
  if (type > 2) throw Refuse{Dev::kKeyTypeInvalid};
  return type;
}

const Slot* FindSlot(const StoreData& d, uint32_t index) {
  auto it = d.slots.find(index);
  return it == d.slots.end() ? nullptr : &it->second;
}

const SymKey& NeedSymKey(const StoreData& d, uint32_t index) {
  const Slot* s = FindSlot(d, NeedIndex(index));
  if (!s || !s->sym) throw Refuse{Dev::kKeyNotExist};
  return *s->sym;
}

std::string Unwrap(const StoreData& d, std::string_view cipher) {
  std::string key;
  if (!LmkUnwrap(d.lmk, cipher, &key)) throw Refuse{Dev::kKeyLengthError};
  return key;
}

std::string Wrap(const StoreData& d, std::string_view key) {
  std::string cipher;
  if (!LmkWrap(d.lmk, key, &cipher)) throw Refuse{Dev::kKeyLengthError};
  return cipher;
}

// "Key": int index; index 0: int 2, bytes(LMK cipher). The plain key.
std::string ReadKey(Reader& r, const StoreData& d) {
  const uint32_t index = r.U32();
  if (index == 0) {
    if (r.U32() != 2) throw Malformed();
    return Unwrap(d, r.Bytes(64));
  }
  return NeedSymKey(d, index).key;
}

void NeedLength(const SymAlg& a, std::string_view key) {
  if (key.size() != a.keyLen) throw Refuse{Dev::kKeyLengthError};
}

std::string Ecb(const SymAlg& a, bool decrypt, std::string_view key, std::string_view data) {
  NeedLength(a, key);
  std::string out;
  if (data.empty() || !EcbCrypt(a, decrypt, key, data, &out)) throw Refuse{Dev::kKeyLengthError};
  return out;
}

bool ValidKeyLength(size_t n) { return n == 8 || n == 16 || n == 24 || n == 32; }

class Handler {
 public:
  Handler(Store& store, uint16_t cmd, std::string_view params) : store_(store), cmd_(cmd), r_(params) {}

  // Result fields after the header; throws Refuse or Malformed.
  std::string Run() {
    if (IsAsymCommand(cmd_, r_)) {
      std::string out;
      if (const uint16_t rc = RunAsymCommand(store_, cmd_, r_, &out)) throw Refuse{rc};
      return out;
    }
    switch (cmd_) {
      case 0x0101: return DeviceInfo();
      case 0x0102: return Random();
      case 0x0103: return AccessRight();
      case 0x0899: return PinAuth();
      case 0x0601: return CreateFile();
      case 0x0602: return ReadFile();
      case 0x0603: return WriteFile();
      case 0x0604: return DeleteFile();
      case 0x0805: return SetLabel();
      case 0x0806: return GetLabel();
      case 0x0807: return IndexByLabel();
      case 0x0808: return Destroy();
      case 0x0861: return IndexInfo();
      case 0x0909: return KeyInfo();
      case 0x0816: return GenerateWithLmk();
      case 0x0214: return GenerateWithKek();
      case 0x0215: return ImportByKek();
      case 0x0803: return ImportPlain();
      case 0x0804: return ExportPlain();
      case 0x0809: return SymKeyInfo();
      case 0x0833: return StoreLmkCipher();
      case 0x08A1: return ImportConvert();
      case 0x0814: return ConvertKek(false);
      case 0x0815: return ConvertKek(true);
      case 0x0832: return ReadLmkCipher();
      case 0x0401: return Cipher(false);
      case 0x0402: return Cipher(true);
      case 0x0403: return Mac();
      case 0x0881: return Hmac();
      case 0x0871: return Ccm(false);
      case 0x0872: return Ccm(true);
      case 0x0873: return CcmInit();
      case 0x0874: return CcmUpdate();
      case 0x0875: return CcmFinal();
      case 0x0821: return Gcm(false);
      case 0x0822: return Gcm(true);
      case 0x0501: return HashInit();
      case 0x0502: return HashUpdate();
      case 0x0503: return HashFinal();
      default: throw Refuse{Dev::kUnknownCommand};
    }
  }

 private:
  std::shared_ptr<const StoreData> Data() {
    if (!data_) data_ = store_.Snapshot();
    return data_;
  }
  void Modify(const std::function<void(StoreData&)>& fn) {
    const uint16_t rc = store_.Modify([&](StoreData& d) -> uint16_t {
      try {
        fn(d);
      } catch (const Refuse& e) {
        return e.code;
      }
      return Dev::kOk;
    });
    if (rc != Dev::kOk) throw Refuse{rc};
  }

  // ---- device, files, labels and indexes ----

  std::string DeviceInfo() {
    r_.Done();
    const auto d = Data();
    std::string out;
    const std::string issuer = "Quorsim Simulated Devices";
    const std::string name = "quorsim";
    // The serial is derived from the master keys, so the members of one cluster report the same one.
    const std::string serial = Quor::HexEncode(HashOnce(HashAlg::Sha256, d->lmk.sm4 + d->lmk.des3).substr(0, 8));
    for (const std::string* s : {&issuer, &name, &serial}) {
      Quor::PutU16(out, static_cast<uint16_t>(s->size()));
      out += *s;
    }
    // The client copies these fields into its variables byte for byte, so they are sent in the
    // byte order of the hosts that run it (little-endian).
    auto le32 = [&](uint32_t v) {
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
    };
    le32(0x00010000);  // device version
    le32(0x00000001);  // standard version
    le32(0x00030F00);  // asymmetric algorithms
    le32(0x00001D00);  // asymmetric key lengths
    le32(0x8000071F);  // symmetric algorithms
    le32(8192);        // buffer size
    le32(5);           // hash algorithms
    le32(0);
    return out;
  }

  std::string Random() {
    const uint32_t n = r_.U32();
    r_.Done();
    if (n > 2048) throw Refuse{Dev::kInvalidInput};
    std::string out;
    RandomBytes(n, &out);
    return out;
  }

  std::string AccessRight() {
    NeedKeyType(r_.U32());
    const uint32_t index = r_.U32();
    const uint32_t len = r_.U32();
    const std::string_view pw = r_.Raw(len);
    r_.Done();
    const auto d = Data();
    const Slot* s = FindSlot(*d, NeedIndex(index));
    if (!s || !s->password) throw Refuse{Dev::kKeyMissing};
    if (s->password->size() != pw.size() || CRYPTO_memcmp(s->password->data(), pw.data(), pw.size()) != 0)
      throw Refuse{Dev::kPasswordInvalid};
    return {};
  }

  std::string PinAuth() {
    const std::string_view pin = r_.Bytes(kMaxPassword);
    r_.Done();
    const auto d = Data();
    if (d->pin.size() != pin.size() || CRYPTO_memcmp(d->pin.data(), pin.data(), pin.size()) != 0)
      throw Refuse{Dev::kVerifyFailed};
    return {};
  }

  std::string_view FileName() {
    const std::string_view name = r_.Bytes();
    if (name.empty() || name.size() > kMaxFileName) throw Refuse{Dev::kInvalidInput};
    return name;
  }

  std::string CreateFile() {
    const std::string name(FileName());
    const uint32_t size = r_.U32();
    r_.Done();
    if (size == 0 || size > kMaxFileSize) throw Refuse{Dev::kFileSizeInvalid};
    Modify([&](StoreData& d) {
      if (d.files.count(name)) throw Refuse{Dev::kFileExists};
      if (d.files.size() >= 256) throw Refuse{72};
      d.files[name] = std::string(size, '\0');
    });
    return {};
  }

  std::string ReadFile() {
    const std::string name(FileName());
    const uint32_t offset = r_.U32();
    const uint32_t length = r_.U32();
    r_.Done();
    if (length == 0 || length > 4096) throw Refuse{Dev::kInvalidInput};
    const auto d = Data();
    auto it = d->files.find(name);
    if (it == d->files.end()) throw Refuse{Dev::kFileNotExist};
    if (offset >= it->second.size()) throw Refuse{Dev::kOffsetInvalid};
    std::string out;
    PutBytes(out, std::string_view(it->second).substr(offset, length));
    return out;
  }

  std::string WriteFile() {
    const std::string name(FileName());
    const uint32_t offset = r_.U32();
    const std::string data(r_.Bytes());
    r_.Done();
    if (data.empty() || data.size() > 4096) throw Refuse{Dev::kInvalidInput};
    Modify([&](StoreData& d) {
      auto it = d.files.find(name);
      if (it == d.files.end()) throw Refuse{Dev::kFileNotExist};
      if (offset > it->second.size() || data.size() > it->second.size() - offset) throw Refuse{Dev::kOffsetInvalid};
      it->second.replace(offset, data.size(), data);
    });
    return {};
  }

  std::string DeleteFile() {
    const std::string name(FileName());
    r_.Done();
    Modify([&](StoreData& d) {
      if (d.files.erase(name) == 0) throw Refuse{Dev::kFileNotExist};
    });
    return {};
  }

  std::string SetLabel() {
    const uint32_t type = NeedKeyType(r_.U32());
    const uint32_t index = r_.U32();
    const std::string label(r_.Bytes());
    r_.Done();
    NeedIndex(index);
    if (label.size() > kMaxLabel) throw Refuse{Dev::kInvalidInput};
    Modify([&](StoreData& d) {
      auto it = d.slots.find(index);
      if (it == d.slots.end() || !it->second.HasKeyOfType(type)) throw Refuse{Dev::kKeyNotExist};
      if (!label.empty()) {
        for (const auto& [i, s] : d.slots)
          if (i != index && s.label[type] == label) throw Refuse{Dev::kLabelRepeat};
      }
      it->second.label[type] = label;
    });
    return {};
  }

  std::string GetLabel() {
    const uint32_t type = NeedKeyType(r_.U32());
    const uint32_t index = r_.U32();
    r_.Done();
    const auto d = Data();
    const Slot* s = FindSlot(*d, NeedIndex(index));
    if (!s || !s->HasKeyOfType(type)) throw Refuse{Dev::kKeyNotExist};
    std::string out;
    PutBytes(out, s->label[type]);
    return out;
  }

  std::string IndexByLabel() {
    const uint32_t type = NeedKeyType(r_.U32());
    const std::string_view label = r_.Bytes();
    r_.Done();
    if (label.empty() || label.size() > kMaxLabel) throw Refuse{Dev::kInvalidInput};
    const auto d = Data();
    for (const auto& [i, s] : d->slots) {
      if (s.HasKeyOfType(type) && s.label[type] == label) {
        std::string out;
        PutU32(out, i);
        return out;
      }
    }
    throw Refuse{Dev::kKeyNotExist};
  }

  std::string Destroy() {
    const uint32_t type = NeedKeyType(r_.U32());
    const uint32_t index = NeedIndex(r_.U32());
    r_.Done();
    Modify([&](StoreData& d) {
      auto it = d.slots.find(index);
      if (it == d.slots.end() || !it->second.HasKeyOfType(type)) throw Refuse{Dev::kKeyNotExist};
      Slot& s = it->second;
      if (type == 0) s.sym.reset();
      if (type == 1) s.rsa[0].reset(), s.rsa[1].reset();
      if (type == 2) s.sm2[0].reset(), s.sm2[1].reset();
      s.label[type].clear();
      if (s.Empty()) d.slots.erase(it);
    });
    return {};
  }

  static uint32_t PresenceMask(const Slot* s) {
    if (!s) return 0;
    uint32_t m = 0;
    if (s->sym) m |= 1;
    if (s->rsa[0]) m |= 2;
    if (s->rsa[1]) m |= 4;
    if (s->sm2[0]) m |= 8;
    if (s->sm2[1]) m |= 16;
    if (s->password) m |= 32;
    return m;
  }

  std::string IndexInfo() {
    const uint32_t index = NeedIndex(r_.U32());
    r_.Done();
    const auto d = Data();
    const Slot* s = FindSlot(*d, index);
    std::string rec;
    PutU32(rec, PresenceMask(s));
    PutU32(rec, s && s->sym ? s->sym->alg : 0xFFFFFFFFu);
    std::string out;
    PutBytes(out, rec);
    return out;
  }

  std::string KeyInfo() {
    const uint32_t type = NeedKeyType(r_.U32());
    const uint32_t index = NeedIndex(r_.U32());
    r_.Done();
    const auto d = Data();
    const Slot* s = FindSlot(*d, index);
    if (!s || !s->HasKeyOfType(type)) throw Refuse{Dev::kKeyNotExist};
    std::string label = s->label[type].substr(0, 19);
    label.resize(19, '\0');
    std::string out;
    if (type == 0) {
      SymAlg a{};
      PutU32(out, s->sym->alg);
      PutBytes(out, Wrap(*d, s->sym->key));
      out += FindSymAlg(s->sym->alg, &a) == Dev::kOk ? CheckValue(a, s->sym->key) : std::string(8, '\0');
    } else {
      // Numbers: which pairs are present (1 signing, 2 encryption), whether a password is set, then zeros.
      const auto& pair = type == 1 ? s->rsa : s->sm2;
      PutU32(out, (pair[0] ? 1u : 0u) | (pair[1] ? 2u : 0u));
      PutU32(out, s->password ? 1 : 0);
      for (int i = type == 1 ? 3 : 1; i > 0; --i) PutU32(out, 0);
      PutBytes(out, {});
    }
    return out + label;
  }

  // ---- symmetric key management ----

  std::string GenerateWithLmk() {
    const SymAlg a = NeedAlg(r_.U32());
    r_.Done();
    std::string key;
    RandomBytes(a.keyLen, &key);
    std::string out;
    PutBytes(out, Wrap(*Data(), key));
    PutBytes(out, CheckValue(a, key));
    return out;
  }

  std::string GenerateWithKek() {
    const uint32_t keyLen = r_.U32();
    const uint32_t kekIndex = r_.U32();
    r_.Done();
    if (!ValidKeyLength(keyLen)) throw Refuse{Dev::kKeyLengthError};
    const auto d = Data();
    const SymKey& kek = NeedSymKey(*d, kekIndex);
    const SymAlg a = NeedAlg(kek.alg);
    if (keyLen % a.block) throw Refuse{Dev::kKeyLengthError};
    std::string key;
    RandomBytes(keyLen, &key);
    std::string out;
    PutBytes(out, Ecb(a, false, kek.key, key));
    PutBytes(out, Wrap(*d, key));
    return out;
  }

  std::string ImportByKek() {
    const uint32_t kekIndex = r_.U32();
    const std::string_view wrapped = r_.Bytes(64);
    r_.Done();
    const auto d = Data();
    const SymKey& kek = NeedSymKey(*d, kekIndex);
    const std::string key = Ecb(NeedAlg(kek.alg), true, kek.key, wrapped);
    if (!ValidKeyLength(key.size())) throw Refuse{Dev::kKeyLengthError};
    std::string out;
    PutBytes(out, Wrap(*d, key));
    return out;
  }

  std::string ImportPlain() {
    const uint32_t index = NeedIndex(r_.U32());
    const uint32_t alg = r_.U32();
    const std::string label(r_.Bytes());
    const std::string key(r_.Bytes());
    r_.Done();
    NeedLength(NeedAlg(alg), key);
    if (label.size() > kMaxLabel) throw Refuse{Dev::kInvalidInput};
    Modify([&](StoreData& d) {
      if (!label.empty()) {
        for (const auto& [i, s] : d.slots)
          if (i != index && s.label[0] == label) throw Refuse{Dev::kLabelRepeat};
      }
      Slot& s = d.slots[index];
      s.sym = SymKey{alg, key};
      s.label[0] = label;
    });
    return {};
  }

  std::string ExportPlain() {
    const uint32_t index = r_.U32();
    r_.Done();
    const auto d = Data();
    const SymKey& k = NeedSymKey(*d, index);
    std::string out;
    PutU32(out, k.alg);
    PutBytes(out, k.key);
    return out;
  }

  std::string SymKeyInfo() {
    const uint32_t index = r_.U32();
    r_.Done();
    const auto d = Data();
    const SymKey& k = NeedSymKey(*d, index);
    std::string out;
    PutU32(out, k.alg);
    PutBytes(out, Wrap(*d, k.key));
    out += CheckValue(NeedAlg(k.alg), k.key);
    return out;
  }

  std::string StoreLmkCipher() {
    const uint32_t type = NeedKeyType(r_.U32());
    const uint32_t index = r_.U32();
    if (type != 0) {
      if (type == 2) r_.U32();  // curve
      r_.U32();                 // usage
      r_.Bytes();
      r_.Bytes();
      r_.Bytes();
      r_.U32();
      r_.Done();
      throw Refuse{Dev::kUnknownCommand};
    }
    const uint32_t alg = r_.U32();
    const std::string cipher(r_.Bytes(64));
    const std::string kcv(r_.Raw(8));
    const uint32_t flag = r_.U32();
    r_.Done();
    if (flag != 1 && flag != 2) throw Malformed();
    NeedIndex(index);
    const SymAlg a = NeedAlg(alg);
    const std::string key = Unwrap(*Data(), cipher);
    NeedLength(a, key);
    if (CheckValue(a, key) != kcv) throw Refuse{Dev::kKcvError};
    // Both flag values store the key, replacing what the slot held.
    Modify([&](StoreData& d) { d.slots[index].sym = SymKey{alg, key}; });
    return {};
  }

  std::string ImportConvert() {
    uint32_t head[6];
    for (auto& v : head) v = r_.U32();
    const std::string_view transport = r_.Bytes(64);
    uint32_t mid[5];
    for (auto& v : mid) v = r_.U32();
    const std::string_view encrypted = r_.Bytes(64);
    r_.Done();
    // The sixth value names the transport key's algorithm; the key travels in ECB.
    const auto d = Data();
    const std::string tkey = Unwrap(*d, transport);
    const std::string key = Ecb(NeedAlg(head[5]), true, tkey, encrypted);
    if (!ValidKeyLength(key.size())) throw Refuse{Dev::kKeyLengthError};
    std::string out;
    PutBytes(out, Wrap(*d, key));
    out += CheckValue(NeedAlg(AlgForLength(key.size())), key);
    return out;
  }

  // 08 14 (LMK to KEK) and 08 15 (KEK to LMK). The first value after the
  // KEK is the KEK's algorithm code when the KEK comes as an LMK cipher (a
  // slot KEK uses its own); the second is the wrapping mode, only 0 (ECB).
  std::string ConvertKek(bool toLmk) {
    const std::string_view keyIn = r_.Bytes(64);
    const uint32_t kekIndex = r_.U32();
    const std::string_view kekCipher = kekIndex == 0 ? r_.Bytes(64) : std::string_view();
    const uint32_t kekAlgCode = r_.U32();
    const uint32_t mode = r_.U32();
    r_.Done();
    if (mode != 0) throw Refuse{Dev::kAlgNotSupported};
    const auto d = Data();
    std::string kek;
    SymAlg a{};
    if (kekIndex == 0) {
      kek = Unwrap(*d, kekCipher);
      a = NeedAlg(kekAlgCode);
    } else {
      const SymKey& k = NeedSymKey(*d, kekIndex);
      kek = k.key;
      a = NeedAlg(k.alg);
    }
    std::string out;
    if (toLmk) {
      const std::string key = Ecb(a, true, kek, keyIn);
      if (!ValidKeyLength(key.size())) throw Refuse{Dev::kKeyLengthError};
      PutBytes(out, Wrap(*d, key));
    } else {
      PutBytes(out, Ecb(a, false, kek, Unwrap(*d, keyIn)));
    }
    return out;
  }

  std::string ReadLmkCipher() {
    const uint32_t type = NeedKeyType(r_.U32());
    const uint32_t index = r_.U32();
    if (type != 0) {
      r_.U32();  // usage
      r_.Done();
      throw Refuse{Dev::kUnknownCommand};
    }
    r_.Done();
    const auto d = Data();
    const SymKey& k = NeedSymKey(*d, index);
    std::string out;
    PutBytes(out, Wrap(*d, k.key));
    out += CheckValue(NeedAlg(k.alg), k.key);
    PutU32(out, k.alg);
    return out;
  }

  // ---- symmetric cipher and MAC ----

  std::string Cipher(bool decrypt) {
    const uint32_t mode = r_.U32();
    const auto d = Data();
    const std::string key = ReadKey(r_, *d);
    const uint32_t algCode = r_.U32();
    const std::string_view data = r_.Bytes(kMaxData);
    const std::string_view iv = ModeCarriesIv(mode) ? r_.Raw(IvLengthFor(algCode)) : std::string_view();
    r_.Done();
    const SymAlg a = NeedAlg(algCode);
    if (data.empty()) throw Refuse{Dev::kInvalidInput};
    std::string out, ivOut;
    if (const uint16_t rc = SymCrypt(a, mode, decrypt, key, iv, data, &out, &ivOut)) throw Refuse{rc};
    std::string res;
    PutBytes(res, out);
    PutBytes(res, ivOut);
    return res;
  }

  std::string Mac() {
    const uint32_t type = r_.U32();
    const auto d = Data();
    const std::string key = ReadKey(r_, *d);
    const uint32_t algCode = r_.U32();
    const std::string_view data = r_.Bytes(kMaxData);
    const std::string_view iv = r_.Raw(IvLengthFor(algCode));
    r_.Done();
    const SymAlg a = NeedAlg(algCode);
    if (type != 1) throw Refuse{Dev::kMacTypeError};
    if (data.empty()) throw Refuse{Dev::kInvalidInput};
    std::string mac;
    if (const uint16_t rc = CbcMac(a, key, iv, data, &mac)) throw Refuse{rc};
    std::string res;
    PutBytes(res, mac);
    return res;
  }

  std::string Hmac() {
    const uint16_t algCode = r_.U16();
    const uint32_t index = r_.U32();
    const auto d = Data();
    std::string key;
    if (index == 0) {
      const uint32_t keyType = r_.U32();
      const std::string_view k = r_.Bytes(1024);
      if (keyType == 1) {
        key = k;
      } else if (keyType == 2) {
        key = Unwrap(*d, k);
      } else {
        throw Refuse{Dev::kKeyTypeInvalid};
      }
    } else {
      key = NeedSymKey(*d, index).key;
    }
    const std::string_view state = r_.Bytes(kMaxState);
    const std::string_view data = r_.Bytes(kMaxData);
    r_.Done();
    const auto alg = HashAlgFromCode(algCode);
    if (!alg) throw Refuse{Dev::kHashAlgInvalid};
    std::string newState, mac;
    if (const uint16_t rc = HmacStep(*alg, key, state, data, &newState, &mac)) throw Refuse{rc};
    std::string res;
    PutBytes(res, newState);
    PutBytes(res, mac);
    return res;
  }

  // The key of an authenticated mode with its LMK cipher, for contexts.
  struct KeyAndCipher {
    std::string key, cipher;
  };
  KeyAndCipher ReadKeyWithCipher(const StoreData& d) {
    const uint32_t index = r_.U32();
    if (index == 0) {
      if (r_.U32() != 2) throw Malformed();
      std::string cipher(r_.Bytes(64));
      std::string key = Unwrap(d, cipher);
      return {std::move(key), std::move(cipher)};
    }
    const std::string key = NeedSymKey(d, index).key;
    return {key, Wrap(d, key)};
  }

  std::string Ccm(bool decrypt) {
    if (r_.U32() != 7) throw Malformed();
    const auto d = Data();
    const std::string key = ReadKey(r_, *d);
    const uint32_t algCode = r_.U32();
    const std::string_view aad = r_.Bytes(kMaxData);
    const std::string_view nonce = r_.Bytes(64);
    const std::string_view data = r_.Bytes(kMaxData);
    uint32_t tagLen = 0;
    std::string_view tag;
    if (decrypt) {
      tag = r_.Bytes(64);
      tagLen = static_cast<uint32_t>(tag.size());
    } else {
      tagLen = r_.U32();
    }
    r_.Done();
    const SymAlg a = NeedAlg(algCode);
    std::string out, tagOut;
    if (const uint16_t rc = CcmCrypt(a, decrypt, key, nonce, aad, data, tagLen, tag, &out, &tagOut))
      throw Refuse{rc};
    std::string res;
    PutBytes(res, out);
    res += tagOut;  // raw: the client's template gives it the tag length it asked for
    return res;
  }

  std::string CcmInit() {
    if (r_.U32() != 7) throw Malformed();
    const uint32_t dir = r_.U32();
    const auto d = Data();
    KeyAndCipher k = ReadKeyWithCipher(*d);
    const uint32_t algCode = r_.U32();
    const std::string_view nonce = r_.Bytes(64);
    const std::string_view aad = r_.Bytes(kMaxData);
    const uint32_t total = r_.U32();
    const uint32_t tagLen = r_.U32();
    r_.Done();
    if (dir != 1 && dir != 2) throw Refuse{Dev::kInvalidInput};
    const SymAlg a = NeedAlg(algCode);
    CcmStream st;
    if (const uint16_t rc = CcmStreamInit(a, dir == 2, k.key, k.cipher, nonce, aad, total, tagLen, &st))
      throw Refuse{rc};
    std::string res;
    PutBytes(res, st.Serialize());
    return res;
  }

  CcmStream ReadContext(std::string* key) {
    const std::string_view ctx = r_.Bytes(kMaxState);
    const uint32_t dir = r_.U32();
    CcmStream st;
    if (!CcmStream::Deserialize(ctx, &st) || (dir != 1 && dir != 2) || (dir == 2) != st.decrypt)
      throw Refuse{Dev::kInvalidInput};
    *key = Unwrap(*Data(), st.keyCipher);
    return st;
  }

  std::string CcmUpdate() {
    std::string key;
    CcmStream st = ReadContext(&key);
    const std::string_view data = r_.Bytes(kMaxData);
    r_.Done();
    std::string out;
    if (const uint16_t rc = CcmStreamUpdate(st, key, data, &out)) throw Refuse{rc};
    std::string res;
    PutBytes(res, out);
    PutBytes(res, st.Serialize());
    return res;
  }

  std::string CcmFinal() {
    std::string key;
    CcmStream st = ReadContext(&key);
    const std::string_view tag = st.decrypt ? r_.Bytes(64) : std::string_view();
    r_.Done();
    std::string tagOut;
    if (const uint16_t rc = CcmStreamFinal(st, key, tag, &tagOut)) throw Refuse{rc};
    if (st.decrypt) return {};
    std::string res;
    PutBytes(res, tagOut);
    return res;
  }

  std::string Gcm(bool decrypt) {
    if (r_.U32() != 6) throw Malformed();
    const auto d = Data();
    const std::string key = ReadKey(r_, *d);
    const uint32_t algCode = r_.U32();
    const std::string_view iv = r_.Bytes(128);
    const std::string_view aad = r_.Bytes(kMaxData);
    const std::string_view data = r_.Bytes(kMaxData);
    const std::string_view tag = decrypt ? r_.Bytes(64) : std::string_view();
    r_.Done();
    const SymAlg a = NeedAlg(algCode);
    std::string out, tagOut;
    if (const uint16_t rc = GcmCrypt(a, decrypt, key, iv, aad, data, tag, &out, &tagOut)) throw Refuse{rc};
    std::string res;
    PutBytes(res, out);
    if (!decrypt) PutBytes(res, tagOut);
    return res;
  }

  // ---- hashes ----

  static std::string Coordinate(std::string_view v) {
    // Right-aligned 32-byte value; longer input may only carry leading zeros.
    while (v.size() > 32) {
      if (v[0] != 0) throw Refuse{Dev::kInvalidInput};
      v.remove_prefix(1);
    }
    return std::string(32 - v.size(), '\0') + std::string(v);
  }

  static std::string PackHashState(const Digest& dg) { return kHashMagic + dg.Serialize(); }
  static Digest UnpackHashState(std::string_view s) {
    if (s.size() < 4 || s.substr(0, 4) != kHashMagic) throw Refuse{Dev::kInvalidInput};
    auto dg = Digest::Deserialize(s.substr(4));
    if (!dg) throw Refuse{Dev::kInvalidInput};
    return *dg;
  }

  std::string HashInit() {
    const uint32_t code = r_.U32();
    std::string_view x, y, id;
    if (code == 20) {
      x = r_.Bytes(64);
      y = r_.Bytes(64);
      id = r_.Bytes(1024);
    }
    r_.Done();
    const auto alg = HashAlgFromCode(code);
    if (!alg) throw Refuse{Dev::kHashAlgInvalid};
    Digest dg(*alg);
    if (x.empty() != y.empty()) throw Refuse{Dev::kInvalidInput};
    if (!x.empty()) {
      // A signer without an ID uses the default ID of the SM2 signature scheme.
      dg.Update(Sm2Z(Coordinate(x), Coordinate(y), id.empty() ? std::string_view(kDefaultSm2Id) : id));
    }
    std::string res;
    PutBytes(res, PackHashState(dg));
    return res;
  }

  std::string HashUpdate() {
    Digest dg = UnpackHashState(r_.Bytes(kMaxState));
    const std::string_view data = r_.Bytes(kMaxData);
    r_.Done();
    dg.Update(data);
    std::string res;
    PutBytes(res, PackHashState(dg));
    return res;
  }

  std::string HashFinal() {
    const Digest dg = UnpackHashState(r_.Bytes(kMaxState));
    r_.Done();
    std::string res;
    PutBytes(res, dg.Final());
    return res;
  }

  Store& store_;
  uint16_t cmd_;
  Reader r_;
  std::shared_ptr<const StoreData> data_;
};

}  // namespace

std::string Device::AnswerHeader(std::string_view request, uint16_t code) {
  std::string out;
  out.push_back(request.size() > 0 ? request[0] : '\0');
  out.push_back(static_cast<char>((request.size() > 1 ? static_cast<unsigned char>(request[1]) : 0) + 1));
  Quor::PutU16(out, code);
  return out;
}

std::string Device::Handle(std::string_view request) {
  if (request.size() < 2) return AnswerHeader(request, Dev::kInvalidInput);
  const uint16_t cmd = Quor::GetU16(request.data());
  try {
    Handler h(store_, cmd, request.substr(2));
    std::string result = h.Run();
    return AnswerHeader(request, Dev::kOk) + result;
  } catch (const Refuse& e) {
    return AnswerHeader(request, e.code);
  } catch (const Malformed&) {
    return AnswerHeader(request, Dev::kInvalidInput);
  } catch (const std::exception&) {
    return AnswerHeader(request, 99);  // "Device error": out of memory and the like
  }
}

}  // namespace QuorSim
