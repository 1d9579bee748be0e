#include "core/file.h"

#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kaleon;

namespace {

mode_t permissions(const std::filesystem::path& path)
{
    struct stat info { };
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

} // namespace

TEST(ReadFile, ReadsOnlyRegularFilesOfBoundedSize)
{
    test::TemporaryDirectory folder;
    test::writeFile(folder / "small", "twelve bytes");
    EXPECT_EQ(readFile(folder / "small").value(), "twelve bytes");
    EXPECT_FALSE(readFile(folder / "small", 11));
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    // Each of these used to abort, hang or read until memory ran out.
    for (const auto& path : { folder.path(), folder / "fifo", std::filesystem::path("/dev/zero") }) {
        const auto read = readFile(path);
        ASSERT_FALSE(read) << path;
        EXPECT_NE(read.error().message.find(path.string()), std::string::npos);
    }
}

TEST(AtomicFile, ReplacesAsAWholeOrNotAtAll)
{
    test::TemporaryDirectory folder;
    const auto file = folder / "settings.plist";
    test::writeFile(file, "old");
    ::chmod(file.c_str(), 0640);
    {
        auto replacement = AtomicFile::create(file);
        ASSERT_TRUE(replacement);
        ASSERT_TRUE((*replacement)->write("half of the new"));
        // Unfinished work is for the owner's eyes only, and the old file is untouched.
        EXPECT_EQ(permissions((*replacement)->temporaryPath()), 0600u);
        EXPECT_EQ(test::readFile(file), "old");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "the abandoned file is gone";
    EXPECT_EQ(test::readFile(file), "old");

    ASSERT_TRUE(replaceFile(file, "new"));
    EXPECT_EQ(test::readFile(file), "new");
    EXPECT_EQ(permissions(file), 0640u) << "the replaced file's permissions stay";
    EXPECT_FALSE(replaceFile(folder / "missing" / "file", "x"));
}
