// Symmetric cipher and MAC commands: block ciphers, MACs, HMAC over long data,
// CCM and GCM, and the batch functions that pad many small items and return
// them as hexadecimal text.
#include <quorsdf.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "commands/Exchange.h"
#include "commands/Internal.h"
#include "common/Hex.h"

namespace Quor::Commands {

bool ChooseCipher(SGD_UINT32 algId, size_t keyLength, bool withVendorAlgorithm, CipherChoice& choice) {
  int32_t mode = -1;
  switch (algId & 0xFFu) {
    case 0x01:
      mode = kModeEcb;
      break;
    case 0x02:
      mode = kModeCbc;
      break;
    case 0x04:
      mode = kModeCfb;
      break;
    case 0x08:
      mode = kModeOfb;
      break;
    default:
      break;
  }
  const SGD_UINT32 family = algId & ~0xFFu;
  if (algId == 0x00000801) {
    choice = {kModeStream, 10};
    return true;
  }
  if (withVendorAlgorithm && (algId == 0x00008001 || algId == 0x00008002)) {
    choice = {algId == 0x00008001 ? kModeEcb : kModeCbc, 11};
    return true;
  }
  if (mode < 0) return false;
  switch (family) {
    case 0x00000100:
      choice = {mode, 6};
      return true;
    case 0x00000200:
      choice = {mode, 8};
      return true;
    case 0x00000400:
      choice = {mode, 7};
      return true;
    case 0x80000100:
      choice = {mode, keyLength == 8 ? 0 : keyLength == 16 ? 1 : 2};
      return true;
    case 0x80000200:
      choice = {mode, keyLength == 16 ? 3 : keyLength == 24 ? 4 : 5};
      return true;
    default:
      return false;
  }
}

namespace {

constexpr int32_t kLmkCipherKey = 2;
constexpr size_t kHmacStateCapacity = 512;
// Returned by the batch functions for an output buffer that is too small.
constexpr SGD_RV kBufferTooSmall = 0x02000002;

// The key field: a slot index, or index 0 with the key's LMK cipher.
void AddKey(Call& c, Request& req, int32_t keyIndex, const SGD_UCHAR* key, SGD_UINT32 keyLength) {
  req.Int(keyIndex);
  if (keyIndex != 0) return;
  c.Require(key && keyLength != 0);
  req.Int(kLmkCipherKey).Bytes(key, keyLength);
}

bool Unpaired(const Out& o) { return o.data && !o.length; }

}  // namespace

SGD_RV CalculateMac(SGD_HANDLE h, int32_t macType, const SGD_UCHAR* iv, int32_t keyIndex, const SGD_UCHAR* key,
                    SGD_UINT32 keyLength, int32_t algorithm, const SGD_UCHAR* data, SGD_UINT32 dataLength,
                    Out mac) noexcept {
  return Guard(h, "Quor_CalculateMAC", [&](Call& c) {
    c.Require(iv && data && dataLength != 0 && !Unpaired(mac));
    Request req(0x04, 0x03);
    req.Int(macType);
    AddKey(c, req, keyIndex, key, keyLength);
    req.Int(algorithm).Bytes(data, dataLength).Raw(iv, IvLength(algorithm));
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), mac);
    return c.Done();
  });
}

namespace {

// One HMAC step: the device takes the state of the previous step and returns
// the new state and the HMAC of everything so far.
SGD_RV CalculateHmac(SGD_HANDLE h, int32_t hmacAlgorithm, int32_t keyIndex, int32_t keyType, const SGD_UCHAR* key,
                     SGD_UINT32 keyLength, const SGD_UCHAR* data, SGD_UINT32 dataLength, SGD_UCHAR* state,
                     SGD_UINT32* stateLength, SGD_UCHAR* out, SGD_UINT32* outLength) noexcept {
  return Guard(h, "CalculateHmac", [&](Call& c) {
    c.LogNumber("hmacAlg", static_cast<uint32_t>(hmacAlgorithm));
    c.LogNumber("index", static_cast<uint32_t>(keyIndex));
    c.LogNumber("keyType", static_cast<uint32_t>(keyType));
    c.LogHex("data", data, data ? dataLength : 0);
    c.Require((keyIndex != 0 || key) && data && dataLength != 0 && out && outLength);
    Request req(0x08, 0x81);
    req.Short(hmacAlgorithm).Int(keyIndex);
    if (keyIndex == 0) req.Int(keyType).Bytes(key, keyLength);
    req.Bytes(state, *stateLength).Bytes(data, dataLength);
    static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:A}{2,4:B}{3,$(2):B}{4,4:B}{5,$(4):B}");
    const Answer a = c.Exchange(req, t);
    c.CopyOut({{a.Field(3), {state, stateLength, kHmacStateCapacity}}, {a.Field(5), {out, outLength, kMaxDigest}}});
    return c.Done();
  });
}

