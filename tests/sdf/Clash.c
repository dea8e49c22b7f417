/* A library that exports names quorsdf also exports, as crypto toolkits do.
 * Loaded before quorsdf, it wins every lookup through the global scope. */
#include <quorsdf.h>

QUOR_API int clash_calls = 0;

QUOR_API SGD_RV SDF_GenerateRandom(SGD_HANDLE hSessionHandle, SGD_UINT32 uiLength, SGD_UCHAR* pucRandom) {
  (void)hSessionHandle;
  (void)uiLength;
  (void)pucRandom;
  ++clash_calls;
  return 0x0C1A5400u;
}

QUOR_API SGD_RV Quor_GenerateRandom(SGD_HANDLE hSessionHandle, SGD_UINT32 uiLength, SGD_UCHAR* pucRandom) {
  (void)hSessionHandle;
  (void)uiLength;
  (void)pucRandom;
  ++clash_calls;
  return 0x0C1A5401u;
}
