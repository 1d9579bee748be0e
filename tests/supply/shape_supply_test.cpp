#include "supply/color_palette.h"
#include "supply/shape_file.h"
#include "supply/svg_manager.h"

#include "core/log.h"
#include "core/random.h"
#include "support/test_support.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <set>

using namespace kaleon;
using supply::TGSVGManager;

namespace {

std::string rect(double width, double height)
{
    return "<svg><rect width='" + std::to_string(width) + "' height='" + std::to_string(height) + "'/></svg>";
}

void writeShape(const std::filesystem::path& file, const std::string& svg)
{
    const auto packed = supply::packTGShape(svg);
    ASSERT_TRUE(packed);
    test::writeFile(file, std::string(packed->begin(), packed->end()));
}

class ShapeSupply : public testing::Test {
protected:
    void SetUp() override
    {
        seedRandom(99);
        std::filesystem::copy_file(KALEON_TEST_RESOURCES_DIR "/KaleonColors.plist", resources / "KaleonColors.plist");
    }
    std::shared_ptr<TGSVGManager> managerOver(const std::filesystem::path& shapes)
    {
        auto manager = TGSVGManager::make();
        manager->setSvgPath(shapes);
        return manager;
    }
    test::TemporaryDirectory folder;
    test::TemporaryDirectory resources;
    test::ScopedEnvironment resourceFolder { "KALEON_RESOURCES", resources.path().string() };
};

} // namespace

TEST_F(ShapeSupply, ListsShapeFilesWithoutLogos)
{
    for (const char* name : { "a.tgshape", "b.tgshape", "logo.tgshape", "Logo.tgshape", "c.svg", "mylogo2.tgshape" })
        test::writeFile(folder / name, "");
    auto manager = managerOver(folder.path());
    std::set<std::string> names;
    for (const auto& path : manager->allSVGs())
        names.insert(path.filename().string());
    EXPECT_EQ(names, (std::set<std::string> { "a.tgshape", "b.tgshape", "Logo.tgshape" }));
    // Listed once per process: files added later are not seen.
    test::writeFile(folder / "d.tgshape", "");
    EXPECT_EQ(manager->allSVGs().size(), 3u);
}

TEST_F(ShapeSupply, NoShapeComesBackWithinAPass)
{
    for (int i = 0; i < 3; ++i)
        writeShape(folder / ("s" + std::to_string(i) + ".tgshape"), rect(10 + i, 10));
    auto manager = managerOver(folder.path());
    for (int pass = 0; pass < 3; ++pass) {
        std::set<double> widths;
        for (int i = 0; i < 3; ++i)
            widths.insert(manager->randomSVG()->totalSize().width);
        EXPECT_EQ(widths, (std::set<double> { 10, 11, 12 }));
    }
}

