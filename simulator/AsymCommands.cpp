// Request parsing and key lookup for the asymmetric commands; the
// cryptography is quorsim_crypto's.
#include "simulator/AsymCommands.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <optional>

#include "common/Bytes.h"
#include "simulator/crypto/Asymmetric.h"

namespace QuorSim {
namespace {

using namespace Asym;
using Quor::PutU32;

struct Stop {
  uint16_t code;
};

void Need(Rc rc) {
  if (rc != Rc::Ok) throw Stop{Code(rc)};
}

constexpr size_t kMaxKeyBytes = 4096;
constexpr size_t kMaxData = kSm2MaxPlain + 128;
constexpr uint16_t kKeyUsageError = 52;

void PutBytes(std::string& o, std::string_view s) {
  PutU32(o, static_cast<uint32_t>(s.size()));
  o += s;
}

bool SessionKeyLength(size_t n) { return n == 8 || n == 16 || n == 24 || n == 32; }

class AsymHandler {
 public:
  AsymHandler(Store& store, Reader& r) : store_(store), r_(r) {}

  std::string Run(uint16_t cmd) {
    switch (cmd) {
      case 0x0201: return RsaPublicKey();
      case 0x0216: return EccPublicKey();
      case 0x0202: return GenerateRsaPlain();
      case 0x0208: return GenerateEccPlain();
      case 0x0818: return GenerateWithLmk();
      case 0x0827: return PublicByPrivate();
      case 0x0832: return ReadKeyCipher();
      case 0x0833: return StoreKeyCipher();
      case 0x0203: return SessionKeyUnderRsa();
      case 0x0204: return ImportSessionKeyRsa();
      case 0x0209: return SessionKeyUnderEcc();
      case 0x0211: return ImportSessionKeyEcc();
      case 0x0206: return RsaEnvelope();
      case 0x0212: return EccEnvelope();
      case 0x0878: return RsaEncryptCmd();
      case 0x0879: return RsaDecryptCmd();
      case 0x0819: return RsaSignCmd();
      case 0x0820: return RsaVerifyCmd();
      case 0x0301: return RsaPublicOperation();
      case 0x0811: return RsaPrivateOperation();
      case 0x0829: return PrivateKeyCipherOperation();
      case 0x0303: return InternalEccSign();
      case 0x0812: return ExternalEccSign();
      case 0x0304: return EccVerify();
      case 0x0305: return EccEncrypt();
      case 0x0813: return EccDecrypt();
      case 0x0213: return KeyExchange();
      default: throw Stop{Dev::kUnknownCommand};  // ECIES and anything else
    }
  }

 private:
  const StoreData& D() {
    if (!data_) data_ = store_.Snapshot();
    return *data_;
  }
  std::string LmkBytes() { return D().lmk.sm4 + D().lmk.des3; }

  static uint32_t NeedIndex(uint32_t index) {
    if (index == 0 || index > kMaxSlot) throw Stop{Dev::kIndexInvalid};
    return index;
  }
  static uint32_t NeedUsage(uint32_t usage) {
    if (usage > 1) throw Stop{kKeyUsageError};
    return usage;
  }
  static void NeedCurve(uint32_t curve) {
    if (curve != kCurveSm2) throw Stop{Code(Rc::CurveFlag)};
  }

