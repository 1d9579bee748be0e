#include "supply/svg_manager.h"

#include "core/log.h"
#include "core/notification_center.h"
#include "core/random.h"
#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"
#include "support/test_support.h"

#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kaleon;
using gfx::Color;
using supply::TGColorPalette;
using supply::TGSVGManager;

namespace {

Color gray(int k)
{
    return Color::fromRGB8(static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k));
}

std::vector<Color> grays(std::initializer_list<int> levels)
{
    std::vector<Color> colors;
    for (int level : levels)
        colors.push_back(gray(level));
    return colors;
}

// A supplier over an in-memory palette, with an empty resource folder behind it.
class ColorPicker : public testing::Test {
protected:
    void SetUp() override
    {
        seedRandom(2024);
        supply::moduleDefaults()->removeObjectForKey(supply::TGKaleonColorPaletteDefaultsKey);
    }

    std::shared_ptr<TGSVGManager> managerWith(std::vector<Color> colors)
    {
        auto manager = TGSVGManager::make();
        manager->setCurrentColorPalette(TGColorPalette::make("Test", "Test.plist", std::move(colors)));
        return manager;
    }

    std::vector<Color> picks(TGSVGManager& manager, int count)
    {
        std::vector<Color> picked;
        picked.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            picked.push_back(manager.randomColor());
        return picked;
    }

    test::TemporaryDirectory folder;
    test::ScopedEnvironment resources { "KALEON_RESOURCES", folder.path().string() };
};

} // namespace

TEST_F(ColorPicker, PassesUseEveryColourOnceAndNeverRepeatWithinThree)
{
    for (size_t size : { 3u, 4u, 6u, 12u }) {
        SCOPED_TRACE(size);
        std::vector<Color> palette;
        for (size_t i = 0; i < size; ++i)
            palette.push_back(gray(static_cast<int>(i * 20)));
        auto manager = managerWith(palette);
        const auto picked = picks(*manager, static_cast<int>(size * 8));
        for (size_t pass = 0; pass < 8; ++pass) {
            const std::set<std::pair<double, double>> distinct = [&] {
                std::set<std::pair<double, double>> seen;
                for (size_t i = 0; i < size; ++i)
                    seen.insert({ picked[pass * size + i].red, picked[pass * size + i].alpha });
                return seen;
            }();
            EXPECT_EQ(distinct.size(), size) << "pass " << pass;
        }
        for (size_t i = 2; i < picked.size(); ++i) {
            EXPECT_NE(picked[i], picked[i - 1]);
            EXPECT_NE(picked[i], picked[i - 2]);
        }
    }
}

TEST_F(ColorPicker, ThreeColoursRepeatTheFirstPassOrder)
{
    auto manager = managerWith(grays({ 10, 20, 30 }));
    const auto picked = picks(*manager, 12);
    for (size_t i = 3; i < picked.size(); ++i)
        EXPECT_EQ(picked[i], picked[i - 3]);
}

TEST_F(ColorPicker, FourColoursPickEitherOfTheTwoNotJustShownEvenly)
{
    std::map<double, int> fifth;
    const int runs = 4000;
    for (int run = 0; run < runs; ++run) {
        auto manager = managerWith(grays({ 10, 20, 30, 40 }));
        const auto picked = picks(*manager, 5);
        ASSERT_NE(picked[4], picked[3]);
        ASSERT_NE(picked[4], picked[2]);
        ++fifth[picked[4] == picked[0] ? 0.0 : 1.0];
    }
    // Either of the first two picks of the pass, with equal chance.
    const double sigma = std::sqrt(runs * 0.25);
    EXPECT_NEAR(fifth[0.0], runs / 2.0, 5 * sigma);
    EXPECT_EQ(fifth[0.0] + fifth[1.0], runs);
}

TEST_F(ColorPicker, DuplicateEntriesWeighTheFirstPickAndShortenThePass)
{
    const Color a = gray(10);
    const Color b = gray(20);
    const Color c = gray(30);
    std::map<double, int> first;
    const int runs = 6000;
    for (int run = 0; run < runs; ++run) {
        auto manager = managerWith({ a, a, b, c });
        const auto picked = picks(*manager, 3);
        ++first[picked[0].red];
        // The pass is the three distinct colours; A does not come twice.
        EXPECT_EQ(std::set<double>({ picked[0].red, picked[1].red, picked[2].red }).size(), 3u);
        EXPECT_EQ(manager->colorsLeft().size(), 4u) << "the fourth pick starts a new pass";
    }
    const double sigmaHalf = std::sqrt(runs * 0.25);
    const double sigmaQuarter = std::sqrt(runs * 0.25 * 0.75);
    EXPECT_NEAR(first[a.red], runs / 2.0, 5 * sigmaHalf);
    EXPECT_NEAR(first[b.red], runs / 4.0, 5 * sigmaQuarter);
    EXPECT_NEAR(first[c.red], runs / 4.0, 5 * sigmaQuarter);
}

TEST_F(ColorPicker, UpdatedPaletteStillAvoidsTheLastTwoPicks)
{
    test::writeFile(folder / "KaleonColors.plist", test::paletteText("Kaleon", { "0a0a0a", "141414", "1e1e1e" }));
    test::writeFile(folder / "Wide.plist", test::paletteText("Wide", { "0a0a0a", "141414", "1e1e1e", "282828" }));
    for (int run = 0; run < 50; ++run) {
        auto manager = TGSVGManager::make();
        ASSERT_EQ(manager->currentColorPalette()->filename(), "KaleonColors.plist");
        const auto before = picks(*manager, 2);
        supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue("Wide.plist"));
        manager->updateColorPalette();
        EXPECT_EQ(manager->currentColorPalette()->filename(), "Wide.plist");
        EXPECT_EQ(manager->colorsLeft().size(), 4u);
        const Color next = manager->randomColor();
        EXPECT_NE(next, before[0]);
        EXPECT_NE(next, before[1]);
        supply::moduleDefaults()->removeObjectForKey(supply::TGKaleonColorPaletteDefaultsKey);
    }
}

