// Symmetric key management commands. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV Quor_GenerateSymmKeyWithLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_UCHAR* pucKey,
                                            SGD_UINT32* puiKeyLen, SGD_UCHAR* pucCheck, SGD_UINT32* puiCheckLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GenerateSymmKeyWithInternalKEK(SGD_HANDLE hSessionHandle, SGD_INT32 iKekIndex, SGD_UINT32 uiKeyLen,
                                                    SGD_UCHAR* pucWrappedKey, SGD_UINT32* puiWrappedKeyLen,
                                                    SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GenerateSymmKeyWithRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                                            SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent,
                                            SGD_UINT32 uiExponentLen, SGD_UINT32 uiKeyLen, SGD_UCHAR* pucWrappedKey,
                                            SGD_UINT32* puiWrappedKeyLen, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GenerateSymmKeyWithECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iCurve,
                                            const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY,
                                            SGD_UINT32 uiYLen, SGD_UINT32 uiKeyLen, SGD_UCHAR* pucCipher,
                                            SGD_UINT32* puiCipherLen, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalKEK(SGD_HANDLE hSessionHandle, SGD_INT32 iKekIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ImportPlainSymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iAlgorithm,
                                        const SGD_UCHAR* pucLabel, SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucPlainKey,
                                        SGD_UINT32 uiPlainKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ExportPlainSymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32* piAlgorithm,
                                        SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GetSymmKeyInfo(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32* piAlgorithm,
                                    SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen, SGD_UCHAR* pucCheck) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_GetSymmKCV(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                SGD_UINT32 uiKeyLen, SGD_INT32 iAlgorithm, SGD_UCHAR* pucCheck) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ImportKeyCipherByLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iKeyType,
                                          SGD_INT32 iCurve, SGD_INT32 iAlgorithm, SGD_INT32 iUsage,
                                          const SGD_UCHAR* pucPart1, SGD_UINT32 uiPart1Len, const SGD_UCHAR* pucPart2,
                                          SGD_UINT32 uiPart2Len, const SGD_UCHAR* pucPart3, SGD_UINT32 uiPart3Len,
                                          const SGD_UCHAR* pucCheck, SGD_INT32 iFlag) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ImportSymmConvertKey(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucEncKey, SGD_UINT32 uiEncKeyLen,
                                          const SGD_UCHAR* pucTransportKey, SGD_UINT32 uiTransportKeyLen,
                                          SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ConvertSymmKeyCipherByKEKToLMK(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucKey,
                                                    SGD_UINT32 uiKeyLen, SGD_INT32 iKekIndex, const SGD_UCHAR* pucKek,
                                                    SGD_UINT32 uiKekLen, SGD_INT32 iCodeA, SGD_INT32 iCodeB,
                                                    SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ConvertSymmKeyCipherByLMKToKEK(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucKey,
                                                    SGD_UINT32 uiKeyLen, SGD_INT32 iKekIndex, const SGD_UCHAR* pucKek,
                                                    SGD_UINT32 uiKekLen, SGD_INT32 iCodeA, SGD_INT32 iCodeB,
                                                    SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ImportCovertKeyBySymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_INT32 iMode,
                                              const SGD_UCHAR* pucIV, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                              SGD_INT32 iValue3, SGD_INT32 iValue4, const SGD_UCHAR* pucData,
                                              SGD_UINT32 uiDataLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ImportCovertKeyByAsymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                               SGD_INT32 iValue3, SGD_INT32 iValue4, const SGD_UCHAR* pucData,
                                               SGD_UINT32 uiDataLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ExportCovertKeyBySymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_INT32 iMode,
                                              const SGD_UCHAR* pucIV, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                              SGD_INT32 iValue3, SGD_UINT32* puiNumber, SGD_UCHAR* pucOut1,
                                              SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_ExportCovertKeyByAsymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                               SGD_INT32 iValue3, SGD_UINT32* puiNumber, SGD_UCHAR* pucOut1,
                                               SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_KeyEncryptByOhterToLMK(
    SGD_HANDLE hSessionHandle, SGD_INT32 iKind, SGD_INT32 iValueA, SGD_INT32 iFormat, const SGD_UCHAR* pucValue16,
    const SGD_UCHAR* pucBlobA, SGD_UINT32 uiBlobALen, const SGD_UCHAR* pucBlobB, SGD_UINT32 uiBlobBLen,
    const SGD_UCHAR* pucBlobC, SGD_UINT32 uiBlobCLen, SGD_INT32 iKeyIndex, SGD_INT32 iValueB,
    const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen, const SGD_UCHAR* pucBlobD, SGD_UINT32 uiBlobDLen,
    const SGD_UCHAR* pucBlobE, SGD_UINT32 uiBlobELen, SGD_INT32 iMode, SGD_INT32 iValueC, SGD_INT32 iValueD,
    const SGD_UCHAR* pucBlobF, SGD_UINT32 uiBlobFLen, SGD_INT32 iResultFormat, SGD_INT32 iValueE,
    const SGD_UCHAR* pucKeyData, SGD_UINT32 uiKeyDataLen, const SGD_UCHAR* pucValue16b, const SGD_UCHAR* pucBlobG,
    SGD_UINT32 uiBlobGLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen, SGD_UCHAR* pucOut8) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_KeyEncryptByLMKToOhter(
    SGD_HANDLE hSessionHandle, SGD_INT32 iKind, SGD_INT32 iValueA, SGD_INT32 iFormat, const SGD_UCHAR* pucValue16,
    const SGD_UCHAR* pucBlobA, SGD_UINT32 uiBlobALen, const SGD_UCHAR* pucBlobB, SGD_UINT32 uiBlobBLen,
    SGD_INT32 iKeyIndex, SGD_INT32 iValueB, const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen,
    const SGD_UCHAR* pucBlobD, SGD_UINT32 uiBlobDLen, const SGD_UCHAR* pucBlobE, SGD_UINT32 uiBlobELen, SGD_INT32 iMode,
    SGD_INT32 iValueC, SGD_INT32 iValueD, const SGD_UCHAR* pucBlobF, SGD_UINT32 uiBlobFLen, SGD_INT32 iResultFormat,
    SGD_INT32 iTargetSelector, SGD_INT32 iValueF, SGD_INT32 iTargetIndex, SGD_INT32 iValueE,
    const SGD_UCHAR* pucTargetCipher, SGD_UINT32 uiTargetCipherLen, const SGD_UCHAR* pucValue16b, SGD_UCHAR* pucOut1,
    SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len, SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len,
    SGD_UCHAR* pucOut8) {
  return SDR_NOTSUPPORT;
}

}  // extern "C"
