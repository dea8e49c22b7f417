// Provisioning of RSA and SM2 key pairs: `quorsim key add` for the
// asymmetric types and `quorsim key export`.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace QuorSim {

using Options = std::map<std::string, std::string>;

// sm2, rsa1024, rsa2048, rsa3072, rsa4096.
bool IsAsymKeyType(std::string_view type);

// Generates (or, with --pem FILE, imports) the pair for --usage sign, enc
// or both (the default; two generated pairs, or the imported one twice) and
// stores it in the slot with its --label and --password. Empty on success,
// else the message.
std::string AsymKeyAdd(const Options& o, uint32_t slot);

// `key export --store PATH --slot N --type sm2|rsa --usage sign|enc`: the
// public key as PEM in *pem. Empty on success, else the message.
std::string AsymKeyExport(const Options& o, std::string* pem);

}  // namespace QuorSim
