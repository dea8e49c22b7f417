// Key-handle completion until the session-key family provides its own: weak,
// so that definition takes over as soon as it is linked in.
#include <quorsdf.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "sdf/KeyHandles.h"

using namespace Quor::Commands;

namespace {

// The device algorithm of a stored key, told from its LMK cipher's length.
int32_t AlgorithmOfCipher(size_t length) {
  if (length == 16) return 7;
  if (length == 24) return 2;
  return 5;
}

}  // namespace

__attribute__((weak)) void CompleteKeyHandle(Call& c, Quor::Sdf::SdfSession& session, std::string_view lmkCipher,
                                             SGD_HANDLE* phKeyHandle) {
  if (*phKeyHandle == nullptr) {
    auto key = std::make_unique<Quor::Sdf::SdfKey>();
    key->cipher.assign(lmkCipher);
    c.LogNumber("hTmp->idx", 0);
    Quor::Sdf::SdfKey* k = session.AddKey(std::move(key));
    *phKeyHandle = k;
    const auto n = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(k));
    c.Log(1, "%s = [%d]|[0X%08X], %s = [%d]|[0X%08X]", "*phKeyHandle", static_cast<int>(n), n, "hTmp->idx", 0, 0);
    return;
  }
  uint32_t idx = 0;
  std::memcpy(&idx, *phKeyHandle, sizeof idx);
  c.Log(1, "%s = [%d]|[0X%08X], %s = [%d]|[0X%08X]", "*(int*)*phKeyHandle", static_cast<int>(idx), idx, "idx",
        static_cast<int>(idx), idx);
  const int32_t alg = AlgorithmOfCipher(lmkCipher.size());
  const auto* cipher = reinterpret_cast<const SGD_UCHAR*>(lmkCipher.data());
  const auto length = static_cast<SGD_UINT32>(lmkCipher.size());
  SGD_UCHAR check[8] = {};
  void* h = &session;
  c.Check(Quor_GetSymmKCV(h, 0, cipher, length, alg, check));
  c.Check(Quor_ImportKeyCipherByLMK(h, static_cast<int32_t>(idx), 0, 0, alg, 0, nullptr, 0, nullptr, 0, cipher, length,
                                    check, 0));
}
