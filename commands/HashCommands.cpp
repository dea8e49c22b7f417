// Hash commands: the device hashes in steps and the caller carries the state.
#include <quorsdf.h>

#include "commands/Exchange.h"
#include "commands/Internal.h"

namespace Quor::Commands {
namespace {

constexpr int32_t kRefusedHash = 4;
constexpr int32_t kSm3 = 20;

}  // namespace

SGD_RV HashInit(SGD_HANDLE h, int32_t hashCode, const SGD_UCHAR* x, SGD_UINT32 xLength, const SGD_UCHAR* y,
                SGD_UINT32 yLength, const SGD_UCHAR* id, SGD_UINT32 idLength, Out state) noexcept {
  return Guard(h, "Quor_HashInit", [&](Call& c) {
    c.Require(hashCode != kRefusedHash && (!state.data || state.length));
    Request req(0x05, 0x01);
    req.Int(hashCode);
    if (hashCode == kSm3) {
      c.Require(((xLength == 0 && yLength == 0) || (x && y)) && (idLength == 0 || id));
      req.Bytes(x, xLength).Bytes(y, yLength).Bytes(id, idLength);
    }
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), state);
    return c.Done();
  });
}

SGD_RV HashUpdate(SGD_HANDLE h, const SGD_UCHAR* state, SGD_UINT32 stateLength, const SGD_UCHAR* data,
                  SGD_UINT32 dataLength, Out newState) noexcept {
  return Guard(h, "Quor_HashUpdate", [&](Call& c) {
    c.Require(state && data && (!newState.data || newState.length));
    // The request holds its own copy of the state, so newState may be the same buffer.
    const Answer a = c.Exchange(Request(0x05, 0x02).Bytes(state, stateLength).Bytes(data, dataLength), OneResult());
    c.CopyOut(a.Field(3), newState);
    return c.Done();
  });
}

SGD_RV HashFinal(SGD_HANDLE h, const SGD_UCHAR* state, SGD_UINT32 stateLength, Out digest) noexcept {
  return Guard(h, "Quor_HashFinal", [&](Call& c) {
    c.Require(state && (!digest.data || digest.length));
    const Answer a = c.Exchange(Request(0x05, 0x03).Bytes(state, stateLength), OneResult());
    c.CopyOut(a.Field(3), digest);
    return c.Done();
  });
}

}  // namespace Quor::Commands

using namespace Quor::Commands;

extern "C" {

QUOR_API SGD_RV Quor_HashInit(SGD_HANDLE h, SGD_INT32 iHashCode, const SGD_UCHAR* pucX, SGD_UINT32 uiXLen,
                              const SGD_UCHAR* pucY, SGD_UINT32 uiYLen, const SGD_UCHAR* pucID, SGD_UINT32 uiIDLen,
                              SGD_UCHAR* pucState, SGD_UINT32* puiStateLen) {
  return HashInit(h, iHashCode, pucX, uiXLen, pucY, uiYLen, pucID, uiIDLen, {pucState, puiStateLen});
}

QUOR_API SGD_RV Quor_HashUpdate(SGD_HANDLE h, const SGD_UCHAR* pucState, SGD_UINT32 uiStateLen,
                                const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucStateOut,
                                SGD_UINT32* puiStateOutLen) {
  return HashUpdate(h, pucState, uiStateLen, pucData, uiDataLen, {pucStateOut, puiStateOutLen});
}

QUOR_API SGD_RV Quor_HashFinal(SGD_HANDLE h, const SGD_UCHAR* pucState, SGD_UINT32 uiStateLen, SGD_UCHAR* pucDigest,
                               SGD_UINT32* puiDigestLen) {
  // No real digest is longer; a longer answer must not run over the caller's buffer.
  return HashFinal(h, pucState, uiStateLen, {pucDigest, puiDigestLen, kMaxDigest});
}

}  // extern "C"
