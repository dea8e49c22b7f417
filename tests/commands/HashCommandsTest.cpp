// Hash commands and the SDF hash with its state kept in the session.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include "commands/FakeDevice.h"

namespace {

using namespace QuorTest;

const unsigned char kX[32] = {1};
const unsigned char kY[32] = {2};

TEST(HashInitCommand, RequestLayouts) {
  FakeSession s;
  s.fake().answerOkWhenEmpty = true;
  unsigned char state[64];
  SGD_UINT32 len = 0;
  EXPECT_EQ(Quor_HashInit(s.handle(), 6, kX, 32, kY, 32, nullptr, 0, state, &len), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({5, 1}) + U32(6));
  EXPECT_EQ(Quor_HashInit(s.handle(), 20, nullptr, 0, nullptr, 0, nullptr, 0, state, &len), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({5, 1}) + U32(20) + U32(0) + U32(0) + U32(0));
  EXPECT_EQ(Quor_HashInit(s.handle(), 20, kX, 32, kY, 32, reinterpret_cast<const unsigned char*>("id"), 2, state, &len),
            SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({5, 1}) + U32(20) + Lp(std::string(reinterpret_cast<const char*>(kX), 32)) +
                                          Lp(std::string(reinterpret_cast<const char*>(kY), 32)) + Lp("id"));
  const size_t sent = s.fake().requests.size();
  EXPECT_EQ(Quor_HashInit(s.handle(), 4, nullptr, 0, nullptr, 0, nullptr, 0, state, &len), SDR_INARGERR);
  EXPECT_EQ(Quor_HashInit(s.handle(), 20, kX, 32, nullptr, 32, nullptr, 0, state, &len), SDR_INARGERR);
  EXPECT_EQ(Quor_HashInit(s.handle(), 20, nullptr, 0, nullptr, 0, nullptr, 5, state, &len), SDR_INARGERR);
  EXPECT_EQ(Quor_HashInit(s.handle(), 6, nullptr, 0, nullptr, 0, nullptr, 0, state, nullptr), SDR_INARGERR);
  EXPECT_EQ(Quor_HashUpdate(s.handle(), nullptr, 0, kX, 1, state, &len), SDR_INARGERR);
  EXPECT_EQ(Quor_HashUpdate(s.handle(), state, 1, nullptr, 1, state, &len), SDR_INARGERR);
  EXPECT_EQ(Quor_HashFinal(s.handle(), nullptr, 0, state, &len), SDR_INARGERR);
  EXPECT_EQ(s.fake().requests.size(), sent);
}

TEST(HashFinalCommand, DigestLongerThanAnyHashRefused) {
  FakeSession s;
  s.Reply(Answer(0, Lp(std::string(65, 'd'))));
  unsigned char digest[64];
  SGD_UINT32 len = 0;
  EXPECT_EQ(Quor_HashFinal(s.handle(), kX, 4, digest, &len), SDR_COMMFAIL);
  s.Reply(Answer(0, Lp(std::string(64, 'd'))));
  EXPECT_EQ(Quor_HashFinal(s.handle(), kX, 4, digest, &len), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({5, 3}) + Lp(std::string(reinterpret_cast<const char*>(kX), 4)));
}

class SdfHash : public ::testing::Test {
 protected:
  FakeSession s;
  void Init(SGD_UINT32 alg = SGD_SHA256) {
    s.Reply(Answer(0, Lp("S0")));
    ASSERT_EQ(SDF_HashInit(s.handle(), alg, nullptr, nullptr, 0), SDR_OK);
  }
};

TEST_F(SdfHash, StepsOutOfOrder) {
  unsigned char data[4] = {};
  unsigned char digest[32];
  SGD_UINT32 len = 0;
  EXPECT_EQ(SDF_HashUpdate(s.handle(), data, 4), SDR_STEPERR);
  EXPECT_EQ(SDF_HashFinal(s.handle(), digest, &len), SDR_STEPERR);
  Init();
  s.Reply(Answer(0, Lp(std::string(32, 'h'))));
  EXPECT_EQ(SDF_HashFinal(s.handle(), digest, &len), SDR_OK);
  EXPECT_EQ(len, 32u);
  EXPECT_EQ(SDF_HashFinal(s.handle(), digest, &len), SDR_STEPERR);
  EXPECT_EQ(s.fake().requests.size(), 2u);
}

TEST_F(SdfHash, UpdateSplitsAndCarriesTheState) {
  Init();
  s.Reply(Answer(0, Lp("S1")));
  s.Reply(Answer(0, Lp("S2-longer")));
  s.Reply(Answer(0, Lp("S3")));
  std::vector<unsigned char> data(20000, 0x61);
  ASSERT_EQ(SDF_HashUpdate(s.handle(), data.data(), 20000), SDR_OK);
  const auto& r = s.fake().requests;
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[1].substr(0, 12), Bin({5, 2}) + Lp("S0") + U32(8192));
  EXPECT_EQ(r[1].size(), 2 + 6 + 4 + 8192u);
  EXPECT_EQ(r[2].substr(0, 12), Bin({5, 2}) + Lp("S1") + U32(8192));
  EXPECT_EQ(r[3].substr(2, 4 + 9), Lp("S2-longer"));
  EXPECT_EQ(r[3].size(), 2 + 13 + 4 + 3616u);
  s.Reply(Answer(0, Lp("D")));
  unsigned char digest[64];
  SGD_UINT32 len = 0;
  ASSERT_EQ(SDF_HashFinal(s.handle(), digest, &len), SDR_OK);
  EXPECT_EQ(r.back(), Bin({5, 3}) + Lp("S3"));
  // Zero bytes: no command; null data with a length: argument error.
  Init();
  const size_t sent = r.size();
  EXPECT_EQ(SDF_HashUpdate(s.handle(), nullptr, 0), SDR_OK);
  EXPECT_EQ(SDF_HashUpdate(s.handle(), nullptr, 5), SDR_INARGERR);
  EXPECT_EQ(r.size(), sent);
}

