// Hashing with the device's running state kept in the session, and the
// device's user files.
#include <quorsdf.h>

#include <algorithm>
#include <memory>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "sdf/Handles.h"

using namespace Quor::Commands;

namespace {

constexpr size_t kStateCapacity = 512;
constexpr SGD_UINT32 kPiece = 8192;

// GM/T 0018 hash identifier -> device hash code; 0 when not supported.
int32_t DeviceHashCode(SGD_UINT32 algId) {
  switch (algId) {
    case SGD_SM3:
      return 20;
    case SGD_SHA1:
      return 1;
    case SGD_SHA256:
      return 6;
    default:
      return 0;
  }
}

void LogFileName(const Call& c, const SGD_UCHAR* name, SGD_UINT32 nameLen) {
  c.LogText("pucFileName", name, nameLen);
  c.LogNumber("uiNameLen", nameLen);
}

}  // namespace

extern "C" {

QUOR_API SGD_RV SDF_HashInit(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPublicKey* pucPublicKey,
                             SGD_UCHAR* pucID, SGD_UINT32 uiIDLength) {
  return Guard(hSessionHandle, "SDF_HashInit", [&](Call& c) {
    c.LogNumber("uiAlgID", uiAlgID);
    if (pucPublicKey) {
      c.LogNumber("pucPublicKey->bits", pucPublicKey->bits);
      c.LogHex("pucPublicKey->x", pucPublicKey->x, sizeof pucPublicKey->x);
      c.LogHex("pucPublicKey->y", pucPublicKey->y, sizeof pucPublicKey->y);
      c.LogHex("pucID", pucID, pucID ? uiIDLength : 0);
      c.LogNumber("uiIDLength", uiIDLength);
    }
    const int32_t code = DeviceHashCode(uiAlgID);
    if (code == 0) FailWith(SDR_ALGNOTSUPPORT);
    const SGD_UCHAR* x = nullptr;
    const SGD_UCHAR* y = nullptr;
    SGD_UINT32 n = 0;
    if (uiAlgID == SGD_SM3 && pucPublicKey) {
      c.Require(uiIDLength == 0 || pucID);
      n = pucPublicKey->bits / 8;
      c.Require(n <= ECCref_MAX_LEN);  // a larger bits would point before the arrays
      x = pucPublicKey->x + ECCref_MAX_LEN - n;
      y = pucPublicKey->y + ECCref_MAX_LEN - n;
    }
    auto state = std::make_unique<Quor::Bytes>(kStateCapacity, '\0');
    SGD_UINT32 stateLen = 0;
    c.Check(HashInit(hSessionHandle, code, x, n, y, n, pucID, uiIDLength,
                     {reinterpret_cast<SGD_UCHAR*>(state->data()), &stateLen, kStateCapacity}));
    state->resize(stateLen);
    c.Session().hashState = std::move(state);
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_HashUpdate(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucData, SGD_UINT32 uiDataLength) {
  return Guard(hSessionHandle, "SDF_HashUpdate", [&](Call& c) {
    c.LogHex("pucData", pucData, pucData ? uiDataLength : 0);
    c.LogNumber("uiDataLength", uiDataLength);
    Quor::Bytes* state = c.Session().hashState.get();
    if (!state) FailWith(SDR_STEPERR);
    c.Require(uiDataLength == 0 || pucData);
    SGD_UCHAR next[kStateCapacity];
    for (SGD_UINT32 done = 0; done < uiDataLength;) {
      const SGD_UINT32 piece = std::min(uiDataLength - done, kPiece);
      SGD_UINT32 nextLen = 0;
      c.Check(HashUpdate(hSessionHandle, reinterpret_cast<const SGD_UCHAR*>(state->data()),
                         static_cast<SGD_UINT32>(state->size()), pucData + done, piece, {next, &nextLen, sizeof next}));
      state->assign(reinterpret_cast<const char*>(next), nextLen);
      done += piece;
    }
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_HashFinal(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucHash, SGD_UINT32* puiHashLength) {
  return Guard(hSessionHandle, "SDF_HashFinal", [&](Call& c) {
    const Quor::Bytes* state = c.Session().hashState.get();
    if (!state) FailWith(SDR_STEPERR);
    c.Require(!pucHash || puiHashLength);
    c.Check(HashFinal(hSessionHandle, reinterpret_cast<const SGD_UCHAR*>(state->data()),
                      static_cast<SGD_UINT32>(state->size()), {pucHash, puiHashLength, kMaxDigest}));
    c.Session().hashState.reset();
    return c.Done();
  });
}

// The file functions refuse null names, length pointers and buffers
// themselves: the host command layer would otherwise be handed them unread
// for logging.
QUOR_API SGD_RV SDF_CreateFile(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                               SGD_UINT32 uiFileSize) {
  return Guard(hSessionHandle, "SDF_CreateFile", [&](Call& c) {
    c.Require(pucFileName != nullptr);
    LogFileName(c, pucFileName, uiNameLen);
    c.LogNumber("uiFileSize", uiFileSize);
    c.Check(Quor_CreateFile(hSessionHandle, pucFileName, uiNameLen, uiFileSize));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_ReadFile(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                             SGD_UINT32 uiOffset, SGD_UINT32* puiFileLength, SGD_UCHAR* pucBuffer) {
  return Guard(hSessionHandle, "SDF_ReadFile", [&](Call& c) {
    c.Require(pucFileName && puiFileLength && pucBuffer);
    LogFileName(c, pucFileName, uiNameLen);
    c.LogNumber("uiOffset", uiOffset);
    c.LogNumber("puiFileLength", *puiFileLength);
    c.Check(Quor_ReadFile(hSessionHandle, pucFileName, uiNameLen, uiOffset, *puiFileLength, pucBuffer, puiFileLength));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_WriteFile(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                              SGD_UINT32 uiOffset, SGD_UINT32 uiFileLength, SGD_UCHAR* pucBuffer) {
  return Guard(hSessionHandle, "SDF_WriteFile", [&](Call& c) {
    c.Require(pucFileName && pucBuffer);
    LogFileName(c, pucFileName, uiNameLen);
    c.LogNumber("uiOffset", uiOffset);
    c.LogNumber("uiFileLength", uiFileLength);
    c.LogHex("pucBuffer", pucBuffer, uiFileLength);
    c.Check(Quor_WriteFile(hSessionHandle, pucFileName, uiNameLen, uiOffset, pucBuffer, uiFileLength));
    return c.Done();
  });
}

QUOR_API SGD_RV SDF_DeleteFile(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen) {
  return Guard(hSessionHandle, "SDF_DeleteFile", [&](Call& c) {
    c.Require(pucFileName != nullptr);
    LogFileName(c, pucFileName, uiNameLen);
    c.Check(Quor_DeleteFile(hSessionHandle, pucFileName, uiNameLen));
    return c.Done();
  });
}

}  // extern "C"
