// SM2 key agreement. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV SDF_GenerateAgreementDataWithECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UINT32 uiKeyBits,
                                                 SGD_UCHAR* pucSponsorID, SGD_UINT32 uiSponsorIDLength,
                                                 ECCrefPublicKey* pucSponsorPublicKey,
                                                 ECCrefPublicKey* pucSponsorTmpPublicKey,
                                                 SGD_HANDLE* phAgreementHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_GenerateKeyWithECC(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucResponseID,
                                       SGD_UINT32 uiResponseIDLength, ECCrefPublicKey* pucResponsePublicKey,
                                       ECCrefPublicKey* pucResponseTmpPublicKey, SGD_HANDLE hAgreementHandle,
                                       SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_GenerateAgreementDataAndKeyWithECC(
    SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UINT32 uiKeyBits, SGD_UCHAR* pucResponseID,
    SGD_UINT32 uiResponseIDLength, SGD_UCHAR* pucSponsorID, SGD_UINT32 uiSponsorIDLength,
    ECCrefPublicKey* pucSponsorPublicKey, ECCrefPublicKey* pucSponsorTmpPublicKey,
    ECCrefPublicKey* pucResponsePublicKey, ECCrefPublicKey* pucResponseTmpPublicKey, SGD_HANDLE* phKeyHandle) {
  return SDR_NOTSUPPORT;
}

}  // extern "C"
