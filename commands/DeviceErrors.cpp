#include "commands/DeviceErrors.h"

#include <quorsdf.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace Quor::Commands {
namespace {

struct Entry {
  int32_t code;
  const char* message;
};

// Sorted by code; constant-initialised, so it is ready before any call.
constexpr Entry kTable[] = {
    {-1, "Unknow error"},
    {0, "Success"},
    {1, "Verify failed or key odd check error"},
    {2, "Length of key is error or the key and certificate in pfx is conflict"},
    {3, "Algorithm does not support"},
    {4, "Code of algorithm type is invalid"},
    {5, "Length flag of key is invalid"},
    {6, "The count of key components is invalid or the offset is invlid"},
    {7, "KCV is error"},
    {9, "Number of export key is invalid"},
    {10, "Source key odd check error or command is invalid"},
    {11, "File size is invalid"},
    {12, "Content in user store is invalid. Reset reboot or override"},
    {13, "LMK error"},
    {15, "Invalid input data(eg: format character or length)"},
    {16, "Console or printer is invalid or not connected"},
    {17, "Device is not in authorization status or not allowed to output plain PIN"},
    {18, "Definition of document format is not loaded"},
    {19, "Diebold table is invalid"},
    {20, "Values in PIN block is invalid"},
    {21, "Key index is invalid or index(or block number) overflow"},
    {22, "Algorithm or account number is invalid"},
    {23, "Code of PIN block or key label is invalid"},
    {24, "Length of PIN must be 4 to 12"},
    {25, "Decimal conversion table or offset/PIN verify data is invalid"},
    {26, "Key flag is error or key update is unauthorized"},
    {27, "Length of key is error"},
    {28, "Algorithm is invalid"},
    {29, "Key function is not allowed or key usage is invalid(key for sign or cipher)"},
    {30, "Key refference number is invalid or key is invalid"},
    {31, "No enough request entries to provide bulk processing or hash algorhtm is invalid"},
    {32, "ADD input/RSA algorhtim flag/MGF/MAC message bolck/ICV user mode/transaction pattern/user id is invalid"},
    {33, "LMK key exchange store is error or key index is invalid"},
    {34, "ADD MAC mode or separator is invalid"},
    {35, "ADD MAC value or sign encod format is invalid"},
    {36, "ADD key derive number is error"},
    {37, "ADD session key generation is error"},
    {38, "ADD session key algorithm is error"},
    {39, "ADD type of data padding is error"},
    {40, "Firmware check value is error"},
    {41,
     "SM2 curve falg or internal hardware or software is error: RAM is breakdown or error code is invalid and so on"},
    {42, "Crypto operation failed"},
    {43, "Decode DER failed"},
    {44, "DMK doesn't exist"},
    {45, "Key deesn't exist"},
    {46, "Key store is error, write key failed"},
    {49, "Key is error, report to administrator"},
    {51, "Message head is invalid"},
    {52, "ADD Asymmetric key usage(sian or cipher) is error"},
    {53, "Mod length of key is invalid"},
    {54,
     "Exponent of key is invalid or asymmetric key DER encoder type is invalid(01:complement of the integer 2, "
     "02:unsigned integer)"},
    {55, "Asymmetric key index is error"},
    {56, "Exponent of asymmetric key is invalid"},
    {57, "Data of asymmetric key is invalid"},
    {58, "ECC curve flag is error"},
    {61, "Key doesn't exist"},
    {62, "Key password is invalid"},
    {63, "Length of key password is invalid"},
    {65, "Flag of transaction key can't be set NULL"},
    {67, "The command doesn't be authored"},
    {68, "The command is disabled"},
    {69, "PINBLOCK is disabled"},
    {70, "Cipher data is invalid(unpadding faild) or file length is invalid"},
    {71, "File has existed"},
    {72, "Create file failed"},
    {73, "File doesn't exist"},
    {74, "Digest information is invalid(hash algorithm doesn't support) or file is invalid"},
    {75, "DES64 key can't be used as DES128/DES192 or write configuration file failed"},
    {76, "Public key length is error or set RTCTIME failed"},
    {77, "Plain data block is error"},
    {78, "Secret key length is error"},
    {79, "Hash algorithm flag is error"},
    {80, "Input data length is invalid or MAC data(or other data) length is less than expected"},
    {81, "Invalid certificate header"},
    {82, "KCV length is invalid or input data invalid"},
    {83, "Key block format error or unpadding failed"},
    {84, "Padding failed or key block chech value error"},
    {85, "Key variety is invalid or Invalid OAEP MGF"},
    {86, "Invalid OAEP MGF hash function or key variety cipher is invalid"},
    {87, "OAEP parameter error"},
    {90, "Request data that received by HSM check failed"},
    {91, "LRC charactor is error(when HSM has received a transparency asynchronous package)"},
    {92,
     "Counter in command(data) is wrong or out of range(when HSM has received a transparency asynchronous "
     "package)"},
    {93, "CMCC remote issue card public key label is conflict when import or use"},
    {94, "CMCC remote issue card public key hash is conflict when import or use"},
    {96, "Key label is wrong"},
    {97, "Internal argument is wrong"},
    {98, "Packet error"},
    {99, "Device error"},
    {100, "IV error"},
    {101, "Nonce error"},
    {102, "MAC type error"},
    {103, "Context length error"},
    {104, "Compare failed"},
    {110, "malloc failed"},
    {111, "Key has existed"},
    {112, "Key label repeat"},
    {113, "SSL mode conflict"},
    {114, "Read file failed"},
    {518, "Key label repeat"},
    {1545, "Key index error"},
};

static_assert(std::size(kTable) == 101);

uint32_t MapCode42(const char* name) noexcept {
  const auto has = [name](const char* part) { return name && std::strstr(name, part) != nullptr; };
  if (has("Enc") || has("Pub")) return SDR_PKOPERR;
  if (has("Dec") || has("Pri")) return SDR_SKOPERR;
  if (has("Sig")) return SDR_SIGNERR;
  if (has("Ver")) return SDR_VERIFYERR;
  return SDR_ALGNOTSUPPORT;
}

}  // namespace

