#include "supply/color_palette.h"

#include "core/log.h"
#include "core/resource_folder.h"
#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace kaleon;
using gfx::Color;
using supply::TGColorPalette;

namespace {

std::string paletteText(const std::string& name, std::vector<std::string> colors)
{
    PlistValue::Array array;
    for (auto& color : colors)
        array.emplace_back(std::move(color));
    PlistValue::Dictionary dictionary { { "colors", PlistValue(std::move(array)) } };
    if (!name.empty())
        dictionary.emplace("name", PlistValue(name));
    return xmlPlist(PlistValue(std::move(dictionary)));
}

std::vector<std::string> filenames(const std::vector<std::shared_ptr<TGColorPalette>>& palettes)
{
    std::vector<std::string> names;
    names.reserve(palettes.size());
    for (const auto& palette : palettes)
        names.push_back(palette->filename());
    return names;
}

// A resource folder of the test's own, and the settings' palette entry cleared.
class PaletteFolder : public testing::Test {
protected:
    void SetUp() override { supply::moduleDefaults()->removeObjectForKey(supply::TGKaleonColorPaletteDefaultsKey); }

    test::TemporaryDirectory folder;
    test::ScopedEnvironment resources { "KALEON_RESOURCES", folder.path().string() };
};

} // namespace

TEST_F(PaletteFolder, ReadsNameAndColoursInOrder)
{
    test::writeFile(folder / "Warm.plist", paletteText("Warm", { "FF8000", "0x00FF00", "ffffff" }));
    const auto palette = TGColorPalette::makeWithPlistAtPath(folder / "Warm.plist");
    EXPECT_EQ(palette->name(), "Warm");
    EXPECT_EQ(palette->filename(), "Warm.plist");
    EXPECT_EQ(palette->colors(),
        (std::vector<Color> { Color::fromRGB8(255, 128, 0), Color::fromRGB8(0, 255, 0), Color::white() }));
    EXPECT_EQ(palette->description(), "Name: Warm - Colors: 3");
}

TEST_F(PaletteFolder, UnreadableFilesStillGiveANamedEmptyPalette)
{
    struct Case {
        const char* file;
        std::string contents;
        const char* name;
        size_t colors;
    };
    const Case cases[] = {
        { "NoName.plist", paletteText("", { "000000", "ffffff" }), "Default", 2 },
        { "Garbage.plist", "this is not a property list", "Default", 0 },
        { "Array.plist", xmlPlist(PlistValue(PlistValue::Array { PlistValue("FF8000") })), "Default", 0 },
        { "Odd.plist",
            xmlPlist(PlistValue(PlistValue::Dictionary { { "name", PlistValue(3) },
                { "colors", PlistValue(PlistValue::Array { PlistValue(7), PlistValue("ff0000") }) } })),
            "Default", 2 },
        { "Binary.plist", "", "Binary", 1 },
    };
    const auto binary = binaryPlist(PlistValue(PlistValue::Dictionary {
        { "name", PlistValue("Binary") }, { "colors", PlistValue(PlistValue::Array { PlistValue("123456") }) } }));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        test::writeFile(folder / c.file, c.contents.empty() ? std::string(binary.begin(), binary.end()) : c.contents);
        const auto palette = TGColorPalette::makeWithPlistAtPath(folder / c.file);
        EXPECT_EQ(palette->filename(), c.file);
        EXPECT_EQ(palette->name(), c.name);
        EXPECT_EQ(palette->colors().size(), c.colors);
    }
    const auto missing = TGColorPalette::makeWithPlistAtPath(folder / "Missing.plist");
    EXPECT_EQ(missing->name(), "Default");
    EXPECT_TRUE(missing->colors().empty());
}

