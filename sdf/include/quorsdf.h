/* quorsdf: the public interface of the client library for networked
 * hardware security modules. GM/T 0018 device interface (SDF_*) and the
 * vendor host-command interface (Quor_*). Usable from C and C++. */
#ifndef QUORSDF_H
#define QUORSDF_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define QUOR_API __attribute__((visibility("default")))
#else
#define QUOR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- GM/T 0018 base types ---- */
typedef char SGD_CHAR;
typedef int8_t SGD_INT8;
typedef int16_t SGD_INT16;
typedef int32_t SGD_INT32;
typedef int64_t SGD_INT64;
typedef unsigned char SGD_UCHAR;
typedef uint8_t SGD_UINT8;
typedef uint16_t SGD_UINT16;
typedef uint32_t SGD_UINT32;
typedef uint64_t SGD_UINT64;
typedef uint32_t SGD_RV;
typedef void* SGD_OBJ;
typedef int32_t SGD_BOOL;
typedef void* SGD_HANDLE;

/* ---- Algorithm identifiers ---- */
#define SGD_SM1_ECB 0x00000101u
#define SGD_SM1_CBC 0x00000102u
#define SGD_SM1_CFB 0x00000104u
#define SGD_SM1_OFB 0x00000108u
#define SGD_SM1_MAC 0x00000110u
#define SGD_SSF33_ECB 0x00000201u
#define SGD_SSF33_CBC 0x00000202u
#define SGD_SSF33_CFB 0x00000204u
#define SGD_SSF33_OFB 0x00000208u
#define SGD_SSF33_MAC 0x00000210u
#define SGD_SM4_ECB 0x00000401u
#define SGD_SM4_CBC 0x00000402u
#define SGD_SM4_CFB 0x00000404u
#define SGD_SM4_OFB 0x00000408u
#define SGD_SM4_MAC 0x00000410u

#define SGD_RSA 0x00010000u
#define SGD_SM2 0x00020100u
#define SGD_SM2_1 0x00020200u
#define SGD_SM2_2 0x00020400u
#define SGD_SM2_3 0x00020800u

#define SGD_SM3 0x00000001u
#define SGD_SHA1 0x00000002u
#define SGD_SHA256 0x00000004u

/* ---- Return codes ---- */
#define SDR_OK 0x00000000u
#define SDR_BASE 0x01000000u
#define SDR_UNKNOWERR (SDR_BASE + 0x00000001u)
#define SDR_NOTSUPPORT (SDR_BASE + 0x00000002u)
#define SDR_COMMFAIL (SDR_BASE + 0x00000003u)
#define SDR_HARDFAIL (SDR_BASE + 0x00000004u)
#define SDR_OPENDEVICE (SDR_BASE + 0x00000005u)
#define SDR_OPENSESSION (SDR_BASE + 0x00000006u)
#define SDR_PARDENY (SDR_BASE + 0x00000007u)
#define SDR_KEYNOTEXIST (SDR_BASE + 0x00000008u)
#define SDR_ALGNOTSUPPORT (SDR_BASE + 0x00000009u)
#define SDR_ALGMODNOTSUPPORT (SDR_BASE + 0x0000000Au)
#define SDR_PKOPERR (SDR_BASE + 0x0000000Bu)
#define SDR_SKOPERR (SDR_BASE + 0x0000000Cu)
#define SDR_SIGNERR (SDR_BASE + 0x0000000Du)
#define SDR_VERIFYERR (SDR_BASE + 0x0000000Eu)
#define SDR_SYMOPERR (SDR_BASE + 0x0000000Fu)
#define SDR_STEPERR (SDR_BASE + 0x00000010u)
#define SDR_FILESIZEERR (SDR_BASE + 0x00000011u)
#define SDR_FILENOEXIST (SDR_BASE + 0x00000012u)
#define SDR_FILEOFSERR (SDR_BASE + 0x00000013u)
#define SDR_KEYTYPEERR (SDR_BASE + 0x00000014u)
#define SDR_KEYERR (SDR_BASE + 0x00000015u)
#define SDR_ENCDATAERR (SDR_BASE + 0x00000016u)
#define SDR_RANDERR (SDR_BASE + 0x00000017u)
#define SDR_PRKRERR (SDR_BASE + 0x00000018u)
#define SDR_MACERR (SDR_BASE + 0x00000019u)
#define SDR_FILEEXSITS (SDR_BASE + 0x0000001Au)
#define SDR_FILEWERR (SDR_BASE + 0x0000001Bu)
#define SDR_NOBUFFER (SDR_BASE + 0x0000001Cu)
#define SDR_INARGERR (SDR_BASE + 0x0000001Du)
#define SDR_OUTARGERR (SDR_BASE + 0x0000001Eu)

/* Batch and multi-data functions: an output buffer is too small (its length
 * field then holds the length needed). */
#define QUOR_BUFFER_TOO_SMALL 0x02000002u

/* ---- GM/T 0018 structures (RSA up to 4096 bits, ECC up to 512 bits).
 * Numbers are big-endian byte strings right-aligned in their arrays; the
 * integer fields are in the machine's own byte order. ---- */
#define RSAref_MAX_BITS 4096
#define RSAref_MAX_LEN ((RSAref_MAX_BITS + 7) / 8)
#define RSAref_MAX_PBITS ((RSAref_MAX_BITS + 1) / 2)
#define RSAref_MAX_PLEN ((RSAref_MAX_PBITS + 7) / 8)
#define ECCref_MAX_BITS 512
#define ECCref_MAX_LEN ((ECCref_MAX_BITS + 7) / 8)

