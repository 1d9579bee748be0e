#include "container/bytes.h"

#include "container/settings.h"

#include <cassert>
#include <openssl/crypto.h>

namespace kaleon::container {

Error cryptorError(int code)
{
    std::string description;
    if (code == kTGCryptorHMACMismatch)
        description = "HMAC Mismatch";
    else if (code == kTGCryptorUnknownHeader)
        description = "Unknown header";
    return Error { std::string(kTGCryptorErrorDomain), code, std::move(description) };
}

void wipeMemory(void* memory, size_t length)
{
    if (memory && length > 0)
        OPENSSL_cleanse(memory, length);
}

Bytes consumeToIndex(Bytes& buffer, size_t index)
{
    assert(index <= buffer.size());
    Bytes front(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(index));
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(index));
    return front;
}

bool tgc_isEqualInConsistentTime(ByteView a, ByteView b)
{
    // An empty `a` has nothing to read: it equals only an empty `b`.
    if (a.empty())
        return b.empty();
    volatile std::uint8_t difference = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < b.size(); ++i)
        difference = difference | static_cast<std::uint8_t>(b[i] ^ a[i % a.size()]);
    return difference == 0;
}

} // namespace kaleon::container
