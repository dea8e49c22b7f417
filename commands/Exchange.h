// The machinery every exported function shares: the guard at the C boundary,
// the begin/parameter/end log lines, the request builder, the host command
// exchange with its answer checks and device-code mapping, and the output
// copy rule. A Quor_ function is then a short declaration:
//
//   SGD_RV Quor_DeleteFile(SGD_HANDLE h, const SGD_UCHAR* name, SGD_UINT32 len) {
//     return Guard(h, "Quor_DeleteFile", [&](Call& c) {
//       c.Require(name && len >= 1 && len <= 128);
//       c.Exchange(Request(0x06, 0x04).Bytes(name, len), NoResult());
//       return c.Done();
//     });
//   }
#pragma once

#include <quorsdf.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "client/Exception.h"
#include "commands/FieldTemplate.h"
#include "common/Bytes.h"
#include "sdf/Handles.h"

namespace Quor::Commands {

// Thrown inside an exported function to end it with a code; the guard returns it.
struct Failure {
  SGD_RV code;
};

[[noreturn]] inline void FailWith(SGD_RV code) { throw Failure{code}; }

// Answer buffer of one host command, and the smaller one of Quor_GetDeviceInfo.
inline constexpr size_t kAnswerCapacity = 8320;
inline constexpr size_t kDeviceInfoAnswerCapacity = 2048;

// The answer templates most commands use (compiled once).
const FieldTemplate& NoResult();   // "{0,2:B}{1,2:B}"
const FieldTemplate& OneResult();  // "{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}"
// n length-prefixed results (1 to 8), in fields 3, 5, 7, ...
const FieldTemplate& Results(int n);

// Request bytes: the 2-byte command code, then the parameters in order.
class Request {
 public:
  Request(uint8_t commandClass, uint8_t commandNumber);
  Request& Int(int64_t value);    // 4 bytes big-endian (two's complement)
  Request& Short(int64_t value);  // the low 16 bits, big-endian
  // 4-byte length, then the bytes. A null pointer with a length is an argument error.
  Request& Bytes(const void* data, size_t length);
  Request& Raw(const void* data, size_t length);
  Request& Byte(uint8_t value);
  std::string_view View() const { return buf_; }

 private:
  Quor::Bytes buf_;
};

// A caller's output: buffer, length pointer and, where the library knows it,
// the buffer's capacity. Exported Quor_ functions do not know it (the caller
// promises room for the command's largest result); internal callers do.
struct Out {
  static constexpr size_t kUnknown = std::numeric_limits<size_t>::max();
  unsigned char* data = nullptr;
  SGD_UINT32* length = nullptr;
  size_t capacity = kUnknown;
};

// How a non-zero device return code is reported.
enum class DeviceErrorRule {
  Mapped,       // "%s HSM return [%d]|[%#08X]: %s", mapDeviceError
  CommFail,     // "%s HSM return [%d]|[%#08X]", SDR_COMMFAIL
  Verify,       // code 1: SDR_VERIFYERR, no line; others as CommFail
  AccessRight,  // "%s HSM return [%d]|[%#08X]"; code 1: SDR_COMMFAIL, others SDR_PRKRERR
};

class Call;

// One host command's answer, checked: at least 2 fields and device code 0.
// Fields are views into the answer buffer held by this object.
class Answer {
 public:
  Answer(Call& call, const Request& request, const FieldTemplate& answerTemplate,
         DeviceErrorRule rule = DeviceErrorRule::Mapped, size_t capacity = kAnswerCapacity);
  Answer(const Answer&) = delete;
  Answer& operator=(const Answer&) = delete;

  size_t Count() const { return fields_.size(); }
  // Field i, or empty when the answer ended before it.
  std::string_view Field(size_t i) const { return i < fields_.size() ? fields_[i] : std::string_view(); }
  // Field i as a big-endian number (0 when absent).
  uint32_t Number(size_t i) const;
  // The whole answer.
  std::string_view Raw() const { return {buf_, length_}; }