  const AsymKey& Stored(uint32_t type, uint32_t index, uint32_t usage) {
    NeedIndex(index);
    NeedUsage(usage);
    auto it = D().slots.find(index);
    if (it == D().slots.end()) throw Stop{Dev::kKeyNotExist};
    const auto& k = type == 1 ? it->second.rsa[usage] : it->second.sm2[usage];
    if (!k) throw Stop{Dev::kKeyNotExist};
    return *k;
  }
  RsaKey InternalRsa(uint32_t index, uint32_t usage) {
    RsaKey k;
    Need(RsaKey::FromBlob(Stored(1, index, usage).der, &k));
    return k;
  }
  Sm2Key InternalSm2(uint32_t index, uint32_t usage) {
    Sm2Key k;
    Need(Sm2Key::FromBlob(Stored(2, index, usage).der, &k));
    return k;
  }
  RsaKey SealedRsa(std::string_view sealed) {
    std::string blob;
    Need(LmkOpen(LmkBytes(), SealKind::Rsa, sealed, &blob));
    RsaKey k;
    const Rc rc = RsaKey::FromBlob(blob, &k);
    OPENSSL_cleanse(blob.data(), blob.size());
    Need(rc);
    return k;
  }
  Sm2Key SealedSm2(std::string_view sealed) {
    std::string blob;
    Need(LmkOpen(LmkBytes(), SealKind::Sm2, sealed, &blob));
    Sm2Key k;
    const Rc rc = Sm2Key::FromBlob(blob, &k);
    OPENSSL_cleanse(blob.data(), blob.size());
    Need(rc);
    return k;
  }
  std::string Seal(const RsaKey& k) {
    std::string blob, sealed;
    Need(k.ToBlob(&blob));
    const Rc rc = LmkSeal(LmkBytes(), SealKind::Rsa, blob, &sealed);
    OPENSSL_cleanse(blob.data(), blob.size());
    Need(rc);
    return sealed;
  }
  std::string Seal(const Sm2Key& k) {
    std::string sealed;
    Need(LmkSeal(LmkBytes(), SealKind::Sm2, k.ToBlob(), &sealed));
    return sealed;
  }
  std::string WrapSessionKey(std::string_view key) {
    if (!SessionKeyLength(key.size())) throw Stop{Dev::kKeyLengthError};
    std::string cipher;
    if (!LmkWrap(D().lmk, key, &cipher)) throw Stop{Dev::kKeyLengthError};
    return cipher;
  }

  // int index; index 0: bytes(modulus), bytes(exponent).
  RsaKey RsaPublicFromRequest(uint32_t usage) {
    const uint32_t index = r_.U32();
    if (index != 0) return InternalRsa(index, usage);
    const std::string_view n = r_.Bytes(kMaxKeyBytes), e = r_.Bytes(kMaxKeyBytes);
    RsaKey k;
    Need(RsaKey::FromPublic(n, e, &k));
    return k;
  }
  // int index; index 0: bytes(x), bytes(y).
  Sm2Key EccPublicFromRequest(uint32_t usage) {
    const uint32_t index = r_.U32();
    if (index != 0) return InternalSm2(index, usage);
    const std::string_view x = r_.Bytes(kMaxKeyBytes), y = r_.Bytes(kMaxKeyBytes);
    Sm2Key k;
    Need(Sm2Key::FromPublic(x, y, &k));
    return k;
  }
  std::string RsaPublicKey() {
    const uint32_t index = r_.U32(), usage = r_.U32();
    r_.Done();
    RsaComponents c;
    Need(InternalRsa(index, usage).Export(&c));
    std::string o;
    PutBytes(o, c.n);
    PutBytes(o, c.e);
    PutBytes(o, "");
    return o;
  }

  std::string EccPublicKey() {
    const uint32_t index = r_.U32(), usage = r_.U32();
    r_.Done();
    const Sm2Key k = InternalSm2(index, usage);
    std::string o;
    PutU32(o, kCurveSm2);
    PutBytes(o, k.x());
    PutBytes(o, k.y());
    return o;
  }

  std::string GenerateRsaPlain() {
    const uint32_t bits = r_.U32(), e = r_.U32();
    r_.Done();
    RsaKey k;
    Need(RsaKey::Generate(bits, e, &k));
    RsaComponents c;
    Need(k.Export(&c));
    std::string o;
    for (const std::string* s : {&c.n, &c.e, &c.d, &c.p, &c.q, &c.dp, &c.dq, &c.qinv}) PutBytes(o, *s);
    return o;
  }

  std::string GenerateEccPlain() {
    const uint32_t curve = r_.U32();
    r_.Done();
    NeedCurve(curve);
    Sm2Key k;
    Need(Sm2Key::Generate(&k));
    std::string o;
    PutBytes(o, k.x());
    PutBytes(o, k.y());
    PutBytes(o, k.d());
    return o;
  }

  std::string GenerateWithLmk() {
    const uint32_t type = r_.U32();
    const uint32_t a = r_.U32(), b = r_.U32();
    r_.Done();
    std::string o;
    if (type == 1) {
      RsaKey k;
      Need(RsaKey::Generate(a, b, &k));
      RsaComponents c;
      Need(k.Export(&c));
      PutBytes(o, c.n);
      PutBytes(o, c.e);
      PutBytes(o, Seal(k));
    } else if (type == 2) {
      NeedCurve(b);
      Sm2Key k;
      Need(Sm2Key::Generate(&k));
      PutBytes(o, k.x());
      PutBytes(o, k.y());
      PutBytes(o, Seal(k));
    } else {
      throw Stop{Dev::kKeyTypeInvalid};
    }
    return o;
  }

