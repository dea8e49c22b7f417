// Symmetric encryption and MAC through a key handle, in pieces that the
// device chains through the caller's IV buffer.
#include <quorsdf.h>

#include <algorithm>
#include <cstring>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/KeyHandles.h"

using namespace Quor::Commands;
using Quor::Sdf::kLmkCipherCapacity;
using Quor::Sdf::SdfKey;

namespace {

// A key's LMK cipher: the session key's own bytes, or a slot key's fetched here.
struct KeyCipher {
  const SGD_UCHAR* data = nullptr;
  SGD_UINT32 length = 0;
  SGD_UCHAR fetched[kLmkCipherCapacity];
};

uint32_t HandleNumber(const void* handle) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)); }

// No more of the IV is logged than the identifier's IV can hold.
size_t IvLogBound(SGD_UINT32 algId) {
  const SGD_UINT32 family = algId & ~0xFFu;
  return family == 0x80000100 || family == 0x00008000 ? 8 : 16;
}

void LogStart(Call& c, SGD_HANDLE hKeyHandle, SGD_UINT32 algId, const SGD_UCHAR* iv, const char* dataName,
              const SGD_UCHAR* data, const char* lengthName, SGD_UINT32 length) {
  c.LogNumber("hKeyHandle", HandleNumber(hKeyHandle));
  c.LogNumber("uiAlgID", algId);
  if (iv) c.LogHex("pucIV", iv, strnlen(reinterpret_cast<const char*>(iv), IvLogBound(algId)));
  c.LogHex(dataName, data, data ? length : 0);
  c.LogNumber(lengthName, length);
}

// The key behind a handle: a session key registered in this session, or a
// device slot named by the handle's first four bytes.
void FindKeyCipher(Call& c, SGD_HANDLE session, SGD_HANDLE hKeyHandle, KeyCipher& key) {
  c.Require(hKeyHandle != nullptr);
  // A registered key is recognised by its address before its memory is read.
  const SdfKey* sessionKey = c.Session().FindKey(hKeyHandle);
  uint32_t idx = 0;
  if (sessionKey) {
    idx = sessionKey->idx;
  } else {
    std::memcpy(&idx, hKeyHandle, sizeof idx);
  }
  c.LogNumber("idx", idx);
  const uint32_t h = HandleNumber(hKeyHandle);
  c.Log(1, "%s = [%d]|[0X%08X], %s = [%d]|[0X%08X]", "hKeyHandle", static_cast<int>(h), h, "idx", static_cast<int>(idx),
        idx);
  if (static_cast<int32_t>(idx) <= 0) {
    if (!sessionKey) FailWith(SDR_STEPERR);
    key.data = reinterpret_cast<const SGD_UCHAR*>(sessionKey->cipher.data());
    key.length = static_cast<SGD_UINT32>(sessionKey->cipher.size());
    return;
  }
  c.Check(GetSymmKeyCipherByLMK(session, static_cast<int32_t>(idx), {key.fetched, &key.length, sizeof key.fetched}));
  key.data = key.fetched;
}

SGD_RV Crypt(SGD_HANDLE h, const char* name, bool decrypt, SGD_HANDLE hKeyHandle, SGD_UINT32 algId, SGD_UCHAR* iv,
             const SGD_UCHAR* in, SGD_UINT32 length, SGD_UCHAR* out, SGD_UINT32* outLength) noexcept {
  return Guard(h, name, [&](Call& c) {
    LogStart(c, hKeyHandle, algId, iv, decrypt ? "pucEncData" : "pucData", in,
             decrypt ? "uiEncDataLength" : "uiDataLength", length);
    KeyCipher key;
    FindKeyCipher(c, h, hKeyHandle, key);
    CipherChoice choice{};
    if (!ChooseCipher(algId, key.length, true, choice)) FailWith(SDR_ALGNOTSUPPORT);
    c.Require((!ModeCarriesIv(choice.mode) || iv) && in && length != 0 && length % 16 == 0 && out && outLength);
    for (SGD_UINT32 done = 0; done < length;) {
      const SGD_UINT32 piece = std::min(length - done, kCipherPiece);
      c.Check(Quor_SymmKeyOperation(h, decrypt ? 1 : 0, choice.mode, iv, 0, key.data, key.length, choice.algorithm,
                                    in + done, piece, out + done, iv));
      done += piece;
    }
    *outLength = length;
    return c.Done();
  });
}

// A MAC identifier -> device algorithm code; -1 when not known.
int32_t MacAlgorithm(SGD_UINT32 algId, size_t keyLength) {
  switch (algId) {
    case SGD_SM1_MAC:
      return 6;
    case SGD_SSF33_MAC:
      return 8;
    case SGD_SM4_MAC:
      return 7;
    case 0x00000801:
      return 10;
    case 0x00008010:
      return 11;
    case 0x80000110:
      return keyLength == 8 ? 0 : keyLength == 16 ? 1 : 2;
    case 0x80000210:
      return keyLength == 16 ? 3 : keyLength == 24 ? 4 : 5;
    default:
      return -1;
  }
}

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_Encrypt(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                            SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, SGD_UCHAR* pucEncData,
                            SGD_UINT32* puiEncDataLength) {
  return Crypt(hSessionHandle, "SDF_Encrypt", false, hKeyHandle, uiAlgID, pucIV, pucData, uiDataLength, pucEncData,
               puiEncDataLength);
}

QUOR_API SGD_RV SDF_Decrypt(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                            SGD_UCHAR* pucEncData, SGD_UINT32 uiEncDataLength, SGD_UCHAR* pucData,
                            SGD_UINT32* puiDataLength) {
  return Crypt(hSessionHandle, "SDF_Decrypt", true, hKeyHandle, uiAlgID, pucIV, pucEncData, uiEncDataLength, pucData,
               puiDataLength);
}

QUOR_API SGD_RV SDF_CalculateMAC(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                                 SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, SGD_UCHAR* pucMAC,
                                 SGD_UINT32* puiMACLength) {
  return Guard(hSessionHandle, "SDF_CalculateMAC", [&](Call& c) {
    LogStart(c, hKeyHandle, uiAlgID, pucIV, "pucData", pucData, "uiDataLength", uiDataLength);
    KeyCipher key;
    FindKeyCipher(c, hSessionHandle, hKeyHandle, key);
    const int32_t algorithm = MacAlgorithm(uiAlgID, key.length);
    if (algorithm < 0) FailWith(SDR_ALGNOTSUPPORT);
    c.Require(pucIV && pucData && pucMAC && puiMACLength && uiDataLength != 0 && uiDataLength % 16 == 0);
    // The MAC becomes the next piece's IV, so it may be no longer than the IV.
    const size_t ivLength = IvLength(algorithm);
    for (SGD_UINT32 done = 0; done < uiDataLength;) {
      const SGD_UINT32 piece = std::min(uiDataLength - done, kCipherPiece);
      c.Check(CalculateMac(hSessionHandle, 1, pucIV, 0, key.data, key.length, algorithm, pucData + done, piece,
                           {pucMAC, puiMACLength, ivLength}));
      std::memmove(pucIV, pucMAC, *puiMACLength);
      done += piece;
    }
    return c.Done();
  });
}

}  // extern "C"
