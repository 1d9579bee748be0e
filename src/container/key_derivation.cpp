#include "container/key_derivation.h"

#include "core/text.h"

// The PBKDF2 loop runs on the hash's own context type, so that the HMAC pads are hashed once
// and each round costs two compressions; those functions are deprecated, not removed, in 3.0.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <system_error>
#include <thread>

namespace kaleon::container {

namespace {

constexpr size_t kMaximumSaltLength = 132;

template<class Context, int (*Init)(Context*), int (*Update)(Context*, const void*, size_t),
    int (*Final)(unsigned char*, Context*), size_t BlockSize, size_t DigestSize>
struct Hash {
    using ContextType = Context;
    static constexpr size_t blockSize = BlockSize;
    static constexpr size_t digestSize = DigestSize;
    static void init(Context* context) { Init(context); }
    static void update(Context* context, const void* data, size_t length) { Update(context, data, length); }
    static void final(unsigned char* digest, Context* context) { Final(digest, context); }
};

using SHA1Hash = Hash<SHA_CTX, SHA1_Init, SHA1_Update, SHA1_Final, 64, 20>;
using SHA224Hash = Hash<SHA256_CTX, SHA224_Init, SHA224_Update, SHA224_Final, 64, 28>;
using SHA256Hash = Hash<SHA256_CTX, SHA256_Init, SHA256_Update, SHA256_Final, 64, 32>;
using SHA384Hash = Hash<SHA512_CTX, SHA384_Init, SHA384_Update, SHA384_Final, 128, 48>;
using SHA512Hash = Hash<SHA512_CTX, SHA512_Init, SHA512_Update, SHA512_Final, 128, 64>;

// HMAC with the inner and outer pads already hashed: copying a context is a plain struct copy.
template<class H>
class PrecomputedHMAC {
public:
    explicit PrecomputedHMAC(ByteView key)
    {
        std::array<unsigned char, H::blockSize> block {};
        if (key.size() > H::blockSize) {
            typename H::ContextType context;
            H::init(&context);
            H::update(&context, key.data(), key.size());
            H::final(block.data(), &context);
            OPENSSL_cleanse(&context, sizeof context);
        } else if (!key.empty()) {
            std::memcpy(block.data(), key.data(), key.size());
        }
        std::array<unsigned char, H::blockSize> pad;
        for (size_t i = 0; i < pad.size(); ++i)
            pad[i] = block[i] ^ 0x36;
        H::init(&m_inner);
        H::update(&m_inner, pad.data(), pad.size());
        for (size_t i = 0; i < pad.size(); ++i)
            pad[i] = block[i] ^ 0x5c;
        H::init(&m_outer);
        H::update(&m_outer, pad.data(), pad.size());
        OPENSSL_cleanse(block.data(), block.size());
        OPENSSL_cleanse(pad.data(), pad.size());
    }
    ~PrecomputedHMAC()
    {
        OPENSSL_cleanse(&m_inner, sizeof m_inner);
        OPENSSL_cleanse(&m_outer, sizeof m_outer);
    }

