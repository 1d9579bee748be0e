#pragma once

#include "container/decryptor.h"
#include "container/encryptor.h"

namespace kaleon::container {

// The salted format of `openssl enc`: "Salted__", the salt, then the ciphertext, with key and
// IV from one MD5 pass over password and salt (EVP_BytesToKey with MD5, one round), and no
// HMAC. Key-based use has no header at all. Only `keySettings.keySize` and `saltSize` take part
// in the derivation: a key size of 32 gives AES-256 (key D1‖D2, IV D3), anything else a 16-byte
// key for AES-128 (key D1, IV D2).
SecretBytes TGOpenSSLCryptorGetKey(
    std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings);
Bytes TGOpenSSLCryptorGetIV(
    ByteView key, std::string_view password, ByteView salt, const TGCryptorKeyDerivationSettings& settings);

class TGOpenSSLDecryptor : public TGDecryptor {
public:
    static std::shared_ptr<TGOpenSSLDecryptor> makeWithPassword(
        const TGCryptorSettings& settings, std::string_view password, Handler handler);
    // Reads bare ciphertext; fails (and tells the handler) when the cipher cannot be set up.
    static Result<std::shared_ptr<TGOpenSSLDecryptor>> makeWithKey(
        const TGCryptorSettings& settings, ByteView encryptionKey, ByteView IV, Handler handler);

    static Result<Bytes> decryptData(ByteView data, const TGCryptorSettings& settings, std::string_view password);
    static Result<Bytes> decryptData(
        ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey, ByteView IV);

protected:
    TGOpenSSLDecryptor(Handler handler);
    void consumeHeaderFromData(Bytes& inData) override;
};

class TGOpenSSLEncryptor : public TGEncryptor {
public:
    // Draws the salt.
    static Result<std::shared_ptr<TGOpenSSLEncryptor>> makeWithPassword(
        const TGCryptorSettings& settings, std::string_view password, Handler handler);
    // With a given salt, for output that can be reproduced.
    static Result<std::shared_ptr<TGOpenSSLEncryptor>> makeWithPassword(
        const TGCryptorSettings& settings, std::string_view password, ByteView salt, Handler handler);
    // Writes bare ciphertext.
    static Result<std::shared_ptr<TGOpenSSLEncryptor>> makeWithKey(
        const TGCryptorSettings& settings, ByteView encryptionKey, ByteView IV, Handler handler);

    static Result<Bytes> encryptData(ByteView data, const TGCryptorSettings& settings, std::string_view password);
    static Result<Bytes> encryptData(
        ByteView data, const TGCryptorSettings& settings, ByteView encryptionKey, ByteView IV);

    Bytes header() const override;

protected:
    TGOpenSSLEncryptor(Handler handler);
};

} // namespace kaleon::container
