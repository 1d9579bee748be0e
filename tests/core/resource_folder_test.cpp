#include "core/resource_folder.h"

#include "support/test_support.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace kaleon;

TEST(ResourceFolder, EnvironmentOverrideWinsAndIsTheOnlyPlaceLookedAt)
{
    test::TemporaryDirectory overridden;
    test::TemporaryDirectory installed;
    const ResourceSearch search { "KALEON_TEST_RESOURCES", { installed.path() } };
    {
        test::ScopedEnvironment environment("KALEON_TEST_RESOURCES", overridden.path().string());
        EXPECT_EQ(locateResourceFolder(search), overridden.path());
    }
    {
        test::ScopedEnvironment environment("KALEON_TEST_RESOURCES", (overridden / "missing").string());
        EXPECT_EQ(locateResourceFolder(search), std::nullopt);
    }
    test::ScopedEnvironment environment("KALEON_TEST_RESOURCES", std::nullopt);
    EXPECT_EQ(locateResourceFolder(search), installed.path());
}

TEST(ResourceFolder, CandidatesAreTriedInOrder)
{
    test::TemporaryDirectory second;
    test::TemporaryDirectory third;
    const ResourceSearch search { "", { second / "missing", second.path(), third.path() } };
    EXPECT_EQ(locateResourceFolder(search), second.path());
    EXPECT_EQ(locateResourceFolder(ResourceSearch { "", { second / "missing" } }), std::nullopt);
}

TEST(ResourceFolder, ListsEntryNamesOrNothing)
{
    test::TemporaryDirectory folder;
    test::writeFile(folder / "a.plist", "");
    std::filesystem::create_directory(folder / "sub");
    auto names = directoryEntryNames(folder.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { "a.plist", "sub" }));
    EXPECT_TRUE(directoryEntryNames(folder / "missing").empty());
}
