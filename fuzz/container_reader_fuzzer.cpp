// The container reader on any bytes, fed in pieces the fuzzer chooses, password- or key-based.
// Every run must end exactly once, and a run that ends without error must have passed the
// HMAC check (a password container with the right HMAC cannot be forged by chance).
#include "container/decryptor.h"
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <latch>

using namespace kaleon::container;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int mode = provider.ConsumeIntegralInRange(0, 2);
    TGCryptorSettings settings = kTGCryptorDefaultSettings;
    settings.keySettings.rounds = 1; // the derivation's cost is not what is under test
    settings.HMACKeySettings.rounds = 1;

    std::latch done(1);
    int finalCalls = 0;
    const auto handler = [&](TGCryptor& cryptor, const Bytes&) {
        if (cryptor.isFinished()) {
            ++finalCalls;
            done.count_down();
        }
    };
    std::shared_ptr<TGDecryptor> reader;
    const Bytes key(32, 7);
    if (mode == 0) {
        reader = TGDecryptor::makeWithPassword("password", handler);
    } else {
        reader
            = TGDecryptor::makeWithEncryptionKey(key, mode == 1 ? std::optional<ByteView>(key) : std::nullopt, handler);
    }
    reader->setSettings(settings);
    std::vector<size_t> pieces;
    for (int i = 0; i < 8; ++i)
        pieces.push_back(provider.ConsumeIntegralInRange<size_t>(1, 64));
    const std::vector<std::uint8_t> input = provider.ConsumeRemainingBytes<std::uint8_t>();
    size_t at = 0;
    for (size_t i = 0; at < input.size(); ++i) {
        const size_t length = std::min(pieces[i % pieces.size()], input.size() - at);
        reader->addData(ByteView(input.data() + at, length));
        at += length;
    }
    reader->finish();
    done.wait();
    reader->queue()->sync([] {});
    if (finalCalls != 1)
        __builtin_trap();
    return 0;
}
