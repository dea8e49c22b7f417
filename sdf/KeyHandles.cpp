// Key-handle completion: a new key goes into the session or into a device slot.
#include "sdf/KeyHandles.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace Quor::Sdf {

using Commands::Call;

namespace {

// The device algorithm of a stored key follows from its LMK cipher's length.
int32_t SlotAlgorithm(size_t cipherLength) {
  switch (cipherLength) {
    case 16:
      return 7;
    case 24:
      return 2;
    default:
      return 5;
  }
}

// The handle line logs a pointer as the %d/%08X pair: its low 32 bits.
uint32_t HandleNumber(const void* handle) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)); }

}  // namespace

SGD_RV CompleteKeyHandle(Call& c, SdfSession& session, std::string_view lmkCipher, SGD_HANDLE* phKeyHandle) {
  c.Require(phKeyHandle != nullptr);
  if (*phKeyHandle == nullptr) {
    auto key = std::make_unique<SdfKey>();
    key->cipher.assign(lmkCipher.data(), lmkCipher.size());
    c.LogNumber("hTmp->idx", 0);
    SdfKey* added = session.AddKey(std::move(key));
    *phKeyHandle = added;
    const uint32_t n = HandleNumber(added);
    c.Log(1, "%s = [%d]|[0X%08X], %s = [%d]|[0X%08X]", "*phKeyHandle", static_cast<int>(n), n, "hTmp->idx", 0, 0u);
    return c.Done();
  }
  uint32_t idx = 0;
  std::memcpy(&idx, *phKeyHandle, sizeof idx);
  c.Log(1, "%s = [%d]|[0X%08X], %s = [%d]|[0X%08X]", "*(int*)*phKeyHandle", static_cast<int>(idx), idx, "idx",
        static_cast<int>(idx), idx);
  const auto* cipher = reinterpret_cast<const SGD_UCHAR*>(lmkCipher.data());
  const auto cipherLength = static_cast<SGD_UINT32>(lmkCipher.size());
  const int32_t algorithm = SlotAlgorithm(lmkCipher.size());
  SGD_UCHAR check[8] = {};
  c.Check(Quor_GetSymmKCV(&session, 0, cipher, cipherLength, algorithm, check));
  c.Check(Quor_ImportKeyCipherByLMK(&session, static_cast<SGD_INT32>(idx), 0, 0, algorithm, 0, nullptr, 0, nullptr, 0,
                                    cipher, cipherLength, check, 0));
  return c.Done();
}

}  // namespace Quor::Sdf
