#include "container/decryptor.h"

#include "container/bytes.h"
#include "container/key_derivation.h"

#include <algorithm>
#include <future>

namespace kaleon::container {

namespace {

constexpr size_t kPreambleLength = 2;
// Below this the HMAC is computed in line: handing it to another thread would cost more.
constexpr size_t kParallelHMACThreshold = 256 * 1024;
constexpr size_t kChunksHashedBehind = 2;
constexpr size_t kMostSpareChunks = 2;
constexpr std::string_view kHMACQueueLabel = "org.kaleon.container.TGDecryptor.hmac";

} // namespace

TGDecryptor::TGDecryptor(Handler handler, std::string_view className)
    : TGCryptor(std::move(handler), className)
{
}

std::shared_ptr<TGDecryptor> TGDecryptor::makeWithEncryptionKey(
    ByteView encryptionKey, std::optional<ByteView> HMACKey, Handler handler)
{
    auto reader = std::shared_ptr<TGDecryptor>(new TGDecryptor(std::move(handler), "TGDecryptor"));
    reader->m_encryptionKey = SecretBytes(encryptionKey.begin(), encryptionKey.end());
    if (HMACKey)
        reader->m_HMACKey = SecretBytes(HMACKey->begin(), HMACKey->end());
    return reader;
}

std::shared_ptr<TGDecryptor> TGDecryptor::makeWithPassword(std::string_view password, Handler handler)
{
    auto reader = std::shared_ptr<TGDecryptor>(new TGDecryptor(std::move(handler), "TGDecryptor"));
    reader->m_password = secretBytesOf(password);
    return reader;
}

Result<Bytes> TGDecryptor::decryptData(ByteView data, const TGCryptorSettings& settings, std::string_view password)
{
    auto reader = makeWithPassword(password, ignoringHandler());
    reader->setSettings(settings);
    return synchronousResultForCryptor(reader, data);
}

Result<Bytes> TGDecryptor::decryptData(
    ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey, std::optional<ByteView> HMACKey)
{
    auto reader = makeWithEncryptionKey(encryptionKey, HMACKey, ignoringHandler());
    reader->setSettings(settings);
    return synchronousResultForCryptor(reader, data);
}

Result<Bytes> TGDecryptor::decryptData(ByteView data, std::string_view password)
{
    return decryptData(data, kTGCryptorDefaultSettings, password);
}

Result<Bytes> TGDecryptor::decryptData(ByteView data, ByteView encryptionKey, std::optional<ByteView> HMACKey)
{
    return decryptData(data, kTGCryptorDefaultSettings, encryptionKey, HMACKey);
}

void TGDecryptor::addData(ByteView data)
{
    if (isFinished())
        return;
    if (!m_engine) {
        m_inData.insert(m_inData.end(), data.begin(), data.end());
        consumeHeaderFromData(m_inData);
        data = {};
    }
    if (!m_engine || m_inData.size() + data.size() <= m_HMACLength) {
        m_inData.insert(m_inData.end(), data.begin(), data.end());
        return;
    }
    // Everything but the last HMACLength bytes (the held-back tail, then the new data) goes to
    // decryption in one copy; those last bytes become the new tail.
    const size_t total = m_inData.size() + data.size();
    const size_t chunkLength = total - m_HMACLength;
    Bytes chunk = spareChunk();
    chunk.reserve(chunkLength);
    const size_t fromTail = std::min(chunkLength, m_inData.size());
    chunk.insert(chunk.end(), m_inData.begin(), m_inData.begin() + static_cast<std::ptrdiff_t>(fromTail));
    chunk.insert(chunk.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(chunkLength - fromTail));
    Bytes tail(m_inData.begin() + static_cast<std::ptrdiff_t>(fromTail), m_inData.end());
    tail.insert(tail.end(), data.begin() + static_cast<std::ptrdiff_t>(chunkLength - fromTail), data.end());
    m_inData = std::move(tail);
    queueChunk(std::move(chunk));
}

bool TGDecryptor::updateOptionsForPreamble(std::uint8_t version, std::uint8_t options)
{
    if (version == 2) {
        m_options = options;
        m_settings.keySettings.hasV2Password = true;
        m_settings.HMACKeySettings.hasV2Password = true;
        return true;
    }
    if (version == kTGCryptorFileVersion) {
        m_options = options;
        return true;
    }
    return false;
}

void TGDecryptor::consumeHeaderFromData(Bytes& inData)
{
    if (inData.size() < kPreambleLength)
        return;
    if (!updateOptionsForPreamble(inData[0], inData[1])) {
        cleanupAndNotifyWithError(cryptorError(kTGCryptorUnknownHeader));
        return;
    }
    const bool usesPassword = (m_options & kTGCryptorOptionUsesPassword) != 0;
    size_t headerLength = kPreambleLength + m_settings.IVSize;
    if (usesPassword)
        headerLength += m_settings.keySettings.saltSize + m_settings.HMACKeySettings.saltSize;
    if (inData.size() < headerLength)
        return;

    const Bytes header(inData.begin(), inData.begin() + static_cast<std::ptrdiff_t>(headerLength));
    consumeToIndex(inData, kPreambleLength);
    if (usesPassword) {
        const Bytes encryptionSalt = consumeToIndex(inData, m_settings.keySettings.saltSize);
        const Bytes HMACSalt = consumeToIndex(inData, m_settings.HMACKeySettings.saltSize);
        auto [encryptionKey, HMACKey] = keysForPassword(textOf(m_password.value_or(SecretBytes())), encryptionSalt,
            m_settings.keySettings, HMACSalt, m_settings.HMACKeySettings);
        m_password.reset();
        if (!encryptionKey || !HMACKey) {
            cleanupAndNotifyWithError(!encryptionKey ? encryptionKey.error() : HMACKey.error());
            return;
        }
        m_encryptionKey = std::move(*encryptionKey);
        m_HMACKey = std::move(*HMACKey);
    }
    const Bytes IV = consumeToIndex(inData, m_settings.IVSize);

    auto engine
        = TGCryptorEngine::make(TGCryptorOperation::Decrypt, m_settings, m_encryptionKey.value_or(SecretBytes()), IV);
    m_encryptionKey.reset();
    if (!engine) {
        cleanupAndNotifyWithError(engine.error());
        return;
    }
    if (m_HMACKey) {
        // The HMAC never comes shorter than the settings claim: a length that is not the
        // digest's is refused rather than compared against a partly empty buffer.
        auto hmac = RunningHMAC::make(m_settings.HMACAlgorithm, *m_HMACKey);
        m_HMACKey.reset();
        if (!hmac || m_settings.HMACLength != (*hmac)->length()) {
            cleanupAndNotifyWithError(hmac ? cryptorError(kTGCryptorParamError) : hmac.error());
            return;
        }
        m_HMAC = std::move(*hmac);
        m_HMACLength = m_settings.HMACLength;
        if (!m_hasV1HMAC)
            m_HMAC->update(header);
    }
    m_engine = std::move(*engine);
}

void TGDecryptor::queueChunk(Bytes chunk)
{
    enqueue<TGDecryptor>([chunk = std::move(chunk)](TGDecryptor& self) mutable { self.decryptChunk(chunk); });
}

void TGDecryptor::decryptChunk(Bytes& chunk)
{
    if (!hasHMAC() || chunk.size() < kParallelHMACThreshold) {
        waitForHMAC(0);
        if (hasHMAC())
            m_HMAC->update(chunk);
        decryptAndNotify(chunk);
        recycleChunk(std::move(chunk));
        return;
    }
    // The HMAC is over the ciphertext, so it runs beside decryption, on its own queue, and may
    // lag a chunk behind so that queue always has the next one waiting. The chunk is shared
    // until both are done with it.
    waitForHMAC(kChunksHashedBehind - 1);
    if (!m_HMACQueue)
        m_HMACQueue = SerialQueue::create(std::string(kHMACQueueLabel));
    auto shared = std::make_shared<Bytes>(std::move(chunk));
    auto done = std::make_shared<std::promise<void>>();
    m_pendingHMACs.push_back({ done->get_future(), shared });
    m_HMACQueue->async([self = self<TGDecryptor>(), shared, done] {
        self->m_HMAC->update(*shared);
        done->set_value();
    });
    decryptAndNotify(*shared);
}

void TGDecryptor::decryptAndNotify(ByteView chunk)
{
    if (auto added = m_engine->addData(chunk, m_outData); !added) {
        cleanupAndNotifyWithError(added.error());
        return;
    }
    notifyProgress();
}

void TGDecryptor::waitForHMAC(size_t mostPending)
{
    while (m_pendingHMACs.size() > mostPending) {
        m_pendingHMACs.front().hashed.wait();
        recycleChunk(std::move(*m_pendingHMACs.front().chunk));
        m_pendingHMACs.pop_front();
    }
}

Bytes TGDecryptor::spareChunk()
{
    std::lock_guard lock(m_spareMutex);
    if (m_spareChunks.empty())
        return {};
    Bytes chunk = std::move(m_spareChunks.back());
    m_spareChunks.pop_back();
    return chunk;
}

void TGDecryptor::recycleChunk(Bytes&& chunk)
{
    chunk.clear();
    std::lock_guard lock(m_spareMutex);
    if (m_spareChunks.size() < kMostSpareChunks)
        m_spareChunks.push_back(std::move(chunk));
}

void TGDecryptor::finish()
{
    enqueue<TGDecryptor>([](TGDecryptor& self) {
        // Input that ended before its header was complete is no container.
        if (!self.m_engine) {
            self.cleanupAndNotifyWithError(cryptorError(kTGCryptorUnknownHeader));
            return;
        }
        // The HMAC is judged before the padding: a reader that told bad padding from a bad
        // HMAC would let anyone who can submit containers decrypt them block by block.
        if (self.hasHMAC()) {
            self.waitForHMAC(0);
            const Bytes computed = self.m_HMAC->final();
            if (!tgc_isEqualInConsistentTime(computed, self.m_inData)) {
                self.cleanupAndNotifyWithError(cryptorError(kTGCryptorHMACMismatch));
                return;
            }
        }
        if (auto finished = self.m_engine->finish(self.m_outData); !finished) {
            self.cleanupAndNotifyWithError(finished.error());
            return;
        }
        self.cleanupAndNotifyWithError(std::nullopt);
    });
}

} // namespace kaleon::container