  std::string PublicByPrivate() {
    const uint32_t type = r_.U32();
    const std::optional<uint32_t> curve = type == 2 ? std::optional(r_.U32()) : std::nullopt;
    const uint32_t status = r_.U32();
    const std::string_view priv = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    if (status > 1) throw Stop{Dev::kInvalidInput};
    std::string o;
    if (type == 1) {
      RsaKey k;
      if (status == 0)
        Need(RsaKey::FromBlob(priv, &k));
      else
        k = SealedRsa(priv);
      RsaComponents c;
      Need(k.Export(&c));
      PutBytes(o, c.n);
      PutBytes(o, c.e);
    } else if (type == 2) {
      NeedCurve(*curve);
      Sm2Key k;
      if (status == 0)
        Need(Sm2Key::FromPrivate(priv, &k));
      else
        k = SealedSm2(priv);
      PutU32(o, kCurveSm2);
      PutBytes(o, k.x());
      PutBytes(o, k.y());
    } else {
      throw Stop{Dev::kKeyTypeInvalid};
    }
    return o;
  }

  static uint32_t NeedAsymType(uint32_t type) {
    if (type != 1 && type != 2) throw Stop{Dev::kKeyTypeInvalid};
    return type;
  }

  std::string ReadKeyCipher() {
    const uint32_t type = NeedAsymType(r_.U32()), index = r_.U32(), usage = r_.U32();
    r_.Done();
    std::string o;
    if (type == 1) {
      const RsaKey k = InternalRsa(index, usage);
      RsaComponents c;
      Need(k.Export(&c));
      PutBytes(o, c.n);
      PutBytes(o, c.e);
      PutBytes(o, Seal(k));
    } else {
      const Sm2Key k = InternalSm2(index, usage);
      PutBytes(o, k.x());
      PutBytes(o, k.y());
      PutBytes(o, Seal(k));
      PutU32(o, kCurveSm2);
    }
    return o;
  }

  std::string StoreKeyCipher() {
    const uint32_t type = NeedAsymType(r_.U32()), index = r_.U32();
    const uint32_t curve = type == 2 ? r_.U32() : kCurveSm2;
    const uint32_t usage = r_.U32();
    const std::string_view p1 = r_.Bytes(kMaxKeyBytes), p2 = r_.Bytes(kMaxKeyBytes), p3 = r_.Bytes(kMaxKeyBytes);
    const uint32_t flag = r_.U32();
    r_.Done();
    if (flag != 1 && flag != 2) throw Malformed();
    NeedIndex(index);
    NeedUsage(usage);
    NeedCurve(curve);
    std::string blob;
    if (type == 1) {
      const RsaKey k = SealedRsa(p3);
      RsaKey pub;
      Need(RsaKey::FromPublic(p1, p2, &pub));
      if (EVP_PKEY_eq(k.pkey(), pub.pkey()) != 1) throw Stop{Code(Rc::KeyDataInvalid)};
      Need(k.ToBlob(&blob));
    } else {
      const Sm2Key k = SealedSm2(p3);
      Sm2Key pub;
      Need(Sm2Key::FromPublic(p1, p2, &pub));
      if (pub.x() != k.x() || pub.y() != k.y()) throw Stop{Code(Rc::KeyDataInvalid)};
      blob = k.ToBlob();
    }
    const uint16_t rc = store_.Modify([&](StoreData& d) -> uint16_t {
      Slot& s = d.slots[index];
      (type == 1 ? s.rsa[usage] : s.sm2[usage]) = AsymKey{blob};
      return Dev::kOk;
    });
    OPENSSL_cleanse(blob.data(), blob.size());
    if (rc != Dev::kOk) throw Stop{rc};
    return {};
  }

  std::string SessionKeyUnderRsa() {
    const RsaKey pub = RsaPublicFromRequest(1);
    const uint32_t len = r_.U32();
    r_.Done();
    if (!SessionKeyLength(len)) throw Stop{Dev::kKeyLengthError};
    std::string key, wrapped;
    RandomBytes(len, &key);
    Need(RsaEncrypt(pub, kPadPkcs1, kHashNone, {}, key, &wrapped));
    std::string o;
    PutBytes(o, wrapped);
    PutBytes(o, WrapSessionKey(key));
    OPENSSL_cleanse(key.data(), key.size());
    return o;
  }

