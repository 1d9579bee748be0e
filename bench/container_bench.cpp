// The container library against its floors, side by side in one run:
//   - our PBKDF2 against OpenSSL's PKCS5_PBKDF2_HMAC for the same derivation;
//   - reading a small (20 KB) shape-sized container against its two key derivations alone;
//   - streaming 256 MiB through the reader and writer against AES-256-CBC plus HMAC-SHA256 over
//     the same bytes in one thread, with the peak resident memory reported;
//   - making and dropping 10,000 key-based cryptors, with the pool's thread count reported.

#include "container/decryptor.h"
#include "container/encryptor.h"
#include "container/key_derivation.h"

#include <benchmark/benchmark.h>
#include <latch>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <semaphore>
#include <sys/resource.h>

using namespace kaleon;
using namespace kaleon::container;

namespace {

constexpr size_t kStreamSize = 256u << 20;
constexpr size_t kChunk = 64u << 10;

const Bytes kSalt(8, 0x5a);

double peakResidentMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_TGCryptorPBKDF2(benchmark::State& state)
{
    Bytes key(32);
    for (auto _ : state) {
        TGCryptorPBKDF2(kTGCryptorPBKDF2, bytesOf("9d41c07be35a86f2d0b7e4196ac3f528"), kSalt,
            TGCryptorPseudoRandomAlgorithm::HMACSHA1, 10000, key);
        benchmark::DoNotOptimize(key.data());
    }
}
BENCHMARK(BM_TGCryptorPBKDF2)->Unit(benchmark::kMillisecond);

void BM_OpenSSLPKCS5PBKDF2Reference(benchmark::State& state)
{
    Bytes key(32);
    const std::string_view password = "9d41c07be35a86f2d0b7e4196ac3f528";
    for (auto _ : state) {
        PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), kSalt.data(),
            static_cast<int>(kSalt.size()), 10000, EVP_sha1(), static_cast<int>(key.size()), key.data());
        benchmark::DoNotOptimize(key.data());
    }
}
BENCHMARK(BM_OpenSSLPKCS5PBKDF2Reference)->Unit(benchmark::kMillisecond);

void BM_DecryptSmallContainer(benchmark::State& state)
{
    const Bytes plaintext(20 * 1024, 0x41);
    const Bytes container = TGEncryptor::encryptData(plaintext, kTGCryptorDefaultSettings, "password").value();
    for (auto _ : state) {
        auto result = TGDecryptor::decryptData(container, kTGCryptorDefaultSettings, "password");
        benchmark::DoNotOptimize(result.has_value());
    }
}
BENCHMARK(BM_DecryptSmallContainer)->Unit(benchmark::kMillisecond);

void BM_TwoKeyDerivationsReference(benchmark::State& state)
{
    for (auto _ : state) {
        auto a = keyForPassword("password", kSalt, kTGCryptorDefaultSettings.keySettings);
        auto b = keyForPassword("password", kSalt, kTGCryptorDefaultSettings.HMACKeySettings);
        benchmark::DoNotOptimize(a.has_value() && b.has_value());
    }
}
BENCHMARK(BM_TwoKeyDerivationsReference)->Unit(benchmark::kMillisecond);

// Feeds a cryptor in 64 KiB pieces with at most 16 pieces queued, as tgcrypt does: each
// handler call frees a place.
size_t stream(const std::shared_ptr<TGCryptor>& cryptor, ByteView input)
{
    std::latch done(1);
    std::counting_semaphore<16> places(16);
    size_t produced = 0;
    cryptor->setHandler([&](TGCryptor& c, const Bytes& data) {
        produced += data.size();
        if (c.isFinished())
            done.count_down();
        else
            places.release();
    });
    for (size_t at = 0; at < input.size(); at += kChunk) {
        places.acquire();
        cryptor->addData(input.subspan(at, std::min(kChunk, input.size() - at)));
    }
    cryptor->finish();
    done.wait();
    return produced;
}