const char* deviceErrorMessage(int32_t code) noexcept {
  const auto* it = std::lower_bound(std::begin(kTable), std::end(kTable), code,
                                    [](const Entry& e, int32_t c) { return e.code < c; });
  if (it != std::end(kTable) && it->code == code) return it->message;
  return kTable[0].message;
}

uint32_t mapDeviceError(const char* functionName, int32_t code) noexcept {
  switch (code) {
    case 1:
      return SDR_VERIFYERR;
    case 2:
    case 5:
    case 7:
    case 27:
    case 30:
    case 53:
    case 54:
    case 56:
    case 57:
    case 76:
    case 78:
    case 96:
    case 111:
    case 112:
    case 518:
    case 1545:
      return SDR_KEYERR;
    case 3:
    case 22:
    case 29:
    case 31:
    case 58:
    case 79:
      return SDR_ALGNOTSUPPORT;
    case 4:
    case 28:
      return SDR_KEYTYPEERR;
    case 6:
      return SDR_FILEOFSERR;
    case 10:
    case 67:
    case 68:
      return SDR_NOTSUPPORT;
    case 11:
      return SDR_FILESIZEERR;
    case 15:
    case 82:
    case 100:
    case 101:
    case 102:
    case 103:
    case 104:
      return SDR_INARGERR;
    case 21:
    case 45:
    case 61:
      return SDR_KEYNOTEXIST;
    case 42:
      return MapCode42(functionName);
    case 62:
    case 63:
      return SDR_PRKRERR;
    case 70:
      return SDR_SKOPERR;
    case 71:
      return SDR_FILEEXSITS;
    case 72:
      return SDR_FILEWERR;
    case 73:
      return SDR_FILENOEXIST;
    default:
      return SDR_HARDFAIL;
  }
}

int deviceErrorTableSize() noexcept { return static_cast<int>(std::size(kTable)); }

}  // namespace Quor::Commands
