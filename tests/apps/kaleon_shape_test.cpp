#include "gfx/bitmap.h"
#include "support/test_support.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace kaleon;

namespace {

// Two squares that overlap in (10..20, 10..20): the first clockwise, the second counter-clockwise.
constexpr const char* kOppositeSquares = R"(<svg xmlns="http://www.w3.org/2000/svg" width="30" height="30">
  <path d="M0,0H20V20H0Z"/>
  <path d="M10,10V30H30V10Z"/>
  <ellipse cx="5" cy="5" rx="1" ry="1"/>
</svg>)";

test::ProgramResult shape(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), KALEON_SHAPE_BINARY);
    return test::runProgram(arguments);
}

// The pixel at (x, y) as 0xAARRGGBB; 0 where nothing was drawn.
std::uint32_t pixelAt(const std::filesystem::path& png, int x, int y)
{
    const auto bitmap = gfx::Bitmap::readPNG(png);
    EXPECT_TRUE(bitmap) << png;
    if (!bitmap)
        return 0;
    const gfx::Color c = (*bitmap)->pixel(x, y);
    const auto byte = [](double component) { return static_cast<std::uint32_t>(std::lround(component * 255)); };
    return byte(c.alpha) << 24 | byte(c.red) << 16 | byte(c.green) << 8 | byte(c.blue);
}

class KaleonShape : public testing::Test {
protected:
    void SetUp() override { test::writeFile(folder / "squares.svg", kOppositeSquares); }
    test::TemporaryDirectory folder;
};

} // namespace

TEST_F(KaleonShape, CheckListsMessagesAndWhatWasPassedOver)
{
    test::writeFile(folder / "arc.svg", "<svg><path d='M0,0A1,1 0 0 1 5,5'/><use/><use/></svg>");
    const auto result = shape({ "check", (folder / "arc.svg").string() });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "*** Error: Elliptical arcs not supported\n1 path read\npassed over: use (2)\n");

    test::writeFile(folder / "empty.svg", "<svg><ellipse/></svg>");
    const auto empty = shape({ "check", (folder / "empty.svg").string() });
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.output, "0 paths read\npassed over: ellipse (1)\n");

    const auto missing = shape({ "check", (folder / "missing.svg").string() });
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.errors.find("missing.svg"), std::string::npos);
}

TEST_F(KaleonShape, PathsWritesTheDocumentBack)
{
    const auto result = shape({ "paths", (folder / "squares.svg").string() });
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("<path d=\"M0,0L20,0L20,20L0,20Z\"/>"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("width=\"30\" height=\"30\""), std::string::npos);
}

TEST_F(KaleonShape, RenderFillsAllPathsAtOnceLeavingHolesWhereWindingsCancel)
{
    const auto compound = folder / "compound.png";
    ASSERT_EQ(shape({ "render", (folder / "squares.svg").string(), "--out", compound.string(), "--size", "30x30",
                        "--color", "ff0000" })
                  .status,
        0);
    EXPECT_EQ(pixelAt(compound, 5, 5), 0xffff0000u);
    EXPECT_EQ(pixelAt(compound, 15, 15), 0u) << "the overlap winds to zero";
    EXPECT_EQ(pixelAt(compound, 25, 25), 0xffff0000u);

    const auto separate = folder / "separate.png";
    ASSERT_EQ(shape({ "render", (folder / "squares.svg").string(), "--out", separate.string(), "--size", "30x30",
                        "--separate", "--background", "00ff00" })
                  .status,
        0);
    EXPECT_EQ(pixelAt(separate, 15, 15), 0xff000000u);
    EXPECT_EQ(pixelAt(separate, 25, 5), 0xff00ff00u);
}

TEST_F(KaleonShape, RenderMapsWithScaleAndTranslation)
{
    for (const auto& form :
        { std::vector<std::string> { "--translate", "-10,5" }, std::vector<std::string> { "--translate=-10,5" } }) {
        const auto out = folder / "moved.png";
        std::vector<std::string> arguments { "render", (folder / "squares.svg").string(), "--out", out.string(),
            "--size", "60x70", "--scale", "2" };
        arguments.insert(arguments.end(), form.begin(), form.end());
        const auto result = shape(arguments);
        ASSERT_EQ(result.status, 0) << result.errors;
        // (0..20) scaled by 2 and moved by (-10, 5): x from -10 to 30, y from 5 to 45.
        EXPECT_EQ(pixelAt(out, 1, 6), 0xff000000u);
        EXPECT_EQ(pixelAt(out, 1, 3), 0u);
        EXPECT_EQ(pixelAt(out, 25, 35), 0u) << "the hole";
    }
}