typedef struct DeviceInfo_st {
  SGD_UCHAR IssuerName[40];
  SGD_UCHAR DeviceName[16];
  SGD_UCHAR DeviceSerial[16];
  SGD_UINT32 DeviceVersion;
  SGD_UINT32 StandardVersion;
  SGD_UINT32 AsymAlgAbility[2];
  SGD_UINT32 SymAlgAbility;
  SGD_UINT32 HashAlgAbility;
  SGD_UINT32 BufferSize;
} DEVICEINFO;

typedef struct RSArefPublicKey_st {
  SGD_UINT32 bits;
  SGD_UCHAR m[RSAref_MAX_LEN];
  SGD_UCHAR e[RSAref_MAX_LEN];
} RSArefPublicKey;

typedef struct RSArefPrivateKey_st {
  SGD_UINT32 bits;
  SGD_UCHAR m[RSAref_MAX_LEN];
  SGD_UCHAR e[RSAref_MAX_LEN];
  SGD_UCHAR d[RSAref_MAX_LEN];
  SGD_UCHAR prime[2][RSAref_MAX_PLEN];
  SGD_UCHAR pexp[2][RSAref_MAX_PLEN];
  SGD_UCHAR coef[RSAref_MAX_PLEN];
} RSArefPrivateKey;

typedef struct ECCrefPublicKey_st {
  SGD_UINT32 bits;
  SGD_UCHAR x[ECCref_MAX_LEN];
  SGD_UCHAR y[ECCref_MAX_LEN];
} ECCrefPublicKey;

typedef struct ECCrefPrivateKey_st {
  SGD_UINT32 bits;
  SGD_UCHAR K[ECCref_MAX_LEN];
} ECCrefPrivateKey;

/* C holds L bytes: allocate offsetof(ECCCipher, C) + L (164 + L) bytes or more. */
typedef struct ECCCipher_st {
  SGD_UCHAR x[ECCref_MAX_LEN];
  SGD_UCHAR y[ECCref_MAX_LEN];
  SGD_UCHAR M[32];
  SGD_UINT32 L;
  SGD_UCHAR C[1];
} ECCCipher;

typedef struct ECCSignature_st {
  SGD_UCHAR r[ECCref_MAX_LEN];
  SGD_UCHAR s[ECCref_MAX_LEN];
} ECCSignature;

/* One byte string of the batch functions: the length is in/out for outputs
 * (capacity on entry, length written or needed on return). */
typedef struct DataRecord_st {
  SGD_UCHAR* data;
  SGD_UINT32 length;
} DataRecord;

/* Three slots of one batch item. */
typedef struct BatchRecord_st {
  DataRecord slot[3];
} BatchRecord;

#ifdef __cplusplus
#define QUOR_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define QUOR_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
QUOR_STATIC_ASSERT(sizeof(DEVICEINFO) == 100, "DEVICEINFO is 100 bytes");
QUOR_STATIC_ASSERT(sizeof(RSArefPublicKey) == 1028, "RSArefPublicKey is 1028 bytes");
QUOR_STATIC_ASSERT(sizeof(RSArefPrivateKey) == 2820, "RSArefPrivateKey is 2820 bytes");
QUOR_STATIC_ASSERT(sizeof(ECCrefPublicKey) == 132, "ECCrefPublicKey is 132 bytes");
QUOR_STATIC_ASSERT(sizeof(ECCrefPrivateKey) == 68, "ECCrefPrivateKey is 68 bytes");
QUOR_STATIC_ASSERT(offsetof(ECCCipher, L) == 160 && offsetof(ECCCipher, C) == 164, "ECCCipher is 164 + L bytes");
QUOR_STATIC_ASSERT(sizeof(ECCSignature) == 128, "ECCSignature is 128 bytes");
QUOR_STATIC_ASSERT(sizeof(DataRecord) == 2 * sizeof(void*), "DataRecord is two machine words");
QUOR_STATIC_ASSERT(sizeof(BatchRecord) == 3 * sizeof(DataRecord), "BatchRecord is three slots");
#undef QUOR_STATIC_ASSERT

/* ==== GM/T 0018 device interface ==== */

/* Device and session. */
QUOR_API SGD_RV SDF_OpenDevice(SGD_HANDLE* phDeviceHandle);
QUOR_API SGD_RV SDF_CloseDevice(SGD_HANDLE hDeviceHandle);
QUOR_API SGD_RV SDF_OpenSession(SGD_HANDLE hDeviceHandle, SGD_HANDLE* phSessionHandle);
QUOR_API SGD_RV SDF_CloseSession(SGD_HANDLE hSessionHandle);

/* Device information, random numbers, access rights. */
QUOR_API SGD_RV SDF_GetDeviceInfo(SGD_HANDLE hSessionHandle, DEVICEINFO* pstDeviceInfo);
QUOR_API SGD_RV SDF_GenerateRandom(SGD_HANDLE hSessionHandle, SGD_UINT32 uiLength, SGD_UCHAR* pucRandom);
QUOR_API SGD_RV SDF_GetPrivateKeyAccessRight(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex, SGD_UCHAR* pucPassword,
                                             SGD_UINT32 uiPwdLength);
QUOR_API SGD_RV SDF_ReleasePrivateKeyAccessRight(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex);

/* RSA. */
QUOR_API SGD_RV SDF_ExportSignPublicKey_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                            RSArefPublicKey* pucPublicKey);
QUOR_API SGD_RV SDF_ExportEncPublicKey_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                           RSArefPublicKey* pucPublicKey);
QUOR_API SGD_RV SDF_GenerateKeyPair_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, RSArefPublicKey* pucPublicKey,
                                        RSArefPrivateKey* pucPrivateKey);