    // digest = HMAC(key, message); `digest` may alias `message`.
    void compute(const unsigned char* message, size_t length, unsigned char* digest) const
    {
        typename H::ContextType context = m_inner;
        H::update(&context, message, length);
        unsigned char inner[H::digestSize];
        H::final(inner, &context);
        context = m_outer;
        H::update(&context, inner, sizeof inner);
        H::final(digest, &context);
        OPENSSL_cleanse(&context, sizeof context);
    }

private:
    typename H::ContextType m_inner;
    typename H::ContextType m_outer;
};

template<class H>
void pbkdf2(ByteView password, ByteView salt, std::uint32_t rounds, std::span<std::uint8_t> output)
{
    const PrecomputedHMAC<H> hmac(password);
    std::array<unsigned char, kMaximumSaltLength + 4> block {};
    std::memcpy(block.data(), salt.data(), salt.size());
    unsigned char u[H::digestSize];
    unsigned char t[H::digestSize];
    const size_t blocks = (output.size() + H::digestSize - 1) / H::digestSize;
    for (size_t i = 1; i <= blocks; ++i) {
        block[salt.size()] = static_cast<unsigned char>(i >> 24);
        block[salt.size() + 1] = static_cast<unsigned char>(i >> 16);
        block[salt.size() + 2] = static_cast<unsigned char>(i >> 8);
        block[salt.size() + 3] = static_cast<unsigned char>(i);
        hmac.compute(block.data(), salt.size() + 4, u);
        std::memcpy(t, u, sizeof t);
        for (std::uint32_t j = 2; j <= rounds; ++j) {
            hmac.compute(u, sizeof u, u);
            for (size_t k = 0; k < sizeof t; ++k)
                t[k] ^= u[k];
        }
        const size_t offset = (i - 1) * H::digestSize;
        std::memcpy(output.data() + offset, t, std::min(H::digestSize, output.size() - offset));
    }
    OPENSSL_cleanse(block.data(), block.size());
    OPENSSL_cleanse(u, sizeof u);
    OPENSSL_cleanse(t, sizeof t);
}

size_t utf16Length(std::string_view text)
{
    size_t units = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            ++units;
            ++i;
            continue;
        }
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

using Derivation = void (*)(ByteView password, ByteView salt, std::uint32_t rounds, std::span<std::uint8_t> output);

Derivation derivationFor(TGCryptorPseudoRandomAlgorithm PRF)
{
    switch (PRF) {
    case TGCryptorPseudoRandomAlgorithm::HMACSHA1:
        return pbkdf2<SHA1Hash>;
    case TGCryptorPseudoRandomAlgorithm::HMACSHA224:
        return pbkdf2<SHA224Hash>;
    case TGCryptorPseudoRandomAlgorithm::HMACSHA256:
        return pbkdf2<SHA256Hash>;
    case TGCryptorPseudoRandomAlgorithm::HMACSHA384:
        return pbkdf2<SHA384Hash>;
    case TGCryptorPseudoRandomAlgorithm::HMACSHA512:
        return pbkdf2<SHA512Hash>;
    }
    return nullptr;
}

} // namespace

int TGCryptorPBKDF2(std::uint32_t algorithm, ByteView password, ByteView salt, TGCryptorPseudoRandomAlgorithm PRF,
    std::uint32_t rounds, std::span<std::uint8_t> output)
{
    const Derivation derive = derivationFor(PRF);
    if (algorithm != kTGCryptorPBKDF2 || !derive || rounds == 0 || output.empty() || salt.empty()
        || salt.size() > kMaximumSaltLength)
        return -1;
    derive(password, salt, rounds, output);
    return 0;
}

SecretBytes passwordBytes(std::string_view password, bool hasV2Password)
{
    const size_t length = hasV2Password ? std::min(utf16Length(password), password.size()) : password.size();
    return secretBytesOf(password.substr(0, length));
}

namespace {

// Fills `key` (already of the wanted size); false when the derivation is refused.
bool deriveKey(
    std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings, SecretBytes& key)
{
    const SecretBytes secret = passwordBytes(password, settings.hasV2Password);
    return TGCryptorPBKDF2(settings.PBKDFAlgorithm, secret, salt, settings.PRF, settings.rounds, key) == 0;
}

} // namespace

Result<SecretBytes> keyForPassword(
    std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings)
{
    SecretBytes key(settings.keySize, 0);
    if (!deriveKey(password, salt, settings, key))
        return cryptorError(kTGCryptorParamError);
    return key;
}

PasswordKeys keysForPassword(std::string_view password, ByteView encryptionSalt,
    const TGCryptorKeyDerivationSettings& keySettings, ByteView HMACSalt,
    const TGCryptorKeyDerivationSettings& HMACKeySettings)
{
    SecretBytes HMACKey(HMACKeySettings.keySize, 0);
    bool HMACKeyDerived = false;
    std::thread helper;
    try {
        helper = std::thread([&] { HMACKeyDerived = deriveKey(password, HMACSalt, HMACKeySettings, HMACKey); });
    } catch (const std::system_error&) {
    }
    auto encryptionKey = keyForPassword(password, encryptionSalt, keySettings);
    if (helper.joinable())
        helper.join();
    else
        HMACKeyDerived = deriveKey(password, HMACSalt, HMACKeySettings, HMACKey);
    if (!HMACKeyDerived)
        return { std::move(encryptionKey), cryptorError(kTGCryptorParamError) };
    return { std::move(encryptionKey), std::move(HMACKey) };
}

Result<Bytes> randomDataOfLength(size_t length)
{
    Bytes bytes(length, 0);
    if (length > static_cast<size_t>(std::numeric_limits<int>::max()))
        return cryptorError(kTGCryptorParamError);
    if (length > 0 && RAND_bytes(bytes.data(), static_cast<int>(length)) != 1)
        return cryptorError(kTGCryptorRNGFailure);
    return bytes;
}

} // namespace kaleon::container
