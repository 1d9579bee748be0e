#pragma once

#include "container/settings.h"

#include <memory>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;
typedef struct evp_mac_ctx_st EVP_MAC_CTX;

namespace kaleon::container {

enum class TGCryptorOperation : std::uint32_t { Encrypt = 0, Decrypt = 1 };

// One streaming block-cipher operation: pieces of any size in, the output they release out,
// and the rest (padding added or checked and removed) at the end. Errors carry the cipher
// status: -4300 for a key or IV the cipher does not take, -4303 for input that does not fill
// whole blocks without padding, -4304 for padding that does not verify.
class TGCryptorEngine {
public:
    // The cipher comes from `settings.algorithm` and `settings.options`; the key's length picks
    // AES-128, -192 or -256. The IV must hold at least one block (an empty IV is all zeros).
    static Result<std::unique_ptr<TGCryptorEngine>> make(
        TGCryptorOperation operation, const TGCryptorSettings& settings, ByteView key, ByteView IV);
    ~TGCryptorEngine();
    TGCryptorEngine(const TGCryptorEngine&) = delete;
    TGCryptorEngine& operator=(const TGCryptorEngine&) = delete;

    // Appends to `output` what this input releases (on decryption the last block is held back).
    Result<void> addData(ByteView input, Bytes& output);
    // Appends the rest; call once, with or without earlier input.
    Result<void> finish(Bytes& output);

private:
    TGCryptorEngine(EVP_CIPHER_CTX* context, TGCryptorOperation operation, bool padding)
        : m_context(context)
        , m_operation(operation)
        , m_padding(padding)
    {
    }
    EVP_CIPHER_CTX* m_context;
    TGCryptorOperation m_operation;
    bool m_padding;
};

// A running HMAC (HMAC algorithm codes of TGCryptorSettings).
class RunningHMAC {
public:
    // An error (-4300) for an unknown algorithm.
    static Result<std::unique_ptr<RunningHMAC>> make(std::uint32_t algorithm, ByteView key);
    ~RunningHMAC();
    RunningHMAC(const RunningHMAC&) = delete;
    RunningHMAC& operator=(const RunningHMAC&) = delete;

    size_t length() const { return m_length; }
    void update(ByteView data);
    Bytes final();

private:
    RunningHMAC(EVP_MAC_CTX* context, size_t length)
        : m_context(context)
        , m_length(length)
    {
    }
    EVP_MAC_CTX* m_context;
    size_t m_length;
};

// The digest length of an HMAC algorithm code; 0 for an unknown code.
size_t digestLengthOfHMAC(std::uint32_t algorithm);

} // namespace kaleon::container
