// Device, file and key-index commands.
#include <quorsdf.h>

#include <cstring>

#include "commands/Exchange.h"
#include "commands/Internal.h"

namespace Quor::Commands {
namespace {

constexpr size_t kRandomChunk = 2048;
constexpr SGD_UINT32 kMaxFileName = 128;
constexpr SGD_UINT32 kFileSize = 8192;
constexpr SGD_UINT32 kMaxFileIo = 4096;

const FieldTemplate& DeviceInfoAnswer() {
  static const FieldTemplate t = FieldTemplate::compile(
      "{0,2:B}{1,2:B}{2,2:B}{3,$(2):B}{4,2:B}{5,$(4):B}{6,2:B}{7,$(6):B}{8,4:B}{9,4:B}{10,8:B}{11,4:B}{12,4:B}{13,8:"
      "B}");
  return t;
}

const FieldTemplate& IndexAnswer() {
  static const FieldTemplate t = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}");
  return t;
}

const FieldTemplate& KeyInfoAnswer(int32_t keyType) {
  static const FieldTemplate symmetric =
      FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,4:B}{4,$(3):B}{5,8:B}{6,19:B}");
  static const FieldTemplate rsa =
      FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,4:B}{4,4:B}{5,4:B}{6,4:B}{7,4:B}{8,$(7):B}{9,19:B}");
  static const FieldTemplate other =
      FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,4:B}{4,4:B}{5,4:B}{6,$(5):B}{7,19:B}");
  return keyType == 0 ? symmetric : keyType == 1 ? rsa : other;
}

bool FileNameOk(const SGD_UCHAR* name, SGD_UINT32 length) {
  return name != nullptr && length >= 1 && length <= kMaxFileName;
}

bool FileRangeOk(SGD_UINT32 offset, SGD_UINT32 length) {
  return offset < kFileSize && length >= 1 && length <= kMaxFileIo && uint64_t{offset} + length <= kFileSize;
}

// Numeric device-information fields are stored as received, byte for byte;
// a field missing from a short answer gives 0.
template <class T>
void StoreRaw(T* target, std::string_view field) {
  if (target == nullptr) return;
  T value{};
  if (field.size() == sizeof value) std::memcpy(&value, field.data(), sizeof value);
  *target = value;
}

void StoreFixed(SGD_UCHAR* target, std::string_view field) {
  if (!field.empty()) std::memcpy(target, field.data(), field.size());
}

}  // namespace

SGD_RV GetDeviceInfo(SGD_HANDLE h, Out issuer, Out deviceName, Out serial, SGD_UINT32* value1, SGD_UINT32* value2,
                     SGD_UINT64* value64a, SGD_UINT32* value3, SGD_UINT32* value4, SGD_UINT64* value64b) noexcept {
  return Guard(h, "Quor_GetDeviceInfo", [&](Call& c) {
    for (const Out& o : {issuer, deviceName, serial}) c.Require(!o.data || o.length);
    static const FieldTemplate request = FieldTemplate::compile("{0,2:B}");
    const Bytes code = request.format(std::vector<Bytes>{Bytes("\x01\x01", 2)});
    Request req(static_cast<uint8_t>(code[0]), static_cast<uint8_t>(code[1]));
    const Answer a = c.Exchange(req, DeviceInfoAnswer(), DeviceErrorRule::CommFail, kDeviceInfoAnswerCapacity);
    c.CopyOut({{a.Field(3), issuer}, {a.Field(5), deviceName}, {a.Field(7), serial}});
    StoreRaw(value1, a.Field(8));
    StoreRaw(value2, a.Field(9));
    StoreRaw(value64a, a.Field(10));
    StoreRaw(value3, a.Field(11));
    StoreRaw(value4, a.Field(12));
    StoreRaw(value64b, a.Field(13));
    return c.Done();
  });
}

SGD_RV GetPrivateKeyAccessRight(SGD_HANDLE h, int32_t keyIndex, int32_t keyType, const SGD_UCHAR* password,
                                SGD_UINT32 passwordLength) noexcept {
  return Guard(h, "GetPrivateKeyAccessRight", [&](Call& c) {
    c.Require(keyIndex != 0 && (passwordLength == 0 || password));
    const uint32_t absolute = keyIndex < 0 ? 0u - static_cast<uint32_t>(keyIndex) : static_cast<uint32_t>(keyIndex);
    c.Exchange(Request(0x01, 0x03).Int(keyType).Int(absolute).Int(passwordLength).Raw(password, passwordLength),
               NoResult(), DeviceErrorRule::AccessRight);
    return c.Done();
  });
}