QUOR_API SGD_RV SDF_ExternalPublicKeyOperation_RSA(SGD_HANDLE hSessionHandle, RSArefPublicKey* pucPublicKey,
                                                   SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                   SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength);
QUOR_API SGD_RV SDF_ExternalPrivateKeyOperation_RSA(SGD_HANDLE hSessionHandle, RSArefPrivateKey* pucPrivateKey,
                                                    SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                    SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength);
QUOR_API SGD_RV SDF_InternalPublicKeyOperation_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                   SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                   SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength);
QUOR_API SGD_RV SDF_InternalPrivateKeyOperation_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                    SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength,
                                                    SGD_UCHAR* pucDataOutput, SGD_UINT32* puiOutputLength);
QUOR_API SGD_RV SDF_ExchangeDigitEnvelopeBaseOnRSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                                   RSArefPublicKey* pucPublicKey, SGD_UCHAR* pucDEInput,
                                                   SGD_UINT32 uiDELength, SGD_UCHAR* pucDEOutput,
                                                   SGD_UINT32* puiDELength);

/* ECC (SM2). */
QUOR_API SGD_RV SDF_ExportSignPublicKey_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                            ECCrefPublicKey* pucPublicKey);
QUOR_API SGD_RV SDF_ExportEncPublicKey_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex,
                                           ECCrefPublicKey* pucPublicKey);
QUOR_API SGD_RV SDF_GenerateKeyPair_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, SGD_UINT32 uiKeyBits,
                                        ECCrefPublicKey* pucPublicKey, ECCrefPrivateKey* pucPrivateKey);
QUOR_API SGD_RV SDF_ExternalSign_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPrivateKey* pucPrivateKey,
                                     SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, ECCSignature* pucSignature);
QUOR_API SGD_RV SDF_ExternalVerify_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPublicKey* pucPublicKey,
                                       SGD_UCHAR* pucDataInput, SGD_UINT32 uiInputLength, ECCSignature* pucSignature);
QUOR_API SGD_RV SDF_InternalSign_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UCHAR* pucData,
                                     SGD_UINT32 uiDataLength, ECCSignature* pucSignature);
QUOR_API SGD_RV SDF_InternalVerify_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UCHAR* pucData,
                                       SGD_UINT32 uiDataLength, ECCSignature* pucSignature);
QUOR_API SGD_RV SDF_ExternalEncrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPublicKey* pucPublicKey,
                                        SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, ECCCipher* pucEncData);
QUOR_API SGD_RV SDF_ExternalDecrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPrivateKey* pucPrivateKey,
                                        ECCCipher* pucEncData, SGD_UCHAR* pucData, SGD_UINT32* puiDataLength);
/* uiIPKIndex / uiISKIndex read as signed: a negative index names the signature pair of its slot. */
QUOR_API SGD_RV SDF_InternalEncrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UCHAR* pucData,
                                        SGD_UINT32 uiDataLength, ECCCipher* pucEncData);
QUOR_API SGD_RV SDF_InternalDecrypt_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, ECCCipher* pucEncData,
                                        SGD_UCHAR* pucData, SGD_UINT32* puiDataLength);
QUOR_API SGD_RV SDF_ExchangeDigitEnvelopeBaseOnECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyIndex, SGD_UINT32 uiAlgID,
                                                   ECCrefPublicKey* pucPublicKey, ECCCipher* pucEncDataIn,
                                                   ECCCipher* pucEncDataOut);

/* Session keys. A key handle place holding null receives a new session key
 * handle; one pointing at a non-zero 32-bit index stores the key in that
 * device slot. */