  std::string ImportSessionKeyRsa() {
    const uint32_t index = r_.U32();
    const std::string_view wrapped = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    std::string key;
    Need(RsaDecrypt(InternalRsa(NeedIndex(index), 1), kPadPkcs1, kHashNone, {}, wrapped, &key));
    std::string o;
    PutBytes(o, WrapSessionKey(key));
    OPENSSL_cleanse(key.data(), key.size());
    return o;
  }

  std::string SessionKeyUnderEcc() {
    const Sm2Key pub = EccPublicFromRequest(1);
    const uint32_t len = r_.U32();
    r_.Done();
    if (!SessionKeyLength(len)) throw Stop{Dev::kKeyLengthError};
    std::string key, cipher;
    RandomBytes(len, &key);
    Need(Sm2Encrypt(pub, key, &cipher));
    std::string o;
    PutBytes(o, cipher);
    PutBytes(o, WrapSessionKey(key));
    OPENSSL_cleanse(key.data(), key.size());
    return o;
  }

  std::string ImportSessionKeyEcc() {
    const uint32_t index = r_.U32();
    const std::string_view cipher = r_.Bytes(kMaxData);
    r_.Done();
    std::string key;
    Need(Sm2Decrypt(InternalSm2(NeedIndex(index), 1), cipher, &key));
    std::string o;
    PutBytes(o, WrapSessionKey(key));
    OPENSSL_cleanse(key.data(), key.size());
    return o;
  }

  std::string RsaEnvelope() {
    const uint32_t index = r_.U32();
    const std::string_view n = r_.Bytes(kMaxKeyBytes), e = r_.Bytes(kMaxKeyBytes), data = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    std::string out;
    Need(RsaEnvelopeExchange(InternalRsa(NeedIndex(index), 1), n, e, data, &out));
    std::string o;
    PutBytes(o, out);
    return o;
  }

  std::string EccEnvelope() {
    const uint32_t index = r_.U32();
    const std::string_view x = r_.Bytes(kMaxKeyBytes), y = r_.Bytes(kMaxKeyBytes), c = r_.Bytes(kMaxData);
    r_.Done();
    std::string out;
    Need(Sm2EnvelopeExchange(InternalSm2(NeedIndex(index), 1), x, y, c, &out));
    std::string o;
    PutBytes(o, out);
    return o;
  }

  // padding 2: int 1, int hash, bytes(label), the byte 3B.
  struct Oaep {
    uint32_t hash = kHashNone;
    std::string_view label;
  };
  Oaep ReadOaep(uint32_t padding) {
    Oaep o;
    if (padding != kPadOaep) return o;
    if (r_.U32() != 1) throw Malformed();
    o.hash = r_.U32();
    o.label = r_.Bytes(1024);
    if (r_.Raw(1)[0] != 0x3B) throw Malformed();
    return o;
  }

  std::string RsaEncryptCmd() {
    const RsaKey key = RsaPublicFromRequest(1);
    const uint32_t padding = r_.U32();
    const Oaep oaep = ReadOaep(padding);
    const std::string_view data = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    std::string out;
    Need(RsaEncrypt(key, padding, oaep.hash, oaep.label, data, &out));
    std::string o;
    PutBytes(o, out);
    return o;
  }

  std::string RsaDecryptCmd() {
    const uint32_t index = r_.U32();
    const std::string_view sealed = index == 0 ? r_.Bytes(kMaxKeyBytes) : std::string_view();
    const uint32_t padding = r_.U32();
    const Oaep oaep = ReadOaep(padding);
    const std::string_view data = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    const RsaKey key = index == 0 ? SealedRsa(sealed) : InternalRsa(index, 1);
    std::string out;
    Need(RsaDecrypt(key, padding, oaep.hash, oaep.label, data, &out));
    std::string o;
    PutBytes(o, out);
    OPENSSL_cleanse(out.data(), out.size());
    return o;
  }

  // int padding, int hash mode; padding 4: int 1, int hash, int salt length.
  struct SigParams {
    uint32_t padding = 0, hash = kHashNone, salt = 0;
  };
  SigParams ReadSigParams() {
    SigParams p;
    p.padding = r_.U32();
    r_.U32();  // hash mode: the client has already put any DigestInfo in front of the data
    if (p.padding == kPadPss) {
      if (r_.U32() != 1) throw Malformed();
      p.hash = r_.U32();
      p.salt = r_.U32();
    }
    return p;
  }

