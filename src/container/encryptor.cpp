#include "container/encryptor.h"

#include "container/key_derivation.h"

namespace kaleon::container {

TGEncryptor::TGEncryptor(Handler handler, std::string_view className)
    : TGCryptor(std::move(handler), className)
{
}

Result<void> TGEncryptor::setUp(
    const TGCryptorSettings& settings, ByteView encryptionKey, std::optional<ByteView> HMACKey, ByteView IV)
{
    m_IV.assign(IV.begin(), IV.end());
    if (HMACKey) {
        auto hmac = RunningHMAC::make(settings.HMACAlgorithm, *HMACKey);
        if (!hmac || (*hmac)->length() != settings.HMACLength) {
            const Error error = hmac ? cryptorError(kTGCryptorParamError) : hmac.error();
            cleanupAndNotifyWithError(error);
            return error;
        }
        m_HMAC = std::move(*hmac);
        m_HMACLength = settings.HMACLength;
    }
    auto engine = TGCryptorEngine::make(TGCryptorOperation::Encrypt, settings, encryptionKey, IV);
    if (!engine) {
        cleanupAndNotifyWithError(engine.error());
        return engine.error();
    }
    m_engine = std::move(*engine);
    return {};
}

Error TGEncryptor::failedBeforeSetUp(Error error, Handler handler)
{
    // Random bytes could not be had: never a zero IV or salt. The handler hears of it as it
    // would of any other failure to set up.
    const auto writer = std::shared_ptr<TGEncryptor>(new TGEncryptor(std::move(handler), "TGEncryptor"));
    writer->cleanupAndNotifyWithError(error);
    return error;
}

Result<std::shared_ptr<TGEncryptor>> TGEncryptor::makeWithKeys(const TGCryptorSettings& settings,
    ByteView encryptionKey, std::optional<ByteView> HMACKey, ByteView IV, Handler handler)
{
    auto writer = std::shared_ptr<TGEncryptor>(new TGEncryptor(std::move(handler), "TGEncryptor"));
    if (auto ready = writer->setUp(settings, encryptionKey, HMACKey, IV); !ready)
        return ready.error();
    return writer;
}

Result<std::shared_ptr<TGEncryptor>> TGEncryptor::makeWithKeys(
    const TGCryptorSettings& settings, ByteView encryptionKey, std::optional<ByteView> HMACKey, Handler handler)
{
    const auto IV = randomDataOfLength(settings.IVSize);
    if (!IV)
        return failedBeforeSetUp(IV.error(), std::move(handler));
    return makeWithKeys(settings, encryptionKey, HMACKey, *IV, std::move(handler));
}

Result<std::shared_ptr<TGEncryptor>> TGEncryptor::makeWithPassword(const TGCryptorSettings& settings,
    std::string_view password, ByteView IV, ByteView encryptionSalt, ByteView HMACSalt, Handler handler)
{
    auto writer = std::shared_ptr<TGEncryptor>(new TGEncryptor(std::move(handler), "TGEncryptor"));
    auto [encryptionKey, HMACKey]
        = keysForPassword(password, encryptionSalt, settings.keySettings, HMACSalt, settings.HMACKeySettings);
    if (!encryptionKey || !HMACKey) {
        const Error error = !encryptionKey ? encryptionKey.error() : HMACKey.error();
        writer->cleanupAndNotifyWithError(error);
        return error;
    }
    const auto ready = writer->setUp(settings, *encryptionKey, ByteView(*HMACKey), IV);
    if (!ready)
        return ready.error();
    writer->m_options |= kTGCryptorOptionUsesPassword;
    writer->m_encryptionSalt.assign(encryptionSalt.begin(), encryptionSalt.end());
    writer->m_HMACSalt.assign(HMACSalt.begin(), HMACSalt.end());
    return writer;
}

Result<std::shared_ptr<TGEncryptor>> TGEncryptor::makeWithPassword(
    const TGCryptorSettings& settings, std::string_view password, Handler handler)
{
    auto IV = randomDataOfLength(settings.IVSize);
    auto encryptionSalt = randomDataOfLength(settings.keySettings.saltSize);
    auto HMACSalt = randomDataOfLength(settings.HMACKeySettings.saltSize);
    if (!IV || !encryptionSalt || !HMACSalt)
        return failedBeforeSetUp(!IV ? IV.error()
                : !encryptionSalt    ? encryptionSalt.error()
                                     : HMACSalt.error(),
            std::move(handler));
    return makeWithPassword(settings, password, *IV, *encryptionSalt, *HMACSalt, std::move(handler));
}

Result<Bytes> TGEncryptor::encryptData(ByteView data, const TGCryptorSettings& settings, std::string_view password)
{
    return synchronousResultForCryptor(makeWithPassword(settings, password, ignoringHandler()), data);
}

Result<Bytes> TGEncryptor::encryptData(ByteView data, const TGCryptorSettings& settings, std::string_view password,
    ByteView IV, ByteView encryptionSalt, ByteView HMACSalt)
{
    return synchronousResultForCryptor(
        makeWithPassword(settings, password, IV, encryptionSalt, HMACSalt, ignoringHandler()), data);
}

Result<Bytes> TGEncryptor::encryptData(
    ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey, std::optional<ByteView> HMACKey)
{
    return synchronousResultForCryptor(makeWithKeys(settings, encryptionKey, HMACKey, ignoringHandler()), data);
}

Result<Bytes> TGEncryptor::encryptData(ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey,
    std::optional<ByteView> HMACKey, ByteView IV)
{
    return synchronousResultForCryptor(makeWithKeys(settings, encryptionKey, HMACKey, IV, ignoringHandler()), data);
}

Bytes TGEncryptor::header() const
{
    const bool usesPassword = (m_options & kTGCryptorOptionUsesPassword) != 0;
    Bytes header;
    header.reserve(2 + m_encryptionSalt.size() + m_HMACSalt.size() + m_IV.size());
    header.push_back(kTGCryptorFileVersion);
    header.push_back(m_options);
    if (usesPassword)
        header.insert(header.end(), m_encryptionSalt.begin(), m_encryptionSalt.end());
    if (usesPassword)
        header.insert(header.end(), m_HMACSalt.begin(), m_HMACSalt.end());
    header.insert(header.end(), m_IV.begin(), m_IV.end());
    return header;
}

void TGEncryptor::writeHeaderIfNeeded()
{
    if (m_haveWrittenHeader)
        return;
    m_outData = header();
    if (hasHMAC())
        m_HMAC->update(m_outData);
    m_haveWrittenHeader = true;
}

void TGEncryptor::addData(ByteView data)
{
    enqueue<TGEncryptor>([piece = Bytes(data.begin(), data.end())](TGEncryptor& self) {
        self.writeHeaderIfNeeded();
        const size_t start = self.m_outData.size();
        if (auto added = self.m_engine->addData(piece, self.m_outData); !added) {
            self.cleanupAndNotifyWithError(added.error());
            return;
        }
        if (self.hasHMAC())
            self.m_HMAC->update(ByteView(self.m_outData).subspan(start));
        self.notifyProgress();
    });
}

void TGEncryptor::finish()
{
    enqueue<TGEncryptor>([](TGEncryptor& self) {
        // Without any input the container of empty plaintext is written all the same.
        self.writeHeaderIfNeeded();
        const size_t start = self.m_outData.size();
        auto finished = self.m_engine->finish(self.m_outData);
        if (self.hasHMAC()) {
            self.m_HMAC->update(ByteView(self.m_outData).subspan(start));
            const Bytes digest = self.m_HMAC->final();
            self.m_outData.insert(self.m_outData.end(), digest.begin(), digest.end());
        }
        self.cleanupAndNotifyWithError(finished ? std::nullopt : std::optional<Error>(finished.error()));
    });
}

} // namespace kaleon::container