QUOR_API SGD_RV SDF_GenerateKeyWithIPK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UINT32 uiKeyBits,
                                           SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength, SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_GenerateKeyWithEPK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits,
                                           RSArefPublicKey* pucPublicKey, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength,
                                           SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_ImportKeyWithISK_RSA(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UCHAR* pucKey,
                                         SGD_UINT32 uiKeyLength, SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_GenerateKeyWithIPK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiIPKIndex, SGD_UINT32 uiKeyBits,
                                           ECCCipher* pucKey, SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_GenerateKeyWithEPK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, SGD_UINT32 uiAlgID,
                                           ECCrefPublicKey* pucPublicKey, ECCCipher* pucKey, SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_ImportKeyWithISK_ECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, ECCCipher* pucKey,
                                         SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_GenerateKeyWithKEK(SGD_HANDLE hSessionHandle, SGD_UINT32 uiKeyBits, SGD_UINT32 uiAlgID,
                                       SGD_UINT32 uiKEKIndex, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLength,
                                       SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_ImportKeyWithKEK(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, SGD_UINT32 uiKEKIndex,
                                     SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLength, SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_ImportKey(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLength,
                              SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_DestroyKey(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle);

/* SM2 key agreement. */
QUOR_API SGD_RV SDF_GenerateAgreementDataWithECC(SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UINT32 uiKeyBits,
                                                 SGD_UCHAR* pucSponsorID, SGD_UINT32 uiSponsorIDLength,
                                                 ECCrefPublicKey* pucSponsorPublicKey,
                                                 ECCrefPublicKey* pucSponsorTmpPublicKey,
                                                 SGD_HANDLE* phAgreementHandle);
QUOR_API SGD_RV SDF_GenerateKeyWithECC(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucResponseID,
                                       SGD_UINT32 uiResponseIDLength, ECCrefPublicKey* pucResponsePublicKey,
                                       ECCrefPublicKey* pucResponseTmpPublicKey, SGD_HANDLE hAgreementHandle,
                                       SGD_HANDLE* phKeyHandle);
QUOR_API SGD_RV SDF_GenerateAgreementDataAndKeyWithECC(
    SGD_HANDLE hSessionHandle, SGD_UINT32 uiISKIndex, SGD_UINT32 uiKeyBits, SGD_UCHAR* pucResponseID,
    SGD_UINT32 uiResponseIDLength, SGD_UCHAR* pucSponsorID, SGD_UINT32 uiSponsorIDLength,
    ECCrefPublicKey* pucSponsorPublicKey, ECCrefPublicKey* pucSponsorTmpPublicKey,
    ECCrefPublicKey* pucResponsePublicKey, ECCrefPublicKey* pucResponseTmpPublicKey, SGD_HANDLE* phKeyHandle);

/* Symmetric encryption and MAC. */
QUOR_API SGD_RV SDF_Encrypt(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                            SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, SGD_UCHAR* pucEncData,
                            SGD_UINT32* puiEncDataLength);
QUOR_API SGD_RV SDF_Decrypt(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                            SGD_UCHAR* pucEncData, SGD_UINT32 uiEncDataLength, SGD_UCHAR* pucData,
                            SGD_UINT32* puiDataLength);
QUOR_API SGD_RV SDF_CalculateMAC(SGD_HANDLE hSessionHandle, SGD_HANDLE hKeyHandle, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV,
                                 SGD_UCHAR* pucData, SGD_UINT32 uiDataLength, SGD_UCHAR* pucMAC,
                                 SGD_UINT32* puiMACLength);

/* Hashing; the running state is kept in the session. */
QUOR_API SGD_RV SDF_HashInit(SGD_HANDLE hSessionHandle, SGD_UINT32 uiAlgID, ECCrefPublicKey* pucPublicKey,
                             SGD_UCHAR* pucID, SGD_UINT32 uiIDLength);
QUOR_API SGD_RV SDF_HashUpdate(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucData, SGD_UINT32 uiDataLength);
QUOR_API SGD_RV SDF_HashFinal(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucHash, SGD_UINT32* puiHashLength);

/* Device files. */
QUOR_API SGD_RV SDF_CreateFile(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                               SGD_UINT32 uiFileSize);
QUOR_API SGD_RV SDF_ReadFile(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                             SGD_UINT32 uiOffset, SGD_UINT32* puiFileLength, SGD_UCHAR* pucBuffer);
QUOR_API SGD_RV SDF_WriteFile(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                              SGD_UINT32 uiOffset, SGD_UINT32 uiFileLength, SGD_UCHAR* pucBuffer);
QUOR_API SGD_RV SDF_DeleteFile(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen);

/* ==== Vendor interface ==== */

/* Directory searched first for "quorConfig.ini" by SDF_OpenDevice; null or
 * "" clears it. Must not run concurrently with SDF_OpenDevice. Returns 0. */
QUOR_API SGD_RV Quor_SetCfgPath(const char* pcDirectory);

/* Every function below takes a session handle first and carries out host
 * commands on a device. Variable-length results follow one rule: with a
 * buffer, its length is stored and the bytes copied (the buffer must hold the
 * command's largest result); with only a length pointer, only the length is
 * stored. Outputs are written only on success. */

/* -- Device, file and key-index commands -- */
QUOR_API SGD_RV Quor_GetDeviceInfo(SGD_HANDLE hSessionHandle, SGD_UCHAR* pucIssuer, SGD_UINT32* puiIssuerLen,
                                   SGD_UCHAR* pucDeviceName, SGD_UINT32* puiDeviceNameLen, SGD_UCHAR* pucSerial,
                                   SGD_UINT32* puiSerialLen, SGD_UINT32* puiValue1, SGD_UINT32* puiValue2,
                                   SGD_UINT64* pulValue1, SGD_UINT32* puiValue3, SGD_UINT32* puiValue4,
                                   SGD_UINT64* pulValue2);
QUOR_API SGD_RV Quor_GenerateRandom(SGD_HANDLE hSessionHandle, SGD_UINT32 uiLength, SGD_UCHAR* pucRandom);
QUOR_API SGD_RV Quor_AppPinAuth(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucPin, SGD_UINT32 uiPinLen);
QUOR_API SGD_RV Quor_CreateFile(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                                SGD_UINT32 uiFileSize);
QUOR_API SGD_RV Quor_ReadFile(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                              SGD_UINT32 uiOffset, SGD_UINT32 uiLength, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_WriteFile(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen,
                               SGD_UINT32 uiOffset, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen);
QUOR_API SGD_RV Quor_DeleteFile(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucFileName, SGD_UINT32 uiNameLen);
QUOR_API SGD_RV Quor_SetKeyLabel(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iKeyIndex,
                                 const SGD_UCHAR* pucLabel, SGD_UINT32 uiLabelLen);
QUOR_API SGD_RV Quor_GetKeyLabel(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iKeyIndex,
                                 SGD_UCHAR* pucLabel, SGD_UINT32* puiLabelLen);
QUOR_API SGD_RV Quor_GetKeyIndex(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, const SGD_UCHAR* pucLabel,
                                 SGD_UINT32 uiLabelLen, SGD_INT32* piKeyIndex);
QUOR_API SGD_RV Quor_DestroyKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iKeyIndex);
QUOR_API SGD_RV Quor_GetIndexInfo(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_UCHAR* pucInfo,
                                  SGD_UINT32* puiInfoLen);
QUOR_API SGD_RV Quor_GetKeyInfo(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iKeyIndex,
                                SGD_UINT32* puiNumber1, SGD_UINT32* puiNumber2, SGD_UINT32* puiNumber3,
                                SGD_UINT32* puiNumber4, SGD_UINT32* puiNumber5, SGD_UCHAR* pucKeyData,
                                SGD_UINT32* puiKeyDataLen, SGD_UCHAR* pucBuffer8, SGD_UCHAR* pucBuffer19);

/* -- Symmetric key management commands -- */
QUOR_API SGD_RV Quor_GenerateSymmKeyWithLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_UCHAR* pucKey,
                                            SGD_UINT32* puiKeyLen, SGD_UCHAR* pucCheck, SGD_UINT32* puiCheckLen);
QUOR_API SGD_RV Quor_GenerateSymmKeyWithInternalKEK(SGD_HANDLE hSessionHandle, SGD_INT32 iKekIndex, SGD_UINT32 uiKeyLen,
                                                    SGD_UCHAR* pucWrappedKey, SGD_UINT32* puiWrappedKeyLen,
                                                    SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen);
QUOR_API SGD_RV Quor_GenerateSymmKeyWithRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                                            SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent,
                                            SGD_UINT32 uiExponentLen, SGD_UINT32 uiKeyLen, SGD_UCHAR* pucWrappedKey,
                                            SGD_UINT32* puiWrappedKeyLen, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen);
QUOR_API SGD_RV Quor_GenerateSymmKeyWithECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iCurve,
                                            const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY,
                                            SGD_UINT32 uiYLen, SGD_UINT32 uiKeyLen, SGD_UCHAR* pucCipher,
                                            SGD_UINT32* puiCipherLen, SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen);
QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen);
QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen);
QUOR_API SGD_RV Quor_ImportSymmKeyCipherByInternalKEK(SGD_HANDLE hSessionHandle, SGD_INT32 iKekIndex,
                                                      const SGD_UCHAR* pucWrappedKey, SGD_UINT32 uiWrappedKeyLen,
                                                      SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen);
