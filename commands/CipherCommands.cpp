// Symmetric cipher and MAC commands. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV Quor_SymmKeyOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iMode,
                                      const SGD_UCHAR* pucIV, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_INT32 iAlgorithm, const SGD_UCHAR* pucData,
                                      SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UCHAR* pucIVOut) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_CalculateMAC(SGD_HANDLE hSessionHandle, SGD_INT32 iMacType, const SGD_UCHAR* pucIV,
                                  SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen,
                                  SGD_INT32 iAlgorithm, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                                  SGD_UCHAR* pucMac, SGD_UINT32* puiMacLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_CalculateHmac(SGD_HANDLE hSessionHandle, SGD_INT32 iHmacAlgorithm, SGD_INT32 iKeyIndex,
                                   const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, const SGD_UCHAR* pucData,
                                   SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_PlainKeyCalculateHmac(SGD_HANDLE hSessionHandle, SGD_INT32 iHmacAlgorithm, SGD_INT32 iKeyIndex,
                                           const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, const SGD_UCHAR* pucData,
                                           SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_SymmKeyCCMOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                         const SGD_UCHAR* pucData1, SGD_UINT32 uiData1Len, const SGD_UCHAR* pucNonce,
                                         SGD_UINT32 uiNonceLen, const SGD_UCHAR* pucData2, SGD_UINT32 uiData2Len,
                                         SGD_UCHAR* pucTag, SGD_UINT32 uiTagLen, SGD_UCHAR* pucOut,
                                         SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_SymmKeyCCMOperationInit(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                             const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                             const SGD_UCHAR* pucNonce, SGD_UINT32 uiNonceLen, const SGD_UCHAR* pucData,
                                             SGD_UINT32 uiDataLen, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                             SGD_UCHAR* pucContext, SGD_UINT32* puiContextLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_SymmKeyCCMOperationUpdate(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt,
                                               const SGD_UCHAR* pucContext, SGD_UINT32 uiContextLen,
                                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucContextOut,
                                               SGD_UINT32* puiContextOutLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_SymmKeyCCMOperationFinal(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt,
                                              const SGD_UCHAR* pucContext, SGD_UINT32 uiContextLen, SGD_UCHAR* pucTag,
                                              SGD_UINT32* puiTagLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_SymmKeyGCMOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                         const SGD_UCHAR* pucData1, SGD_UINT32 uiData1Len, const SGD_UCHAR* pucData2,
                                         SGD_UINT32 uiData2Len, const SGD_UCHAR* pucData3, SGD_UINT32 uiData3Len,
                                         SGD_UCHAR* pucTag, SGD_UINT32* puiTagLen, SGD_UCHAR* pucOut,
                                         SGD_UINT32* puiOutLen) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_BatchEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                  SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV, SGD_UINT32 uiCount,
                                  const BatchRecord* pInput, BatchRecord* pOutput) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_BatchDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                  SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV, SGD_UINT32 uiCount,
                                  const BatchRecord* pInput, BatchRecord* pOutput) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_MultiDataEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UINT32 uiCount,
                                      const DataRecord* pInput, DataRecord* pOutput) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV Quor_MultiDataDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UINT32 uiCount,
                                      const DataRecord* pInput, DataRecord* pOutput) {
  return SDR_NOTSUPPORT;
}

}  // extern "C"
