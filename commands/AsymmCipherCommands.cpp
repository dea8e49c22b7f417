// Asymmetric cipher and signature commands. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV Quor_RSAEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                                SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                SGD_INT32 iPadding, SGD_INT32 iOaepHash, const SGD_UCHAR* pucLabel,
                                SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                                SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_RSADecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKeyCipher,
                                SGD_UINT32 uiKeyCipherLen, SGD_INT32 iPadding, SGD_INT32 iOaepHash,
                                const SGD_UCHAR* pucLabel, SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucData,
                                SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_RSASign(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKeyCipher,
                             SGD_UINT32 uiKeyCipherLen, SGD_INT32 iPadding, SGD_INT32 iHashMode, SGD_INT32 iPssHash,
                             SGD_UINT32 uiSaltLen, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                             SGD_UCHAR* pucSignature, SGD_UINT32* puiSignatureLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_RSAVerify(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                               SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                               SGD_INT32 iPadding, SGD_INT32 iHashMode, SGD_INT32 iPssHash, SGD_UINT32 uiSaltLen,
                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, const SGD_UCHAR* pucSignature,
                               SGD_UINT32 uiSignatureLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_RSASignPublicKeyOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                               const SGD_UCHAR* pucModulus, SGD_UINT32 uiModulusLen,
                                               const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut,
                                               SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_PrivateKeyCipherByLMKOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iCurve,
                                                    SGD_INT32 iValue, const SGD_UCHAR* pucKeyCipher,
                                                    SGD_UINT32 uiKeyCipherLen, const SGD_UCHAR* pucData,
                                                    SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ExchangeDataEnvelopeRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                             const SGD_UCHAR* pucModulus, SGD_UINT32 uiModulusLen,
                                             const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                             const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut,
                                             SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ExchangeDataEnvelopeECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iCurve,
                                             const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY,
                                             SGD_UINT32 uiYLen, const SGD_UCHAR* pucCipher, SGD_UINT32 uiCipherLen,
                                             SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_InternalECCSignHash(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucHash, SGD_UINT32 uiHashLen, SGD_UCHAR* pucSignature,
                                         SGD_UINT32* puiSignatureLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ECCVerifyHash(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                   const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY, SGD_UINT32 uiYLen,
                                   const SGD_UCHAR* pucHash, SGD_UINT32 uiHashLen, const SGD_UCHAR* pucSignature,
                                   SGD_UINT32 uiSignatureLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ECCEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucX,
                                SGD_UINT32 uiXLen, const SGD_UCHAR* pucY, SGD_UINT32 uiYLen, const SGD_UCHAR* pucData,
                                SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ECCDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iUsage, SGD_INT32 iKeyIndex,
                                const SGD_UCHAR* pucPrivateKey, SGD_UINT32 uiPrivateKeyLen, const SGD_UCHAR* pucCipher,
                                SGD_UINT32 uiCipherLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_InternalECCDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                        const SGD_UCHAR* pucCipher, SGD_UINT32 uiCipherLen, SGD_UCHAR* pucOut,
                                        SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_EciesEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iValueA, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                  SGD_INT32 iValueD, SGD_INT32 iValueE, SGD_INT32 iKeyIndex,
                                  const SGD_UCHAR* pucPublicKey, SGD_UINT32 uiPublicKeyLen, SGD_INT32 iValueF,
                                  const SGD_UCHAR* pucG, SGD_UINT32 uiGLen, SGD_INT32 iValueH, const SGD_UCHAR* pucI,
                                  SGD_UINT32 uiILen, SGD_INT32 iValueJ, SGD_INT32 iValueK, const SGD_UCHAR* pucL,
                                  SGD_UINT32 uiLLen, SGD_INT32 iValueM, const SGD_UCHAR* pucN, SGD_UINT32 uiNLen,
                                  SGD_UCHAR* pucOut1, SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2,
                                  SGD_UINT32* puiOut2Len, SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_EciesDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iValueA, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                  SGD_INT32 iValueD, SGD_INT32 iValueE, SGD_INT32 iKeyIndex,
                                  const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen, SGD_INT32 iValueP,
                                  SGD_INT32 iValueQ, const SGD_UCHAR* pucR, SGD_UINT32 uiRLen, const SGD_UCHAR* pucG,
                                  SGD_UINT32 uiGLen, SGD_INT32 iValueH, const SGD_UCHAR* pucI, SGD_UINT32 uiILen,
                                  SGD_INT32 iValueS, SGD_INT32 iValueT, const SGD_UCHAR* pucU, SGD_UINT32 uiULen,
                                  const SGD_UCHAR* pucV, SGD_UINT32 uiVLen, SGD_INT32 iValueM, const SGD_UCHAR* pucN,
                                  SGD_UINT32 uiNLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

}  // extern "C"