SGD_RV HmacOverPieces(SGD_HANDLE h, const char* name, int32_t keyType, int32_t hmacAlgorithm, int32_t keyIndex,
                      const SGD_UCHAR* key, SGD_UINT32 keyLength, const SGD_UCHAR* data, SGD_UINT32 dataLength,
                      SGD_UCHAR* out, SGD_UINT32* outLength) noexcept {
  return Guard(h, name, [&](Call& c) {
    SGD_UCHAR state[kHmacStateCapacity] = {};
    SGD_UINT32 stateLength = 0;
    if (dataLength == 0) return SGD_RV{SDR_OK};
    c.Require(data != nullptr);
    for (SGD_UINT32 done = 0; done < dataLength;) {
      const SGD_UINT32 piece = std::min(dataLength - done, kCipherPiece);
      c.Check(CalculateHmac(h, hmacAlgorithm, keyIndex, keyType, key, keyLength, data + done, piece, state,
                            &stateLength, out, outLength));
      done += piece;
    }
    return SGD_RV{SDR_OK};
  });
}

const FieldTemplate& CcmTagAnswer(SGD_UINT32 tagLength) {
  // Tags are at most 16 bytes; other lengths are compiled per call.
  static const std::vector<FieldTemplate> common = [] {
    std::vector<FieldTemplate> v;
    for (int n = 0; n <= 16; ++n)
      v.push_back(FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}{4," + std::to_string(n) + ":B}"));
    return v;
  }();
  if (tagLength <= 16) return common[tagLength];
  thread_local FieldTemplate other = common[0];
  other = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}{4," + std::to_string(tagLength) + ":B}");
  return other;
}

bool NonceLengthOk(SGD_UINT32 n) { return n >= 7 && n <= 13; }

}  // namespace

}  // namespace Quor::Commands

using namespace Quor::Commands;

