#pragma once

#include "container/cryptor.h"

#include <deque>
#include <future>
#include <optional>
#include <string>

namespace kaleon::container {

// Reads a container (versions 2 and 3) from pieces of any size: the header as soon as it is
// complete (deriving both keys from the password, on the caller's thread), then the ciphertext
// as it arrives, holding back the trailing HMAC, which is checked at the end. Plaintext handed
// out before the end is unverified: a streaming caller drops it when the last call carries an
// error. The one-call class operations never return unverified plaintext.
class TGDecryptor : public TGCryptor {
public:
    static std::shared_ptr<TGDecryptor> makeWithPassword(std::string_view password, Handler handler);
    // Without an HMAC key the container is read as having no HMAC.
    static std::shared_ptr<TGDecryptor> makeWithEncryptionKey(
        ByteView encryptionKey, std::optional<ByteView> HMACKey, Handler handler);

    static Result<Bytes> decryptData(ByteView data, const TGCryptorSettings& settings, std::string_view password);
    static Result<Bytes> decryptData(
        ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey, std::optional<ByteView> HMACKey);
    static Result<Bytes> decryptData(ByteView data, std::string_view password);
    static Result<Bytes> decryptData(ByteView data, ByteView encryptionKey, std::optional<ByteView> HMACKey);

    void addData(ByteView data) override;
    void finish() override;

    const TGCryptorSettings& settings() const { return m_settings; }
    void setSettings(const TGCryptorSettings& settings) { m_settings = settings; }
    // Whether the header is left out of the HMAC, as version 1 containers did.
    bool hasV1HMAC() const { return m_hasV1HMAC; }
    void setHasV1HMAC(bool hasV1HMAC) { m_hasV1HMAC = hasV1HMAC; }

protected:
    TGDecryptor(Handler handler, std::string_view className);

    // Parses and removes the header once `inData` holds all of it; until then it waits. A
    // refused header or an engine that cannot be made ends the reader.
    virtual void consumeHeaderFromData(Bytes& inData);
    bool updateOptionsForPreamble(std::uint8_t version, std::uint8_t options);
    // Queues the decryption of one chunk of ciphertext.
    void queueChunk(Bytes chunk);
    // On the worker queue: authenticates and decrypts one chunk, the HMAC of a large one on a
    // queue of its own at the same time.
    void decryptChunk(Bytes& chunk);
    void decryptAndNotify(ByteView chunk);
    // Waits until no more than `mostPending` chunks are still being hashed.
    void waitForHMAC(size_t mostPending);
    // Chunk buffers are used again, so a long stream does not fault in fresh memory for each.
    Bytes spareChunk();
    void recycleChunk(Bytes&& chunk);

    Bytes m_inData;
    std::optional<SecretBytes> m_encryptionKey;
    std::optional<SecretBytes> m_HMACKey;
    std::optional<SecretBytes> m_password;
    TGCryptorSettings m_settings = kTGCryptorDefaultSettings;
    bool m_hasV1HMAC = false;

private:
    std::shared_ptr<SerialQueue> m_HMACQueue;
    // Chunks on the HMAC queue, oldest first; each is used again once hashed.
    struct PendingHMAC {
        std::future<void> hashed;
        std::shared_ptr<Bytes> chunk;
    };
    std::deque<PendingHMAC> m_pendingHMACs;
    std::mutex m_spareMutex;
    std::vector<Bytes> m_spareChunks;
};

} // namespace kaleon::container
