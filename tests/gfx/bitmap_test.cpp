#include "gfx/bitmap.h"
#include "support/test_support.h"

#include <algorithm>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace kaleon;
using gfx::Bitmap;

namespace {

void fillRect(const Bitmap& bitmap, double x, double y, double width, double height, gfx::Color color)
{
    const auto context = gfx::createContext(bitmap.surface());
    cairo_rectangle(context.get(), x, y, width, height);
    gfx::setSourceColor(context.get(), color);
    cairo_fill(context.get());
    cairo_surface_mark_dirty(bitmap.surface());
}

MATCHER_P2(IsColor, expected, tolerance, "")
{
    return std::abs(arg.red - expected.red) <= tolerance && std::abs(arg.green - expected.green) <= tolerance
        && std::abs(arg.blue - expected.blue) <= tolerance && std::abs(arg.alpha - expected.alpha) <= tolerance;
}

} // namespace

TEST(Bitmap, TintedBitmapsAreTheirColourAtTheirCoverage)
{
    const auto teal = gfx::Color::fromRGB8(0x20, 0x80, 0xa0);
    // The tint's own alpha does not count; what is drawn counts only by its alpha.
    auto tinted = Bitmap::createTinted(8, 4, { teal.red, teal.green, teal.blue, 0.25 });
    ASSERT_TRUE(tinted);
    fillRect(*tinted, 0, 0, 4, 4, gfx::Color::fromRGB8(255, 0, 0, 0.5));
    EXPECT_THAT(tinted->pixel(1, 1), IsColor(gfx::Color { teal.red, teal.green, teal.blue, 0.5 }, 0.01));
    EXPECT_EQ(tinted->pixel(6, 1), gfx::Color::clear());
    EXPECT_EQ(tinted->bytesPerRow(), 8);

    // Painted over white at half opacity: a quarter teal.
    auto canvas = Bitmap::create(8, 4);
    fillRect(*canvas, 0, 0, 8, 4, gfx::Color::white());
    tinted->paint(canvas->createContext().get(), 0.5);
    const auto mixed = [](double c) { return 0.25 * c + 0.75; };
    EXPECT_THAT(
        canvas->pixel(1, 1), IsColor(gfx::Color { mixed(teal.red), mixed(teal.green), mixed(teal.blue), 1 }, 0.01));
    EXPECT_EQ(canvas->pixel(6, 1), gfx::Color::white());

    // A PNG shows the colour, not a grey coverage map.
    const test::TemporaryDirectory folder;
    ASSERT_TRUE(tinted->writePNG(folder.path() / "tinted.png"));
    const auto png = Bitmap::readPNG(folder.path() / "tinted.png");
    ASSERT_TRUE(png) << png.error().message;
    EXPECT_FALSE((*png)->tint());
    EXPECT_THAT((*png)->pixel(1, 1), IsColor(gfx::Color { teal.red, teal.green, teal.blue, 0.5 }, 0.01));
}

// Large buffers go back to a pool and are cleared in the background; whoever takes one next
// must find it blank, whether or not the clearing had finished.
TEST(Bitmap, ReusedBuffersComeBackBlank)
{
    const int sides[] = { 1024, 700, 1024, 900, 512 };
    for (int round = 0; round < 40; ++round) {
        const int side = sides[round % 5];
        auto bitmap
            = (round % 3 == 0) ? Bitmap::createTinted(side * 2, side, gfx::Color::white()) : Bitmap::create(side, side);
        ASSERT_TRUE(bitmap);
        const std::uint8_t* data = bitmap->data();
        const size_t bytes = static_cast<size_t>(bitmap->bytesPerRow()) * static_cast<size_t>(bitmap->height());
        ASSERT_TRUE(std::all_of(data, data + bytes, [](std::uint8_t byte) { return byte == 0; })) << "round " << round;
        fillRect(*bitmap, 0, 0, side * 2, side, gfx::Color::fromRGB8(200, 10, 30));
        if (round % 4 == 0) {
            // Two at once: one buffer is in use while the other is being cleared.
            auto second = Bitmap::create(side, side);
            ASSERT_TRUE(second);
            ASSERT_EQ(second->pixel(side - 1, side - 1), gfx::Color::clear());
            fillRect(*second, 0, 0, side, side, gfx::Color::black());
        }
    }
}
