// The OpenSSL-compatible reader on any bytes, fed in pieces the fuzzer chooses.
#include "container/openssl_cryptor.h"
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <latch>

using namespace kaleon::container;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    TGCryptorSettings settings = kTGCryptorDefaultSettings;
    settings.keySettings.keySize = provider.ConsumeBool() ? 32 : 16;
    std::latch done(1);
    auto reader = TGOpenSSLDecryptor::makeWithPassword(settings, "password", [&](TGCryptor& cryptor, const Bytes&) {
        if (cryptor.isFinished())
            done.count_down();
    });
    const size_t piece = provider.ConsumeIntegralInRange<size_t>(1, 100);
    const std::vector<std::uint8_t> input = provider.ConsumeRemainingBytes<std::uint8_t>();
    for (size_t at = 0; at < input.size(); at += piece)
        reader->addData(ByteView(input.data() + at, std::min(piece, input.size() - at)));
    reader->finish();
    done.wait();
    return 0;
}