 private:
  char buf_[kAnswerCapacity];
  size_t length_ = 0;
  std::vector<std::string_view> fields_;
};

// One call of an exported function: its name, its session, its log lines.
class Call {
 public:
  // Logs the begin line.
  Call(Sdf::SdfSession& session, const char* name);
  // A call without a session (device level): logs nothing at construction.
  Call(Sdf::DeviceLink& link, const char* name) : session_(nullptr), link_(link), name_(name) {}

  Sdf::SdfSession& Session() const { return *session_; }
  Sdf::DeviceLink& Link() const { return link_; }
  const char* Name() const { return name_; }

  // A failed argument check: SDR_INARGERR, nothing more logged.
  void Require(bool ok) const {
    if (!ok) FailWith(SDR_INARGERR);
  }
  // A key index without an access right in this session: SDR_PARDENY.
  void RequireAccess(int32_t keyIndex) const;

  bool LogEnabled(int level) const { return link_.LogEnabled(level); }
  void Log(int level, const char* format, ...) const __attribute__((format(printf, 3, 4)));
  void LogNumber(const char* name, uint32_t value) const;                    // "%s = [0X%08X]"
  void LogHex(const char* name, const void* data, size_t length) const;      // "%s = [%s]"
  void LogText(const char* name, const void* text, size_t maxLength) const;  // up to the first zero byte

  // A called function's code: non-zero logs "%s error [%d]|[%#08X]" at level
  // 4 and ends the call with that code.
  void Check(SGD_RV code) const;
  // The end line; returns SDR_OK.
  SGD_RV Done() const;
  // The success line of the device and session functions; returns SDR_OK.
  SGD_RV Success() const;

  // Runs one host command; failures end the call with their code.
  Answer Exchange(const Request& request, const FieldTemplate& answerTemplate,
                  DeviceErrorRule rule = DeviceErrorRule::Mapped, size_t capacity = kAnswerCapacity) {
    return Answer(*this, request, answerTemplate, rule, capacity);
  }

  // The output copy rule for several results at once: every capacity is
  // checked before anything is written (a result longer than a known
  // capacity is SDR_COMMFAIL).
  struct Result {
    std::string_view value;
    Out out;
  };
  void CopyOut(std::initializer_list<Result> results) const;
  void CopyOut(std::string_view value, Out out) const { CopyOut({Result{value, out}}); }

 private:
  Sdf::SdfSession* session_;
  Sdf::DeviceLink& link_;
  const char* name_;
};

// Runs body(Call&) for an exported function and turns every failure into a
// code: a null session is SDR_INARGERR without a log line; Failure carries
// its code; a template or other library exception is SDR_COMMFAIL; memory
// exhaustion SDR_NOBUFFER; anything else SDR_UNKNOWERR.
template <class Body>
SGD_RV Guard(SGD_HANDLE session, const char* name, Body&& body) noexcept {
  if (session == nullptr) return SDR_INARGERR;
  try {
    Call call(*static_cast<Sdf::SdfSession*>(session), name);
    return body(call);
  } catch (const Failure& f) {
    return f.code;
  } catch (const Quor::Exception&) {
    return SDR_COMMFAIL;
  } catch (const std::bad_alloc&) {
    return SDR_NOBUFFER;
  } catch (...) {
    return SDR_UNKNOWERR;
  }
}

// The same for functions without a session (device level).
template <class Body>
SGD_RV GuardPlain(Body&& body) noexcept {
  try {
    return body();
  } catch (const Failure& f) {
    return f.code;
  } catch (const Quor::Exception&) {
    return SDR_COMMFAIL;
  } catch (const std::bad_alloc&) {
    return SDR_NOBUFFER;
  } catch (...) {
    return SDR_UNKNOWERR;
  }
}

}  // namespace Quor::Commands
