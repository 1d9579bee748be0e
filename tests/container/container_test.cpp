#include "container/decryptor.h"
#include "container/encryptor.h"
#include "container/key_derivation.h"
#include "container/openssl_cryptor.h"
#include "test_vectors.h"

#include <atomic>
#include <gtest/gtest.h>
#include <latch>
#include <random>
#include <thread>

using namespace kaleon;
using namespace kaleon::container;

namespace {

std::vector<test::VectorBlock> vectors()
{
    return test::readVectors(KALEON_TEST_DATA_DIR "/container/vectors.txt");
}

Bytes pattern(size_t length)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 131 + (i >> 7));
    return bytes;
}

// Feeds `input` to a cryptor in the given piece sizes (cycling) and collects its output.
Result<Bytes> feed(const std::shared_ptr<TGCryptor>& cryptor, ByteView input, const std::vector<size_t>& pieces)
{
    std::latch done(1);
    Bytes output;
    std::optional<Error> failure;
    cryptor->setHandler([&](TGCryptor& c, const Bytes& chunk) {
        output.insert(output.end(), chunk.begin(), chunk.end());
        if (c.isFinished()) {
            failure = c.error();
            done.count_down();
        }
    });
    size_t at = 0;
    for (size_t i = 0; at < input.size(); ++i) {
        const size_t length = std::min(pieces[i % pieces.size()], input.size() - at);
        cryptor->addData(input.subspan(at, length));
        at += length;
    }
    cryptor->finish();
    done.wait();
    if (failure)
        return *failure;
    return output;
}

TGCryptor::Handler none()
{
    return [](TGCryptor&, const Bytes&) {};
}

// Fast settings for tests that do not care about the cost of the derivation.
TGCryptorSettings quickSettings()
{
    TGCryptorSettings settings = kTGCryptorDefaultSettings;
    settings.keySettings.rounds = 2;
    settings.HMACKeySettings.rounds = 2;
    return settings;
}

} // namespace

TEST(ContainerVectors, PasswordContainersMatchStandardTools)
{
    int checked = 0;
    for (const auto& v : vectors()) {
        if (!v.count("encryption_salt"))
            continue;
        SCOPED_TRACE(test::text(v.at("password")) + " / " + std::to_string(v.at("plaintext").size()));
        const std::string password = test::text(v.at("password"));
        const auto decrypted = TGDecryptor::decryptData(v.at("container"), password);
        ASSERT_TRUE(decrypted) << decrypted.error().code;
        EXPECT_EQ(*decrypted, v.at("plaintext"));
        if (v.at("version")[0] == 3) {
            const auto written = TGEncryptor::encryptData(v.at("plaintext"), kTGCryptorDefaultSettings, password,
                v.at("iv"), v.at("encryption_salt"), v.at("hmac_salt"));
            ASSERT_TRUE(written);
            EXPECT_EQ(*written, v.at("container"));
        }
        ++checked;
    }
    EXPECT_EQ(checked, 9);
}

TEST(ContainerVectors, VersionTwoAndThreeDifferOnlyForNonASCIIPasswords)
{
    const auto all = vectors();
    Bytes v2;
    Bytes v3;
    for (const auto& v : all) {
        if (v.count("encryption_salt") && test::text(v.at("password")) != "password")
            (v.at("version")[0] == 2 ? v2 : v3) = v.at("container");
    }
    ASSERT_FALSE(v2.empty());
    ASSERT_FALSE(v3.empty());
    // The same plaintext and salts under the two versions: only the derived keys differ.
    EXPECT_TRUE(TGDecryptor::decryptData(v2, "pässwörd €"));
    Bytes asVersion3 = v2;
    asVersion3[0] = 3;
    EXPECT_FALSE(TGDecryptor::decryptData(asVersion3, "pässwörd €"));
}

TEST(ContainerVectors, KeyContainersMatchStandardTools)
{
    int checked = 0;
    for (const auto& v : vectors()) {
        if (!v.count("encryption_key"))
            continue;
        const bool withHMAC = v.count("hmac_key") > 0;
        SCOPED_TRACE(withHMAC);
        const std::optional<ByteView> hmacKey = withHMAC ? std::optional<ByteView>(v.at("hmac_key")) : std::nullopt;
        const auto decrypted = TGDecryptor::decryptData(v.at("container"), v.at("encryption_key"), hmacKey);
        ASSERT_TRUE(decrypted);
        EXPECT_EQ(*decrypted, v.at("plaintext"));
        const auto written = TGEncryptor::encryptData(
            v.at("plaintext"), kTGCryptorDefaultSettings, v.at("encryption_key"), hmacKey, v.at("iv"));
        ASSERT_TRUE(written);
        EXPECT_EQ(*written, v.at("container"));
        ++checked;
    }
    EXPECT_EQ(checked, 3);
}

