#pragma once

#include "core/result.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace kaleon::container {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline ByteView bytesOf(std::string_view text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

// Overwrites memory with zeros in a way the compiler cannot leave out.
void wipeMemory(void* memory, size_t length);

// Hands out memory as std::allocator does and wipes it before giving it back, so that what it
// held does not linger in freed memory (also when a buffer grows and moves).
template<class T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template<class U>
    WipingAllocator(const WipingAllocator<U>&)
    {
    }
    T* allocate(size_t count) { return std::allocator<T>().allocate(count); }
    void deallocate(T* memory, size_t count)
    {
        wipeMemory(memory, count * sizeof(T));
        std::allocator<T>().deallocate(memory, count);
    }
    friend bool operator==(const WipingAllocator&, const WipingAllocator&) { return true; }
};

// Keys, passwords and their copies: bytes that are wiped when freed.
using SecretBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

inline SecretBytes secretBytesOf(std::string_view text)
{
    const ByteView bytes = bytesOf(text);
    return SecretBytes(bytes.begin(), bytes.end());
}
inline std::string_view textOf(const SecretBytes& bytes)
{
    return { reinterpret_cast<const char*>(bytes.data()), bytes.size() };
}
inline bool operator==(const SecretBytes& a, const Bytes& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// The hash of an HMAC; the values are those the settings have always stored.
enum class TGCryptorHMACAlgorithm : std::uint32_t { SHA1 = 0, MD5 = 1, SHA256 = 2, SHA384 = 3, SHA512 = 4, SHA224 = 5 };

// The pseudo-random function of a PBKDF2 derivation; the values are those stored in settings.
enum class TGCryptorPseudoRandomAlgorithm : std::uint32_t {
    HMACSHA1 = 1,
    HMACSHA224 = 2,
    HMACSHA256 = 3,
    HMACSHA384 = 4,
    HMACSHA512 = 5,
};

// How one key is derived from a password.
struct TGCryptorKeyDerivationSettings {
    size_t keySize = 0;
    size_t saltSize = 0;
    std::uint32_t PBKDFAlgorithm = 0; // 2: PBKDF2
    TGCryptorPseudoRandomAlgorithm PRF {};
    std::uint32_t rounds = 0;
    bool hasV2Password = false; // version 2's password bytes (see keyForPassword)

    friend constexpr bool operator==(const TGCryptorKeyDerivationSettings&, const TGCryptorKeyDerivationSettings&)
        = default;
};

// Everything writer and reader must agree on: the container records none of these sizes.
struct TGCryptorSettings {
    std::uint32_t algorithm = 0; // 0: AES, the key length choosing AES-128, -192 or -256
    size_t blockSize = 0;
    size_t IVSize = 0;
    std::uint32_t options = 0; // bit value 1: PKCS#7 padding; bit value 2: ECB instead of CBC
    TGCryptorHMACAlgorithm HMACAlgorithm = TGCryptorHMACAlgorithm::SHA1;
    size_t HMACLength = 0; // 0: no HMAC
    TGCryptorKeyDerivationSettings keySettings;
    TGCryptorKeyDerivationSettings HMACKeySettings;

    friend constexpr bool operator==(const TGCryptorSettings&, const TGCryptorSettings&) = default;
};

inline constexpr std::uint32_t kTGCryptorAlgorithmAES = 0;
inline constexpr std::uint32_t kTGCryptorOptionPKCS7Padding = 1;
inline constexpr std::uint32_t kTGCryptorOptionECBMode = 2;
inline constexpr std::uint32_t kTGCryptorPBKDF2 = 2;

// Either key of the default settings: PBKDF2-HMAC-SHA1, 10000 rounds, 32-byte key, 8-byte salt.
inline constexpr TGCryptorKeyDerivationSettings kTGCryptorDefaultKeySettings {
    .keySize = 32,
    .saltSize = 8,
    .PBKDFAlgorithm = kTGCryptorPBKDF2,
    .PRF = TGCryptorPseudoRandomAlgorithm::HMACSHA1,
    .rounds = 10000,
    .hasV2Password = false,
};

// AES-256-CBC with PKCS#7 padding, HMAC-SHA256, both keys PBKDF2-HMAC-SHA1 with 10000 rounds
// and 8-byte salts.
inline constexpr TGCryptorSettings kTGCryptorDefaultSettings {
    .algorithm = kTGCryptorAlgorithmAES,
    .blockSize = 16,
    .IVSize = 16,
    .options = kTGCryptorOptionPKCS7Padding,
    .HMACAlgorithm = TGCryptorHMACAlgorithm::SHA256,
    .HMACLength = 32,
    .keySettings = kTGCryptorDefaultKeySettings,
    .HMACKeySettings = kTGCryptorDefaultKeySettings,
};

// The version writers put in the header; readers also take version 2.
inline constexpr std::uint8_t kTGCryptorFileVersion = 3;
// Header options byte, bit 0: the two salts follow and both keys come from a password.
inline constexpr std::uint8_t kTGCryptorOptionUsesPassword = 1;

inline constexpr std::string_view kTGCryptorErrorDomain = "org.kaleon.TGCryptorErrorDomain";
inline constexpr std::string_view kTGCryptorOpenSSLSaltedString = "Salted__";

// Error codes of the domain. Codes other than these two are the cipher's status, unchanged.
inline constexpr int kTGCryptorHMACMismatch = 1;
inline constexpr int kTGCryptorUnknownHeader = 2;

// Cipher status codes, numbered as in the platform cryptography library they come from.
inline constexpr int kTGCryptorParamError = -4300;
inline constexpr int kTGCryptorBufferTooSmall = -4301;
inline constexpr int kTGCryptorMemoryFailure = -4302;
inline constexpr int kTGCryptorAlignmentError = -4303;
inline constexpr int kTGCryptorDecodeError = -4304;
inline constexpr int kTGCryptorUnimplemented = -4305;
inline constexpr int kTGCryptorRNGFailure = -4306;

// An error of the domain; codes 1 and 2 carry their description, cipher statuses none.
Error cryptorError(int code);

} // namespace kaleon::container
