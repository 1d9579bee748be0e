#include "container/key_derivation.h"

#include "test_vectors.h"

#include <gtest/gtest.h>

using namespace kaleon;
using namespace kaleon::container;

// RFC 6070, PBKDF2-HMAC-SHA1 (the 16,777,216-round row is left to the benchmark machine).
TEST(TGCryptorPBKDF2, MatchesRFC6070)
{
    struct Case {
        std::string password;
        std::string salt;
        std::uint32_t rounds;
        std::string key;
    };
    const Case cases[] = {
        { "password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6" },
        { "password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957" },
        { "password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1" },
        { "passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
            "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038" },
        { std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, "56fa6aa75548099dcc37d7f03425e0c3" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const Bytes expected = test::fromHex(c.key);
        Bytes key(expected.size(), 0);
        ASSERT_EQ(TGCryptorPBKDF2(kTGCryptorPBKDF2, bytesOf(c.password), bytesOf(c.salt),
                      TGCryptorPseudoRandomAlgorithm::HMACSHA1, c.rounds, key),
            0);
        EXPECT_EQ(key, expected);

        const TGCryptorKeyDerivationSettings settings { expected.size(), c.salt.size(), kTGCryptorPBKDF2,
            TGCryptorPseudoRandomAlgorithm::HMACSHA1, c.rounds, false };
        const auto derived = keyForPassword(c.password, bytesOf(c.salt), settings);
        ASSERT_TRUE(derived);
        EXPECT_EQ(*derived, expected);
    }
}

TEST(TGCryptorPBKDF2, OtherHashesAgreeWithTheirKnownOutputs)
{
    // From Python: hashlib.pbkdf2_hmac(name, b"password", b"salt", 2, 32 or 64).
    struct Case {
        TGCryptorPseudoRandomAlgorithm PRF;
        size_t length;
        std::string key;
    };
    const Case cases[] = {
        { TGCryptorPseudoRandomAlgorithm::HMACSHA256, 32,
            "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43" },
        { TGCryptorPseudoRandomAlgorithm::HMACSHA512, 64,
            "e1d9c16aa681708a45f5c7c4e215ceb66e011a2e9f0040713f18aefdb866d53cf76cab2868a39b9f7840edce4fef5a82be67335c77"
            "a6068e04112754f27ccf4e" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.PRF));
        Bytes key(c.length, 0);
        ASSERT_EQ(TGCryptorPBKDF2(kTGCryptorPBKDF2, bytesOf("password"), bytesOf("salt"), c.PRF, 2, key), 0);
        EXPECT_EQ(key, test::fromHex(c.key));
    }
}

TEST(TGCryptorPBKDF2, RefusesAndLeavesTheOutputAlone)
{
    constexpr auto kSHA1 = TGCryptorPseudoRandomAlgorithm::HMACSHA1;
    const Bytes salt133(133, 1);
    struct Case {
        const char* name;
        std::uint32_t algorithm;
        ByteView salt;
        TGCryptorPseudoRandomAlgorithm PRF;
        std::uint32_t rounds;
    };
    const Case cases[] = {
        { "algorithm", 1, bytesOf("salt"), kSHA1, 10 },
        { "empty salt", kTGCryptorPBKDF2, {}, kSHA1, 10 },
        { "long salt", kTGCryptorPBKDF2, salt133, kSHA1, 10 },
        { "no rounds", kTGCryptorPBKDF2, bytesOf("salt"), kSHA1, 0 },
        { "unknown PRF", kTGCryptorPBKDF2, bytesOf("salt"), static_cast<TGCryptorPseudoRandomAlgorithm>(6), 10 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes output(16, 0xaa);
        EXPECT_EQ(TGCryptorPBKDF2(c.algorithm, bytesOf("password"), c.salt, c.PRF, c.rounds, output), -1);
        EXPECT_EQ(output, Bytes(16, 0xaa));
    }
    EXPECT_EQ(TGCryptorPBKDF2(kTGCryptorPBKDF2, bytesOf("password"), bytesOf("salt"), kSHA1, 1, {}), -1);
    const Bytes salt132(132, 1);
    Bytes output(16, 0);
    EXPECT_EQ(TGCryptorPBKDF2(kTGCryptorPBKDF2, bytesOf("password"), salt132, kSHA1, 1, output), 0);
}

TEST(KeyForPassword, RefusalIsAnErrorNeverAZeroKey)
{
    TGCryptorKeyDerivationSettings settings = kTGCryptorDefaultSettings.keySettings;
    settings.rounds = 0;
    const auto key = keyForPassword("password", bytesOf("saltsalt"), settings);
    ASSERT_FALSE(key);
    EXPECT_EQ(key.error().code, kTGCryptorParamError);
    EXPECT_EQ(key.error().domain, kTGCryptorErrorDomain);
}

TEST(KeyForPassword, VersionTwoPasswordsKeepTheirFirstUTF16CountBytes)
{
    EXPECT_EQ(passwordBytes("password", true), passwordBytes("password", false));
    // "pä€" is 3 UTF-16 units and 6 UTF-8 bytes.
    EXPECT_EQ(passwordBytes("p\xc3\xa4\xe2\x82\xac", true), (Bytes { 'p', 0xc3, 0xa4 }));
    // A character outside the BMP counts as two units.
    EXPECT_EQ(passwordBytes("\xf0\x9f\x98\x80", true), (Bytes { 0xf0, 0x9f }));
    EXPECT_EQ(passwordBytes("\xff"
                            "a",
                  true),
        (Bytes { 0xff, 'a' }));
    EXPECT_TRUE(passwordBytes("", true).empty());
}

TEST(RandomData, GivesTheLengthAskedFor)
{
    EXPECT_TRUE(randomDataOfLength(0)->empty());
    const auto a = randomDataOfLength(32);
    const auto b = randomDataOfLength(32);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->size(), 32u);
    EXPECT_NE(*a, *b);
}