QUOR_API SGD_RV Quor_ImportPlainSymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iAlgorithm,
                                        const SGD_UCHAR* pucLabel, SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucPlainKey,
                                        SGD_UINT32 uiPlainKeyLen);
QUOR_API SGD_RV Quor_ExportPlainSymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32* piAlgorithm,
                                        SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen);
QUOR_API SGD_RV Quor_GetSymmKeyInfo(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32* piAlgorithm,
                                    SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen, SGD_UCHAR* pucCheck);
QUOR_API SGD_RV Quor_GetSymmKCV(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                SGD_UINT32 uiKeyLen, SGD_INT32 iAlgorithm, SGD_UCHAR* pucCheck);
QUOR_API SGD_RV Quor_ImportKeyCipherByLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iKeyType,
                                          SGD_INT32 iCurve, SGD_INT32 iAlgorithm, SGD_INT32 iUsage,
                                          const SGD_UCHAR* pucPart1, SGD_UINT32 uiPart1Len, const SGD_UCHAR* pucPart2,
                                          SGD_UINT32 uiPart2Len, const SGD_UCHAR* pucPart3, SGD_UINT32 uiPart3Len,
                                          const SGD_UCHAR* pucCheck, SGD_INT32 iFlag);
QUOR_API SGD_RV Quor_ImportSymmConvertKey(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucEncKey, SGD_UINT32 uiEncKeyLen,
                                          const SGD_UCHAR* pucTransportKey, SGD_UINT32 uiTransportKeyLen,
                                          SGD_UCHAR* pucKey, SGD_UINT32* puiKeyLen);
QUOR_API SGD_RV Quor_ConvertSymmKeyCipherByKEKToLMK(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucKey,
                                                    SGD_UINT32 uiKeyLen, SGD_INT32 iKekIndex, const SGD_UCHAR* pucKek,
                                                    SGD_UINT32 uiKekLen, SGD_INT32 iCodeA, SGD_INT32 iCodeB,
                                                    SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_ConvertSymmKeyCipherByLMKToKEK(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucKey,
                                                    SGD_UINT32 uiKeyLen, SGD_INT32 iKekIndex, const SGD_UCHAR* pucKek,
                                                    SGD_UINT32 uiKekLen, SGD_INT32 iCodeA, SGD_INT32 iCodeB,
                                                    SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_ImportCovertKeyBySymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_INT32 iMode,
                                              const SGD_UCHAR* pucIV, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                              SGD_INT32 iValue3, SGD_INT32 iValue4, const SGD_UCHAR* pucData,
                                              SGD_UINT32 uiDataLen);
QUOR_API SGD_RV Quor_ImportCovertKeyByAsymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                               SGD_INT32 iValue3, SGD_INT32 iValue4, const SGD_UCHAR* pucData,
                                               SGD_UINT32 uiDataLen);
QUOR_API SGD_RV Quor_ExportCovertKeyBySymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iAlgorithm, SGD_INT32 iMode,
                                              const SGD_UCHAR* pucIV, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                              SGD_INT32 iValue3, SGD_UINT32* puiNumber, SGD_UCHAR* pucOut1,
                                              SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len);
QUOR_API SGD_RV Quor_ExportCovertKeyByAsymmKey(SGD_HANDLE hSessionHandle, SGD_INT32 iValue1, SGD_INT32 iValue2,
                                               SGD_INT32 iValue3, SGD_UINT32* puiNumber, SGD_UCHAR* pucOut1,
                                               SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len);
