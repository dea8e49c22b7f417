// RSA operations. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV SDF_ExportSignPublicKey_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                            RSArefPublicKey* pucPublicKey) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExportEncPublicKey_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                           RSArefPublicKey* pucPublicKey) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_GenerateKeyPair_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, RSArefPublicKey* pucPublicKey,
                                        RSArefPrivateKey* pucPrivateKey) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExternalPublicKeyOperation_RSA(SGD_HANDLE hSessionHandle, RSArefPublicKey* pucPublicKey,
                                                   SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                   SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExternalPrivateKeyOperation_RSA(SGD_HANDLE hSessionHandle, RSArefPrivateKey* pucPrivateKey,
                                                    SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                    SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_InternalPublicKeyOperation_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                   SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                   SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_InternalPrivateKeyOperation_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                    SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                    SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_ExchangeDigitEnvelopeBaseOnRSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                   RSArefPublicKey* pucPublicKey, SGD_UCHAR* pucDEInput,
                                                   SGD_UINT32 uiDELength, SGD_UCHAR* pucDEOutput,
                                                   SGD_UINT32* puiDELength) {
  return SDR_NOTSUPPORT;
}

}  // extern "C"
