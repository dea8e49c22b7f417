// Asymmetric key management commands. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV Quor_GeneratePlainRSAKeyPair(
    SGD_HANDLE hSessionHandle, SGD_UINT32 uiBits, SGD_UINT32 uiExponent, SGD_UCHAR* pucModulus,
    SGD_UINT32* puiModulusLen, SGD_UCHAR* pucPublicExponent, SGD_UINT32* puiPublicExponentLen,
    SGD_UCHAR* pucPrivateExponent, SGD_UINT32* puiPrivateExponentLen, SGD_UCHAR* pucPrime1, SGD_UINT32* puiPrime1Len,
    SGD_UCHAR* pucPrime2, SGD_UINT32* puiPrime2Len, SGD_UCHAR* pucExponent1, SGD_UINT32* puiExponent1Len,
    SGD_UCHAR* pucExponent2, SGD_UINT32* puiExponent2Len, SGD_UCHAR* pucCoefficient, SGD_UINT32* puiCoefficientLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GeneratePlainECCKeyPair(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_UCHAR* pucX,
                                             SGD_UINT32* puiXLen, SGD_UCHAR* pucY, SGD_UINT32* puiYLen,
                                             SGD_UCHAR* pucPrivateKey, SGD_UINT32* puiPrivateKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GenerateAsymmKeyWithLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_UINT32 uiBits,
                                             SGD_UINT32 uiExponent, SGD_INT32 iCurve, SGD_UCHAR* pucOut1,
                                             SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len,
                                             SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GetInternalRSAPublicKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iUsage,
                                             SGD_UCHAR* pucModulus, SGD_UINT32* puiModulusLen, SGD_UCHAR* pucExponent,
                                             SGD_UINT32* puiExponentLen, SGD_UCHAR* pucThird, SGD_UINT32* puiThirdLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GetInternalECCPublicKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iUsage,
                                             SGD_UINT32* puiCurve, SGD_UCHAR* pucX, SGD_UINT32* puiXLen,
                                             SGD_UCHAR* pucY, SGD_UINT32* puiYLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GetPublicKeyByPrivateKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iCurve,
                                              SGD_INT32 iKeyStatus, const SGD_UCHAR* pucPrivateKey,
                                              SGD_UINT32 uiPrivateKeyLen, SGD_UINT32* puiCurve, SGD_UCHAR* pucPublic1,
                                              SGD_UINT32* puiPublic1Len, SGD_UCHAR* pucPublic2,
                                              SGD_UINT32* puiPublic2Len) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GetInternalKeyCipherByLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iKeyType,
                                               SGD_INT32 iUsage, SGD_UCHAR* pucPublic1, SGD_UINT32* puiPublic1Len,
                                               SGD_UCHAR* pucPublic2, SGD_UINT32* puiPublic2Len, SGD_UCHAR* pucCipher,
                                               SGD_UINT32* puiCipherLen, SGD_UCHAR* pucCheck, SGD_UINT32* puiNumber1,
                                               SGD_UINT32* puiNumber2) {
  return SDR_NOTSUPPORT;
}

}  // extern "C"