TEST_F(PaletteFolder, ListsPlistFilesInFolderOrder)
{
    test::writeFile(folder / "b.plist", paletteText("B", { "000000" }));
    test::writeFile(folder / "a.plist", paletteText("A", { "000000" }));
    test::writeFile(folder / "logo.plist", paletteText("Logo", { "000000" }));
    test::writeFile(folder / "broken.plist", "garbage");
    test::writeFile(folder / "upper.PLIST", paletteText("Upper", { "000000" }));
    test::writeFile(folder / "backup.plist.bak", paletteText("Backup", { "000000" }));
    test::writeFile(folder / "shape.tgshape", "");

    std::vector<std::string> expected;
    for (const auto& name : directoryEntryNames(folder.path())) {
        if (name.ends_with(".plist"))
            expected.push_back(name);
    }
    const auto palettes = TGColorPalette::allColorPalettes();
    EXPECT_EQ(filenames(palettes), expected);
    EXPECT_EQ(palettes.size(), 4u);
}

TEST_F(PaletteFolder, NoResourceFolderMeansNoPalettes)
{
    test::ScopedEnvironment missing("KALEON_RESOURCES", (folder / "missing").string());
    EXPECT_TRUE(TGColorPalette::allColorPalettes().empty());
    EXPECT_EQ(TGColorPalette::currentPalette(), nullptr);
}

TEST_F(PaletteFolder, FindsPalettesByExactFilename)
{
    test::writeFile(folder / "One.plist", paletteText("Twin", { "111111" }));
    test::writeFile(folder / "Two.plist", paletteText("Twin", { "222222" }));
    EXPECT_EQ(TGColorPalette::paletteWithFilename("Two.plist")->colors().front(), Color::fromRGB8(0x22, 0x22, 0x22));
    EXPECT_EQ(TGColorPalette::paletteWithFilename("One.plist")->colors().front(), Color::fromRGB8(0x11, 0x11, 0x11));
    EXPECT_EQ(TGColorPalette::paletteWithFilename("one.plist"), nullptr);
    EXPECT_EQ(TGColorPalette::paletteWithFilename("One"), nullptr);
}

TEST_F(PaletteFolder, CurrentPaletteFallsBackToTheDefault)
{
    test::writeFile(folder / "KaleonColors.plist", paletteText("Kaleon", { "111111", "222222", "333333" }));
    test::writeFile(folder / "Ocean.plist", paletteText("Ocean", { "0000ff", "00ffff", "ffffff" }));

    EXPECT_EQ(TGColorPalette::currentPalette()->filename(), "KaleonColors.plist");
    supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue("Ocean.plist"));
    EXPECT_EQ(TGColorPalette::currentPalette()->filename(), "Ocean.plist");
    supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue(""));
    EXPECT_EQ(TGColorPalette::currentPalette()->filename(), "KaleonColors.plist");
    supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue("Gone.plist"));
    EXPECT_EQ(TGColorPalette::currentPalette()->filename(), "KaleonColors.plist");
    EXPECT_EQ(supply::moduleDefaults()->stringForKey(supply::TGKaleonColorPaletteDefaultsKey), "Gone.plist");
    supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue(12));
    EXPECT_EQ(TGColorPalette::currentPalette()->filename(), "KaleonColors.plist");

    // A stored name that names no palette of the folders is said, once, and never followed out
    // of them. The names are this run's own, as "once" is once per process.
    const std::string run = folder.path().filename().string();
    for (const std::string& stored :
        { "Gone-" + run + ".plist", "../" + run + "/Ocean.plist", folder.path().string() + "/Ocean.plist" }) {
        SCOPED_TRACE(stored);
        supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue(stored));
        ScopedLogCapture capture;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(TGColorPalette::currentPalette()->filename(), "KaleonColors.plist");
        EXPECT_EQ(capture.lines(),
            std::vector<std::string> {
                "The settings name a palette that is not there, \"" + stored + "\"; using KaleonColors.plist" });
    }

    std::filesystem::remove(folder / "KaleonColors.plist");
    supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue("Gone.plist"));
    EXPECT_EQ(TGColorPalette::currentPalette(), nullptr);
}
