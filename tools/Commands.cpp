// info, random, hash, encrypt, decrypt, mac and files.
#include "tools/Commands.h"

#include <string.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "tools/Device.h"

namespace QuorTool {

namespace {

// Quor_GenerateRandom splits long requests itself; this only bounds memory.
constexpr size_t kRandomChunk = 64 * 1024;
// SDF_Encrypt pieces the data itself; a call's length is a 32-bit number.
constexpr size_t kCipherChunk = 1024 * 1024;
constexpr size_t kBlock = 16;
// Largest piece of one device file read or write.
constexpr size_t kFilePiece = 4096;

SGD_UCHAR* U(std::string& s) { return reinterpret_cast<SGD_UCHAR*>(s.data()); }

// A fixed-size text field of DEVICEINFO: up to its first zero byte, printable.
std::string FieldText(const SGD_UCHAR* p, size_t n) {
  std::string out;
  for (size_t i = 0; i < n && p[i] != 0; ++i) {
    char buf[8];
    if (p[i] >= 0x20 && p[i] < 0x7F)
      out.push_back(static_cast<char>(p[i]));
    else
      out += (std::snprintf(buf, sizeof buf, "\\x%02X", p[i]), buf);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string Hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string BitNames(uint32_t v, std::initializer_list<std::pair<uint32_t, const char*>> names) {
  std::string out;
  for (const auto& [bits, name] : names)
    if ((v & bits) == bits) out += (out.empty() ? "" : ", ") + std::string(name);
  return out.empty() ? "" : " (" + out + ")";
}

}  // namespace

int RunInfo(const Args& args) {
  ConfigSelection config(args.Get("config"));
  Device device;
  Session session(device);
  DEVICEINFO info{};
  CheckSdr(SDF_GetDeviceInfo(session.handle(), &info), "SDF_GetDeviceInfo");
  const auto row = [](const char* name, const std::string& value) { std::printf("%-18s %s\n", name, value.c_str()); };
  row("Issuer", FieldText(info.IssuerName, sizeof info.IssuerName));
  row("Device name", FieldText(info.DeviceName, sizeof info.DeviceName));
  row("Serial number", FieldText(info.DeviceSerial, sizeof info.DeviceSerial));
  row("Device version", Hex32(info.DeviceVersion));
  row("Standard version", std::to_string(info.StandardVersion));
  row("Asymmetric algs",
      Hex32(info.AsymAlgAbility[0]) + BitNames(info.AsymAlgAbility[0], {{SGD_RSA, "RSA"}, {SGD_SM2, "SM2"}}));
  row("Asymmetric bits",
      Hex32(info.AsymAlgAbility[1]) +
          BitNames(info.AsymAlgAbility[1], {{0x100, "256"}, {0x400, "1024"}, {0x800, "2048"}, {0x1000, "4096"}}));
  row("Symmetric algs",
      Hex32(info.SymAlgAbility) + BitNames(info.SymAlgAbility, {{0x100, "SM1"}, {0x200, "SSF33"}, {0x400, "SM4"}}));
  row("Hash algs", Hex32(info.HashAlgAbility) +
                       BitNames(info.HashAlgAbility, {{SGD_SM3, "SM3"}, {SGD_SHA1, "SHA-1"}, {SGD_SHA256, "SHA-256"}}));
  row("Buffer size", std::to_string(info.BufferSize) + " bytes");
  return 0;
}

int RunRandom(const Args& args) {
  if (args.Positional().size() != 1) UsageError("random takes one number of bytes");
  const uint64_t n = Args::Number(args.Positional()[0], "the number of bytes", 1, uint64_t(1) << 30);
  const std::string outPath = args.Get("out");
  ConfigSelection config(args.Get("config"));
  Device device;
  Session session(device);
  std::string all, chunk;
  for (uint64_t done = 0; done < n;) {
    chunk.assign(static_cast<size_t>(std::min<uint64_t>(kRandomChunk, n - done)), '\0');
    CheckSdr(SDF_GenerateRandom(session.handle(), static_cast<SGD_UINT32>(chunk.size()), U(chunk)),
             "SDF_GenerateRandom");
    done += chunk.size();
    if (outPath.empty())
      WriteOutput("-", ToHex(chunk));
    else
      all += chunk;
  }
  if (outPath.empty())
    WriteOutput("-", "\n");
  else
    WriteOutput(outPath, all);
  return 0;
}

int RunHash(const Args& args) {
  if (args.Positional().size() != 1) UsageError("hash takes one file (or - for standard input)");
  const std::string alg = args.Get("alg", "sm3");
  SGD_UINT32 id = 0;
  if (alg == "sm3")
    id = SGD_SM3;
  else if (alg == "sha1")
    id = SGD_SHA1;
  else if (alg == "sha256")
    id = SGD_SHA256;
  else
    UsageError("--alg must be sm3, sha1 or sha256");
  const std::string path = args.Positional()[0];
  std::string data = ReadInput(path);
  ConfigSelection config(args.Get("config"));
  Device device;
  Session session(device);
  CheckSdr(SDF_HashInit(session.handle(), id, nullptr, nullptr, 0), "SDF_HashInit");
  for (size_t off = 0; off < data.size(); off += kCipherChunk) {
    const size_t n = std::min(kCipherChunk, data.size() - off);
    CheckSdr(SDF_HashUpdate(session.handle(), U(data) + off, static_cast<SGD_UINT32>(n)), "SDF_HashUpdate");
  }
  std::string digest(64, '\0');
  SGD_UINT32 len = static_cast<SGD_UINT32>(digest.size());
  CheckSdr(SDF_HashFinal(session.handle(), U(digest), &len), "SDF_HashFinal");
  digest.resize(std::min<size_t>(len, digest.size()));
  std::printf("%s  %s\n", ToHex(digest).c_str(), path.c_str());
  return 0;
}

namespace {

struct CipherAlg {
  const char* name;
  SGD_UINT32 id;
  size_t keyLength;
  bool needsIv;
};

// The AES identifier picks AES-128 or AES-256 from the key's length.
constexpr SGD_UINT32 kAesCbc = 0x80000202u;
constexpr SGD_UINT32 kAesMac = 0x80000210u;

constexpr CipherAlg kCipherAlgs[] = {
    {"sm4-ecb", SGD_SM4_ECB, 16, false}, {"sm4-cbc", SGD_SM4_CBC, 16, true}, {"sm4-cfb", SGD_SM4_CFB, 16, true},
    {"sm4-ofb", SGD_SM4_OFB, 16, true},  {"aes-128-cbc", kAesCbc, 16, true}, {"aes-256-cbc", kAesCbc, 32, true},
};

// --slot N or --key-hex-file FILE (exactly one).
KeyHandle SelectKey(const Args& args, const Session& session, size_t keyLength) {
  if (args.Has("slot") == args.Has("key-hex-file")) UsageError("give exactly one of --slot N and --key-hex-file FILE");
  if (args.Has("slot"))
    return KeyHandle::Slot(session, static_cast<uint32_t>(Args::Number(args.Get("slot"), "--slot", 1, 0x7FFFFFFF)));
  std::string hexText = ReadInput(args.Get("key-hex-file"));
  std::string key = FromHex(hexText, "the key file");
  explicit_bzero(hexText.data(), hexText.size());
  if (key.size() != keyLength) {
    explicit_bzero(key.data(), key.size());
    UsageError("the key file holds " + std::to_string(key.size()) + " bytes; this algorithm needs " +
               std::to_string(keyLength));
  }
  KeyHandle k = KeyHandle::Import(session, key);
  explicit_bzero(key.data(), key.size());
  return k;
}

// 16 bytes from --iv, or zeros when allowed.
std::string SelectIv(const Args& args, bool needed, bool zeroDefault) {
  if (!args.Has("iv")) {
    if (needed && !zeroDefault) UsageError("this algorithm needs --iv HEX (16 bytes)");
    return std::string(kBlock, '\0');
  }
  if (!needed) UsageError("--iv is not used by this algorithm");
  std::string iv = FromHex(args.Get("iv"), "--iv");
  if (iv.size() != kBlock) UsageError("--iv must be 16 bytes (32 hex digits)");
  return iv;
}

int Crypt(const Args& args, bool decrypt) {
  if (!args.Positional().empty()) UsageError("unexpected argument " + args.Positional()[0]);
  const std::string algName = args.Get("alg");
  const CipherAlg* alg = nullptr;
  for (const CipherAlg& a : kCipherAlgs)
    if (algName == a.name) alg = &a;
  if (!alg) UsageError("--alg must be one of sm4-ecb, sm4-cbc, sm4-cfb, sm4-ofb, aes-128-cbc, aes-256-cbc");
  std::string iv = SelectIv(args, alg->needsIv, false);
  std::string data = ReadInput(args.Get("in", "-"));
  const bool pad = !args.Has("no-pad");
  if (!decrypt && pad) data.append(kBlock - data.size() % kBlock, static_cast<char>(kBlock - data.size() % kBlock));
  if (data.size() % kBlock != 0)
    Fail(std::string(decrypt ? "the cipher text" : "the data") + " is " + std::to_string(data.size()) +
         " bytes, not a multiple of 16" + (!decrypt && !pad ? " (needed with --no-pad)" : ""));
  if (data.empty()) Fail(std::string("nothing to ") + (decrypt ? "decrypt" : "encrypt") + ": the input is empty");

  ConfigSelection config(args.Get("config"));
  Device device;
  Session session(device);
  KeyHandle key = SelectKey(args, session, alg->keyLength);
  std::string out(data.size(), '\0');
  for (size_t off = 0; off < data.size(); off += kCipherChunk) {
    const SGD_UINT32 n = static_cast<SGD_UINT32>(std::min(kCipherChunk, data.size() - off));
    SGD_UINT32 outLen = 0;
    SGD_UCHAR* ivp = alg->needsIv ? U(iv) : nullptr;
    if (decrypt)
      CheckSdr(SDF_Decrypt(session.handle(), key.handle(), alg->id, ivp, U(data) + off, n, U(out) + off, &outLen),
               "SDF_Decrypt");
    else
      CheckSdr(SDF_Encrypt(session.handle(), key.handle(), alg->id, ivp, U(data) + off, n, U(out) + off, &outLen),
               "SDF_Encrypt");
  }
  if (decrypt && pad) {
    const size_t p = static_cast<unsigned char>(out.back());
    bool ok = p >= 1 && p <= kBlock;
    for (size_t i = 0; ok && i < p; ++i)
      ok = static_cast<size_t>(static_cast<unsigned char>(out[out.size() - 1 - i])) == p;
    if (!ok) Fail("the decrypted data has no valid PKCS#7 padding (wrong key, IV or algorithm, or use --no-pad)");
    out.resize(out.size() - p);
  }
  WriteOutput(args.Get("out", "-"), out);
  return 0;
}

}  // namespace

int RunEncrypt(const Args& args) { return Crypt(args, false); }
int RunDecrypt(const Args& args) { return Crypt(args, true); }

int RunMac(const Args& args) {
  if (!args.Positional().empty()) UsageError("unexpected argument " + args.Positional()[0]);
  const std::string alg = args.Get("alg", "sm4");
  SGD_UINT32 id = 0;
  size_t keyLength = 16;
  if (alg == "sm4") {
    id = SGD_SM4_MAC;
  } else if (alg == "aes-128" || alg == "aes-256") {
    id = kAesMac;
    keyLength = alg == "aes-128" ? 16 : 32;
  } else {
    UsageError("--alg must be sm4, aes-128 or aes-256");
  }
  std::string iv = SelectIv(args, true, true);
  std::string data = ReadInput(args.Get("in", "-"));
  // The device's CBC-MAC pads with zeros; an empty message is one zero block.
  data.append(data.empty() ? kBlock : (kBlock - data.size() % kBlock) % kBlock, '\0');

  ConfigSelection config(args.Get("config"));
  Device device;
  Session session(device);
  KeyHandle key = SelectKey(args, session, keyLength);
  std::string mac(kBlock, '\0');
  SGD_UINT32 macLen = 0;
  for (size_t off = 0; off < data.size(); off += kCipherChunk) {
    const SGD_UINT32 n = static_cast<SGD_UINT32>(std::min(kCipherChunk, data.size() - off));
    CheckSdr(SDF_CalculateMAC(session.handle(), key.handle(), id, U(iv), U(data) + off, n, U(mac), &macLen),
             "SDF_CalculateMAC");
  }
  mac.resize(std::min<size_t>(macLen, mac.size()));
  std::printf("%s\n", ToHex(mac).c_str());
  return 0;
}

namespace {

// Reads a whole device file, piece by piece: a read running past the end
// returns the bytes up to it, and an offset at the very end is refused.
bool ReadDeviceFile(const Session& s, std::string name, std::string* content, SGD_RV* failure) {
  content->clear();
  std::string piece(kFilePiece, '\0');
  for (;;) {
    SGD_UINT32 len = static_cast<SGD_UINT32>(kFilePiece);
    const SGD_RV rv = SDF_ReadFile(s.handle(), U(name), static_cast<SGD_UINT32>(name.size()),
                                   static_cast<SGD_UINT32>(content->size()), &len, U(piece));
    if (rv == SDR_FILEOFSERR && !content->empty()) return true;
    if (rv != SDR_OK) {
      *failure = rv;
      return false;
    }
    len = std::min<SGD_UINT32>(len, static_cast<SGD_UINT32>(kFilePiece));
    content->append(piece, 0, len);
    if (len < kFilePiece) return true;
  }
}

}  // namespace

int RunFiles(const Args& args) {
  const auto& pos = args.Positional();
  if (pos.empty()) UsageError("files needs an action: ls, put, get or rm");
  const std::string action = pos[0];
  const std::vector<std::string> rest(pos.begin() + 1, pos.end());
  if (action == "ls") {
    if (rest.empty()) UsageError("the device interface has no command that lists files: name the files to look for");
  } else if (action == "put") {
    if (rest.size() != 2) UsageError("files put takes a device file name and a local file (or -)");
  } else if (action == "get") {
    if (rest.size() != 1) UsageError("files get takes one device file name");
  } else if (action == "rm") {
    if (rest.empty()) UsageError("files rm takes one or more device file names");
  } else {
    UsageError("unknown files action " + action + " (ls, put, get or rm)");
  }
  const size_t nameCount = action == "put" ? 1 : rest.size();
  for (size_t i = 0; i < nameCount; ++i)
    if (rest[i].empty()) UsageError("a device file name cannot be empty");

  std::string content;
  if (action == "put") {
    content = ReadInput(rest[1]);
    if (content.empty()) Fail("cannot store an empty file: device files have a size of at least 1 byte");
  }
  ConfigSelection config(args.Get("config"));
  Device device;
  Session session(device);
  SGD_HANDLE s = session.handle();

  if (action == "ls") {
    int missing = 0;
    for (const std::string& name : rest) {
      std::string data;
      SGD_RV rv = SDR_OK;
      if (ReadDeviceFile(session, name, &data, &rv)) {
        std::printf("%-32s %zu bytes\n", name.c_str(), data.size());
      } else if (rv == SDR_FILENOEXIST) {
        std::printf("%-32s (no such file)\n", name.c_str());
        ++missing;
      } else {
        CheckSdr(rv, "SDF_ReadFile");
      }
    }
    return missing ? kExitFailure : 0;
  }
  if (action == "get") {
    SGD_RV rv = SDR_OK;
    if (!ReadDeviceFile(session, rest[0], &content, &rv)) CheckSdr(rv, "SDF_ReadFile");
    WriteOutput(args.Get("out", "-"), content);
    return 0;
  }
  if (action == "rm") {
    for (std::string name : rest)
      CheckSdr(SDF_DeleteFile(s, U(name), static_cast<SGD_UINT32>(name.size())), "SDF_DeleteFile");
    return 0;
  }
  std::string name = rest[0];
  const auto nameLen = static_cast<SGD_UINT32>(name.size());
  if (args.Has("replace")) {
    const SGD_RV rv = SDF_DeleteFile(s, U(name), nameLen);
    if (rv != SDR_OK && rv != SDR_FILENOEXIST) CheckSdr(rv, "SDF_DeleteFile");
  }
  CheckSdr(SDF_CreateFile(s, U(name), nameLen, static_cast<SGD_UINT32>(content.size())), "SDF_CreateFile");
  for (size_t off = 0; off < content.size(); off += kFilePiece) {
    const auto n = static_cast<SGD_UINT32>(std::min(kFilePiece, content.size() - off));
    CheckSdr(SDF_WriteFile(s, U(name), nameLen, static_cast<SGD_UINT32>(off), n, U(content) + off), "SDF_WriteFile");
  }
  return 0;
}

}  // namespace QuorTool
