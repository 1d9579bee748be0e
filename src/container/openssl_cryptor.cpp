#include "container/openssl_cryptor.h"

#include "container/bytes.h"
#include "container/key_derivation.h"
#include "core/c_handle.h"

#include <openssl/evp.h>

namespace kaleon::container {

namespace {

constexpr size_t kMD5Length = 16;
constexpr size_t kLongKey = 32;

SecretBytes md5(ByteView first, ByteView second)
{
    SecretBytes digest(kMD5Length, 0);
    const CHandle<EVP_MD_CTX, EVP_MD_CTX_free> context(EVP_MD_CTX_new());
    EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr);
    EVP_DigestUpdate(context.get(), first.data(), first.size());
    EVP_DigestUpdate(context.get(), second.data(), second.size());
    unsigned length = 0;
    EVP_DigestFinal_ex(context.get(), digest.data(), &length);
    return digest;
}

SecretBytes concatenated(ByteView a, ByteView b)
{
    SecretBytes joined(a.begin(), a.end());
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

// D1, D2, ... of EVP_BytesToKey: D1 = MD5(D), Dn = MD5(Dn-1 ‖ D), D = password ‖ salt.
std::vector<SecretBytes> digestChain(std::string_view password, ByteView salt, size_t count)
{
    const SecretBytes material = concatenated(bytesOf(password), salt);
    std::vector<SecretBytes> chain;
    chain.push_back(md5({}, material));
    while (chain.size() < count)
        chain.push_back(md5(chain.back(), material));
    return chain;
}

// The cipher of a password and salt: its key and IV.
std::pair<SecretBytes, Bytes> cipherForPassword(
    std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings)
{
    SecretBytes key = TGOpenSSLCryptorGetKey(password, salt, settings);
    Bytes IV = TGOpenSSLCryptorGetIV(key, password, salt, settings);
    return { std::move(key), std::move(IV) };
}

} // namespace

SecretBytes TGOpenSSLCryptorGetKey(
    std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings)
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
    const SecretBytes IV = settings.keySize == kLongKey
        ? [&] {
              const auto chain = digestChain(password, salt, 4);
              return concatenated(chain[2], chain[3]);
          }()
        : md5(key, concatenated(bytesOf(password), salt));
    return Bytes(IV.begin(), IV.end());
}

TGOpenSSLDecryptor::TGOpenSSLDecryptor(Handler handler)
    : TGDecryptor(std::move(handler), "TGOpenSSLDecryptor")
{
}

std::shared_ptr<TGOpenSSLDecryptor> TGOpenSSLDecryptor::makeWithPassword(
    const TGCryptorSettings& settings, std::string_view password, Handler handler)
{
    auto reader = std::shared_ptr<TGOpenSSLDecryptor>(new TGOpenSSLDecryptor(std::move(handler)));
    reader->m_password = secretBytesOf(password);
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
    const Bytes marker = consumeToIndex(inData, kTGCryptorOpenSSLSaltedString.size());
    if (!std::equal(marker.begin(), marker.end(), kTGCryptorOpenSSLSaltedString.begin())) {
        cleanupAndNotifyWithError(cryptorError(kTGCryptorUnknownHeader));
        return;
    }
    const Bytes salt = consumeToIndex(inData, saltSize);
    const auto [key, IV] = cipherForPassword(textOf(m_password.value_or(SecretBytes())), salt, m_settings.keySettings);
    m_password.reset();
    auto engine = TGCryptorEngine::make(TGCryptorOperation::Decrypt, m_settings, key, IV);
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
    const auto [key, IV] = cipherForPassword(password, salt, settings.keySettings);
    auto writer = makeWithKey(settings, key, IV, std::move(handler));
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