TEST_F(KaleonShape, RenderFitsAsTheSaverDoes)
{
    // 30 × 30 drawing on a 120 × 60 canvas: landscape, so the width decides (×4: 120 × 120),
    // centred at y = floor(30 − 60) = −30.
    const auto out = folder / "fit.png";
    ASSERT_EQ(shape({ "render", (folder / "squares.svg").string(), "--out", out.string(), "--size", "120x60", "--fit" })
                  .status,
        0);
    EXPECT_EQ(pixelAt(out, 1, 1), 0xff000000u);
    EXPECT_EQ(pixelAt(out, 60, 30), 0u) << "(15, 15) of the drawing, in the hole";
    EXPECT_EQ(pixelAt(out, 100, 4), 0u) << "(25, 8.5) of the drawing, outside both squares";
}

TEST_F(KaleonShape, ClearErrorsAndExitStatus)
{
    EXPECT_EQ(
        shape({ "render", (folder / "missing.svg").string(), "--out", (folder / "x.png").string(), "--size", "5x5" })
            .status,
        1);
    EXPECT_EQ(
        shape({ "render", (folder / "squares.svg").string(), "--out", (folder / "x.png").string(), "--size", "0x5" })
            .status,
        2);
    EXPECT_EQ(shape({ "render", (folder / "squares.svg").string(), "--out", (folder / "x.png").string(), "--size",
                        "5x5", "--fit", "--scale", "2" })
                  .status,
        2);
    EXPECT_EQ(shape({ "render", (folder / "squares.svg").string(), "--out", (folder / "x.png").string(), "--size",
                        "5x5", "--color", "red" })
                  .status,
        2);
    EXPECT_EQ(shape({ "render", (folder / "squares.svg").string(), "--out", (folder / "no" / "x.png").string(),
                        "--size", "5x5" })
                  .status,
        1);
    EXPECT_EQ(shape({}).status, 2);
    const auto help = shape({ "--help" });
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Examples:"), std::string::npos);
}

TEST_F(KaleonShape, RenderOfNothingDrawableFailsAndWritesNothing)
{
    test::writeFile(folder / "empty.svg", R"(<svg xmlns="http://www.w3.org/2000/svg"><text>no paths</text></svg>)");
    const auto result
        = shape({ "render", (folder / "empty.svg").string(), "--out", (folder / "x.png").string(), "--size", "5x5" });
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.errors.find("holds no path to draw"), std::string::npos) << result.errors;
    EXPECT_FALSE(std::filesystem::exists(folder / "x.png"));
}

TEST_F(KaleonShape, PackAndUnpackReplaceWholeFilesAndRefuseCollidingNames)
{
    const auto packed = folder / "packed";
    const auto unpacked = folder / "unpacked";
    std::filesystem::create_directories(unpacked);
    // Unpacking replaces a link at the destination instead of writing through it.
    test::writeFile(folder / "victim", "keep");
    std::filesystem::create_symlink(folder / "victim", unpacked / "squares.svg");
    ASSERT_EQ(shape({ "pack", (folder / "squares.svg").string(), "--out", packed.string() }).status, 0);
    ASSERT_EQ(shape({ "unpack", (packed / "squares.tgshape").string(), "--out", unpacked.string() }).status, 0);
    EXPECT_EQ(test::readFile(folder / "victim"), "keep");
    EXPECT_FALSE(std::filesystem::is_symlink(unpacked / "squares.svg"));
    EXPECT_EQ(test::readFile(unpacked / "squares.svg"), kOppositeSquares);

    std::filesystem::create_directories(folder / "other");
    test::writeFile(folder / "other" / "squares.svg", "<svg/>");
    const auto twice = shape({ "pack", (folder / "squares.svg").string(), (folder / "other" / "squares.svg").string(),
        "--out", packed.string() });
    EXPECT_EQ(twice.status, 2);
    EXPECT_NE(twice.errors.find("would both be written to"), std::string::npos) << twice.errors;
    ASSERT_EQ(shape({ "unpack", (packed / "squares.tgshape").string(), "--out", unpacked.string() }).status, 0);
    EXPECT_EQ(test::readFile(unpacked / "squares.svg"), kOppositeSquares) << "the first pack stands";
}
