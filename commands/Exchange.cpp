#include "commands/Exchange.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "client/Errors.h"
#include "commands/DeviceErrors.h"
#include "common/Hex.h"

namespace Quor::Commands {
namespace {

constexpr int kDebug = 1;
constexpr int kError = 4;

std::string ResultsTemplate(int n) {
  std::string t = "{0,2:B}{1,2:B}";
  for (int i = 0; i < n; ++i) {
    const int len = 2 + 2 * i;
    t += "{" + std::to_string(len) + ",4:B}{" + std::to_string(len + 1) + ",$(" + std::to_string(len) + "):B}";
  }
  return t;
}

}  // namespace

const FieldTemplate& NoResult() {
  static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:B}");
  return t;
}

const FieldTemplate& OneResult() { return Results(1); }

const FieldTemplate& Results(int n) {
  static const std::vector<FieldTemplate> all = [] {
    std::vector<FieldTemplate> v;
    for (int i = 0; i <= 8; ++i) v.push_back(FieldTemplate::compile(ResultsTemplate(i)));
    return v;
  }();
  if (n < 0 || n > 8) throw Exception(kTplParameterInvalid, TemplateErrorMessage(kTplParameterInvalid));
  return all[static_cast<size_t>(n)];
}

Request::Request(uint8_t commandClass, uint8_t commandNumber) {
  buf_.reserve(64);
  buf_.push_back(static_cast<char>(commandClass));
  buf_.push_back(static_cast<char>(commandNumber));
}

Request& Request::Int(int64_t value) {
  PutU32(buf_, static_cast<uint32_t>(value));
  return *this;
}

Request& Request::Short(int64_t value) {
  PutU16(buf_, static_cast<uint16_t>(value));
  return *this;
}

Request& Request::Bytes(const void* data, size_t length) {
  if (length > std::numeric_limits<uint32_t>::max()) FailWith(SDR_INARGERR);
  PutU32(buf_, static_cast<uint32_t>(length));
  return Raw(data, length);
}

Request& Request::Raw(const void* data, size_t length) {
  if (length == 0) return *this;
  if (data == nullptr) FailWith(SDR_INARGERR);
  buf_.append(static_cast<const char*>(data), length);
  return *this;
}

Request& Request::Byte(uint8_t value) {
  buf_.push_back(static_cast<char>(value));
  return *this;
}

Answer::Answer(Call& call, const Request& request, const FieldTemplate& answerTemplate, DeviceErrorRule rule,
               size_t capacity) {
  if (capacity > sizeof buf_) capacity = sizeof buf_;
  const std::string_view req = request.View();
  unsigned long len = capacity;
  const int rc = call.Link().Communicate(req.data(), req.size(), buf_, &len);
  if (rc != 0) {
    call.Log(kError, "%s %s", call.Name(), ClientErrorText(rc));
    FailWith(SDR_COMMFAIL);
  }
  if (len > capacity) FailWith(SDR_COMMFAIL);
  length_ = len;
  try {
    answerTemplate.parseViews(Raw(), fields_);
  } catch (const Exception& e) {
    call.Log(kError, "%s %s", call.Name(), e.what());
    FailWith(SDR_COMMFAIL);
  }
  if (fields_.size() < 2) FailWith(SDR_COMMFAIL);

  const uint32_t code = Number(1);
  if (code == 0) return;
  const int c = static_cast<int>(code);
  switch (rule) {
    case DeviceErrorRule::Mapped:
      call.Log(kError, "%s HSM return [%d]|[%#08X]: %s", call.Name(), c, code, deviceErrorMessage(c));
      FailWith(mapDeviceError(call.Name(), c));
    case DeviceErrorRule::Verify:
      if (code == 1) FailWith(SDR_VERIFYERR);
      [[fallthrough]];
    case DeviceErrorRule::CommFail:
      call.Log(kError, "%s HSM return [%d]|[%#08X]", call.Name(), c, code);
      FailWith(SDR_COMMFAIL);
    case DeviceErrorRule::AccessRight:
      call.Log(kError, "%s HSM return [%d]|[%#08X]", call.Name(), c, code);
      FailWith(code == 1 ? SDR_COMMFAIL : SDR_PRKRERR);
  }
  FailWith(SDR_COMMFAIL);
}

uint32_t Answer::Number(size_t i) const {
  const std::string_view f = Field(i);
  uint32_t v = 0;
  // Fields wider than 4 bytes are never read as numbers; keep the last 4.
  for (const char b : f.substr(f.size() > 4 ? f.size() - 4 : 0)) v = (v << 8) | static_cast<unsigned char>(b);
  return v;
}

Call::Call(Sdf::SdfSession& session, const char* name) : session_(&session), link_(session.link()), name_(name) {
  Log(kDebug, "%s  ----------begin----------", name_);
}

void Call::RequireAccess(int32_t keyIndex) const {
  if (!session_ || !session_->HasRight(keyIndex)) FailWith(SDR_PARDENY);
}

void Call::Log(int level, const char* format, ...) const {
  if (!link_.LogEnabled(level)) return;
  va_list ap;
  va_start(ap, format);
  char small[512];
  va_list copy;
  va_copy(copy, ap);
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) {
    va_end(ap);
    return;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    link_.Log(level, small);
  } else {
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, ap);
    link_.Log(level, big.c_str());
  }
  va_end(ap);
}

void Call::LogNumber(const char* name, uint32_t value) const { Log(kDebug, "%s = [0X%08X]", name, value); }

void Call::LogHex(const char* name, const void* data, size_t length) const {
  if (!LogEnabled(kDebug)) return;
  const std::string hex = data ? HexEncode(data, length) : std::string();
  Log(kDebug, "%s = [%s]", name, hex.c_str());
}

void Call::LogText(const char* name, const void* text, size_t maxLength) const {
  if (!LogEnabled(kDebug)) return;
  const auto* p = static_cast<const char*>(text);
  const std::string s = p ? std::string(p, strnlen(p, maxLength)) : std::string();
  Log(kDebug, "%s = [%s]", name, s.c_str());
}

void Call::Check(SGD_RV code) const {
  if (code == SDR_OK) return;
  Log(kError, "%s error [%d]|[%#08X]", name_, static_cast<int>(code), code);
  FailWith(code);
}

SGD_RV Call::Done() const {
  Log(kDebug, "%s  -----------end-----------", name_);
  return SDR_OK;
}

SGD_RV Call::Success() const {
  Log(kDebug, "%s  ----------sucess----------", name_);
  return SDR_OK;
}

void Call::CopyOut(std::initializer_list<Result> results) const {
  for (const Result& r : results) {
    if (r.out.data && r.value.size() > r.out.capacity) {
      Log(kError, "%s answer of %zu bytes does not fit a buffer of %zu bytes", name_, r.value.size(), r.out.capacity);
      FailWith(SDR_COMMFAIL);
    }
  }
  for (const Result& r : results) {
    if (r.out.data) {
      if (r.out.length) *r.out.length = static_cast<SGD_UINT32>(r.value.size());
      if (!r.value.empty()) std::memcpy(r.out.data, r.value.data(), r.value.size());
    } else if (r.out.length) {
      *r.out.length = static_cast<SGD_UINT32>(r.value.size());
    }
  }
}

}  // namespace Quor::Commands
