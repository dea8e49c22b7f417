// Fuzz target: the input is a device answer, handed to commands whose answer
// layouts differ. Whatever the answer, no command may read or write past a
// buffer; each either succeeds or returns a code.
#include <quorsdf.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "commands/FakeDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuorTest::FakeSession s;
  const std::string answer(reinterpret_cast<const char*>(data), size);
  QuorTest::FakeDevice& fake = s.fake();
  fake.requests.clear();
  fake.lines.clear();
  fake.replies.clear();
  const auto next = [&] { fake.replies.push_back({0, answer}); };

  unsigned char buf[64];
  SGD_UINT32 len = 0;
  DEVICEINFO info;
  next();
  SDF_GetDeviceInfo(s.handle(), &info);
  next();
  Quor_GenerateRandom(s.handle(), sizeof buf, buf);
  next();
  Quor_ReadFile(s.handle(), reinterpret_cast<const unsigned char*>("f"), 1, 0, sizeof buf, buf, &len);
  SGD_UINT32 n[5];
  unsigned char keyData[8192], b8[8], b19[19];
  for (int type = 0; type < 3; ++type) {
    next();
    Quor_GetKeyInfo(s.handle(), type, 1, &n[0], &n[1], &n[2], &n[3], &n[4], keyData, &len, b8, b19);
  }
  SGD_INT32 index = 0;
  next();
  Quor_GetKeyIndex(s.handle(), 0, nullptr, 0, &index);
  next();
  if (SDF_HashInit(s.handle(), SGD_SM3, nullptr, nullptr, 0) == SDR_OK) {
    next();
    SDF_HashUpdate(s.handle(), buf, sizeof buf);
    next();
    SDF_HashFinal(s.handle(), buf, &len);
  }
  return 0;
}
