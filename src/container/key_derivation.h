#pragma once

#include "container/settings.h"

#include <string_view>

namespace kaleon::container {

// PBKDF2 (RFC 8018) with HMAC over the hash the PRF code names (1 SHA-1, 2 SHA-224,
// 3 SHA-256, 4 SHA-384, 5 SHA-512). Returns 0, or -1 and leaves `output` untouched when
// refusing: an algorithm other than 2, no rounds, an empty output, a salt outside 1 to 132
// bytes, or an unknown PRF.
int TGCryptorPBKDF2(std::uint32_t algorithm, ByteView password, ByteView salt, std::uint32_t PRF, std::uint32_t rounds,
    std::span<std::uint8_t> output);

// The password's bytes as a key derivation takes them: its UTF-8 text, or for version 2 only
// as many leading bytes as the text has UTF-16 units (the same for ASCII; a prefix otherwise).
// A byte that is not part of valid UTF-8 counts as one unit.
Bytes passwordBytes(std::string_view password, bool hasV2Password);

// A key of `settings.keySize` bytes from the password and the salt (the salt's own length
// counts, not `saltSize`). A derivation the routine refuses is an error (code -4300), never an
// all-zero key.
Result<Bytes> keyForPassword(std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings);

// The encryption key and the HMAC key of a password container, each as `keyForPassword` gives
// it. The two derivations are independent and each takes milliseconds, so the second runs on a
// short-lived thread of its own meanwhile (one after the other when no thread can be had).
struct PasswordKeys {
    Result<Bytes> encryptionKey;
    Result<Bytes> HMACKey;
};
PasswordKeys keysForPassword(std::string_view password, ByteView encryptionSalt,
    const TGCryptorKeyDerivationSettings& keySettings, ByteView HMACSalt,
    const TGCryptorKeyDerivationSettings& HMACKeySettings);

// Bytes from the system's cryptographically secure generator; an error when it has none to give.
Result<Bytes> randomDataOfLength(size_t length);

} // namespace kaleon::container