TEST_F(ShapeSupply, ScalesAndCentresForTheScreen)
{
    struct Case {
        const char* name;
        gfx::Size shape;
        gfx::Rect bounds;
        gfx::Rect frame;
    };
    const Case cases[] = {
        { "landscape, wide shape", { 100, 50 }, { 0, 0, 2560, 1440 }, { 0, 80, 2560, 1280 } },
        { "landscape, square shape", { 100, 100 }, { 0, 0, 2560, 1440 }, { 0, -560, 2560, 2560 } },
        { "portrait", { 50, 100 }, { 0, 0, 1080, 1920 }, { 60, 0, 960, 1920 } },
        { "square screen: the height decides", { 100, 50 }, { 0, 0, 500, 500 }, { -250, 0, 1000, 500 } },
        { "odd difference rounds down", { 100, 2000 }, { 0, 0, 1001, 2000 }, { 450, 0, 100, 2000 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory shapes;
        writeShape(shapes / "s.tgshape", rect(c.shape.width, c.shape.height));
        auto manager = managerOver(shapes.path());
        auto layer = manager->randomSVGLayerWithBounds(c.bounds, 2.0);
        EXPECT_EQ(layer->frame(), c.frame);
        EXPECT_EQ(layer->contentsScale(), 2.0);
        EXPECT_TRUE(layer->drawsAsynchronously());
        EXPECT_TRUE(layer->needsDisplay());
        EXPECT_TRUE(layer->pathFillColor());
        EXPECT_EQ(layer->paths().size(), 1u);
    }
}

TEST_F(ShapeSupply, UnreadableShapesGiveEmptyLayersAndSaySo)
{
    test::writeFile(folder / "broken.tgshape", "not a container at all");
    auto manager = managerOver(folder.path());
    ScopedLogCapture capture;
    const auto layer = manager->randomSVGLayerWithBounds({ 0, 0, 800, 600 }, 1.0);
    EXPECT_TRUE(layer->paths().empty());
    EXPECT_EQ(layer->frame(), gfx::Rect(400, 300, 0, 0));
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_NE(capture.lines()[0].find("broken.tgshape"), std::string::npos) << capture.lines()[0];
    EXPECT_NE(capture.lines()[0].find("Unknown header (code 2)"), std::string::npos) << capture.lines()[0];
}

TEST_F(ShapeSupply, WhatABadShapeSaysIsSaidOnceUntilItChanges)
{
    // Picked again and again, a shape's path data errors would fill a screen saver's log.
    writeShape(folder / "bad.tgshape", "<svg><path d='M0,0L10,10L10'/><path d='M0,0L5,5Q1'/></svg>");
    test::writeFile(folder / "bad.svg", "<svg><path d='M0,0L10,10 X3'/></svg>");
    auto manager = managerOver(folder.path());
    ScopedLogCapture capture;
    const auto pickBoth = [&] {
        for (int i = 0; i < 2; ++i)
            manager->randomSVGLayerWithBounds({ 0, 0, 800, 600 }, 1.0);
    };
    pickBoth();
    const auto firstLines = capture.lines();
    EXPECT_GE(firstLines.size(), 2u);
    for (int pass = 0; pass < 3; ++pass)
        pickBoth();
    EXPECT_EQ(capture.lines(), firstLines) << "said again without a change";

    writeShape(folder / "bad.tgshape", "<svg><path d='M0,0L10,10L10,10,10'/></svg>");
    capture.clear();
    for (int pass = 0; pass < 2; ++pass)
        pickBoth();
    EXPECT_EQ(capture.lines().size(), 1u) << "the changed file is read afresh";
}

TEST_F(ShapeSupply, ShapesWithoutSizeNeverGiveANonFiniteFrame)
{
    // No shape files at all; a shape that is a single point; one that is a vertical line.
    test::TemporaryDirectory none;
    writeShape(folder / "point.tgshape", "<svg><path d='M5,5'/></svg>");
    test::TemporaryDirectory line;
    writeShape(line / "line.tgshape", "<svg><path d='M5,5V50'/></svg>");
    for (const auto* shapes : { &none, &folder, &line }) {
        auto manager = managerOver(shapes->path());
        const size_t colours = manager->colorsLeft().size();
        const auto layer = manager->randomSVGLayerWithBounds({ 0, 0, 800, 600 }, 1.0);
        const gfx::Rect frame = layer->frame();
        EXPECT_TRUE(std::isfinite(frame.origin.x) && std::isfinite(frame.origin.y));
        EXPECT_TRUE(std::isfinite(frame.size.width) && std::isfinite(frame.size.height));
        EXPECT_TRUE(layer->paths().empty());
        EXPECT_EQ(manager->colorsLeft().size() + 1, colours) << "the colour is used up all the same";
    }
}

TEST_F(ShapeSupply, LogoIsSevenTenthsOfTheWidthAndWhite)
{
    test::writeFile(
        resources / "logo.svg", "<svg><rect width='200' height='40'/><rect x='10' width='20' height='10'/></svg>");
    auto manager = managerOver(folder.path());
    const auto logo = manager->logoSVGWithBounds({ 0, 0, 1000, 600 });
    EXPECT_EQ(logo->frame(), gfx::Rect(150, 230, 700, 140));
    ASSERT_EQ(logo->sublayers().size(), 2u);
    for (const auto& sublayer : logo->sublayers())
        EXPECT_EQ(dynamic_cast<anim::ShapeLayer&>(*sublayer).fillColor(), gfx::Color::white());

    std::filesystem::remove(resources / "logo.svg");
    const auto missing = manager->logoSVGWithBounds({ 0, 0, 1000, 600 });
    EXPECT_TRUE(missing->sublayers().empty());
}

TEST_F(ShapeSupply, PackedShapesReadBack)
{
    const std::string svg = rect(3, 4);
    writeShape(folder / "x.tgshape", svg);
    EXPECT_EQ(supply::readTGShape(folder / "x.tgshape").value(), svg);
    EXPECT_FALSE(supply::readTGShape(folder / "missing.tgshape"));
}

TEST(UserResources, OwnPalettesAndPlainShapesJoinKaleonsAndBadOnesAreSaidOnce)
{
    test::TemporaryDirectory data;
    const auto own = data / "kaleon";
    std::filesystem::create_directories(own);
    const test::ScopedEnvironment dataHome("XDG_DATA_HOME", data.path().string());
    const test::ScopedEnvironment noOverride("KALEON_RESOURCES", std::nullopt);
    test::writeFile(own / "Mine.plist", test::paletteText("Mine", { "123456" }));
    test::writeFile(own / "Broken.plist", "garbage");
    test::writeFile(own / "square.svg", rect(10, 10));

    ScopedLogCapture capture;
    std::set<std::string> palettes;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& palette : supply::TGColorPalette::allColorPalettes())
            palettes.insert(palette->filename());
    }
    EXPECT_TRUE(palettes.contains("Mine.plist"));
    EXPECT_TRUE(palettes.contains("KaleonColors.plist"));
    EXPECT_FALSE(palettes.contains("Broken.plist"));
    EXPECT_EQ(capture.lines(),
        std::vector<std::string> {
            "Palette file " + (own / "Broken.plist").string() + " has no colours that can be read; skipped" });

    auto manager = TGSVGManager::make();
    const auto& shapes = manager->allSVGs();
    EXPECT_NE(std::find(shapes.begin(), shapes.end(), own / "square.svg"), shapes.end());
    manager->setAllSVGNames(std::vector { own / "square.svg" });
    EXPECT_FALSE(manager->randomSVG()->cgPaths().empty());
}

