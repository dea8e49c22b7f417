// The shared exchange: answer checks, device-code reporting, the output copy
// rule and the guard, seen through exported command functions.
#include <gtest/gtest.h>
#include <quorsdf.h>

#include <new>
#include <stdexcept>

#include "client/Errors.h"
#include "commands/Exchange.h"
#include "commands/FakeDevice.h"

namespace {

using namespace QuorTest;

class Exchange : public ::testing::Test {
 protected:
  FakeSession s;
  unsigned char out[64];
  SGD_UINT32 outLen = 0xFFFF;

  void SetUp() override { std::memset(out, 0xEE, sizeof out); }
  bool OutUntouched() const {
    for (unsigned char b : out)
      if (b != 0xEE) return false;
    return outLen == 0xFFFF;
  }
};

TEST_F(Exchange, HeaderOnlyAnswerIsAnEmptyResult) {
  s.Reply(Answer(0));
  EXPECT_EQ(Quor_GetKeyLabel(s.handle(), 0, 3, out, &outLen), SDR_OK);
  EXPECT_EQ(outLen, 0u);
  EXPECT_EQ(s.fake().requests.at(0), Bin({0x08, 0x06}) + U32(0) + U32(3));
}

TEST_F(Exchange, ResultCopiedWithItsLength) {
  s.Reply(Answer(0, Lp("label-1")));
  EXPECT_EQ(Quor_GetKeyLabel(s.handle(), 1, 3, out, &outLen), SDR_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), outLen), "label-1");
  EXPECT_EQ(s.fake().LinesAt(1).front(), "Quor_GetKeyLabel  ----------begin----------");
  EXPECT_EQ(s.fake().LinesAt(1).back(), "Quor_GetKeyLabel  -----------end-----------");
}

TEST_F(Exchange, NullBufferStoresOnlyTheLength) {
  s.Reply(Answer(0, Lp("abcd")));
  EXPECT_EQ(Quor_GetKeyLabel(s.handle(), 1, 3, nullptr, &outLen), SDR_OK);
  EXPECT_EQ(outLen, 4u);
}

struct BadAnswer {
  const char* name;
  std::string answer;
};
void PrintTo(const BadAnswer& c, std::ostream* os) { *os << c.name; }

class MalformedAnswer : public Exchange, public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(MalformedAnswer, IsCommFailAndWritesNothing) {
  s.Reply(GetParam().answer);
  EXPECT_EQ(Quor_GetKeyLabel(s.handle(), 1, 3, out, &outLen), SDR_COMMFAIL);
  EXPECT_TRUE(OutUntouched());
}

INSTANTIATE_TEST_SUITE_P(All, MalformedAnswer,
                         ::testing::Values(BadAnswer{"TwoBytes", Bin({0x01, 0x03})}, BadAnswer{"Empty", ""},
                                           BadAnswer{"EndsInsideHeader", Bin({0x01, 0x03, 0x00})},
                                           BadAnswer{"EndsInsideLength", Answer(0, Bin({0, 0}))},
                                           BadAnswer{"LengthPastEnd", Answer(0, U32(9) + "abc")},
                                           BadAnswer{"LengthOf2To31", Answer(0, U32(0x80000000u) + "abc")},
                                           BadAnswer{"LengthAllOnes", Answer(0, U32(0xFFFFFFFFu) + "abc")}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Exchange, AnswerLongerThanTheBufferIsCommFail) {
  s.Reply(Answer(0, Lp(std::string(8400, 'x'))));
  EXPECT_EQ(Quor_GetKeyLabel(s.handle(), 1, 3, out, &outLen), SDR_COMMFAIL);
  EXPECT_TRUE(OutUntouched());
  EXPECT_EQ(s.fake().LinesAt(4).at(0), std::string("Quor_GetKeyLabel ") + ClientErrorText(309));
}

TEST_F(Exchange, TransportFailureLogsClientText) {
  s.Fail(304);
  EXPECT_EQ(Quor_DestroyKey(s.handle(), 0, 5), SDR_COMMFAIL);
  EXPECT_EQ(s.fake().LinesAt(4), std::vector<std::string>{"Quor_DestroyKey There is no host online"});
}

TEST_F(Exchange, DeviceCodeLoggedAndMapped) {
  s.Reply(Answer(21));
  EXPECT_EQ(Quor_DestroyKey(s.handle(), 0, 5), SDR_KEYNOTEXIST);
  EXPECT_EQ(s.fake().LinesAt(4),
            std::vector<std::string>{
                "Quor_DestroyKey HSM return [21]|[0X000015]: Key index is invalid or index(or block number) overflow"});
  EXPECT_TRUE(s.fake().LinesAt(1).size() == 1);  // begin line only
}

TEST_F(Exchange, UnknownDeviceCodeIsHardFail) {
  s.Reply(Answer(200));
  EXPECT_EQ(Quor_DestroyKey(s.handle(), 0, 5), SDR_HARDFAIL);
  EXPECT_EQ(s.fake().LinesAt(4).at(0), "Quor_DestroyKey HSM return [200]|[0X0000C8]: Unknow error");
}

TEST_F(Exchange, NullSessionLogsNothing) {
  EXPECT_EQ(Quor_DestroyKey(nullptr, 0, 5), SDR_INARGERR);
  EXPECT_EQ(Quor_GenerateRandom(nullptr, 4, out), SDR_INARGERR);
  EXPECT_TRUE(s.fake().lines.empty());
  EXPECT_TRUE(s.fake().requests.empty());
}

TEST_F(Exchange, NullBytesWithLengthIsArgumentError) {
  EXPECT_EQ(Quor_SetKeyLabel(s.handle(), 0, 1, nullptr, 4), SDR_INARGERR);
  EXPECT_TRUE(s.fake().requests.empty());
  s.Reply(Answer(0));
  EXPECT_EQ(Quor_SetKeyLabel(s.handle(), 0, 1, nullptr, 0), SDR_OK);
  EXPECT_EQ(s.fake().requests.at(0), Bin({0x08, 0x05}) + U32(0) + U32(1) + U32(0));
}

TEST(Guard, EveryExceptionBecomesACode) {
  FakeSession s;
  using Quor::Commands::Guard;
  auto run = [&](auto thrower) {
    return Guard(s.handle(), "T", [&](Quor::Commands::Call&) -> SGD_RV {
      thrower();
      return 0;
    });
  };
  EXPECT_EQ(run([] { throw Quor::Commands::Failure{SDR_KEYERR}; }), SDR_KEYERR);
  EXPECT_EQ(run([] { throw Quor::Exception(17, "x"); }), SDR_COMMFAIL);
  EXPECT_EQ(run([] { throw std::bad_alloc(); }), SDR_NOBUFFER);
  EXPECT_EQ(run([] { throw std::runtime_error("x"); }), SDR_UNKNOWERR);
  EXPECT_EQ(run([] { throw 5; }), SDR_UNKNOWERR);
}

}  // namespace
