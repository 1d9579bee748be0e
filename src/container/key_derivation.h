#pragma once

#include "container/settings.h"

#include <string_view>

namespace kaleon::container {

// PBKDF2 (RFC 8018) with HMAC over the hash the PRF names. Returns 0, or -1 and leaves
// `output` untouched when refusing: an algorithm other than 2, no rounds, an empty output, a
// salt outside 1 to 132 bytes, or a PRF we do not know.
//
// The loop is our own rather than OpenSSL's one-call PKCS5_PBKDF2_HMAC: it hashes the HMAC's
// inner and outer pads once and then costs two compressions a round, which makes it about
// twice as fast, and every shape the saver shows waits for two derivations. It is checked
// against the RFC 6070 vectors and against keys made by Python's hashlib.
int TGCryptorPBKDF2(std::uint32_t algorithm, ByteView password, ByteView salt, TGCryptorPseudoRandomAlgorithm PRF,
    std::uint32_t rounds, std::span<std::uint8_t> output);

// The password's bytes as a key derivation takes them: its UTF-8 text, or for version 2 only
// as many leading bytes as the text has UTF-16 units (the same for ASCII; a prefix otherwise).
// A byte that is not part of valid UTF-8 counts as one unit.
SecretBytes passwordBytes(std::string_view password, bool hasV2Password);

// A key of `settings.keySize` bytes from the password and the salt (the salt's own length
// counts, not `saltSize`). A derivation the routine refuses is an error (code -4300), never an
// all-zero key.
Result<SecretBytes> keyForPassword(
    std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings);

// The encryption key and the HMAC key of a password container, each as `keyForPassword` gives
// it. The two derivations are independent and each takes milliseconds, so the second runs on a
// short-lived thread of its own meanwhile (one after the other when no thread can be had).
struct PasswordKeys {
    Result<SecretBytes> encryptionKey;
    Result<SecretBytes> HMACKey;
};
PasswordKeys keysForPassword(std::string_view password, ByteView encryptionSalt,
    const TGCryptorKeyDerivationSettings& keySettings, ByteView HMACSalt,
    const TGCryptorKeyDerivationSettings& HMACKeySettings);

// Bytes from the system's cryptographically secure generator; an error when it has none to give.
Result<Bytes> randomDataOfLength(size_t length);

} // namespace kaleon::container