QUOR_API SGD_RV Quor_KeyEncryptByOhterToLMK(
    SGD_HANDLE hSessionHandle, SGD_INT32 iKind, SGD_INT32 iValueA, SGD_INT32 iFormat, const SGD_UCHAR* pucValue16,
    const SGD_UCHAR* pucBlobA, SGD_UINT32 uiBlobALen, const SGD_UCHAR* pucBlobB, SGD_UINT32 uiBlobBLen,
    const SGD_UCHAR* pucBlobC, SGD_UINT32 uiBlobCLen, SGD_INT32 iKeyIndex, SGD_INT32 iValueB,
    const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen, const SGD_UCHAR* pucBlobD, SGD_UINT32 uiBlobDLen,
    const SGD_UCHAR* pucBlobE, SGD_UINT32 uiBlobELen, SGD_INT32 iMode, SGD_INT32 iValueC, SGD_INT32 iValueD,
    const SGD_UCHAR* pucBlobF, SGD_UINT32 uiBlobFLen, SGD_INT32 iResultFormat, SGD_INT32 iValueE,
    const SGD_UCHAR* pucKeyData, SGD_UINT32 uiKeyDataLen, const SGD_UCHAR* pucValue16b, const SGD_UCHAR* pucBlobG,
    SGD_UINT32 uiBlobGLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen, SGD_UCHAR* pucOut8);
QUOR_API SGD_RV Quor_KeyEncryptByLMKToOhter(
    SGD_HANDLE hSessionHandle, SGD_INT32 iKind, SGD_INT32 iValueA, SGD_INT32 iFormat, const SGD_UCHAR* pucValue16,
    const SGD_UCHAR* pucBlobA, SGD_UINT32 uiBlobALen, const SGD_UCHAR* pucBlobB, SGD_UINT32 uiBlobBLen,
    SGD_INT32 iKeyIndex, SGD_INT32 iValueB, const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen,
    const SGD_UCHAR* pucBlobD, SGD_UINT32 uiBlobDLen, const SGD_UCHAR* pucBlobE, SGD_UINT32 uiBlobELen, SGD_INT32 iMode,
    SGD_INT32 iValueC, SGD_INT32 iValueD, const SGD_UCHAR* pucBlobF, SGD_UINT32 uiBlobFLen, SGD_INT32 iResultFormat,
    SGD_INT32 iTargetSelector, SGD_INT32 iValueF, SGD_INT32 iTargetIndex, SGD_INT32 iValueE,
    const SGD_UCHAR* pucTargetCipher, SGD_UINT32 uiTargetCipherLen, const SGD_UCHAR* pucValue16b, SGD_UCHAR* pucOut1,
    SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len, SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len,
    SGD_UCHAR* pucOut8);

/* -- Symmetric cipher and MAC commands -- */
QUOR_API SGD_RV Quor_SymmKeyOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iMode,
                                      const SGD_UCHAR* pucIV, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_INT32 iAlgorithm, const SGD_UCHAR* pucData,
                                      SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UCHAR* pucIVOut);
QUOR_API SGD_RV Quor_CalculateMAC(SGD_HANDLE hSessionHandle, SGD_INT32 iMacType, const SGD_UCHAR* pucIV,
                                  SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen,
                                  SGD_INT32 iAlgorithm, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                                  SGD_UCHAR* pucMac, SGD_UINT32* puiMacLen);
QUOR_API SGD_RV Quor_CalculateHmac(SGD_HANDLE hSessionHandle, SGD_INT32 iHmacAlgorithm, SGD_INT32 iKeyIndex,
                                   const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, const SGD_UCHAR* pucData,
                                   SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_PlainKeyCalculateHmac(SGD_HANDLE hSessionHandle, SGD_INT32 iHmacAlgorithm, SGD_INT32 iKeyIndex,
                                           const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, const SGD_UCHAR* pucData,
                                           SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_SymmKeyCCMOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                         const SGD_UCHAR* pucData1, SGD_UINT32 uiData1Len, const SGD_UCHAR* pucNonce,
                                         SGD_UINT32 uiNonceLen, const SGD_UCHAR* pucData2, SGD_UINT32 uiData2Len,
                                         SGD_UCHAR* pucTag, SGD_UINT32 uiTagLen, SGD_UCHAR* pucOut,
                                         SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_SymmKeyCCMOperationInit(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                             const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                             const SGD_UCHAR* pucNonce, SGD_UINT32 uiNonceLen, const SGD_UCHAR* pucData,
                                             SGD_UINT32 uiDataLen, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                             SGD_UCHAR* pucContext, SGD_UINT32* puiContextLen);
QUOR_API SGD_RV Quor_SymmKeyCCMOperationUpdate(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt,
                                               const SGD_UCHAR* pucContext, SGD_UINT32 uiContextLen,
                                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucContextOut,
                                               SGD_UINT32* puiContextOutLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_SymmKeyCCMOperationFinal(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt,
                                              const SGD_UCHAR* pucContext, SGD_UINT32 uiContextLen, SGD_UCHAR* pucTag,
                                              SGD_UINT32* puiTagLen);
QUOR_API SGD_RV Quor_SymmKeyGCMOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iDecrypt, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucKey, SGD_UINT32 uiKeyLen, SGD_INT32 iValueA,
                                         const SGD_UCHAR* pucData1, SGD_UINT32 uiData1Len, const SGD_UCHAR* pucData2,
                                         SGD_UINT32 uiData2Len, const SGD_UCHAR* pucData3, SGD_UINT32 uiData3Len,
                                         SGD_UCHAR* pucTag, SGD_UINT32* puiTagLen, SGD_UCHAR* pucOut,
                                         SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_BatchEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                  SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV, SGD_UINT32 uiCount,
                                  const BatchRecord* pInput, BatchRecord* pOutput);
QUOR_API SGD_RV Quor_BatchDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                  SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UCHAR* pucIV, SGD_UINT32 uiCount,
                                  const BatchRecord* pInput, BatchRecord* pOutput);
QUOR_API SGD_RV Quor_MultiDataEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UINT32 uiCount,
                                      const DataRecord* pInput, DataRecord* pOutput);