TEST_F(ColorPicker, SmallPalettesStillGiveAColourEveryTime)
{
    auto two = managerWith(grays({ 10, 20 }));
    const auto alternating = picks(*two, 10);
    for (size_t i = 1; i < alternating.size(); ++i)
        EXPECT_NE(alternating[i], alternating[i - 1]);

    auto one = managerWith(grays({ 10 }));
    for (const auto& color : picks(*one, 5))
        EXPECT_EQ(color, gray(10));

    auto duplicates = managerWith(grays({ 10, 10, 10 }));
    for (const auto& color : picks(*duplicates, 5))
        EXPECT_EQ(color, gray(10));
}

TEST_F(ColorPicker, NoColoursFallBackToBuiltInOnesWithOneLogLine)
{
    ScopedLogCapture capture;
    auto empty = managerWith({});
    auto withoutPalette = TGSVGManager::make();
    EXPECT_EQ(withoutPalette->currentColorPalette(), nullptr);
    const auto& fallback = TGSVGManager::fallbackColors();
    ASSERT_GE(std::set<double>({ fallback[0].red, fallback[1].red, fallback[2].red }).size(), 3u);
    for (auto* manager : { empty.get(), withoutPalette.get() }) {
        const auto picked = picks(*manager, 12);
        for (size_t i = 0; i < picked.size(); ++i) {
            EXPECT_NE(std::find(fallback.begin(), fallback.end(), picked[i]), fallback.end());
            if (i >= 2) {
                EXPECT_NE(picked[i], picked[i - 1]);
                EXPECT_NE(picked[i], picked[i - 2]);
            }
        }
    }
    EXPECT_EQ(capture.lines().size(), 2u) << ::testing::PrintToString(capture.lines()); // once per supplier
}

TEST_F(ColorPicker, RandomizePaletteSwitchesColoursAndStoresTheChoiceSilently)
{
    test::writeFile(folder / "KaleonColors.plist", test::paletteText("Kaleon", { "010101", "020202", "030303" }));
    test::writeFile(folder / "Other.plist", test::paletteText("Other", { "0a0a0a", "0b0b0b", "0c0c0c" }));
    struct Counter {
        int count = 0;
        void changed(const Notification&) { ++count; }
    };
    auto counter = std::make_shared<Counter>();
    NotificationCenter::defaultCenter().addObserver(
        counter, std::string(supply::TGKaleonConfigurationDidChangeNotificationName), &Counter::changed);

    auto manager = TGSVGManager::make();
    ScopedLogCapture capture;
    manager->randomizePalette();
    EXPECT_EQ(capture.lines(), std::vector<std::string> { "Randomizing palette" });
    EXPECT_EQ(manager->availableColors(), grays({ 10, 11, 12 }));
    EXPECT_EQ(manager->currentColorPalette()->filename(), "KaleonColors.plist");
    EXPECT_EQ(supply::moduleDefaults()->stringForKey(supply::TGKaleonColorPaletteDefaultsKey), "Other.plist");
    auto reread = host::ScreenSaverDefaults::makeWithFile(supply::moduleDefaults()->file());
    EXPECT_EQ(reread->stringForKey(supply::TGKaleonColorPaletteDefaultsKey), "Other.plist");
    EXPECT_EQ(counter->count, 0);
}

TEST_F(ColorPicker, RandomizePaletteOnAFullDiskKeepsTheStoredSettingsAndGoesOn)
{
    test::writeFile(folder / "KaleonColors.plist", test::paletteText("Kaleon", { "010101", "020202", "030303" }));
    test::writeFile(folder / "Other.plist", test::paletteText("Other", { "0a0a0a", "0b0b0b", "0c0c0c" }));
    supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue("KaleonColors.plist"));
    ASSERT_TRUE(supply::moduleDefaults()->synchronize());
    const auto file = supply::moduleDefaults()->file();
    const std::string stored = test::readFile(file);
    // In a child whose files cannot grow past a few bytes, as on a full disk.
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 16, 16 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ScopedLogCapture capture;
        auto manager = TGSVGManager::make();
        manager->randomizePalette();
        const bool said = capture.count("Randomizing palette") == 1 && capture.lines().size() == 2
            && capture.lines()[1].starts_with("Cannot save the settings: ");
        ::_exit(said && manager->availableColors() == grays({ 10, 11, 12 }) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "one line said, the new colours in use";
    EXPECT_EQ(test::readFile(file), stored);
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        EXPECT_FALSE(entry.path().string().starts_with(file.string() + ".")) << "left behind: " << entry.path();
}

TEST_F(ColorPicker, RandomizePaletteWithNoOtherPaletteChangesNothing)
{
    test::writeFile(folder / "KaleonColors.plist", test::paletteText("Kaleon", { "010101", "020202", "030303" }));
    auto manager = TGSVGManager::make();
    const auto before = manager->availableColors();
    ScopedLogCapture capture;
    manager->randomizePalette();
    EXPECT_EQ(capture.lines(), std::vector<std::string> { "Randomizing palette" });
    EXPECT_EQ(manager->availableColors(), before);
    EXPECT_EQ(supply::moduleDefaults()->stringForKey(supply::TGKaleonColorPaletteDefaultsKey), std::nullopt);
}

TEST_F(ColorPicker, InstanceIsOnePerProcess)
{
    EXPECT_EQ(TGSVGManager::instance(), TGSVGManager::instance());
}
