// A scripted device behind a session: records every request and log line and
// answers from a queue, so command layouts and answer handling can be checked
// without a device host.
#pragma once

#include <quorsdf.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/Bytes.h"
#include "sdf/Handles.h"

namespace QuorTest {

struct Reply {
  int rc = 0;          // a client-core code, or 0
  std::string answer;  // the answer body
};

class FakeDevice : public Quor::Sdf::DeviceLink {
 public:
  std::vector<std::string> requests;
  std::deque<Reply> replies;
  std::vector<std::pair<int, std::string>> lines;
  // Answer given when the queue is empty (none: the request fails with 304).
  bool answerOkWhenEmpty = false;

  int Communicate(const char* request, unsigned long requestLen, void* answer,
                  unsigned long* answerLen) noexcept override {
    std::lock_guard lock(mutex_);
    requests.emplace_back(request, requestLen);
    Reply r;
    if (!replies.empty()) {
      r = replies.front();
      replies.pop_front();
    } else if (answerOkWhenEmpty) {
      r.answer = std::string("\x00\x00\x00\x00", 4);
    } else {
      return 304;
    }
    if (r.rc != 0) return r.rc;
    if (r.answer.size() > *answerLen) return 309;
    std::memcpy(answer, r.answer.data(), r.answer.size());
    *answerLen = r.answer.size();
    return 0;
  }
  bool LogEnabled(int) noexcept override { return true; }
  void Log(int level, const char* line) noexcept override {
    std::lock_guard lock(mutex_);
    lines.emplace_back(level, line);
  }

  std::vector<std::string> LinesAt(int level) const {
    std::vector<std::string> out;
    for (const auto& [l, text] : lines)
      if (l == level) out.push_back(text);
    return out;
  }

 private:
  std::mutex mutex_;  // sessions may be used from several threads
};

// Wire helpers.
inline std::string U32(uint32_t v) {
  std::string s;
  Quor::PutU32(s, v);
  return s;
}
inline std::string U16(uint16_t v) {
  std::string s;
  Quor::PutU16(s, v);
  return s;
}
inline std::string Lp(const std::string& bytes) { return U32(static_cast<uint32_t>(bytes.size())) + bytes; }
// An answer: answer code, device return code, then the result bytes.
inline std::string Answer(uint16_t code, const std::string& rest = {}) { return U16(0x0103) + U16(code) + rest; }
inline std::string Bin(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

// A session on a device whose host is a FakeDevice.
class FakeSession {
 public:
  FakeSession() {
    auto link = std::make_unique<FakeDevice>();
    fake_ = link.get();
    device_ = new Quor::Sdf::SdfDevice(std::move(link));
    SDF_OpenSession(device_, &session_);
    fake_->lines.clear();
  }
  ~FakeSession() {
    SDF_CloseSession(session_);
    SDF_CloseDevice(device_);
  }
  FakeSession(const FakeSession&) = delete;
  FakeSession& operator=(const FakeSession&) = delete;

  SGD_HANDLE handle() const { return session_; }
  SGD_HANDLE device() const { return device_; }
  FakeDevice& fake() const { return *fake_; }
  void Reply(const std::string& answer) { fake_->replies.push_back({0, answer}); }
  void Fail(int rc) { fake_->replies.push_back({rc, {}}); }

 private:
  FakeDevice* fake_;
  Quor::Sdf::SdfDevice* device_;
  SGD_HANDLE session_ = nullptr;
};

}  // namespace QuorTest