TEST(ContainerVectors, OpenSSLSaltedContainersMatchOpenSSL)
{
    int checked = 0;
    for (const auto& v : vectors()) {
        if (!v.count("salt"))
            continue;
        TGCryptorSettings settings = kTGCryptorDefaultSettings;
        settings.keySettings.keySize = v.at("key_size")[0];
        const std::string password = test::text(v.at("password"));
        const auto decrypted = TGOpenSSLDecryptor::decryptData(v.at("container"), settings, password);
        ASSERT_TRUE(decrypted);
        EXPECT_EQ(*decrypted, v.at("plaintext"));
        auto writer = TGOpenSSLEncryptor::makeWithPassword(settings, password, v.at("salt"), none());
        ASSERT_TRUE(writer);
        const auto written = TGCryptor::synchronousResultForCryptor(*writer, v.at("plaintext"));
        ASSERT_TRUE(written);
        EXPECT_EQ(*written, v.at("container"));
        ++checked;
    }
    EXPECT_EQ(checked, 3);
}

TEST(Container, RoundTripsAtEverySize)
{
    const TGCryptorSettings settings = quickSettings();
    for (size_t size : { 0u, 1u, 15u, 16u, 17u, 1u << 20 }) {
        SCOPED_TRACE(size);
        const Bytes plaintext = pattern(size);
        const auto container = TGEncryptor::encryptData(plaintext, settings, "pw");
        ASSERT_TRUE(container);
        EXPECT_EQ(container->size(), 34 + 16 * (size / 16 + 1) + 32);
        EXPECT_EQ((*container)[0], 3);
        EXPECT_EQ((*container)[1], 1);
        const auto decrypted = TGDecryptor::decryptData(*container, settings, "pw");
        ASSERT_TRUE(decrypted);
        EXPECT_EQ(*decrypted, plaintext);
    }
}

TEST(Container, AnyPiecesGiveTheSameResult)
{
    const TGCryptorSettings settings = quickSettings();
    const Bytes plaintext = pattern(5000);
    const Bytes iv(16, 1);
    const Bytes salt(8, 2);
    const auto whole = TGEncryptor::encryptData(plaintext, settings, "pw", iv, salt, salt);
    ASSERT_TRUE(whole);
    std::mt19937 random(5);
    std::vector<size_t> randomPieces;
    randomPieces.reserve(50);
    for (int i = 0; i < 50; ++i)
        randomPieces.push_back(1 + random() % 300);
    for (const auto& pieces : { std::vector<size_t> { 1 }, std::vector<size_t> { 33 }, randomPieces }) {
        auto writer = TGEncryptor::makeWithPassword(settings, "pw", iv, salt, salt, none());
        ASSERT_TRUE(writer);
        EXPECT_EQ(feed(*writer, plaintext, pieces).value(), *whole);
        auto reader = TGDecryptor::makeWithPassword("pw", none());
        reader->setSettings(settings);
        EXPECT_EQ(feed(reader, *whole, pieces).value(), plaintext);
    }
}

TEST(Container, LargePiecesHashedBesideDecryptionStillAuthenticate)
{
    const TGCryptorSettings settings = quickSettings();
    const Bytes plaintext = pattern(5 << 20);
    const auto container = TGEncryptor::encryptData(plaintext, settings, "pw");
    ASSERT_TRUE(container);
    const auto reader = [&] {
        auto made = TGDecryptor::makeWithPassword("pw", none());
        made->setSettings(settings);
        return made;
    };
    EXPECT_EQ(feed(reader(), *container, { 1 << 20 }).value(), plaintext);
    for (size_t at : { size_t { 100 }, size_t { 3 << 20 }, container->size() - 40 }) {
        Bytes damaged = *container;
        damaged[at] ^= 0x04;
        EXPECT_EQ(feed(reader(), damaged, { 1 << 20, 300000 }).error(), cryptorError(kTGCryptorHMACMismatch)) << at;
    }
    // Dropped halfway, with hashing still running: nothing may outlive what it uses.
    auto dropped = reader();
    dropped->addData(ByteView(*container).first(3 << 20));
}

