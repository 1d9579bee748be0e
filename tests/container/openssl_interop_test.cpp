// The salted format against the real `openssl enc`, both ways.
#include "container/openssl_cryptor.h"
#include "support/test_support.h"
#include "test_vectors.h"

#include <gtest/gtest.h>

using namespace kaleon;
using namespace kaleon::container;

namespace {

test::ProgramResult openssl(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "/usr/bin/openssl");
    return test::runProgram(arguments);
}

} // namespace

TEST(OpenSSLInterop, OpenSSLReadsWhatWeWriteAndTheOtherWayRound)
{
    if (!std::filesystem::exists("/usr/bin/openssl"))
        GTEST_SKIP() << "no openssl command";
    test::TemporaryDirectory folder;
    std::string plaintext;
    for (int i = 0; i < 1000; ++i)
        plaintext += "line " + std::to_string(i) + "\n";
    test::writeFile(folder / "plain", plaintext);

    for (const auto& [cipher, keySize] : { std::pair { "-aes-256-cbc", 32u }, std::pair { "-aes-128-cbc", 16u } }) {
        SCOPED_TRACE(cipher);
        TGCryptorSettings settings = kTGCryptorDefaultSettings;
        settings.keySettings.keySize = keySize;

        const auto ours = TGOpenSSLEncryptor::encryptData(bytesOf(plaintext), settings, "s3cret pass");
        ASSERT_TRUE(ours);
        EXPECT_EQ(test::text(Bytes(ours->begin(), ours->begin() + 8)), "Salted__");
        test::writeFile(folder / "ours.enc", test::text(*ours));
        const auto decrypted = openssl(
            { "enc", "-d", cipher, "-md", "md5", "-pass", "pass:s3cret pass", "-in", (folder / "ours.enc").string() });
        ASSERT_EQ(decrypted.status, 0) << decrypted.errors;
        EXPECT_EQ(decrypted.output, plaintext);

        const auto theirs
            = openssl({ "enc", cipher, "-md", "md5", "-pass", "pass:s3cret pass", "-in", (folder / "plain").string() });
        ASSERT_EQ(theirs.status, 0) << theirs.errors;
        const auto read = TGOpenSSLDecryptor::decryptData(bytesOf(theirs.output), settings, "s3cret pass");
        ASSERT_TRUE(read);
        EXPECT_EQ(test::text(*read), plaintext);
    }
}
