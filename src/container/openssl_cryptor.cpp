#include "container/openssl_cryptor.h"

#include "container/bytes.h"
#include "container/key_derivation.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace kaleon::container {

namespace {

constexpr size_t kMD5Length = 16;
constexpr size_t kLongKey = 32;

Bytes md5(ByteView first, ByteView second)
{
    Bytes digest(kMD5Length, 0);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_md5(), nullptr);
    EVP_DigestUpdate(context, first.data(), first.size());
    EVP_DigestUpdate(context, second.data(), second.size());
    unsigned length = 0;
    EVP_DigestFinal_ex(context, digest.data(), &length);
    EVP_MD_CTX_free(context);
    return digest;
}

Bytes concatenated(ByteView a, ByteView b)
{
    Bytes joined(a.begin(), a.end());
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

// D1, D2, ... of EVP_BytesToKey: D1 = MD5(D), Dn = MD5(Dn-1 ‖ D), D = password ‖ salt.
std::vector<Bytes> digestChain(std::string_view password, ByteView salt, size_t count)
{
    const Bytes material = concatenated(bytesOf(password), salt);
    std::vector<Bytes> chain;
    chain.push_back(md5({}, material));
    while (chain.size() < count)
        chain.push_back(md5(chain.back(), material));
    return chain;
}

} // namespace

Bytes TGOpenSSLCryptorGetKey(std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings)
{
    if (settings.keySize == kLongKey) {
        const auto chain = digestChain(password, salt, 2);
        return concatenated(chain[0], chain[1]);
    }
    return digestChain(password, salt, 1)[0];
}

Bytes TGOpenSSLCryptorGetIV(
    ByteView key, std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings)
{
    if (settings.keySize == kLongKey) {
        const auto chain = digestChain(password, salt, 4);
        return concatenated(chain[2], chain[3]);
    }
    return md5(key, concatenated(bytesOf(password), salt));
}

TGOpenSSLDecryptor::TGOpenSSLDecryptor(Handler handler)
    : TGDecryptor(std::move(handler), "TGOpenSSLDecryptor")
{
}

std::shared_ptr<TGOpenSSLDecryptor> TGOpenSSLDecryptor::makeWithPassword(
    const TGCryptorSettings& settings, std::string_view password, Handler handler)
{
    auto reader = std::shared_ptr<TGOpenSSLDecryptor>(new TGOpenSSLDecryptor(std::move(handler)));
    reader->m_password = std::string(password);
    reader->m_settings = settings;
    return reader;
}

Result<std::shared_ptr<TGOpenSSLDecryptor>> TGOpenSSLDecryptor::makeWithKey(
    const TGCryptorSettings& settings, ByteView encryptionKey, ByteView IV, Handler handler)
{
    auto reader = std::shared_ptr<TGOpenSSLDecryptor>(new TGOpenSSLDecryptor(std::move(handler)));
    auto engine = TGCryptorEngine::make(TGCryptorOperation::Decrypt, settings, encryptionKey, IV);
    if (!engine) {
        reader->cleanupAndNotifyWithError(engine.error());
        return engine.error();
    }
    reader->m_engine = std::move(*engine);
    reader->m_settings = settings;
    return reader;
}

Result<Bytes> TGOpenSSLDecryptor::decryptData(
    ByteView data, const TGCryptorSettings& settings, std::string_view password)
{
    return synchronousResultForCryptor(makeWithPassword(settings, password, ignoringHandler()), data);
}

Result<Bytes> TGOpenSSLDecryptor::decryptData(
    ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey, ByteView IV)
{
    return synchronousResultForCryptor(makeWithKey(settings, encryptionKey, IV, ignoringHandler()), data);
}

void TGOpenSSLDecryptor::consumeHeaderFromData(Bytes& inData)
{
    const size_t saltSize = m_settings.keySettings.saltSize;
    if (inData.size() < kTGCryptorOpenSSLSaltedString.size() + saltSize)
        return;
    const Bytes marker = _TGConsumeToIndex(inData, kTGCryptorOpenSSLSaltedString.size());
    if (!std::equal(marker.begin(), marker.end(), kTGCryptorOpenSSLSaltedString.begin())) {
        cleanupAndNotifyWithError(cryptorError(kTGCryptorUnknownHeader));
        return;
    }
    const Bytes salt = _TGConsumeToIndex(inData, saltSize);
    const std::string password = m_password.value_or(std::string());
    Bytes key = TGOpenSSLCryptorGetKey(password, salt, m_settings.keySettings);
    const Bytes IV = TGOpenSSLCryptorGetIV(key, password, salt, m_settings.keySettings);
    auto engine = TGCryptorEngine::make(TGCryptorOperation::Decrypt, m_settings, key, IV);
    OPENSSL_cleanse(key.data(), key.size());
    if (!engine) {
        cleanupAndNotifyWithError(engine.error());
        return;
    }
    m_engine = std::move(*engine);
}

TGOpenSSLEncryptor::TGOpenSSLEncryptor(Handler handler)
    : TGEncryptor(std::move(handler), "TGOpenSSLEncryptor")
{
}

Result<std::shared_ptr<TGOpenSSLEncryptor>> TGOpenSSLEncryptor::makeWithKey(
    const TGCryptorSettings& settings, ByteView encryptionKey, ByteView IV, Handler handler)
{
    auto writer = std::shared_ptr<TGOpenSSLEncryptor>(new TGOpenSSLEncryptor(std::move(handler)));
    if (auto ready = writer->setUp(settings, encryptionKey, std::nullopt, IV); !ready)
        return ready.error();
    return writer;
}

Result<std::shared_ptr<TGOpenSSLEncryptor>> TGOpenSSLEncryptor::makeWithPassword(
    const TGCryptorSettings& settings, std::string_view password, ByteView salt, Handler handler)
{
    Bytes key = TGOpenSSLCryptorGetKey(password, salt, settings.keySettings);
    const Bytes IV = TGOpenSSLCryptorGetIV(key, password, salt, settings.keySettings);
    auto writer = makeWithKey(settings, key, IV, std::move(handler));
    OPENSSL_cleanse(key.data(), key.size());
    if (!writer)
        return writer.error();
    (*writer)->m_options |= kTGCryptorOptionUsesPassword;
    (*writer)->m_encryptionSalt.assign(salt.begin(), salt.end());
    return writer;
}

Result<std::shared_ptr<TGOpenSSLEncryptor>> TGOpenSSLEncryptor::makeWithPassword(
    const TGCryptorSettings& settings, std::string_view password, Handler handler)
{
    const auto salt = randomDataOfLength(settings.keySettings.saltSize);
    if (!salt)
        return failedBeforeSetUp(salt.error(), std::move(handler));
    return makeWithPassword(settings, password, *salt, std::move(handler));
}

Result<Bytes> TGOpenSSLEncryptor::encryptData(
    ByteView data, const TGCryptorSettings& settings, std::string_view password)
{
    return synchronousResultForCryptor(makeWithPassword(settings, password, ignoringHandler()), data);
}

Result<Bytes> TGOpenSSLEncryptor::encryptData(
    ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey, ByteView IV)
{
    return synchronousResultForCryptor(makeWithKey(settings, encryptionKey, IV, ignoringHandler()), data);
}

Bytes TGOpenSSLEncryptor::header() const
{
    if (!(m_options & kTGCryptorOptionUsesPassword))
        return {};
    Bytes header(kTGCryptorOpenSSLSaltedString.begin(), kTGCryptorOpenSSLSaltedString.end());
    header.insert(header.end(), m_encryptionSalt.begin(), m_encryptionSalt.end());
    return header;
}

} // namespace kaleon::container