TEST(Container, EveryChangedByteIsAnErrorAndNoPlaintext)
{
    const TGCryptorSettings settings = quickSettings();
    const auto container = TGEncryptor::encryptData(pattern(40), settings, "pw");
    ASSERT_TRUE(container);
    for (size_t i = 0; i < container->size(); ++i) {
        for (std::uint8_t flip : { 0x01, 0x80 }) {
            Bytes damaged = *container;
            damaged[i] ^= flip;
            const auto result = TGDecryptor::decryptData(damaged, settings, "pw");
            ASSERT_FALSE(result) << "byte " << i;
            // A changed version byte is refused, unless it became the other version we read.
            if (i == 0 && damaged[0] != 2) {
                EXPECT_EQ(result.error().code, kTGCryptorUnknownHeader);
            }
        }
    }
    // Changes to the HMAC, its salt or the IV are caught by the HMAC.
    for (size_t i : { size_t { 10 }, size_t { 18 }, container->size() - 1 }) {
        Bytes damaged = *container;
        damaged[i] ^= 0x10;
        EXPECT_EQ(TGDecryptor::decryptData(damaged, settings, "pw").error(), cryptorError(kTGCryptorHMACMismatch));
    }
    // Whatever a change to the last block does to the padding, the HMAC speaks first: no
    // answer may tell bad padding from a bad HMAC.
    for (int value = 0; value < 256; ++value) {
        Bytes damaged = *container;
        damaged.at(damaged.size() - 32 - 1) = static_cast<std::uint8_t>(value);
        if (damaged != *container) {
            EXPECT_EQ(TGDecryptor::decryptData(damaged, settings, "pw").error(), cryptorError(kTGCryptorHMACMismatch));
        }
    }
    EXPECT_EQ(TGDecryptor::decryptData(*container, settings, "PW").error(), cryptorError(kTGCryptorHMACMismatch));

    // Bad padding under a good HMAC is still a decoding error: the last plaintext byte (the
    // padding's length, 8 for 40 bytes) made 0 through the block before, then a new HMAC.
    Bytes badPadding(container->begin(), container->end() - 32);
    badPadding.at(badPadding.size() - 16 - 1) ^= 0x08;
    const Bytes HMACSalt(container->begin() + 10, container->begin() + 18);
    auto hmac = RunningHMAC::make(
        TGCryptorHMACAlgorithm::SHA256, keyForPassword("pw", HMACSalt, settings.HMACKeySettings).value());
    (*hmac)->update(badPadding);
    const Bytes digest = (*hmac)->final();
    badPadding.insert(badPadding.end(), digest.begin(), digest.end());
    EXPECT_EQ(TGDecryptor::decryptData(badPadding, settings, "pw").error().code, kTGCryptorDecodeError);
}

TEST(Container, HeaderRules)
{
    const TGCryptorSettings settings = quickSettings();
    for (std::uint8_t version : { 0, 1, 4, 255 }) {
        const auto result = TGDecryptor::decryptData(Bytes { version, 1, 0, 0 }, settings, "pw");
        EXPECT_EQ(result.error(), cryptorError(kTGCryptorUnknownHeader));
        EXPECT_EQ(result.error().message, "Unknown header");
    }
    // Input that ends before the header is complete is no container, empty input included.
    for (const Bytes& truncated : { Bytes {}, Bytes { 3 }, Bytes { 3, 1, 5, 5 } })
        EXPECT_EQ(TGDecryptor::decryptData(truncated, settings, "pw").error(), cryptorError(kTGCryptorUnknownHeader));
    const Bytes key(32, 1);
    EXPECT_EQ(TGOpenSSLDecryptor::decryptData(bytesOf("Salted__1234"), kTGCryptorDefaultSettings, "pw").error().code,
        kTGCryptorUnknownHeader);
    EXPECT_EQ(
        TGOpenSSLDecryptor::decryptData(bytesOf("NotSalt_12345678abcdabcdabcdabcd"), kTGCryptorDefaultSettings, "pw")
            .error()
            .code,
        kTGCryptorUnknownHeader);

    // Other option bits are ignored; only bit 0 matters. The options byte is covered by the
    // HMAC, so the container gets a new one for its changed header.
    const Bytes salt(8, 2);
    auto container = TGEncryptor::encryptData(pattern(20), settings, "pw", Bytes(16, 1), salt, salt);
    (*container)[1] |= 0xf0;
    EXPECT_EQ(TGDecryptor::decryptData(*container, settings, "pw").error().code, kTGCryptorHMACMismatch);
    container->resize(container->size() - 32);
    auto hmac = RunningHMAC::make(
        TGCryptorHMACAlgorithm::SHA256, keyForPassword("pw", salt, settings.HMACKeySettings).value());
    (*hmac)->update(*container);
    const Bytes digest = (*hmac)->final();
    container->insert(container->end(), digest.begin(), digest.end());
    EXPECT_EQ(TGDecryptor::decryptData(*container, settings, "pw").value(), pattern(20));
}