TEST(ShippedShapes, DrawCurvesAsCurvesEvenAt4K)
{
    // A curve made of short straight lines shows its facets once the shape fills a large
    // screen: runs of slight turns between lines that are long on a 3840x2160 screen.
    constexpr double kScreenWidth = 3840;
    constexpr double kSlightestTurn = 0.2 * std::numbers::pi / 180;
    constexpr double kSharpestSlightTurn = 20 * std::numbers::pi / 180;
    constexpr double kShortestVisibleLine = 6;
    constexpr int kLongestRun = 4;
    int shapes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KALEON_TEST_RESOURCES_DIR)) {
        if (entry.path().extension() != ".tgshape")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++shapes;
        const auto document = supply::makeSVGWithTGShapePath(entry.path());
        const double scale = kScreenWidth / document->totalSize().width;
        int longestRun = 0;
        for (const auto& path : document->cgPaths()) {
            std::optional<gfx::Point> previous;
            double heading = std::nan(""); // none yet
            int run = 0;
            path->forEachElement([&](const gfx::PathElement& element) {
                if (element.type != gfx::PathElementType::LineTo || !previous) {
                    run = 0;
                    heading = std::nan("");
                    previous = element.points.empty() ? previous : std::optional(element.points.back());
                    return;
                }
                const gfx::Point to = element.points.back();
                const double dx = (to.x - previous->x) * scale;
                const double dy = (to.y - previous->y) * scale;
                const double direction = std::atan2(dy, dx);
                if (!std::isnan(heading) && std::hypot(dx, dy) > kShortestVisibleLine) {
                    const double turn = std::abs(std::remainder(direction - heading, 2 * std::numbers::pi));
                    run = turn > kSlightestTurn && turn < kSharpestSlightTurn ? run + 1 : 0;
                    longestRun = std::max(longestRun, run);
                }
                heading = direction;
                previous = to;
            });
        }
        EXPECT_LE(longestRun, kLongestRun) << "straight facets where a curve is meant";
    }
    EXPECT_GE(shapes, 20);
}