  std::string RsaSignCmd() {
    const SigParams p = ReadSigParams();
    const std::string_view data = r_.Raw(LengthAtMost(kMaxKeyBytes));
    const uint32_t index = r_.U32();
    const std::string_view sealed = index == 0 ? r_.Bytes(kMaxKeyBytes) : std::string_view();
    r_.Done();
    const RsaKey key = index == 0 ? SealedRsa(sealed) : InternalRsa(index, 0);
    std::string sig;
    Need(RsaSign(key, p.padding, p.hash, p.salt, data, &sig));
    std::string o;
    PutBytes(o, sig);
    return o;
  }

  std::string RsaVerifyCmd() {
    const SigParams p = ReadSigParams();
    const std::string_view sig = r_.Bytes(kMaxKeyBytes);
    const std::string_view data = r_.Raw(LengthAtMost(kMaxKeyBytes));
    const RsaKey key = RsaPublicFromRequest(0);
    r_.Done();
    Need(RsaVerify(key, p.padding, p.hash, p.salt, data, sig));
    return {};
  }

  std::string RsaPublicOperation() {
    const RsaKey key = RsaPublicFromRequest(0);
    const std::string_view data = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    std::string out;
    Need(RsaPublicRaw(key, data, &out));
    std::string o;
    PutBytes(o, out);
    return o;
  }

  std::string RsaPrivateOperation() {
    const uint32_t usage = r_.U32(), index = r_.U32();
    RsaComponents c;
    if (index == 0)
      for (std::string* s : {&c.n, &c.e, &c.d, &c.p, &c.q, &c.dp, &c.dq, &c.qinv}) *s = r_.Bytes(kMaxKeyBytes);
    const std::string_view data = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    RsaKey key;
    if (index == 0) {
      // A public key (empty private parts) is no key for this operation.
      if (c.d.empty()) throw Stop{Code(Rc::KeyDataInvalid)};
      Need(RsaKey::FromComponents(c, &key));
    } else {
      key = InternalRsa(index, usage);
    }
    for (std::string* s : {&c.d, &c.p, &c.q, &c.dp, &c.dq, &c.qinv}) OPENSSL_cleanse(s->data(), s->size());
    std::string out;
    Need(RsaPrivateRaw(key, data, &out));
    std::string o;
    PutBytes(o, out);
    return o;
  }

  std::string PrivateKeyCipherOperation() {
    const uint32_t type = r_.U32();
    uint32_t curve = kCurveSm2, value = 0;
    if (type == 2) {
      curve = r_.U32();
      value = r_.U32();
    }
    const std::string_view sealed = r_.Bytes(kMaxKeyBytes), data = r_.Bytes(kMaxData);
    r_.Done();
    std::string out;
    if (type == 1) {
      Need(RsaPrivateRaw(SealedRsa(sealed), data, &out));
    } else if (type == 2) {
      NeedCurve(curve);
      const Sm2Key k = SealedSm2(sealed);
      if (value == 0)
        Need(Sm2Sign(k, data, &out));
      else if (value == 1)
        Need(Sm2Decrypt(k, data, &out));
      else
        throw Stop{Dev::kInvalidInput};
    } else {
      throw Stop{Dev::kKeyTypeInvalid};
    }
    std::string o;
    PutBytes(o, out);
    return o;
  }

  std::string InternalEccSign() {
    const uint16_t curve = r_.U16();
    const uint32_t index = r_.U32();
    const std::string_view hash = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    NeedCurve(curve);
    std::string sig;
    Need(Sm2Sign(InternalSm2(NeedIndex(index), 0), hash, &sig));
    std::string o;
    PutBytes(o, sig);
    return o;
  }

  std::string ExternalEccSign() {
    const uint32_t curve = r_.U32();
    const std::string_view priv = r_.Bytes(kMaxKeyBytes), hash = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    NeedCurve(curve);
    Sm2Key k;
    Need(Sm2Key::FromPrivate(priv, &k));
    std::string sig;
    Need(Sm2Sign(k, hash, &sig));
    std::string o;
    PutBytes(o, sig);
    return o;
  }

  std::string EccVerify() {
    const uint16_t curve = r_.U16();
    const Sm2Key key = EccPublicFromRequest(0);
    const std::string_view hash = r_.Bytes(kMaxKeyBytes), sig = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    NeedCurve(curve);
    Need(Sm2Verify(key, hash, sig));
    return {};
  }

