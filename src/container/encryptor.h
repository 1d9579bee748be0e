#pragma once

#include "container/cryptor.h"

#include <optional>

namespace kaleon::container {

// Writes a version-3 container from plaintext pieces: the header in front of the first
// ciphertext, each piece encrypted as it arrives, a running HMAC over header and ciphertext,
// and the HMAC after the last block. A writer finished without any input writes the container
// of empty plaintext.
class TGEncryptor : public TGCryptor {
public:
    // The factories fail (and say so to the handler as well) when the cipher cannot be set up,
    // when a key cannot be derived, or when random bytes cannot be had.
    static Result<std::shared_ptr<TGEncryptor>> makeWithKeys(const TGCryptorSettings& settings, ByteView encryptionKey,
        std::optional<ByteView> HMACKey, ByteView IV, Handler handler);
    // Draws a random IV of `settings.IVSize` bytes.
    static Result<std::shared_ptr<TGEncryptor>> makeWithKeys(
        const TGCryptorSettings& settings, ByteView encryptionKey, std::optional<ByteView> HMACKey, Handler handler);
    static Result<std::shared_ptr<TGEncryptor>> makeWithPassword(const TGCryptorSettings& settings,
        std::string_view password, ByteView IV, ByteView encryptionSalt, ByteView HMACSalt, Handler handler);
    // Draws the IV, then the encryption salt, then the HMAC salt.
    static Result<std::shared_ptr<TGEncryptor>> makeWithPassword(
        const TGCryptorSettings& settings, std::string_view password, Handler handler);

    static Result<Bytes> encryptData(ByteView data, const TGCryptorSettings& settings, std::string_view password);
    static Result<Bytes> encryptData(ByteView data, const TGCryptorSettings& settings, std::string_view password,
        ByteView IV, ByteView encryptionSalt, ByteView HMACSalt);
    static Result<Bytes> encryptData(
        ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey, std::optional<ByteView> HMACKey);
    static Result<Bytes> encryptData(ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey,
        std::optional<ByteView> HMACKey, ByteView IV);

    void addData(ByteView data) override;
    void finish() override;

    // The header this writer puts in front of its output.
    virtual Bytes header() const;

    const Bytes& encryptionSalt() const { return m_encryptionSalt; }
    const Bytes& HMACSalt() const { return m_HMACSalt; }
    const Bytes& IV() const { return m_IV; }
    bool haveWrittenHeader() const { return m_haveWrittenHeader; }

protected:
    TGEncryptor(Handler handler, std::string_view className);

    // Sets up the HMAC (when given a key) and the cipher; the failure is also reported to the
    // handler.
    Result<void> setUp(
        const TGCryptorSettings& settings, ByteView encryptionKey, std::optional<ByteView> HMACKey, ByteView IV);
    static Error failedBeforeSetUp(Error error, Handler handler);

    // Worker queue only: puts the header in front of the output once.
    void writeHeaderIfNeeded();

    bool m_haveWrittenHeader = false;
    Bytes m_encryptionSalt;
    Bytes m_HMACSalt;
    Bytes m_IV;
};

} // namespace kaleon::container
