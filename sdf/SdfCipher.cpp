// Symmetric encryption and MAC. Not carried out yet: each function answers SDR_NOTSUPPORT until
// its body is written on the shared exchange (commands/Exchange.h).
#include <quorsdf.h>

extern "C" {

QUOR_API SGD_RV SDF_Encrypt(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                            SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, SGD_UCHAR* pucEncData,
                            SGD_UINT32* puiEncDataLength) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_Decrypt(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                            SGD_UCHAR* pucEncData, SGD_UINT32 uiEncDataLength, SGD_UCHAR* pucData,
                            SGD_UINT32* puiDataLength) {
  return SDR_NOTSUPPORT;
}

QUOR_API SGD_RV SDF_CalculateMAC(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                                 SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, SGD_UCHAR* pucMAC,
                                 SGD_UINT32* puiMACLength) {
  return SDR_NOTSUPPORT;
}

}  // extern "C"
