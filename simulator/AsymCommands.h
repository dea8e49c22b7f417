// The asymmetric commands of the simulated device (RSA, SM2, envelopes,
// session keys under asymmetric keys, the SM2 key exchange, asymmetric LMK
// ciphers in slots), on the quorsim_crypto module.
//
// Choices the wire leaves open:
// - Internal keys: signatures, verification and the public-key operation
//   03 01 use a slot's signing pair (usage 0); encryption, decryption,
//   envelopes, session keys and the key exchange its encryption pair
//   (usage 1); 08 11 and 08 13 name the usage themselves.
// - Private keys in LMK ciphers are sealed blobs (see Asymmetric.h); 08 29
//   key type 1 is the raw private-key operation, key type 2 with value 0
//   signs a 32-byte digest and with value 1 decrypts.
// - 08 27 key status 0: the private key in plain (SM2 scalar, RSA DER
//   RSAPrivateKey), 1: its LMK cipher.
// - 02 01's third result is empty; 08 32's number 2 for SM2 is the curve code.
// - ECIES (03 06, 03 07) is not offered: code 10, nothing read.
#pragma once

#include <cstdint>
#include <string>

#include "simulator/Reader.h"
#include "simulator/Store.h"

namespace QuorSim {

// Whether the command belongs here; for 08 32 and 08 33 that depends on the
// key type, its first parameter (read from a copy of the reader).
bool IsAsymCommand(uint16_t cmd, const Reader& params);

// Runs the command: its result fields in *out, and the device return code.
// A request that does not match its layout throws Malformed.
uint16_t RunAsymCommand(Store& store, uint16_t cmd, Reader& params, std::string* out);

}  // namespace QuorSim