TEST(Container, KeyBasedWithoutHMACKeyHasNoHMAC)
{
    const Bytes key(32, 4);
    const auto container = TGEncryptor::encryptData(pattern(20), kTGCryptorDefaultSettings, key, std::nullopt);
    ASSERT_TRUE(container);
    EXPECT_EQ(container->size(), 18u + 32u);
    EXPECT_EQ((*container)[1], 0);
    EXPECT_EQ(TGDecryptor::decryptData(*container, key, std::nullopt).value(), pattern(20));
    // A password container read with keys derives them from an empty password.
    const auto emptyPassword = TGEncryptor::encryptData(pattern(3), quickSettings(), "");
    EXPECT_EQ(TGDecryptor::decryptData(*emptyPassword, quickSettings(), key, ByteView(key)).value(), pattern(3));
}

TEST(Container, WriterFinishedWithoutInputWritesTheEmptyContainer)
{
    const Bytes iv(16, 1);
    const Bytes salt(8, 2);
    const auto expected = TGEncryptor::encryptData(Bytes {}, quickSettings(), "pw", iv, salt, salt);
    ASSERT_TRUE(expected);
    EXPECT_EQ(expected->size(), 82u);
    auto writer = TGEncryptor::makeWithPassword(quickSettings(), "pw", iv, salt, salt, none());
    std::latch done(1);
    Bytes output;
    (*writer)->setHandler([&](TGCryptor& c, const Bytes& chunk) {
        output.insert(output.end(), chunk.begin(), chunk.end());
        if (c.isFinished())
            done.count_down();
    });
    (*writer)->finish();
    done.wait();
    EXPECT_EQ(output, *expected);
}

TEST(Container, CreationFailuresComeBackAtOnce)
{
    int handlerCalls = 0;
    const auto writer = TGEncryptor::makeWithKeys(
        kTGCryptorDefaultSettings, Bytes(7, 1), std::nullopt, [&](TGCryptor& c, const Bytes&) {
            EXPECT_TRUE(c.isFinished());
            ++handlerCalls;
        });
    ASSERT_FALSE(writer);
    EXPECT_EQ(writer.error().code, kTGCryptorParamError);
    EXPECT_EQ(handlerCalls, 1);
    EXPECT_EQ(TGEncryptor::encryptData(pattern(3), kTGCryptorDefaultSettings, Bytes(7, 1), std::nullopt).error().code,
        kTGCryptorParamError);

    TGCryptorSettings refused = kTGCryptorDefaultSettings;
    refused.keySettings.rounds = 0;
    EXPECT_EQ(TGEncryptor::encryptData(pattern(3), refused, "pw").error().code, kTGCryptorParamError);
    const auto good = TGEncryptor::encryptData(pattern(3), quickSettings(), "pw");
    TGCryptorSettings refusedReading = quickSettings();
    refusedReading.HMACKeySettings.PBKDFAlgorithm = 7;
    EXPECT_EQ(TGDecryptor::decryptData(*good, refusedReading, "pw").error().code, kTGCryptorParamError);
}

TEST(Container, HandlerIsNeverCalledAfterTheEnd)
{
    const auto container = TGEncryptor::encryptData(pattern(100), quickSettings(), "pw");
    std::atomic<int> afterEnd = 0;
    std::atomic<bool> ended = false;
    std::latch done(1);
    auto reader = TGDecryptor::makeWithPassword("pw", [&](TGCryptor& c, const Bytes&) {
        if (ended)
            ++afterEnd;
        if (c.isFinished()) {
            ended = true;
            done.count_down();
        }
    });
    reader->setSettings(quickSettings());
    reader->addData(*container);
    reader->finish();
    done.wait();
    reader->addData(*container);
    reader->finish();
    reader->cleanupAndNotifyWithError(cryptorError(kTGCryptorHMACMismatch));
    reader->queue()->sync([] {});
    EXPECT_EQ(afterEnd, 0);
    EXPECT_FALSE(reader->error());
}

TEST(Container, DroppingACryptorWithWorkInFlightIsSafe)
{
    const Bytes key(32, 5);
    for (int i = 0; i < 50; ++i) {
        auto writer = TGEncryptor::makeWithKeys(kTGCryptorDefaultSettings, key, ByteView(key), none());
        (*writer)->addData(pattern(10000));
        (*writer)->finish();
    }
}

TEST(Container, ThousandsOfCryptorsStartNoThreadEach)
{
    const Bytes key(32, 6);
    const size_t before = SerialQueue::poolThreadCount();
    for (int i = 0; i < 10000; ++i) {
        auto reader = TGDecryptor::makeWithEncryptionKey(key, ByteView(key), none());
        reader->addData(Bytes { 3, 0 });
    }
    EXPECT_LE(SerialQueue::poolThreadCount(), before + 4);
}