SGD_RV requestPrivateKeyAccessRight(SGD_HANDLE h, int32_t keyIndex, const SGD_UCHAR* password,
                                    SGD_UINT32 passwordLength) noexcept {
  // Both key types are always asked: the index may name either pair.
  const SGD_RV rsa = GetPrivateKeyAccessRight(h, keyIndex, 1, password, passwordLength);
  const SGD_RV ecc = GetPrivateKeyAccessRight(h, keyIndex, 2, password, passwordLength);
  return rsa == SDR_OK || ecc == SDR_OK ? SDR_OK : rsa;
}

}  // namespace Quor::Commands

using namespace Quor::Commands;

extern "C" {

QUOR_API SGD_RV Quor_GetDeviceInfo(SGD_HANDLE h, SGD_UCHAR* pucIssuer, SGD_UINT32* puiIssuerLen,
                                   SGD_UCHAR* pucDeviceName, SGD_UINT32* puiDeviceNameLen, SGD_UCHAR* pucSerial,
                                   SGD_UINT32* puiSerialLen, SGD_UINT32* puiValue1, SGD_UINT32* puiValue2,
                                   SGD_UINT64* pulValue1, SGD_UINT32* puiValue3, SGD_UINT32* puiValue4,
                                   SGD_UINT64* pulValue2) {
  return GetDeviceInfo(h, {pucIssuer, puiIssuerLen}, {pucDeviceName, puiDeviceNameLen}, {pucSerial, puiSerialLen},
                       puiValue1, puiValue2, pulValue1, puiValue3, puiValue4, pulValue2);
}

QUOR_API SGD_RV Quor_GenerateRandom(SGD_HANDLE h, SGD_UINT32 uiLength, SGD_UCHAR* pucRandom) {
  return Guard(h, "Quor_GenerateRandom", [&](Call& c) {
    c.Require(pucRandom != nullptr);
    for (SGD_UINT32 done = 0; done < uiLength;) {
      const SGD_UINT32 chunk = static_cast<SGD_UINT32>(std::min<size_t>(uiLength - done, kRandomChunk));
      const Answer a = c.Exchange(Request(0x01, 0x02).Int(chunk), NoResult());
      // The bytes follow the 4-byte header; a short answer is refused rather
      // than padded with whatever the buffer held.
      const std::string_view bytes = a.Raw().substr(4);
      if (bytes.size() < chunk) FailWith(SDR_COMMFAIL);
      std::memcpy(pucRandom + done, bytes.data(), chunk);
      done += chunk;
    }
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_AppPinAuth(SGD_HANDLE h, const SGD_UCHAR* pucPin, SGD_UINT32 uiPinLen) {
  return Guard(h, "Quor_AppPinAuth", [&](Call& c) {
    c.Require(pucPin && uiPinLen >= 4 && uiPinLen <= 12);
    c.Exchange(Request(0x08, 0x99).Bytes(pucPin, uiPinLen), NoResult(), DeviceErrorRule::Verify);
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_CreateFile(SGD_HANDLE h, const SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                                SGD_UINT32 uiFileSize) {
  return Guard(h, "Quor_CreateFile", [&](Call& c) {
    c.Require(FileNameOk(pucFileName, uiNameLen) && uiFileSize >= 1 && uiFileSize <= kFileSize);
    c.Exchange(Request(0x06, 0x01).Bytes(pucFileName, uiNameLen).Int(uiFileSize), NoResult());
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_ReadFile(SGD_HANDLE h, const SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen, SGD_UINT32 uiOffset,
                              SGD_UINT32 uiLength, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return Guard(h, "Quor_ReadFile", [&](Call& c) {
    c.Require(FileNameOk(pucFileName, uiNameLen) && FileRangeOk(uiOffset, uiLength));
    const Answer a =
        c.Exchange(Request(0x06, 0x02).Bytes(pucFileName, uiNameLen).Int(uiOffset).Int(uiLength), OneResult());
    // The caller's buffer is sized for the length asked for.
    c.CopyOut(a.Field(3), {pucOut, puiOutLen, uiLength});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_WriteFile(SGD_HANDLE h, const SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen, SGD_UINT32 uiOffset,
                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen) {
  return Guard(h, "Quor_WriteFile", [&](Call& c) {
    c.Require(FileNameOk(pucFileName, uiNameLen) && FileRangeOk(uiOffset, uiDataLen) && pucData);
    c.Exchange(Request(0x06, 0x03).Bytes(pucFileName, uiNameLen).Int(uiOffset).Bytes(pucData, uiDataLen), NoResult());
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_DeleteFile(SGD_HANDLE h, const SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen) {
  return Guard(h, "Quor_DeleteFile", [&](Call& c) {
    c.Require(FileNameOk(pucFileName, uiNameLen));
    c.Exchange(Request(0x06, 0x04).Bytes(pucFileName, uiNameLen), NoResult());
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_SetKeyLabel(SGD_HANDLE h, SGD_INT32 iKeyType, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucLabel,
                                 SGD_UINT32 uiLabelLen) {
  return Guard(h, "Quor_SetKeyLabel", [&](Call& c) {
    c.Exchange(Request(0x08, 0x05).Int(iKeyType).Int(iKeyIndex).Bytes(pucLabel, uiLabelLen), NoResult());
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_GetKeyLabel(SGD_HANDLE h, SGD_INT32 iKeyType, SGD_INT32 iKeyIndex, SGD_UCHAR* pucLabel,
                                 SGD_UINT32* puiLabelLen) {
  return Guard(h, "Quor_GetKeyLabel", [&](Call& c) {
    c.Require(iKeyIndex != 0);
    const Answer a = c.Exchange(Request(0x08, 0x06).Int(iKeyType).Int(iKeyIndex), OneResult());
    c.CopyOut(a.Field(3), {pucLabel, puiLabelLen});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_GetKeyIndex(SGD_HANDLE h, SGD_INT32 iKeyType, const SGD_UCHAR* pucLabel, SGD_UINT32 uiLabelLen,
                                 SGD_INT32* piKeyIndex) {
  return Guard(h, "Quor_GetKeyIndex", [&](Call& c) {
    c.Require(piKeyIndex != nullptr);
    const Answer a = c.Exchange(Request(0x08, 0x07).Int(iKeyType).Bytes(pucLabel, uiLabelLen), IndexAnswer());
    *piKeyIndex = static_cast<SGD_INT32>(a.Number(2));
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_DestroyKey(SGD_HANDLE h, SGD_INT32 iKeyType, SGD_INT32 iKeyIndex) {
  return Guard(h, "Quor_DestroyKey", [&](Call& c) {
    c.Exchange(Request(0x08, 0x08).Int(iKeyType).Int(iKeyIndex), NoResult());
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_GetIndexInfo(SGD_HANDLE h, SGD_INT32 iKeyIndex, SGD_UCHAR* pucInfo, SGD_UINT32* puiInfoLen) {
  return Guard(h, "Quor_GetIndexInfo", [&](Call& c) {
    c.Require(!pucInfo || puiInfoLen);
    const Answer a = c.Exchange(Request(0x08, 0x61).Int(iKeyIndex), OneResult());
    c.CopyOut(a.Field(3), {pucInfo, puiInfoLen});
    return c.Done();
  });
}

QUOR_API SGD_RV Quor_GetKeyInfo(SGD_HANDLE h, SGD_INT32 iKeyType, SGD_INT32 iKeyIndex, SGD_UINT32* puiNumber1,
                                SGD_UINT32* puiNumber2, SGD_UINT32* puiNumber3, SGD_UINT32* puiNumber4,
                                SGD_UINT32* puiNumber5, SGD_UCHAR* pucKeyData, SGD_UINT32* puiKeyDataLen,
                                SGD_UCHAR* pucBuffer8, SGD_UCHAR* pucBuffer19) {
  return Guard(h, "Quor_GetKeyInfo", [&](Call& c) {
    c.LogNumber("type", static_cast<uint32_t>(iKeyType));
    c.LogNumber("index", static_cast<uint32_t>(iKeyIndex));
    c.Require(iKeyIndex != 0 && puiNumber1 && puiNumber2 && puiNumber3 && puiNumber4 && puiNumber5 && pucKeyData &&
              puiKeyDataLen && pucBuffer8 && pucBuffer19);
    const Answer a = c.Exchange(Request(0x09, 0x09).Int(iKeyType).Int(iKeyIndex), KeyInfoAnswer(iKeyType));
    const Out keyData{pucKeyData, puiKeyDataLen};
    if (iKeyType == 0) {
      c.CopyOut(a.Field(4), keyData);
      *puiNumber1 = a.Number(2);
      StoreFixed(pucBuffer8, a.Field(5));
      StoreFixed(pucBuffer19, a.Field(6));
    } else if (iKeyType == 1) {
      c.CopyOut(a.Field(8), keyData);
      *puiNumber1 = a.Number(2);
      *puiNumber2 = a.Number(3);
      *puiNumber3 = a.Number(4);
      *puiNumber4 = a.Number(5);
      *puiNumber5 = a.Number(6);
      StoreFixed(pucBuffer19, a.Field(9));
    } else {
      c.CopyOut(a.Field(6), keyData);
      *puiNumber3 = a.Number(3);
      *puiNumber5 = a.Number(4);
      StoreFixed(pucBuffer19, a.Field(7));
    }
    return c.Done();
  });
}

}  // extern "C"
