// Session keys. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV SDF_GenerateKeyWithIPK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UINT32 uiKeyBits,
                                           SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength, SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_GenerateKeyWithEPK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits,
                                           RSArefPublicKey* pucPublicKey, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength,
                                           SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ImportKeyWithISK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UCHAR* pucKey,
                                         SGD_UINT32 uiKeyLength, SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_GenerateKeyWithIPK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UINT32 uiKeyBits,
                                           ECCCipher* pucKey, SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_GenerateKeyWithEPK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, SGD_UINT32 uiAlgID,
                                           ECCrefPublicKey* pucPublicKey, ECCCipher* pucKey, SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ImportKeyWithISK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, ECCCipher* pucKey,
                                         SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_GenerateKeyWithKEK(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, SGD_UINT32 uiAlgID,
                                       SGD_UINT32 uiKEKIndex, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength,
                                       SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ImportKeyWithKEK(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, SGD_UINT32 uiKEKIndex,
                                     SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLength, SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ImportKey(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLength,
                              SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_DestroyKey(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle) { return SDR_NOTSUPPORT; }

}  // extern "C"
