/* A C application that calls every GM/T 0018 function once against a device
 * whose configuration is in the directory given as its argument. The device
 * holds an SM2 pair in slot 1 (password "pw1"), an RSA pair in slot 2 ("pw2"),
 * a second SM2 pair in slot 5 ("pw5") and an SM4 key in slot 10. Slots 7 to 9
 * receive generated keys. Exit status 0 on success; otherwise the number of
 * the failed step, with its name and code on stderr. */
#include <quorsdf.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int step = 0;

#define CALL(expr)                                                               \
  do {                                                                           \
    SGD_RV rv_;                                                                  \
    ++step;                                                                      \
    rv_ = (expr);                                                                \
    if (rv_ != SDR_OK) {                                                         \
      fprintf(stderr, "step %d: %s returned %#x\n", step, #expr, (unsigned)rv_); \
      exit(step);                                                                \
    }                                                                            \
  } while (0)

#define EXPECT(cond)                                               \
  do {                                                             \
    ++step;                                                        \
    if (!(cond)) {                                                 \
      fprintf(stderr, "step %d: %s does not hold\n", step, #cond); \
      exit(step);                                                  \
    }                                                              \
  } while (0)

static SGD_UCHAR pw1[] = "pw1", pw2[] = "pw2", pw5[] = "pw5";

static ECCCipher* NewCipher(size_t room) {
  ECCCipher* c = (ECCCipher*)calloc(1, sizeof(ECCCipher) + room);
  if (!c) exit(100);
  return c;
}

int main(int argc, char** argv) {
  SGD_HANDLE device = NULL, session = NULL, responder = NULL;
  DEVICEINFO info;
  SGD_UCHAR random[32], data[64], out[1024], back[1024], hash[32], mac[16], iv[16], wrapped[512];
  SGD_UINT32 outLen = 0, backLen = 0, hashLen = 0, macLen = 0, wrappedLen = 0, readLen = 0;
  RSArefPublicKey rsaPub, rsaGenPub;
  RSArefPrivateKey* rsaGenPriv = (RSArefPrivateKey*)calloc(1, sizeof(RSArefPrivateKey));
  ECCrefPublicKey eccPub, eccGenPub, sponsorPub, sponsorTmp, responderPub, responderTmp;
  ECCrefPrivateKey eccGenPriv;
  ECCSignature sig;
  ECCCipher* cipher = NewCipher(64);
  ECCCipher* envelope = NewCipher(64);
  ECCCipher* keyCipher = NewCipher(32);
  SGD_HANDLE key = NULL, key2 = NULL, agreement = NULL, sponsorKey = NULL, responderKey = NULL;
  SGD_UCHAR fileName[] = "walk.bin";
  SGD_UCHAR sponsorId[] = "sponsor", responderId[] = "responder";
  SGD_UCHAR plainKey[16];

  if (argc != 2 || !rsaGenPriv) return 200;
  memset(data, 0x5A, sizeof data);
  memset(iv, 0, sizeof iv);
  memset(plainKey, 0x11, sizeof plainKey);
  Quor_SetCfgPath(argv[1]);

  /* Device, session, information, random numbers, access rights. */
  CALL(SDF_OpenDevice(&device));
  CALL(SDF_OpenSession(device, &session));
  CALL(SDF_OpenSession(device, &responder));
  CALL(SDF_GetDeviceInfo(session, &info));
  CALL(SDF_GenerateRandom(session, sizeof random, random));
  CALL(SDF_GetPrivateKeyAccessRight(session, 1, pw1, 3));
  CALL(SDF_GetPrivateKeyAccessRight(session, 2, pw2, 3));
  CALL(SDF_GetPrivateKeyAccessRight(responder, 5, pw5, 3));

  /* RSA. */
  CALL(SDF_ExportSignPublicKey_RSA(session, 2, &rsaPub));
  CALL(SDF_ExportEncPublicKey_RSA(session, 2, &rsaPub));
  EXPECT(rsaPub.bits == 2048);
  memset(&rsaGenPub, 0, sizeof rsaGenPub);
  CALL(SDF_GenerateKeyPair_RSA(session, 1024, &rsaGenPub, rsaGenPriv));
  EXPECT(rsaGenPub.e[511] == 0x01 && rsaGenPub.e[510] == 0x00 && rsaGenPub.e[509] == 0x01);
  memset(out, 0, sizeof out);
  out[0] = 0x01;
  memset(out + 1, 0x42, 127);
  CALL(SDF_ExternalPrivateKeyOperation_RSA(session, rsaGenPriv, out, 128, back, &backLen));
  CALL(SDF_ExternalPublicKeyOperation_RSA(session, &rsaGenPub, back, backLen, wrapped, &wrappedLen));
  EXPECT(wrappedLen == 128 && memcmp(wrapped, out, 128) == 0);
  out[0] = 0x01;
  memset(out + 1, 0x24, 255);
  CALL(SDF_InternalPrivateKeyOperation_RSA(session, 2, out, 256, back, &backLen));
  CALL(SDF_InternalPublicKeyOperation_RSA(session, 2, back, backLen, wrapped, &wrappedLen));
  EXPECT(wrappedLen == 256 && memcmp(wrapped, out, 256) == 0);
  CALL(SDF_GenerateKeyWithIPK_RSA(session, 2, 128, wrapped, &wrappedLen, &key));
  CALL(SDF_ImportKeyWithISK_RSA(session, 2, wrapped, wrappedLen, &key2));
  CALL(SDF_Encrypt(session, key, SGD_SM4_ECB, NULL, data, 16, out, &outLen));
  CALL(SDF_Decrypt(session, key2, SGD_SM4_ECB, NULL, out, outLen, back, &backLen));
  EXPECT(backLen == 16 && memcmp(back, data, 16) == 0);
  CALL(SDF_DestroyKey(session, key2));
  key2 = NULL;
  CALL(SDF_GenerateKeyWithEPK_RSA(session, 128, &rsaPub, wrapped, &wrappedLen, &key2));
  CALL(SDF_ExchangeDigitEnvelopeBaseOnRSA(session, 2, &rsaGenPub, wrapped, wrappedLen, out, &outLen));
  EXPECT(outLen == 128);
  CALL(SDF_DestroyKey(session, key));
  CALL(SDF_DestroyKey(session, key2));
  key = key2 = NULL;

  /* SM2. */
  CALL(SDF_ExportSignPublicKey_ECC(session, 1, &eccPub));
  CALL(SDF_ExportEncPublicKey_ECC(session, 1, &eccPub));
  memset(&eccGenPub, 0, sizeof eccGenPub);
  memset(&eccGenPriv, 0, sizeof eccGenPriv);
  CALL(SDF_GenerateKeyPair_ECC(session, SGD_SM2_1, 256, &eccGenPub, &eccGenPriv));
  memset(hash, 0x33, sizeof hash);
  CALL(SDF_ExternalSign_ECC(session, SGD_SM2_1, &eccGenPriv, hash, 32, &sig));
  CALL(SDF_ExternalVerify_ECC(session, SGD_SM2_1, &eccGenPub, hash, 32, &sig));
  CALL(SDF_InternalSign_ECC(session, 1, hash, 32, &sig));
  CALL(SDF_InternalVerify_ECC(session, 1, hash, 32, &sig));
  CALL(SDF_ExternalEncrypt_ECC(session, SGD_SM2_3, &eccGenPub, data, 40, cipher));
  CALL(SDF_ExternalDecrypt_ECC(session, SGD_SM2_3, &eccGenPriv, cipher, back, &backLen));
  EXPECT(backLen == 40 && memcmp(back, data, 40) == 0);
  CALL(SDF_InternalEncrypt_ECC(session, 1, data, 40, cipher));
  CALL(SDF_InternalDecrypt_ECC(session, 1, cipher, back, &backLen));
  EXPECT(backLen == 40 && memcmp(back, data, 40) == 0);
  CALL(SDF_ExchangeDigitEnvelopeBaseOnECC(session, 1, SGD_SM2_3, &eccGenPub, cipher, envelope));
  CALL(SDF_ExternalDecrypt_ECC(session, SGD_SM2_3, &eccGenPriv, envelope, back, &backLen));
  EXPECT(backLen == 40 && memcmp(back, data, 40) == 0);
  CALL(SDF_GenerateKeyWithIPK_ECC(session, 1, 128, keyCipher, &key));
  CALL(SDF_ImportKeyWithISK_ECC(session, 1, keyCipher, &key2));
  CALL(SDF_Encrypt(session, key, SGD_SM4_ECB, NULL, data, 16, out, &outLen));
  CALL(SDF_Decrypt(session, key2, SGD_SM4_ECB, NULL, out, outLen, back, &backLen));
  EXPECT(memcmp(back, data, 16) == 0);
  CALL(SDF_DestroyKey(session, key));
  CALL(SDF_DestroyKey(session, key2));
  key = key2 = NULL;
  CALL(SDF_GenerateKeyWithEPK_ECC(session, 128, SGD_SM2_3, &eccPub, keyCipher, &key));
  CALL(SDF_DestroyKey(session, key));
  key = NULL;

  /* SM2 key agreement between two sessions. */
  CALL(SDF_GenerateAgreementDataWithECC(session, 1, 128, sponsorId, 7, &sponsorPub, &sponsorTmp, &agreement));
  CALL(SDF_GenerateAgreementDataAndKeyWithECC(responder, 5, 128, responderId, 9, sponsorId, 7, &sponsorPub, &sponsorTmp,
                                              &responderPub, &responderTmp, &responderKey));
  CALL(SDF_GenerateKeyWithECC(session, responderId, 9, &responderPub, &responderTmp, agreement, &sponsorKey));
  CALL(SDF_Encrypt(session, sponsorKey, SGD_SM4_ECB, NULL, data, 16, out, &outLen));
  CALL(SDF_Decrypt(responder, responderKey, SGD_SM4_ECB, NULL, out, outLen, back, &backLen));
  EXPECT(memcmp(back, data, 16) == 0);

  /* Symmetric keys, cipher and MAC. */
  CALL(SDF_GenerateKeyWithKEK(session, 128, SGD_SM4_ECB, 10, wrapped, &wrappedLen, &key));
  CALL(SDF_ImportKeyWithKEK(session, SGD_SM4_ECB, 10, wrapped, wrappedLen, &key2));
  CALL(SDF_CalculateMAC(session, key, SGD_SM4_MAC, iv, data, 32, mac, &macLen));
  memset(iv, 0, sizeof iv);
  CALL(SDF_CalculateMAC(session, key2, SGD_SM4_MAC, iv, data, 32, out, &outLen));
  EXPECT(macLen == outLen && memcmp(mac, out, macLen) == 0);
  CALL(SDF_DestroyKey(session, key));
  CALL(SDF_DestroyKey(session, key2));
  key = NULL;
  CALL(SDF_ImportKey(session, plainKey, sizeof plainKey, &key));
  CALL(SDF_DestroyKey(session, key));

  /* Hash and files. */
  CALL(SDF_HashInit(session, SGD_SM3, NULL, NULL, 0));
  CALL(SDF_HashUpdate(session, data, sizeof data));
  CALL(SDF_HashFinal(session, hash, &hashLen));
  EXPECT(hashLen == 32);
  CALL(SDF_CreateFile(session, fileName, 8, 64));
  CALL(SDF_WriteFile(session, fileName, 8, 0, 32, data));
  readLen = 32;
  CALL(SDF_ReadFile(session, fileName, 8, 0, &readLen, out));
  EXPECT(readLen == 32 && memcmp(out, data, 32) == 0);
  CALL(SDF_DeleteFile(session, fileName, 8));

  CALL(SDF_ReleasePrivateKeyAccessRight(session, 1));
  CALL(SDF_CloseSession(responder));
  CALL(SDF_CloseSession(session));
  CALL(SDF_CloseDevice(device));
  free(cipher);
  free(envelope);
  free(keyCipher);
  free(rsaGenPriv);
  printf("ok\n");
  return 0;
}
