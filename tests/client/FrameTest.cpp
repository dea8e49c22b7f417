// The SDF wire frame: framing, unframing and the 16-bit length limit.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "client/Frame.h"

namespace {

using namespace std::string_literals;
using Quor::Base::FormatFrame;
using Quor::Base::ParseFrame;
using Quor::Base::ReadFrameLength;

MessageContext Context(const std::string& head, const std::string& tail) {
  MessageContext ctx{};
  ctx.head = head.data();
  ctx.headLen = head.size();
  ctx.tail = tail.data();
  ctx.tailLen = tail.size();
  ctx.request = "";
  ctx.sysname = ctx.signkey = ctx.sm2PubKey = "";
  return ctx;
}

std::string Format(const std::string& body, const std::string& head, const std::string& tail) {
  const MessageContext ctx = Context(head, tail);
  size_t size = 0;
  const long asked = FormatFrame(body.data(), body.size(), &ctx, nullptr, &size);
  if (asked < 0) return "refused";
  EXPECT_EQ(static_cast<size_t>(asked), size);
  std::string out(size, '\0');
  size_t cap = size;
  EXPECT_EQ(FormatFrame(body.data(), body.size(), &ctx, out.data(), &cap), asked);
  EXPECT_EQ(cap, size);
  return out;
}

struct FormatCase {
  std::string body, head, tail, frame;
};

TEST(FormatFrameTest, LaysOutLengthHeadBodyTail) {
  const std::vector<FormatCase> cases = {
      {std::string(10, 'b'), "", "", "\x00\x0A"s + std::string(10, 'b')},
      {"\x01\x02", "\xAA\xBB", "\xCC", "\x00\x05\xAA\xBB\x01\x02\xCC"s},
      {std::string(65535, 'x'), "", "", "\xFF\xFF" + std::string(65535, 'x')},
      {std::string(65532, 'x'), "\xAA\xBB", "\xCC", "\xFF\xFF\xAA\xBB" + std::string(65532, 'x') + "\xCC"},
  };
  for (const FormatCase& k : cases) {
    EXPECT_EQ(Format(k.body, k.head, k.tail), k.frame) << "body of " << k.body.size();
  }
}

TEST(FormatFrameTest, RefusesFramesBeyondSixteenBitsWithoutWriting) {
  EXPECT_EQ(Format(std::string(65536, 'x'), "", ""), "refused");
  EXPECT_EQ(Format(std::string(65533, 'x'), "\xAA\xBB", "\xCC"), "refused");
  // Lengths whose sum would wrap around are refused too.
  const std::string head = "h";
  const MessageContext ctx = Context(head, "");
  size_t size = 0;
  EXPECT_LT(FormatFrame("b", SIZE_MAX, &ctx, nullptr, &size), 0);

  // A capacity below the frame is refused and the buffer is left alone.
  std::string dst(8, '#');
  size_t cap = 6;
  const MessageContext plain = Context("", "");
  EXPECT_LT(FormatFrame("12345", 5, &plain, dst.data(), &cap), 0);
  EXPECT_EQ(dst, std::string(8, '#'));
}

struct ParseCase {
  const char* name;
  std::string raw, head, tail;
  long result;  // body size, or -1
  std::string body;
};
void PrintTo(const ParseCase& k, std::ostream* os) { *os << k.name; }

class ParseFrameTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseFrameTest, ChecksAndStrips) {
  const ParseCase& k = GetParam();
  const MessageContext ctx = Context(k.head, k.tail);
  size_t size = 0;
  EXPECT_EQ(ParseFrame(k.raw.data(), k.raw.size(), &ctx, nullptr, &size), k.result);
  if (k.result < 0) return;
  EXPECT_EQ(size, k.body.size());
  std::string out(size, '\0');
  size_t cap = size;
  EXPECT_EQ(ParseFrame(k.raw.data(), k.raw.size(), &ctx, out.data(), &cap), k.result);
  EXPECT_EQ(out, k.body);
  if (size > 0) {
    cap = size - 1;
    EXPECT_LT(ParseFrame(k.raw.data(), k.raw.size(), &ctx, out.data(), &cap), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseFrameTest,
    ::testing::Values(ParseCase{"Plain", "\x00\x03xyz"s, "", "", 3, "xyz"},
                      ParseCase{"HeadAndTail", "\x00\x05\xAA\xBB\x09\x08\xCC"s, "\xAA\xBB", "\xCC", 2, "\x09\x08"},
                      ParseCase{"WrongHead", "\x00\x05\xAA\xBA\x09\x08\xCC"s, "\xAA\xBB", "\xCC", -1, ""},
                      ParseCase{"WrongTail", "\x00\x05\xAA\xBB\x09\x08\xCD"s, "\xAA\xBB", "\xCC", -1, ""},
                      ParseCase{"NoBody", "\x00\x03\xAA\xBB\xCC"s, "\xAA\xBB", "\xCC", -1, ""},
                      ParseCase{"LengthTooShortForHead", "\x00\x01\xAA"s, "\xAA\xBB", "", -1, ""},
                      ParseCase{"LengthAboveReceived", "\x00\x04xyz"s, "", "", -1, ""},
                      ParseCase{"LengthBelowReceived", "\x00\x02xyz"s, "", "", -1, ""},
                      ParseCase{"NoLengthField", "\x00"s, "", "", -1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadFrameLengthTest, ReadsUnsignedBigEndian) {
  EXPECT_EQ(ReadFrameLength("\x00\x0A", 2), 10);
  EXPECT_EQ(ReadFrameLength("\xFF\xFE", 2), 65534);
  EXPECT_LT(ReadFrameLength("\x01", 1), 0);
}

}  // namespace