TEST_F(SdfHash, FailedUpdateKeepsLastGoodState) {
  Init();
  s.Reply(Answer(0, Lp("S1")));
  s.Reply(Answer(79));
  std::vector<unsigned char> data(9000, 1);
  EXPECT_EQ(SDF_HashUpdate(s.handle(), data.data(), 9000), SDR_ALGNOTSUPPORT);
  EXPECT_EQ(s.fake().LinesAt(4).back(), "SDF_HashUpdate error [16777225]|[0X1000009]");
  s.Reply(Answer(0, Lp("D")));
  unsigned char digest[64];
  SGD_UINT32 len = 0;
  ASSERT_EQ(SDF_HashFinal(s.handle(), digest, &len), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(), Bin({5, 3}) + Lp("S1"));
}

TEST_F(SdfHash, StateLongerThanItsBufferRefused) {
  s.Reply(Answer(0, Lp(std::string(513, 's'))));
  EXPECT_EQ(SDF_HashInit(s.handle(), SGD_SHA1, nullptr, nullptr, 0), SDR_COMMFAIL);
  unsigned char data[1] = {};
  EXPECT_EQ(SDF_HashUpdate(s.handle(), data, 1), SDR_STEPERR);
}

TEST_F(SdfHash, InitIdentifiersAndPublicKey) {
  Init();
  EXPECT_EQ(SDF_HashInit(s.handle(), 3, nullptr, nullptr, 0), SDR_ALGNOTSUPPORT);
  // The running hash survives the refused init.
  s.Reply(Answer(0, Lp("D")));
  unsigned char digest[64];
  SGD_UINT32 len = 0;
  EXPECT_EQ(SDF_HashFinal(s.handle(), digest, &len), SDR_OK);

  ECCrefPublicKey pub{};
  pub.bits = 256;
  pub.x[63] = 0x11;
  pub.y[63] = 0x22;
  s.fake().answerOkWhenEmpty = true;
  EXPECT_EQ(SDF_HashInit(s.handle(), SGD_SHA256, &pub, nullptr, 16), SDR_OK);  // key ignored
  EXPECT_EQ(s.fake().requests.back(), Bin({5, 1}) + U32(6));
  EXPECT_EQ(SDF_HashInit(s.handle(), SGD_SM3, &pub, nullptr, 16), SDR_INARGERR);
  EXPECT_EQ(SDF_HashInit(s.handle(), SGD_SM3, &pub, nullptr, 0), SDR_OK);
  EXPECT_EQ(s.fake().requests.back(),
            Bin({5, 1}) + U32(20) + Lp(std::string(31, '\0') + "\x11") + Lp(std::string(31, '\0') + "\x22") + U32(0));
  pub.bits = 520;  // more than the arrays hold
  EXPECT_EQ(SDF_HashInit(s.handle(), SGD_SM3, &pub, nullptr, 0), SDR_INARGERR);
}

}  // namespace
