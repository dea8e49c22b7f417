// ECC (SM2) operations. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV SDF_ExportSignPublicKey_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                            ECCrefPublicKey* pucPublicKey) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExportEncPublicKey_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                           ECCrefPublicKey* pucPublicKey) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_GenerateKeyPair_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, SGD_UINT32 uiKeyBits,
                                        ECCrefPublicKey* pucPublicKey, ECCrefPrivateKey* pucPrivateKey) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExternalSign_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPrivateKey* pucPrivateKey,
                                     SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, ECCSignature* pucSignature) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExternalVerify_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPublicKey* pucPublicKey,
                                       SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength, ECCSignature* pucSignature) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_InternalSign_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UCHAR* pucData,
                                     SGD_UINT32 uiDataLength, ECCSignature* pucSignature) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_InternalVerify_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UCHAR* pucData,
                                       SGD_UINT32 uiDataLength, ECCSignature* pucSignature) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExternalEncrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPublicKey* pucPublicKey,
                                        SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, ECCCipher* pucEncData) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExternalDecrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPrivateKey* pucPrivateKey,
                                        ECCCipher* pucEncData, SGD_UCHAR* pucData, SGD_UINT32* puiDataLength) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_InternalEncrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UCHAR* pucData,
                                        SGD_UINT32 uiDataLength, ECCCipher* pucEncData) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_InternalDecrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, ECCCipher* pucEncData,
                                        SGD_UCHAR* pucData, SGD_UINT32* puiDataLength) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExchangeDigitEnvelopeBaseOnECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex, SGD_UINT32 uiAlgID,
                                                   ECCrefPublicKey* pucPublicKey, ECCCipher* pucEncDataIn,
                                                   ECCCipher* pucEncDataOut) {
  return SDR_NOTSUPPORT;
}

}  // extern "C"
