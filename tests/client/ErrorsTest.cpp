// Framework error tables and ClientErrorText.
#include <gtest/gtest.h>

#include <string>

#include "client/Client.h"
#include "client/Errors.h"

namespace {

struct TextCase {
  int code;
  const char* text;
};

class ClientErrorTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ClientErrorTextTest, PicksTableByCodeRange) {
  EXPECT_STREQ(ClientErrorText(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ClientErrorTextTest,
    ::testing::Values(TextCase{0, "Success"}, TextCase{103, "Format error"}, TextCase{111, "Unknow error"},
                      TextCase{-3, "Unknow error"}, TextCase{100, "Unknow error"},
                      TextCase{201, "Create socket failed when call function \"socket()\""},
                      TextCase{207, "No more connection can be used"}, TextCase{200, "Unknow error"},
                      TextCase{250, "Unknow error"}, TextCase{305, "The host is offline"},
                      TextCase{300, "Unknow error"}, TextCase{316, "Unknow error"},
                      TextCase{315,
                               "The connection in the session is invalid, please close the session and try to "
                               "open a new one"},
                      TextCase{400, "Unknow error"}, TextCase{404, "Unknow error"}, TextCase{410, "Operate timeout"},
                      TextCase{419, "Unknow error"}, TextCase{100000, "Unknow error"}));

TEST(ExceptionTest, CarriesCodeAndTableText) {
  const Quor::Exception e = Quor::Base::MakeError(202);
  EXPECT_EQ(e.Code(), 202);
  EXPECT_STREQ(e.what(), "Timout when connect send or receive");
  const Quor::Exception copy = e;  // copyable, same static text
  EXPECT_EQ(copy.what(), e.what());
}

TEST(ExceptionTest, UnknownCodeKeepsCodeWithFallbackText) {
  const Quor::Exception e = Quor::Base::MakeError(404);
  EXPECT_EQ(e.Code(), 404);
  EXPECT_STREQ(e.what(), "Unknow error");
}

}  // namespace