QUOR_API SGD_RV Quor_MultiDataDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKey,
                                      SGD_UINT32 uiKeyLen, SGD_UINT32 uiAlgID, SGD_UINT32 uiCount,
                                      const DataRecord* pInput, DataRecord* pOutput);

/* -- Asymmetric key management commands -- */
QUOR_API SGD_RV Quor_GeneratePlainRSAKeyPair(
    SGD_HANDLE hSessionHandle, SGD_UINT32 uiBits, SGD_UINT32 uiExponent, SGD_UCHAR* pucModulus,
    SGD_UINT32* puiModulusLen, SGD_UCHAR* pucPublicExponent, SGD_UINT32* puiPublicExponentLen,
    SGD_UCHAR* pucPrivateExponent, SGD_UINT32* puiPrivateExponentLen, SGD_UCHAR* pucPrime1, SGD_UINT32* puiPrime1Len,
    SGD_UCHAR* pucPrime2, SGD_UINT32* puiPrime2Len, SGD_UCHAR* pucExponent1, SGD_UINT32* puiExponent1Len,
    SGD_UCHAR* pucExponent2, SGD_UINT32* puiExponent2Len, SGD_UCHAR* pucCoefficient, SGD_UINT32* puiCoefficientLen);
QUOR_API SGD_RV Quor_GeneratePlainECCKeyPair(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_UCHAR* pucX,
                                             SGD_UINT32* puiXLen, SGD_UCHAR* pucY, SGD_UINT32* puiYLen,
                                             SGD_UCHAR* pucPrivateKey, SGD_UINT32* puiPrivateKeyLen);
QUOR_API SGD_RV Quor_GenerateAsymmKeyWithLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_UINT32 uiBits,
                                             SGD_UINT32 uiExponent, SGD_INT32 iCurve, SGD_UCHAR* pucOut1,
                                             SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2, SGD_UINT32* puiOut2Len,
                                             SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len);
QUOR_API SGD_RV Quor_GetInternalRSAPublicKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iUsage,
                                             SGD_UCHAR* pucModulus, SGD_UINT32* puiModulusLen, SGD_UCHAR* pucExponent,
                                             SGD_UINT32* puiExponentLen, SGD_UCHAR* pucThird, SGD_UINT32* puiThirdLen);
QUOR_API SGD_RV Quor_GetInternalECCPublicKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iUsage,
                                             SGD_UINT32* puiCurve, SGD_UCHAR* pucX, SGD_UINT32* puiXLen,
                                             SGD_UCHAR* pucY, SGD_UINT32* puiYLen);
QUOR_API SGD_RV Quor_GetPublicKeyByPrivateKey(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iCurve,
                                              SGD_INT32 iKeyStatus, const SGD_UCHAR* pucPrivateKey,
                                              SGD_UINT32 uiPrivateKeyLen, SGD_UINT32* puiCurve, SGD_UCHAR* pucPublic1,
                                              SGD_UINT32* puiPublic1Len, SGD_UCHAR* pucPublic2,
                                              SGD_UINT32* puiPublic2Len);
QUOR_API SGD_RV Quor_GetInternalKeyCipherByLMK(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iKeyType,
                                               SGD_INT32 iUsage, SGD_UCHAR* pucPublic1, SGD_UINT32* puiPublic1Len,
                                               SGD_UCHAR* pucPublic2, SGD_UINT32* puiPublic2Len, SGD_UCHAR* pucCipher,
                                               SGD_UINT32* puiCipherLen, SGD_UCHAR* pucCheck, SGD_UINT32* puiNumber1,
                                               SGD_UINT32* puiNumber2);

/* -- Asymmetric cipher and signature commands -- */
QUOR_API SGD_RV Quor_RSAEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                                SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                SGD_INT32 iPadding, SGD_INT32 iOaepHash, const SGD_UCHAR* pucLabel,
                                SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                                SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_RSADecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKeyCipher,
                                SGD_UINT32 uiKeyCipherLen, SGD_INT32 iPadding, SGD_INT32 iOaepHash,
                                const SGD_UCHAR* pucLabel, SGD_UINT32 uiLabelLen, const SGD_UCHAR* pucData,
                                SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_RSASign(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucKeyCipher,
                             SGD_UINT32 uiKeyCipherLen, SGD_INT32 iPadding, SGD_INT32 iHashMode, SGD_INT32 iPssHash,
                             SGD_UINT32 uiSaltLen, const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen,
                             SGD_UCHAR* pucSignature, SGD_UINT32* puiSignatureLen);
QUOR_API SGD_RV Quor_RSAVerify(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucModulus,
                               SGD_UINT32 uiModulusLen, const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                               SGD_INT32 iPadding, SGD_INT32 iHashMode, SGD_INT32 iPssHash, SGD_UINT32 uiSaltLen,
                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, const SGD_UCHAR* pucSignature,
                               SGD_UINT32 uiSignatureLen);