  std::string EccEncrypt() {
    const uint16_t curve = r_.U16();
    const Sm2Key key = EccPublicFromRequest(1);
    const std::string_view data = r_.Bytes(kMaxData);
    r_.Done();
    NeedCurve(curve);
    std::string out;
    Need(Sm2Encrypt(key, data, &out));
    std::string o;
    PutBytes(o, out);
    return o;
  }

  std::string EccDecrypt() {
    const uint32_t curve = r_.U32(), usage = r_.U32(), index = r_.U32();
    const std::string_view priv = index == 0 ? r_.Bytes(kMaxKeyBytes) : std::string_view();
    const std::string_view cipher = r_.Bytes(kMaxData);
    r_.Done();
    NeedCurve(curve);
    Sm2Key key;
    if (index == 0)
      Need(Sm2Key::FromPrivate(priv, &key));
    else
      key = InternalSm2(index, usage);
    std::string out;
    Need(Sm2Decrypt(key, cipher, &out));
    std::string o;
    PutBytes(o, out);
    OPENSSL_cleanse(out.data(), out.size());
    return o;
  }

  // int length, then x || y.
  std::pair<std::string_view, std::string_view> Point() {
    const std::string_view xy = r_.Raw(LengthAtMost(4 * kSm2Bytes));
    if (xy.empty() || xy.size() % 2 != 0) throw Stop{Dev::kInvalidInput};
    return {xy.substr(0, xy.size() / 2), xy.substr(xy.size() / 2)};
  }
  uint32_t LengthAtMost(size_t max) {
    const uint32_t n = r_.U32();
    if (n > max) throw Malformed();
    return n;
  }

  std::string KeyExchange() {
    Sm2ExchangeParams p;
    p.role = r_.U32();
    p.peerId = r_.Bytes(kSm2MaxId);
    const auto [px, py] = Point();
    const auto [rx, ry] = Point();
    const uint32_t index = r_.U32();
    p.keyLen = r_.U32();
    p.ownId = r_.Bytes(kSm2MaxId);
    const auto [ox, oy] = Point();
    const std::string_view tmpPriv = r_.Bytes(kMaxKeyBytes);
    r_.Done();
    if (!SessionKeyLength(p.keyLen)) throw Stop{Dev::kKeyLengthError};
    const Sm2Key own = InternalSm2(NeedIndex(index), 1);
    Sm2Key ownTmp, peer, peerTmp;
    Need(Sm2Key::FromPair(tmpPriv, ox, oy, &ownTmp));
    Need(Sm2Key::FromPublic(px, py, &peer));
    Need(Sm2Key::FromPublic(rx, ry, &peerTmp));
    p.ownStatic = &own;
    p.ownTemp = &ownTmp;
    p.peerStatic = &peer;
    p.peerTemp = &peerTmp;
    std::string key;
    Need(Sm2KeyExchange(p, &key));
    std::string o;
    PutBytes(o, WrapSessionKey(key));
    OPENSSL_cleanse(key.data(), key.size());
    return o;
  }

  Store& store_;
  Reader& r_;
  std::shared_ptr<const StoreData> data_;
};

}  // namespace

bool IsAsymCommand(uint16_t cmd, const Reader& params) {
  switch (cmd) {
    case 0x0832:
    case 0x0833: {
      Reader peek = params;
      return peek.Remaining() >= 4 && peek.U32() != 0;
    }
    case 0x0201: case 0x0202: case 0x0203: case 0x0204: case 0x0206: case 0x0208: case 0x0209:
    case 0x0211: case 0x0212: case 0x0213: case 0x0216: case 0x0301: case 0x0303: case 0x0304:
    case 0x0305: case 0x0306: case 0x0307: case 0x0811: case 0x0812: case 0x0813: case 0x0818:
    case 0x0819: case 0x0820: case 0x0827: case 0x0829: case 0x0878: case 0x0879:
      return true;
    default:
      return false;
  }
}

uint16_t RunAsymCommand(Store& store, uint16_t cmd, Reader& params, std::string* out) {
  try {
    AsymHandler h(store, params);
    *out = h.Run(cmd);
    return Dev::kOk;
  } catch (const Stop& s) {
    return s.code;
  }
}

}  // namespace QuorSim
