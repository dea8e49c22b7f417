#include "client/Errors.h"

#include <algorithm>
#include <span>

#include "config/IniErrors.h"

namespace Quor::Base {
namespace {

// Sorted by code, "Unknow error" last; constant-initialised, read without locks.
constexpr ErrorInfo kConnection[] = {
    {0, "Success"},
    {201, "Create socket failed when call function \"socket()\""},
    {202, "Timout when connect send or receive"},
    {203, "Connect failed"},
    {204, "Send failed"},
    {205, "Receive failed"},
    {206, "The connection pool is not alive"},
    {207, "No more connection can be used"},
    {208, "Parse IP/URL failed"},
    {209, "Unknow error"},
};

constexpr ErrorInfo kBase[] = {
    {0, "Success"},
    {301, "There is an invalid config value"},
    {302, "Haven't call initialize"},
    {303, "Host number is overflow"},
    {304, "There is no host online"},
    {305, "The host is offline"},
    {306, "Callback function of format request run failed"},
    {307, "Callback function of parse response run failed"},
    {308, "Callback function of parse receive length run failed"},
    {309, "The size of buffer is too small"},
    {310, "The pointer is invalid"},
    {311, "The value is invalid"},
    {312, "The value length is invalid"},
    {313, "The base is invalid"},
    {314, "The session is invalid"},
    {315, "The connection in the session is invalid, please close the session and try to open a new one"},
    {316, "Unknow error"},
};

constexpr ErrorInfo kTls[] = {
    {0, "Success"},
    {403, "Some error occured when call quorsl function"},
    {405, "Read or analysis pfx(p12) file failed"},
    {406, "Read or analysis ca cert failed"},
    {407, "Do SSLConnect failed"},
    {408, "Do SSLWrite failed"},
    {409, "Do SSLRead failed"},
    {410, "Operate timeout"},
    {414, "Memory allocate failed"},
    {415, "Have not initialize"},
    {417, "Some point of parameter is invalid"},
    {418, "Some value of parameter is invalid"},
    {419, "Unknow error"},
};

ErrorInfo Lookup(std::span<const ErrorInfo> table, int32_t code) {
  const auto it = std::lower_bound(table.begin(), table.end(), code,
                                   [](const ErrorInfo& e, int32_t c) { return e.code < c; });
  if (it != table.end() && it->code == code) return *it;
  return table.back();
}

ErrorInfo ForAnyCode(int32_t code) {
  if (code <= 111) return IniError(code);
  if (code <= 209) return ConnectionError(code);
  if (code <= 316) return BaseError(code);
  return TlsError(code);
}

}  // namespace

ErrorInfo ConnectionError(int32_t code) noexcept { return Lookup(kConnection, code); }
ErrorInfo BaseError(int32_t code) noexcept { return Lookup(kBase, code); }
ErrorInfo TlsError(int32_t code) noexcept { return Lookup(kTls, code); }

Exception MakeError(int32_t code) noexcept { return Exception(code, ForAnyCode(code).text); }

}  // namespace Quor::Base

const char* ClientErrorText(int code) noexcept { return Quor::Base::ForAnyCode(code).text; }