const Bytes& streamPlaintext()
{
    static const Bytes plaintext(kStreamSize, 0x33);
    return plaintext;
}

const Bytes& streamContainer()
{
    static const Bytes container
        = TGEncryptor::encryptData(streamPlaintext(), kTGCryptorDefaultSettings, Bytes(32, 1), ByteView(Bytes(32, 2)))
              .value();
    return container;
}

void BM_StreamDecrypt256MiB(benchmark::State& state)
{
    const Bytes key(32, 1);
    const Bytes hmacKey(32, 2);
    const Bytes& container = streamContainer();
    for (auto _ : state) {
        auto reader = TGDecryptor::makeWithEncryptionKey(key, ByteView(hmacKey), nullptr);
        benchmark::DoNotOptimize(stream(reader, container));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamSize));
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}
BENCHMARK(BM_StreamDecrypt256MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StreamEncrypt256MiB(benchmark::State& state)
{
    const Bytes key(32, 1);
    const Bytes hmacKey(32, 2);
    for (auto _ : state) {
        auto writer = TGEncryptor::makeWithKeys(kTGCryptorDefaultSettings, key, ByteView(hmacKey), nullptr).value();
        benchmark::DoNotOptimize(stream(writer, streamPlaintext()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamSize));
}
BENCHMARK(BM_StreamEncrypt256MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// AES-256-CBC and HMAC-SHA256 over the same bytes, one after the other in one thread.
void sequentialFloor(benchmark::State& state, int encrypt)
{
    const Bytes key(32, 1);
    const Bytes iv(16, 3);
    const Bytes hmacKey(32, 2);
    const Bytes& input = encrypt ? streamPlaintext() : streamContainer();
    const size_t length = encrypt ? input.size() : input.size() - 18 - 32;
    const std::uint8_t* data = encrypt ? input.data() : input.data() + 18;
    Bytes output(kChunk + 16);
    for (auto _ : state) {
        EVP_CIPHER_CTX* cipher = EVP_CIPHER_CTX_new();
        EVP_CipherInit_ex(cipher, EVP_aes_256_cbc(), nullptr, key.data(), iv.data(), encrypt);
        HMAC_CTX* hmac = HMAC_CTX_new();
        HMAC_Init_ex(hmac, hmacKey.data(), static_cast<int>(hmacKey.size()), EVP_sha256(), nullptr);
        int written = 0;
        for (size_t at = 0; at < length; at += kChunk) {
            const int n = static_cast<int>(std::min(kChunk, length - at));
            EVP_CipherUpdate(cipher, output.data(), &written, data + at, n);
            HMAC_Update(hmac, encrypt ? output.data() : data + at, static_cast<size_t>(encrypt ? written : n));
        }
        EVP_CipherFinal_ex(cipher, output.data(), &written);
        unsigned char digest[32];
        unsigned digestLength = 0;
        HMAC_Final(hmac, digest, &digestLength);
        HMAC_CTX_free(hmac);
        EVP_CIPHER_CTX_free(cipher);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamSize));
}

void BM_DecryptPlusHMACFloor(benchmark::State& state)
{
    sequentialFloor(state, 0);
}
BENCHMARK(BM_DecryptPlusHMACFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncryptPlusHMACFloor(benchmark::State& state)
{
    sequentialFloor(state, 1);
}
BENCHMARK(BM_EncryptPlusHMACFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TenThousandKeyCryptors(benchmark::State& state)
{
    const Bytes key(32, 6);
    const size_t threadsBefore = SerialQueue::poolThreadCount();
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) {
            auto reader = TGDecryptor::makeWithEncryptionKey(key, ByteView(key), nullptr);
            benchmark::DoNotOptimize(reader.get());
        }
    }
    state.counters["threads_started"] = static_cast<double>(SerialQueue::poolThreadCount() - threadsBefore);
}
BENCHMARK(BM_TenThousandKeyCryptors)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
