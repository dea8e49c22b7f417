/* A C application: opens a device from the configuration in the directory
 * given as its argument and gets random bytes. Exit status 0 on success. */
#include <quorsdf.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  SGD_HANDLE device = NULL;
  SGD_HANDLE session = NULL;
  SGD_UCHAR first[32], second[32];
  DEVICEINFO info;
  SGD_RV rv;

  if (argc != 2) return 2;
  Quor_SetCfgPath(argv[1]);
  rv = SDF_OpenDevice(&device);
  if (rv != SDR_OK) {
    fprintf(stderr, "SDF_OpenDevice: %#x\n", (unsigned)rv);
    return 3;
  }
  if (SDF_OpenSession(device, &session) != SDR_OK) return 4;
  if (SDF_GenerateRandom(session, sizeof first, first) != SDR_OK) return 5;
  if (SDF_GenerateRandom(session, sizeof second, second) != SDR_OK) return 5;
  if (memcmp(first, second, sizeof first) == 0) return 6;
  memset(&info, 0, sizeof info);
  if (SDF_GetDeviceInfo(session, &info) != SDR_OK || info.HashAlgAbility != (SGD_SM3 | SGD_SHA256)) return 7;
  if (SDF_CloseDevice(device) != SDR_BASE) return 8;
  if (SDF_CloseSession(session) != SDR_OK || SDF_CloseDevice(device) != SDR_OK) return 9;
  printf("ok\n");
  return 0;
}