QUOR_API SGD_RV Quor_RSASignPublicKeyOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                               const SGD_UCHAR* pucModulus, SGD_UINT32 uiModulusLen,
                                               const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                               const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut,
                                               SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_PrivateKeyCipherByLMKOperation(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyType, SGD_INT32 iCurve,
                                                    SGD_INT32 iValue, const SGD_UCHAR* pucKeyCipher,
                                                    SGD_UINT32 uiKeyCipherLen, const SGD_UCHAR* pucData,
                                                    SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_ExchangeDataEnvelopeRSA(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex,
                                             const SGD_UCHAR* pucModulus, SGD_UINT32 uiModulusLen,
                                             const SGD_UCHAR* pucExponent, SGD_UINT32 uiExponentLen,
                                             const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut,
                                             SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_ExchangeDataEnvelopeECC(SGD_HANDLE hSessionHandle, SGD_INT32 iKeyIndex, SGD_INT32 iCurve,
                                             const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY,
                                             SGD_UINT32 uiYLen, const SGD_UCHAR* pucCipher, SGD_UINT32 uiCipherLen,
                                             SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_InternalECCSignHash(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                         const SGD_UCHAR* pucHash, SGD_UINT32 uiHashLen, SGD_UCHAR* pucSignature,
                                         SGD_UINT32* puiSignatureLen);
QUOR_API SGD_RV Quor_ECCVerifyHash(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                   const SGD_UCHAR* pucX, SGD_UINT32 uiXLen, const SGD_UCHAR* pucY, SGD_UINT32 uiYLen,
                                   const SGD_UCHAR* pucHash, SGD_UINT32 uiHashLen, const SGD_UCHAR* pucSignature,
                                   SGD_UINT32 uiSignatureLen);
QUOR_API SGD_RV Quor_ECCEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex, const SGD_UCHAR* pucX,
                                SGD_UINT32 uiXLen, const SGD_UCHAR* pucY, SGD_UINT32 uiYLen, const SGD_UCHAR* pucData,
                                SGD_UINT32 uiDataLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_ECCDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iUsage, SGD_INT32 iKeyIndex,
                                const SGD_UCHAR* pucPrivateKey, SGD_UINT32 uiPrivateKeyLen, const SGD_UCHAR* pucCipher,
                                SGD_UINT32 uiCipherLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_InternalECCDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iCurve, SGD_INT32 iKeyIndex,
                                        const SGD_UCHAR* pucCipher, SGD_UINT32 uiCipherLen, SGD_UCHAR* pucOut,
                                        SGD_UINT32* puiOutLen);
QUOR_API SGD_RV Quor_EciesEncrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iValueA, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                  SGD_INT32 iValueD, SGD_INT32 iValueE, SGD_INT32 iKeyIndex,
                                  const SGD_UCHAR* pucPublicKey, SGD_UINT32 uiPublicKeyLen, SGD_INT32 iValueF,
                                  const SGD_UCHAR* pucG, SGD_UINT32 uiGLen, SGD_INT32 iValueH, const SGD_UCHAR* pucI,
                                  SGD_UINT32 uiILen, SGD_INT32 iValueJ, SGD_INT32 iValueK, const SGD_UCHAR* pucL,
                                  SGD_UINT32 uiLLen, SGD_INT32 iValueM, const SGD_UCHAR* pucN, SGD_UINT32 uiNLen,
                                  SGD_UCHAR* pucOut1, SGD_UINT32* puiOut1Len, SGD_UCHAR* pucOut2,
                                  SGD_UINT32* puiOut2Len, SGD_UCHAR* pucOut3, SGD_UINT32* puiOut3Len);
QUOR_API SGD_RV Quor_EciesDecrypt(SGD_HANDLE hSessionHandle, SGD_INT32 iValueA, SGD_INT32 iValueB, SGD_INT32 iValueC,
                                  SGD_INT32 iValueD, SGD_INT32 iValueE, SGD_INT32 iKeyIndex,
                                  const SGD_UCHAR* pucKeyCipher, SGD_UINT32 uiKeyCipherLen, SGD_INT32 iValueP,
                                  SGD_INT32 iValueQ, const SGD_UCHAR* pucR, SGD_UINT32 uiRLen, const SGD_UCHAR* pucG,
                                  SGD_UINT32 uiGLen, SGD_INT32 iValueH, const SGD_UCHAR* pucI, SGD_UINT32 uiILen,
                                  SGD_INT32 iValueS, SGD_INT32 iValueT, const SGD_UCHAR* pucU, SGD_UINT32 uiULen,
                                  const SGD_UCHAR* pucV, SGD_UINT32 uiVLen, SGD_INT32 iValueM, const SGD_UCHAR* pucN,
                                  SGD_UINT32 uiNLen, SGD_UCHAR* pucOut, SGD_UINT32* puiOutLen);

/* -- Hash commands; the state is opaque and passes through the caller -- */
QUOR_API SGD_RV Quor_HashInit(SGD_HANDLE hSessionHandle, SGD_INT32 iHashCode, const SGD_UCHAR* pucX, SGD_UINT32 uiXLen,
                              const SGD_UCHAR* pucY, SGD_UINT32 uiYLen, const SGD_UCHAR* pucID, SGD_UINT32 uiIDLen,
                              SGD_UCHAR* pucState, SGD_UINT32* puiStateLen);
QUOR_API SGD_RV Quor_HashUpdate(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucState, SGD_UINT32 uiStateLen,
                                const SGD_UCHAR* pucData, SGD_UINT32 uiDataLen, SGD_UCHAR* pucStateOut,
                                SGD_UINT32* puiStateOutLen);
QUOR_API SGD_RV Quor_HashFinal(SGD_HANDLE hSessionHandle, const SGD_UCHAR* pucState, SGD_UINT32 uiStateLen,
                               SGD_UCHAR* pucDigest, SGD_UINT32* puiDigestLen);

#ifdef __cplusplus
}
#endif

#endif /* QUORSDF_H */
