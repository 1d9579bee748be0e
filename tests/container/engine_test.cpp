#include "container/engine.h"

#include "test_vectors.h"

#include <gtest/gtest.h>

using namespace kaleon;
using namespace kaleon::container;

namespace {

const Bytes kKey(32, 7);
const Bytes kIV(16, 9);

Bytes run(TGCryptorEngine& engine, ByteView input, size_t piece)
{
    Bytes output;
    for (size_t at = 0; at < input.size(); at += piece)
        EXPECT_TRUE(engine.addData(input.subspan(at, std::min(piece, input.size() - at)), output));
    EXPECT_TRUE(engine.finish(output));
    return output;
}

} // namespace

TEST(TGCryptorEngine, EmptyInputEncryptsToOnePaddingBlock)
{
    auto engine = TGCryptorEngine::make(TGCryptorOperation::Encrypt, kTGCryptorDefaultSettings, kKey, kIV);
    ASSERT_TRUE(engine);
    Bytes output;
    ASSERT_TRUE((*engine)->addData({}, output));
    EXPECT_TRUE(output.empty());
    ASSERT_TRUE((*engine)->finish(output));
    EXPECT_EQ(output.size(), 16u);
}

TEST(TGCryptorEngine, PiecesOfAnySizeGiveTheSameResult)
{
    Bytes plaintext(1000);
    for (size_t i = 0; i < plaintext.size(); ++i)
        plaintext[i] = static_cast<std::uint8_t>(i * 31);
    auto encrypt = TGCryptorEngine::make(TGCryptorOperation::Encrypt, kTGCryptorDefaultSettings, kKey, kIV);
    const Bytes ciphertext = run(**encrypt, plaintext, plaintext.size());
    for (size_t piece : { 1u, 7u, 16u, 1000u }) {
        SCOPED_TRACE(piece);
        auto decrypt = TGCryptorEngine::make(TGCryptorOperation::Decrypt, kTGCryptorDefaultSettings, kKey, kIV);
        EXPECT_EQ(run(**decrypt, ciphertext, piece), plaintext);
    }
}

TEST(TGCryptorEngine, ReportsTheCipherStatus)
{
    EXPECT_EQ(TGCryptorEngine::make(TGCryptorOperation::Encrypt, kTGCryptorDefaultSettings, {}, kIV).error().code,
        kTGCryptorParamError);
    EXPECT_EQ(
        TGCryptorEngine::make(TGCryptorOperation::Encrypt, kTGCryptorDefaultSettings, Bytes(20, 1), kIV).error().code,
        kTGCryptorParamError);
    EXPECT_EQ(
        TGCryptorEngine::make(TGCryptorOperation::Encrypt, kTGCryptorDefaultSettings, kKey, Bytes(8, 1)).error().code,
        kTGCryptorParamError);
    TGCryptorSettings other = kTGCryptorDefaultSettings;
    other.algorithm = 1;
    EXPECT_EQ(
        TGCryptorEngine::make(TGCryptorOperation::Encrypt, other, kKey, kIV).error().code, kTGCryptorUnimplemented);

    // Wrong key: the padding of the last block does not verify.
    auto encrypt = TGCryptorEngine::make(TGCryptorOperation::Encrypt, kTGCryptorDefaultSettings, kKey, kIV);
    const Bytes ciphertext = run(**encrypt, bytesOf("some plaintext that is long enough"), 100);
    Bytes wrongKey(32, 8);
    int decodeErrors = 0;
    for (std::uint8_t k = 0; k < 8; ++k) {
        wrongKey[0] = k;
        auto decrypt = TGCryptorEngine::make(TGCryptorOperation::Decrypt, kTGCryptorDefaultSettings, wrongKey, kIV);
        Bytes output;
        ASSERT_TRUE((*decrypt)->addData(ciphertext, output));
        const auto finished = (*decrypt)->finish(output);
        if (!finished) {
            EXPECT_EQ(finished.error().code, kTGCryptorDecodeError);
            EXPECT_EQ(finished.error().message, "");
            ++decodeErrors;
        }
    }
    EXPECT_GE(decodeErrors, 6);

    TGCryptorSettings noPadding = kTGCryptorDefaultSettings;
    noPadding.options = 0;
    auto unpadded = TGCryptorEngine::make(TGCryptorOperation::Encrypt, noPadding, kKey, kIV);
    Bytes output;
    ASSERT_TRUE((*unpadded)->addData(Bytes(5, 1), output));
    EXPECT_EQ((*unpadded)->finish(output).error().code, kTGCryptorAlignmentError);
}

TEST(TGCryptorEngine, ECBAndShorterKeys)
{
    TGCryptorSettings ecb = kTGCryptorDefaultSettings;
    ecb.options = kTGCryptorOptionPKCS7Padding | kTGCryptorOptionECBMode;
    for (size_t keyLength : { 16u, 24u, 32u }) {
        SCOPED_TRACE(keyLength);
        const Bytes key(keyLength, 3);
        auto encrypt = TGCryptorEngine::make(TGCryptorOperation::Encrypt, ecb, key, {});
        ASSERT_TRUE(encrypt);
        const Bytes ciphertext = run(**encrypt, Bytes(32, 0), 32);
        ASSERT_EQ(ciphertext.size(), 48u);
        // ECB: equal blocks encrypt equally.
        EXPECT_TRUE(std::equal(ciphertext.begin(), ciphertext.begin() + 16, ciphertext.begin() + 16));
        auto decrypt = TGCryptorEngine::make(TGCryptorOperation::Decrypt, ecb, key, {});
        EXPECT_EQ(run(**decrypt, ciphertext, 5), Bytes(32, 0));
    }
}

TEST(RunningHMAC, MatchesKnownDigests)
{
    // RFC 4231 test case 2.
    auto hmac = RunningHMAC::make(TGCryptorHMACAlgorithm::SHA256, bytesOf("Jefe"));
    ASSERT_TRUE(hmac);
    (*hmac)->update(bytesOf("what do ya want "));
    (*hmac)->update(bytesOf("for nothing?"));
    EXPECT_EQ((*hmac)->final(), test::fromHex("5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"));
    EXPECT_EQ(
        RunningHMAC::make(static_cast<TGCryptorHMACAlgorithm>(9), bytesOf("k")).error().code, kTGCryptorParamError);
    EXPECT_TRUE(RunningHMAC::make(TGCryptorHMACAlgorithm::SHA1, {}));
    EXPECT_EQ(digestLengthOfHMAC(TGCryptorHMACAlgorithm::SHA1), 20u);
}
