#pragma once

#include "container/settings.h"

#include <memory>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;
typedef struct evp_mac_ctx_st EVP_MAC_CTX;

namespace kaleon::container {

// Owning handles of OpenSSL's cipher and MAC contexts, freed by OpenSSL's own functions.
struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* context) const;
};
struct MACContextFree {
    void operator()(EVP_MAC_CTX* context) const;
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;
using MACContext = std::unique_ptr<EVP_MAC_CTX, MACContextFree>;

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
    TGCryptorEngine(const TGCryptorEngine&) = delete;
    TGCryptorEngine& operator=(const TGCryptorEngine&) = delete;

    // Appends to `output` what this input releases (on decryption the last block is held back).
    Result<void> addData(ByteView input, Bytes& output);
    // Appends the rest; call once, with or without earlier input.
    Result<void> finish(Bytes& output);

private:
    TGCryptorEngine(CipherContext context, TGCryptorOperation operation, bool padding)
        : m_context(std::move(context))
        , m_operation(operation)
        , m_padding(padding)
    {
    }
    CipherContext m_context;
    TGCryptorOperation m_operation;
    bool m_padding;
};

// A running HMAC.
class RunningHMAC {
public:
    // An error (-4300) for an unknown algorithm.
    static Result<std::unique_ptr<RunningHMAC>> make(TGCryptorHMACAlgorithm algorithm, ByteView key);
    RunningHMAC(const RunningHMAC&) = delete;
    RunningHMAC& operator=(const RunningHMAC&) = delete;

    size_t length() const { return m_length; }
    void update(ByteView data);
    Bytes final();

private:
    RunningHMAC(MACContext context, size_t length)
        : m_context(std::move(context))
        , m_length(length)
    {
    }
    MACContext m_context;
    size_t m_length;
};

// The digest length of an HMAC algorithm; 0 for one we do not know.
size_t digestLengthOfHMAC(TGCryptorHMACAlgorithm algorithm);

} // namespace kaleon::container
