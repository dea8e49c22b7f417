// The SM2 key exchange: both roles agree, and a known answer derived with the
// independent implementation in sm2_exchange_vector.py.
#include <gtest/gtest.h>

#include "simulator/crypto/Asymmetric.h"
#include "tests/simulator_crypto/TestSupport.h"

namespace {

using namespace QuorSim::Asym;
using namespace TestSupport;

const std::string kIdA = "alice@example.com";
const std::string kIdB = "bob@example.com";

struct Party {
  Sm2Key sk, tmp, pub, tmpPub;  // private keys and their public halves
  static Party Of(std::string_view d, std::string_view r) {
    Party p;
    EXPECT_EQ(Sm2Key::FromPrivate(d, &p.sk), Rc::Ok);
    EXPECT_EQ(Sm2Key::FromPrivate(r, &p.tmp), Rc::Ok);
    EXPECT_EQ(Sm2Key::FromPublic(p.sk.x(), p.sk.y(), &p.pub), Rc::Ok);
    EXPECT_EQ(Sm2Key::FromPublic(p.tmp.x(), p.tmp.y(), &p.tmpPub), Rc::Ok);
    return p;
  }
  static Party Random() {
    Sm2Key d, r;
    EXPECT_EQ(Sm2Key::Generate(&d), Rc::Ok);
    EXPECT_EQ(Sm2Key::Generate(&r), Rc::Ok);
    return Of(d.d(), r.d());
  }
};

Rc Agree(uint32_t role, const Party& own, std::string_view ownId, const Party& peer, std::string_view peerId,
         size_t keyLen, std::string* key) {
  Sm2ExchangeParams p;
  p.role = role;
  p.ownStatic = &own.sk;
  p.ownTemp = &own.tmp;
  p.ownId = ownId;
  p.peerStatic = &peer.pub;
  p.peerTemp = &peer.tmpPub;
  p.peerId = peerId;
  p.keyLen = keyLen;
  return Sm2KeyExchange(p, key);
}

TEST(Sm2Exchange, KnownAnswer) {
  const Party a = Party::Of(Hex("6FCBA2EF9AE0AB902BC3BDE3FF915D44BA4CC78F88E2F8E7F8996D3B8CCEEDEE"),
                            Hex("83A2C9C8B96E5AF70BD480B472409A9A327257F1EBB73F5B073354B248668563"));
  const Party b = Party::Of(Hex("5E35D7D3F3C54DBAC72E61819E730B019A84208CA3A35E4C2E353DFCCB2A3B53"),
                            Hex("33FE21940342161C55619C4A0C060293D543C80AF19748CE176D83477DE71C80"));
  struct Case {
    std::string idA, idB;
    size_t len;
    const char* key;
  } cases[] = {
      {kIdA, kIdB, 16, "5167A5D100C88B2988AEDB713F4ECC22"},
      {kIdA, kIdB, 48,
       "5167A5D100C88B2988AEDB713F4ECC220A8B4E94A8C4017485D4B6C35C26C12F6220C7C9BDA2057645F8DCA2652301AD"},
      {"", "", 16, "EA222BFE341B497A7E4568B9F9115251"},  // empty IDs are the default ID
  };
  for (const auto& c : cases) {
    std::string ka, kb;
    ASSERT_EQ(Agree(0, a, c.idA, b, c.idB, c.len, &ka), Rc::Ok);
    ASSERT_EQ(Agree(1, b, c.idB, a, c.idA, c.len, &kb), Rc::Ok);
    EXPECT_EQ(ToHex(ka), c.key) << c.len;
    EXPECT_EQ(ToHex(kb), c.key) << c.len;
  }
}

TEST(Sm2Exchange, BothRolesAgreeOnFreshKeys) {
  for (size_t len : {1u, 16u, 33u}) {
    const Party a = Party::Random(), b = Party::Random();
    std::string ka, kb;
    ASSERT_EQ(Agree(0, a, kIdA, b, kIdB, len, &ka), Rc::Ok);
    ASSERT_EQ(Agree(1, b, kIdB, a, kIdA, len, &kb), Rc::Ok);
    EXPECT_EQ(ka.size(), len);
    EXPECT_EQ(ka, kb);
  }
}

TEST(Sm2Exchange, MismatchedViewsGiveDifferentKeys) {
  const Party a = Party::Random(), b = Party::Random(), c = Party::Random();
  std::string ref, other;
  ASSERT_EQ(Agree(0, a, kIdA, b, kIdB, 16, &ref), Rc::Ok);
  struct Case {
    const char* name;
    uint32_t role;
    const Party* own;
    std::string ownId;
    const Party* peer;
    std::string peerId;
  } cases[] = {
      {"responder with a wrong sponsor ID", 1, &b, kIdB, &a, "ALICE"},
      {"both as sponsor", 0, &b, kIdB, &a, kIdA},
      {"responder talking to someone else", 1, &b, kIdB, &c, kIdA},
  };
  for (const auto& k : cases) {
    ASSERT_EQ(Agree(k.role, *k.own, k.ownId, *k.peer, k.peerId, 16, &other), Rc::Ok) << k.name;
    EXPECT_NE(other, ref) << k.name;
  }
}

TEST(Sm2Exchange, RefusesBadParameters) {
  const Party a = Party::Random(), b = Party::Random();
  std::string key = "untouched";
  EXPECT_EQ(Agree(2, a, kIdA, b, kIdB, 16, &key), Rc::InvalidInput);
  EXPECT_EQ(Agree(0, a, kIdA, b, kIdB, 0, &key), Rc::InvalidInput);
  EXPECT_EQ(Agree(0, a, kIdA, b, kIdB, kSm2MaxAgreedKey + 1, &key), Rc::InvalidInput);
  EXPECT_EQ(Agree(0, a, std::string(kSm2MaxId + 1, 'i'), b, kIdB, 16, &key), Rc::InvalidInput);
  EXPECT_EQ(Agree(0, a, kIdA, b, std::string(kSm2MaxId + 1, 'i'), 16, &key), Rc::InvalidInput);
  EXPECT_EQ(key, "untouched");

  Sm2ExchangeParams p;
  p.ownStatic = &a.pub;  // public only
  p.ownTemp = &a.tmp;
  p.peerStatic = &b.pub;
  p.peerTemp = &b.tmpPub;
  p.keyLen = 16;
  EXPECT_EQ(Sm2KeyExchange(p, &key), Rc::InvalidInput);
  p.ownStatic = &a.sk;
  p.peerTemp = nullptr;
  EXPECT_EQ(Sm2KeyExchange(p, &key), Rc::InvalidInput);
  const Sm2Key empty;
  p.peerTemp = &empty;
  EXPECT_EQ(Sm2KeyExchange(p, &key), Rc::InvalidInput);
  p.peerTemp = &b.tmpPub;
  EXPECT_EQ(Sm2KeyExchange(p, &key), Rc::Ok);
}

}  // namespace