extern "C" {

QUOR_API SGD_RV Quor_SymmKeyOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iMode,
                                      const SGD_UCHAR* pucIV, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_INT32 iAlgorithm, const SGD_UCHAR* pucData,
                                      SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UCHAR* pucIVOut) {
  return Guard(hSessionHandle, "Quor_SymmKeyOperation", [&](Call& c) {
    const bool withIv = ModeCarriesIv(iMode);
    c.Require((!withIv || pucIV) && pucData && uiDataLen != 0 && pucOut);
    Request req(0x04, iDecrypt != 0 ? 0x02 : 0x01);
    req.Int(iMode);
    AddKey(c, req, iKeyIndex, pucKey, uiKeyLen);
    req.Int(iAlgorithm).Bytes(pucData, uiDataLen);
    const size_t ivLength = IvLength(iAlgorithm);
    if (withIv) req.Raw(pucIV, ivLength);
    const Answer a = c.Exchange(req, Results(2));
    // Short results would leave the caller's buffers partly stale: refuse them
    // before writing anything.
    const std::string_view data = a.Field(3);
    const std::string_view chain = a.Field(5);
    const bool writeIv = pucIVOut && withIv;
    if (data.size() < uiDataLen || (writeIv && chain.size() < ivLength)) {
      c.Log(4, "%s answer shorter than the data or the IV", c.Name());
      FailWith(SDR_COMMFAIL);
    }
    std::memcpy(pucOut, data.data(), uiDataLen);
    if (writeIv) std::memcpy(pucIVOut, chain.data(), ivLength);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_CalculateMAC(SGD_HANDLE hSessionHandle, SGD_INT32 iMacType, const SGD_UCHAR* pucIV,
                                  SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen,
                                  SGD_INT32 iAlgorithm, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                                  SGD_UCHAR* pucMac, SGD_UINT32* puiMacLen) {
  return CalculateMac(hSessionHandle, iMacType, pucIV, iKeyIndex, pucKey, uiKeyLen, iAlgorithm, pucData, uiDataLen,
                      {pucMac, puiMacLen});
}

// An HMAC is a digest: no answer longer than the longest digest is copied.
QUOR_API SGD_RV Quor_CalculateHmac(SGD_HANDLE hSessionHandle, SGD_INT32 iHmacAlgorithm, SGD_INT32 iKeyIndex,
                                   const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, const SGD_UCHAR* pucData,
                                   SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return HmacOverPieces(hSessionHandle, "Quor_CalculateHmac", 2, iHmacAlgorithm, iKeyIndex, pucKey, uiKeyLen, pucData,
                        uiDataLen, pucOut, puiOutLen);
}

QUOR_API SGD_RV Quor_PlainKeyCalculateHmac(SGD_HANDLE hSessionHandle, SGD_INT32 iHmacAlgorithm, SGD_INT32 iKeyIndex,
                                           const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, const SGD_UCHAR* pucData,
                                           SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return HmacOverPieces(hSessionHandle, "Quor_PlainKeyCalculateHmac", 1, iHmacAlgorithm, iKeyIndex, pucKey, uiKeyLen,
                        pucData, uiDataLen, pucOut, puiOutLen);
}

QUOR_API SGD_RV Quor_SymmKeyCCMOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                         const SGD_UCHAR* pucData1, SGD_UINT32 uiData1Len, const SGD_UCHAR* pucNonce,
                                         SGD_UINT32 uiNonceLen, const SGD_UCHAR* pucData2, SGD_UINT32 uiData2Len,
                                         SGD_UCHAR* pucTag, SGD_UINT32 uiTagLen, SGD_UCHAR* pucOut,
                                         SGD_UINT32* puiOutLen) {
  return Guard(hSessionHandle, "Quor_SymmKeyCCMOperation", [&](Call& c) {
    c.Require(NonceLengthOk(uiNonceLen) && !(pucOut && !puiOutLen));
    const bool decrypt = iDecrypt != 0;
    Request req(0x08, decrypt ? 0x72 : 0x71);
    req.Int(7);
    AddKey(c, req, iKeyIndex, pucKey, uiKeyLen);
    req.Int(iValueA).Bytes(pucData1, uiData1Len).Bytes(pucNonce, uiNonceLen).Bytes(pucData2, uiData2Len);
    if (decrypt) {
      req.Bytes(pucTag, uiTagLen);
      const Answer a = c.Exchange(req, OneResult());
      c.CopyOut(a.Field(3), {pucOut, puiOutLen});
      return c.Done();
    }
    req.Int(uiTagLen);
    const Answer a = c.Exchange(req, CcmTagAnswer(uiTagLen));
    // The tag is written whole or not at all.
    if (pucTag && a.Field(4).size() != uiTagLen) FailWith(SDR_COMMFAIL);
    c.CopyOut(a.Field(3), {pucOut, puiOutLen});
    if (pucTag && uiTagLen != 0) std::memcpy(pucTag, a.Field(4).data(), uiTagLen);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_SymmKeyCCMOperationInit(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                             const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                             const SGD_UCHAR* pucNonce, SGD_UINT32 uiNonceLen, const SGD_UCHAR* pucData,
                                             SGD_UINT32 uiDataLen, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                             SGD_UCHAR* pucContext, SGD_UINT32* puiContextLen) {
  return Guard(hSessionHandle, "Quor_SymmKeyCCMOperationInit", [&](Call& c) {
    c.Require(NonceLengthOk(uiNonceLen) && !(pucContext && !puiContextLen));
    Request req(0x08, 0x73);
    req.Int(7).Int(iDecrypt + 1);
    AddKey(c, req, iKeyIndex, pucKey, uiKeyLen);
    req.Int(iValueA).Bytes(pucNonce, uiNonceLen).Bytes(pucData, uiDataLen).Int(iValueB).Int(iValueC);
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), {pucContext, puiContextLen});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_SymmKeyCCMOperationUpdate(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt,
                                               const SGD_UCHAR* pucContext, SGD_UINT32 uiContextLen,
                                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucContextOut,
                                               SGD_UINT32* puiContextOutLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return Guard(hSessionHandle, "Quor_SymmKeyCCMOperationUpdate", [&](Call& c) {
    c.Require(!(pucContextOut && !puiContextOutLen) && !(pucOut && !puiOutLen));
    // The request holds its own copy of the context, so the output may share its buffer.
    Request req(0x08, 0x74);
    req.Bytes(pucContext, uiContextLen).Int(iDecrypt + 1).Bytes(pucData, uiDataLen);
    const Answer a = c.Exchange(req, Results(2));
    c.CopyOut({{a.Field(3), {pucOut, puiOutLen}}, {a.Field(5), {pucContextOut, puiContextOutLen}}});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_SymmKeyCCMOperationFinal(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt,
                                              const SGD_UCHAR* pucContext, SGD_UINT32 uiContextLen, SGD_UCHAR* pucTag,
                                              SGD_UINT32* puiTagLen) {
  return Guard(hSessionHandle, "Quor_SymmKeyCCMOperationFinal", [&](Call& c) {
    const bool decrypt = iDecrypt != 0;
    // Decrypting reads the tag through the length pointer.
    c.Require(decrypt ? puiTagLen != nullptr : !(pucTag && !puiTagLen));
    Request req(0x08, 0x75);
    req.Bytes(pucContext, uiContextLen).Int(iDecrypt + 1);
    if (decrypt) {
      req.Bytes(pucTag, *puiTagLen);
      c.Exchange(req, NoResult());
      return c.Done();
    }
    const Answer a = c.Exchange(req, OneResult());
    c.CopyOut(a.Field(3), {pucTag, puiTagLen});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_SymmKeyGCMOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                         const SGD_UCHAR* pucData1, SGD_UINT32 uiData1Len, const SGD_UCHAR* pucData2,
                                         SGD_UINT32 uiData2Len, const SGD_UCHAR* pucData3, SGD_UINT32 uiData3Len,
                                         SGD_UCHAR* pucTag, SGD_UINT32* puiTagLen, SGD_UCHAR* pucOut,
                                         SGD_UINT32* puiOutLen) {
  return Guard(hSessionHandle, "Quor_SymmKeyGCMOperation", [&](Call& c) {
    const bool decrypt = iDecrypt != 0;
    c.Require(!((decrypt || pucTag) && !puiTagLen) && !(pucOut && !puiOutLen));
    Request req(0x08, decrypt ? 0x22 : 0x21);
    req.Int(6);
    AddKey(c, req, iKeyIndex, pucKey, uiKeyLen);
    req.Int(iValueA).Bytes(pucData1, uiData1Len).Bytes(pucData2, uiData2Len).Bytes(pucData3, uiData3Len);
    if (decrypt) {
      req.Bytes(pucTag, *puiTagLen);
      const Answer a = c.Exchange(req, OneResult());
      c.CopyOut(a.Field(3), {pucOut, puiOutLen});
      return c.Done();
    }
    const Answer a = c.Exchange(req, Results(2));
    c.CopyOut({{a.Field(3), {pucOut, puiOutLen}}, {a.Field(5), {pucTag, puiTagLen}}});
    return c.Done();
  });
}

}  // extern "C"

namespace {

// Pads and joins items: n bytes of value n, 1 to 16 of them.
void AppendPadded(Call& c, Quor::Bytes& buffer, const DataRecord& item) {
  c.Require(item.data || item.length == 0);
  if (item.length) buffer.append(reinterpret_cast<const char*>(item.data), item.length);
  const size_t n = 16 - item.length % 16;
  buffer.append(n, static_cast<char>(n));
}

size_t PaddedLength(SGD_UINT32 length) { return length + (16 - length % 16); }

// Encrypts or decrypts the buffer in place, the IV (when there is one)
// carrying the chaining value from piece to piece.
void RunInPieces(Call& c, SGD_HANDLE h, bool decrypt, const CipherChoice& choice, SGD_UCHAR* iv, int32_t keyIndex,
                 const SGD_UCHAR* key, SGD_UINT32 keyLength, Quor::Bytes& buffer) {
  c.Require(!buffer.empty() && buffer.size() % 16 == 0);
  auto* p = reinterpret_cast<SGD_UCHAR*>(buffer.data());
  for (size_t done = 0; done < buffer.size();) {
    const auto piece = static_cast<SGD_UINT32>(std::min<size_t>(buffer.size() - done, kCipherPiece));
    c.Check(Quor_SymmKeyOperation(h, decrypt ? 1 : 0, choice.mode, iv, keyIndex, key, keyLength, choice.algorithm,
                                  p + done, piece, p + done, iv));
    done += piece;
  }
}

// Writes one result into an output record: the length in any case, the
// bytes when the capacity allows (plus a zero byte when asked).
void WriteRecord(DataRecord& out, std::string_view value, bool zeroTerminated) {
  const SGD_UINT32 capacity = out.length;
  out.length = static_cast<SGD_UINT32>(value.size());
  if (!out.data) return;
  if (capacity < value.size() + (zeroTerminated ? 1 : 0)) throw Failure{kBufferTooSmall};
  if (!value.empty()) std::memcpy(out.data, value.data(), value.size());
  if (zeroTerminated) out.data[value.size()] = 0;
}

// The plain length of a decrypted item: its length less the pad byte's value.
std::string_view Unpadded(std::string_view item) {
  const auto n = static_cast<unsigned char>(item.back());
  if (n > item.size()) FailWith(SDR_INARGERR);
  return item.substr(0, item.size() - n);
}

void LogBatchStart(Call& c, SGD_UINT32 algId, const SGD_UCHAR* iv, size_t ivBound, int32_t keyIndex) {
  c.LogNumber("uiAlgID", algId);
  if (iv && iv[0] != 0) c.LogHex("pucIV", iv, strnlen(reinterpret_cast<const char*>(iv), ivBound));
  if (keyIndex != 0) c.LogNumber("index", static_cast<uint32_t>(keyIndex));
}

CipherChoice Choose(SGD_UINT32 algId, SGD_UINT32 keyLength) {
  CipherChoice choice{};
  if (!ChooseCipher(algId, keyLength, false, choice)) FailWith(SDR_ALGNOTSUPPORT);
  return choice;
}

// The IV buffer's length is not given: log no more of it than the
// identifier's IV could hold.
size_t LogIvBound(SGD_UINT32 algId, SGD_UINT32 keyLength) {
  CipherChoice choice{};
  return ChooseCipher(algId, keyLength, false, choice) ? IvLength(choice.algorithm) : 8;
}

SGD_RV Batch(SGD_HANDLE h, const char* name, bool decrypt, int32_t keyIndex, const SGD_UCHAR* key, SGD_UINT32 keyLength,
             SGD_UINT32 algId, SGD_UCHAR* iv, SGD_UINT32 count, const BatchRecord* input,
             BatchRecord* output) noexcept {
  return Guard(h, name, [&](Call& c) {
    LogBatchStart(c, algId, iv, LogIvBound(algId, keyLength), keyIndex);
    c.Require(count == 0 || (input && output));
    Quor::Bytes buffer;
    for (int s = 0; s < 3; ++s) {
      for (SGD_UINT32 r = 0; r < count; ++r) {
        const DataRecord& item = input[r].slot[s];
        if (!decrypt) {
          AppendPadded(c, buffer, item);
          continue;
        }
        // Every slot's text must decode to whole bytes, or its items would
        // not line up with the decrypted buffer.
        c.Require((item.data || item.length == 0) && item.length % 2 == 0);
        buffer += Quor::HexDecodeLenient(Quor::AsView(item.data, item.length));
      }
    }
    const CipherChoice choice = Choose(algId, keyLength);
    c.Require(!ModeCarriesIv(choice.mode) || iv);
    RunInPieces(c, h, decrypt, choice, iv, keyIndex, key, keyLength, buffer);

    size_t offset = 0;
    std::string text;
    for (int s = 0; s < 3; ++s) {
      for (SGD_UINT32 r = 0; r < count; ++r) {
        const DataRecord& in = input[r].slot[s];
        DataRecord& out = output[r].slot[s];
        if (!decrypt) {
          const size_t n = PaddedLength(in.length);
          text = Quor::HexEncode(buffer.data() + offset, n);
          offset += n;
          WriteRecord(out, text, false);
          continue;
        }
        if (in.length == 0) continue;
        const size_t n = in.length / 2;
        const std::string_view item(buffer.data() + offset, n);
        offset += n;
        WriteRecord(out, Unpadded(item), false);
      }
    }
    return c.Done();
  });
}

SGD_RV MultiData(SGD_HANDLE h, const char* name, bool decrypt, int32_t keyIndex, const SGD_UCHAR* key,
                 SGD_UINT32 keyLength, SGD_UINT32 algId, SGD_UINT32 count, const DataRecord* input,
                 DataRecord* output) noexcept {
  return Guard(h, name, [&](Call& c) {
    c.LogNumber("uiAlgID", algId);
    if (keyIndex != 0) c.LogNumber("index", static_cast<uint32_t>(keyIndex));
    c.Require((keyIndex != 0 || key) && (count == 0 || (input && output)));
    Quor::Bytes buffer;
    for (SGD_UINT32 r = 0; r < count; ++r) {
      if (!decrypt) {
        AppendPadded(c, buffer, input[r]);
        continue;
      }
      c.Require((input[r].data || input[r].length == 0) && input[r].length % 2 == 0);
      buffer += Quor::HexDecodeLenient(Quor::AsView(input[r].data, input[r].length));
    }
    const CipherChoice choice = Choose(algId, keyLength);
    RunInPieces(c, h, decrypt, choice, nullptr, keyIndex, key, keyLength, buffer);

    size_t offset = 0;
    for (SGD_UINT32 r = 0; r < count; ++r) {
      if (!decrypt) {
        const size_t n = PaddedLength(input[r].length);
        WriteRecord(output[r], Quor::HexEncode(buffer.data() + offset, n), true);
        offset += n;
        continue;
      }
      const size_t n = input[r].length / 2;
      if (n == 0) {
        output[r].length = 0;
        continue;
      }
      WriteRecord(output[r], Unpadded(std::string_view(buffer.data() + offset, n)), false);
      offset += n;
    }
    return c.Done();
  });
}

}  // namespace

extern "C" {

QUOR_API SGD_RV Quor_BatchEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                  SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV, SGD_UINT32 uiCount,
                                  const BatchRecord* pInput, BatchRecord* pOutput) {
  return Batch(hSessionHandle, "Quor_BatchEncrypt", false, iKeyIndex, pucKey, uiKeyLen, uiAlgID, pucIV, uiCount, pInput,
               pOutput);
}

QUOR_API SGD_RV Quor_BatchDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                  SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV, SGD_UINT32 uiCount,
                                  const BatchRecord* pInput, BatchRecord* pOutput) {
  return Batch(hSessionHandle, "Quor_BatchDecrypt", true, iKeyIndex, pucKey, uiKeyLen, uiAlgID, pucIV, uiCount, pInput,
               pOutput);
}

QUOR_API SGD_RV Quor_MultiDataEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UINT32 uiCount,
                                      const DataRecord* pInput, DataRecord* pOutput) {
  return MultiData(hSessionHandle, "Quor_MultiDataEncrypt", false, iKeyIndex, pucKey, uiKeyLen, uiAlgID, uiCount,
                   pInput, pOutput);
}

QUOR_API SGD_RV Quor_MultiDataDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UINT32 uiCount,
                                      const DataRecord* pInput, DataRecord* pOutput) {
  return MultiData(hSessionHandle, "Quor_MultiDataDecrypt", true, iKeyIndex, pucKey, uiKeyLen, uiAlgID, uiCount, pInput,
                   pOutput);
}

}  // extern "C"
