#include "container/engine.h"

#include "core/c_handle.h"

#include <climits>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace kaleon::container {

namespace {

constexpr size_t kAESBlockSize = 16;

const EVP_CIPHER* aesCipher(size_t keyLength, bool ecb)
{
    switch (keyLength) {
    case 16:
        return ecb ? EVP_aes_128_ecb() : EVP_aes_128_cbc();
    case 24:
        return ecb ? EVP_aes_192_ecb() : EVP_aes_192_cbc();
    case 32:
        return ecb ? EVP_aes_256_ecb() : EVP_aes_256_cbc();
    default:
        return nullptr;
    }
}

struct HMACDigest {
    const char* name;
    size_t length;
};

// The digest an HMAC runs on; no name for an algorithm we do not know.
HMACDigest digestOfHMAC(TGCryptorHMACAlgorithm algorithm)
{
    switch (algorithm) {
    case TGCryptorHMACAlgorithm::SHA1:
        return { "SHA1", 20 };
    case TGCryptorHMACAlgorithm::MD5:
        return { "MD5", 16 };
    case TGCryptorHMACAlgorithm::SHA256:
        return { "SHA256", 32 };
    case TGCryptorHMACAlgorithm::SHA384:
        return { "SHA384", 48 };
    case TGCryptorHMACAlgorithm::SHA512:
        return { "SHA512", 64 };
    case TGCryptorHMACAlgorithm::SHA224:
        return { "SHA224", 28 };
    }
    return { nullptr, 0 };
}

// EVP takes int lengths: larger input goes through in slices.
constexpr size_t kSlice = size_t { INT_MAX } / 2;

} // namespace

void CipherContextFree::operator()(EVP_CIPHER_CTX* context) const
{
    EVP_CIPHER_CTX_free(context);
}

void MACContextFree::operator()(EVP_MAC_CTX* context) const
{
    EVP_MAC_CTX_free(context);
}

size_t digestLengthOfHMAC(TGCryptorHMACAlgorithm algorithm)
{
    return digestOfHMAC(algorithm).length;
}

Result<std::unique_ptr<TGCryptorEngine>> TGCryptorEngine::make(
    TGCryptorOperation operation, const TGCryptorSettings& settings, ByteView key, ByteView IV)
{
    if (settings.algorithm != kTGCryptorAlgorithmAES)
        return cryptorError(kTGCryptorUnimplemented);
    const bool ecb = (settings.options & kTGCryptorOptionECBMode) != 0;
    const EVP_CIPHER* cipher = aesCipher(key.size(), ecb);
    if (!cipher)
        return cryptorError(kTGCryptorParamError);
    std::uint8_t zeroIV[kAESBlockSize] = {};
    const std::uint8_t* iv = zeroIV;
    if (!ecb && !IV.empty()) {
        if (IV.size() < kAESBlockSize)
            return cryptorError(kTGCryptorParamError);
        iv = IV.data();
    }
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context)
        return cryptorError(kTGCryptorMemoryFailure);
    const int encrypt = operation == TGCryptorOperation::Encrypt ? 1 : 0;
    if (EVP_CipherInit_ex(context.get(), cipher, nullptr, key.data(), ecb ? nullptr : iv, encrypt) != 1)
        return cryptorError(kTGCryptorParamError);
    const bool padding = (settings.options & kTGCryptorOptionPKCS7Padding) != 0;
    EVP_CIPHER_CTX_set_padding(context.get(), padding ? 1 : 0);
    return std::unique_ptr<TGCryptorEngine>(new TGCryptorEngine(std::move(context), operation, padding));
}

Result<void> TGCryptorEngine::addData(ByteView input, Bytes& output)
{
    while (!input.empty()) {
        const ByteView slice = input.first(std::min(input.size(), kSlice));
        const size_t start = output.size();
        output.resize(start + slice.size() + kAESBlockSize);
        int written = 0;
        if (EVP_CipherUpdate(
                m_context.get(), output.data() + start, &written, slice.data(), static_cast<int>(slice.size()))
            != 1) {
            output.resize(start);
            return cryptorError(kTGCryptorParamError);
        }
        output.resize(start + static_cast<size_t>(written));
        input = input.subspan(slice.size());
    }
    return {};
}

Result<void> TGCryptorEngine::finish(Bytes& output)
{
    const size_t start = output.size();
    output.resize(start + kAESBlockSize);
    int written = 0;
    if (EVP_CipherFinal_ex(m_context.get(), output.data() + start, &written) != 1) {
        output.resize(start);
        // Without padding the only failure is input that does not fill whole blocks; with
        // padding on decryption it is padding that does not verify.
        if (!m_padding)
            return cryptorError(kTGCryptorAlignmentError);
        return cryptorError(m_operation == TGCryptorOperation::Decrypt ? kTGCryptorDecodeError : kTGCryptorParamError);
    }
    output.resize(start + static_cast<size_t>(written));
    return {};
}

Result<std::unique_ptr<RunningHMAC>> RunningHMAC::make(TGCryptorHMACAlgorithm algorithm, ByteView key)
{
    const char* digest = digestOfHMAC(algorithm).name;
    if (!digest)
        return cryptorError(kTGCryptorParamError);
    const CHandle<EVP_MAC, EVP_MAC_free> mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
    if (!mac)
        return cryptorError(kTGCryptorUnimplemented);
    MACContext context(EVP_MAC_CTX_new(mac.get()));
    if (!context)
        return cryptorError(kTGCryptorMemoryFailure);
    OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char*>(digest), 0),
        OSSL_PARAM_construct_end(),
    };
    static const std::uint8_t kNoKey = 0;
    if (EVP_MAC_init(context.get(), key.empty() ? &kNoKey : key.data(), key.size(), parameters) != 1)
        return cryptorError(kTGCryptorParamError);
    const size_t length = EVP_MAC_CTX_get_mac_size(context.get());
    return std::unique_ptr<RunningHMAC>(new RunningHMAC(std::move(context), length));
}

void RunningHMAC::update(ByteView data)
{
    if (!data.empty())
        EVP_MAC_update(m_context.get(), data.data(), data.size());
}

Bytes RunningHMAC::final()
{
    Bytes digest(m_length, 0);
    size_t written = 0;
    EVP_MAC_final(m_context.get(), digest.data(), &written, digest.size());
    digest.resize(written);
    return digest;
}

} // namespace kaleon::container
