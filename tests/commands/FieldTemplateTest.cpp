// Field templates: compiling, formatting, parsing and their error numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/FieldTemplate.h"

namespace {

using Quor::Bytes;
using Quor::Exception;
using Quor::Commands::FieldTemplate;
using Quor::Commands::TemplateErrorMessage;
using Quor::Commands::unpackAnswer;

Bytes B(std::initializer_list<int> bytes) {
  Bytes s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Code();
  }
  return 0;
}

const char* kLengthPrefixed = "{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}";

struct CompileCase {
  const char* text;
  int error;
};
void PrintTo(const CompileCase& c, std::ostream* os) { *os << c.text; }

class CompileErrors : public ::testing::TestWithParam<CompileCase> {};

TEST_P(CompileErrors, RaisesNumber) {
  EXPECT_EQ(ErrorOf([] { FieldTemplate::compile(GetParam().text); }), GetParam().error) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(All, CompileErrors,
                         ::testing::Values(CompileCase{"{0,2:B}{2,2:B}", 7}, CompileCase{"{1,2:B}", 7},
                                           CompileCase{"{0,2:B", 2}, CompileCase{"{}", 3}, CompileCase{"{0:B}", 4},
                                           CompileCase{"{,2:B}", 5}, CompileCase{"{x,2:B}", 6},
                                           CompileCase{"{0,2B}", 8}, CompileCase{"{0,:B}", 9},
                                           CompileCase{"{0,x:B}", 10}, CompileCase{"{0,$2):B}", 11},
                                           CompileCase{"{0,$(2:B}", 12}, CompileCase{"{0,$():B}", 13},
                                           CompileCase{"{0,2:b}", 14}, CompileCase{"{0,2:BB}", 14},
                                           CompileCase{"{0,2:}", 14},
                                           // A width may only come from an earlier field.
                                           CompileCase{"{0,$(0):B}", 10}, CompileCase{"{0,2:B}{1,$(1):B}", 10},
                                           CompileCase{"{0,2:B}{1,$(5):B}", 10}, CompileCase{"{0,2:B}{1,$(x):B}", 10},
                                           CompileCase{"{0,$)1(:B}", 12},
                                           // Fixed widths are non-negative and fit 31 bits.
                                           CompileCase{"{0,-3:B}", 10}, CompileCase{"{0,2147483648:B}", 10},
                                           // A "}" in literal text before the next "{" has no opening brace.
                                           CompileCase{"ab}{0,2:B}", 2}, CompileCase{"{0,2:B}x}{1,2:B}", 2}));

TEST(FieldTemplateCompile, KeepsElementsAndPositions) {
  const FieldTemplate t = FieldTemplate::compile("AB{0,2:B}{1,$(0):N}tail");
  ASSERT_EQ(t.elements().size(), 5u);  // "AB", field 0, "" , field 1, "tail"
  EXPECT_EQ(t.elements()[0].text, "AB");
  EXPECT_EQ(t.elements()[0].index, -1);
  EXPECT_EQ(t.elements()[1].text, "0,2:B");
  EXPECT_EQ(t.elements()[1].width, 2);
  EXPECT_EQ(t.elements()[1].type, Quor::Commands::kTypeB);
  EXPECT_EQ(t.elements()[3].width, 0);  // -0 for "$(0)"
  EXPECT_TRUE(t.elements()[3].reference);
  EXPECT_EQ(t.elements()[3].type, Quor::Commands::kTypeN);
  EXPECT_EQ(t.fieldPositions(), (std::vector<int32_t>{1, 3}));
  EXPECT_TRUE(FieldTemplate::compile("").elements().empty());
  // A "}" after the last field, with no "{" following, is plain literal text.
  EXPECT_EQ(FieldTemplate::compile("{0,1:B}x}").elements().back().text, "x}");
}

struct ParseCase {
  const char* name;
  const char* tpl;
  Bytes data;
  std::vector<Bytes> fields;  // expected, when error is 0
  int error;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class Parse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Parse, Fields) {
  const ParseCase& p = GetParam();
  const FieldTemplate t = FieldTemplate::compile(p.tpl);
  if (p.error) {
    EXPECT_EQ(ErrorOf([&] { t.parse(p.data); }), p.error);
  } else {
    EXPECT_EQ(t.parse(p.data), p.fields);
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, Parse,
    ::testing::Values(
        ParseCase{"TrailingIgnored",
                  kLengthPrefixed,
                  B({0, 1, 0, 0, 0, 0, 0, 3, 0x41, 0x42, 0x43, 0x44}),
                  {B({0, 1}), B({0, 0}), B({0, 0, 0, 3}), "ABC"},
                  0},
        ParseCase{"EndsAtBoundary", kLengthPrefixed, B({0, 1, 0, 0x2A}), {B({0, 1}), B({0, 0x2A})}, 0},
        ParseCase{"EndsInsideField", kLengthPrefixed, B({0, 1, 0}), {}, 17},
        ParseCase{"LengthPastEnd", kLengthPrefixed, B({0, 1, 0, 0, 0, 0, 0, 9, 0x41}), {}, 17},
        ParseCase{"WidthOf2To31", kLengthPrefixed, B({0, 1, 0, 0, 0x80, 0, 0, 0, 0x41}), {}, 15},
        ParseCase{"WidthOfAllOnes", kLengthPrefixed, B({0, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x41}), {}, 15},
        ParseCase{"WidthFromFiveByteB", "{0,5:B}{1,$(0):B}", B({0, 0, 0, 0, 1, 0x41}), {}, 15},
        ParseCase{"WidthFromA", "{0,1:A}{1,$(0):B}", B({1, 0x41}), {}, 14},
        ParseCase{"WidthFromDecimalText", "{0,3:N}{1,$(0):B}", Bytes(" 2xAB"), {" 2x", "AB"}, 0},
        ParseCase{"WidthFromHexText", "{0,2:H}{1,$(0):B}", Bytes("0aABCDEFGHIJ"), {"0a", "ABCDEFGHIJ"}, 0},
        ParseCase{"TextWithoutDigit", "{0,2:N}{1,$(0):B}", Bytes("x1AB"), {}, 15},
        ParseCase{"ZeroByteWidthField", "{0,0:B}{1,$(0):B}", B({0x41}), {Bytes(), Bytes()}, 0},
        ParseCase{"Literal", "AB{0,1:B}", Bytes("ABx"), {"x"}, 0},
        ParseCase{"LiteralMissing", "AB{0,1:B}", Bytes("xABx"), {}, 16},
        ParseCase{"EmptyTemplate", "", Bytes("xyz"), {}, 0}, ParseCase{"EmptyData", kLengthPrefixed, Bytes(), {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatCase {
  const char* name;
  const char* tpl;
  std::vector<Bytes> values;
  Bytes expected;
  int error;
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class Format : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Format, Bytes) {
  const FormatCase& p = GetParam();
  const FieldTemplate t = FieldTemplate::compile(p.tpl);
  if (p.error) {
    EXPECT_EQ(ErrorOf([&] { t.format(p.values); }), p.error);
  } else {
    EXPECT_EQ(t.format(p.values), p.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, Format,
    ::testing::Values(
        FormatCase{
            "WidthFromField", "{0,4:B}{1,$(0):B}", {B({0, 0, 0, 5}), "hello world"}, B({0, 0, 0, 5}) + "hello", 0},
        FormatCase{"BPaddedAtEnd", "{0,4:B}", {B({5})}, B({5, 0, 0, 0}), 0},
        FormatCase{"WidthReadAsSupplied", "{0,4:B}{1,$(0):B}", {B({5}), "abcdefg"}, B({5, 0, 0, 0}) + "abcde", 0},
        FormatCase{"NPaddedAtFront", "{0,4:N}", {"7"}, "0007", 0}, FormatCase{"NCut", "{0,4:N}", {"123456"}, "1234", 0},
        FormatCase{"APaddedWithZeros", "{0,4:A}", {"ab"}, Bytes("ab") + B({0, 0}), 0},
        FormatCase{"OnlyLiteralNoValues", "hello", {}, "", 0},
        FormatCase{"OnlyLiteralOneValue", "hello", {"x"}, "hello", 0},
        FormatCase{"StopsAfterLastValue", "{0,1:B}mid{1,1:B}end", {"a"}, "a", 0},
        FormatCase{"ExtraValuesIgnored", "{0,1:B}", {"a", "b"}, "a", 0}, FormatCase{"EmptyTemplate", "", {"a"}, "", 0},
        FormatCase{"RequestCode", "{0,2:B}", {B({1, 1})}, B({1, 1}), 0},
        FormatCase{"WidthFromFiveByteB", "{0,5:B}{1,$(0):B}", {B({0, 0, 0, 0, 5}), "abc"}, "", 15},
        FormatCase{"WidthFromA", "{0,1:A}{1,$(0):B}", {B({5}), "abc"}, "", 14},
        FormatCase{"WidthOf2To31", "{0,4:B}{1,$(0):B}", {B({0x80, 0, 0, 0}), "abc"}, "", 15},
        FormatCase{"NegativeTextWidth", "{0,2:N}{1,$(0):B}", {"-5", "abc"}, "", 15}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TemplateErrors, MessageTable) {
  const std::vector<const char*> expected = {
      "Success",
      "Unknow error",
      "\"}\" match failed",
      "It's empty between \"{\" and \"}\"",
      "\",\" is missing",
      "Index is missing",
      "Index is invalid",
      "Index is incontinuous",
      "\":\" is missing",
      "Width is missing",
      "Width is invalid",
      "\"(\" is missing",
      "\")\" match failed",
      "It's empty between \"(\" and \")\"",
      "Format character invalid",
      "Parameter is invalid",
      "Find generate data failed",
      "Source data size too small",
      "Source data size too big",
      "The count of parameters is more than fields",
  };
  for (int i = 0; i < static_cast<int>(expected.size()); ++i) EXPECT_STREQ(TemplateErrorMessage(i), expected[i]);
  EXPECT_STREQ(TemplateErrorMessage(42), "Unknow error");
  EXPECT_STREQ(TemplateErrorMessage(-1), "Unknow error");
  // The thrown exception carries the number and its message.
  try {
    FieldTemplate::compile("{0,2:B");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Code(), 2);
    EXPECT_STREQ(e.what(), "\"}\" match failed");
  }
}

TEST(UnpackAnswer, AssignsOnlyParsedFieldsAndCountsAll) {
  Bytes f0 = "keep0", f1 = "keep1", f2 = "keep2";
  Bytes* outs[] = {&f0, &f1, &f2};
  // Four fields parsed, only two outputs: the count is not capped.
  const Bytes answer = B({1, 3, 0, 0, 0, 0, 0, 2, 0x41, 0x42});
  EXPECT_EQ(unpackAnswer(answer, kLengthPrefixed, std::span(outs, 2)), 4u);
  EXPECT_EQ(f0, B({1, 3}));
  EXPECT_EQ(f1, B({0, 0}));
  EXPECT_EQ(f2, "keep2");
  // A short answer leaves the later outputs as they were.
  Bytes g0, g1, g2 = "untouched", g3 = "untouched";
  Bytes* more[] = {&g0, &g1, &g2, &g3};
  EXPECT_EQ(unpackAnswer(B({1, 3, 0, 0}), kLengthPrefixed, more), 2u);
  EXPECT_EQ(g2, "untouched");
  EXPECT_EQ(ErrorOf([&] { unpackAnswer(B({1, 3, 0}), kLengthPrefixed, more); }), 17);
  EXPECT_EQ(ErrorOf([&] { unpackAnswer(B({1}), "{0,2:B", more); }), 2);
}

}  // namespace
