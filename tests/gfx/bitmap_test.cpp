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
    cairo_t* context = cairo_create(bitmap.surface());
    cairo_rectangle(context, x, y, width, height);
    cairo_set_source_rgba(context, color.red, color.green, color.blue, color.alpha);
    cairo_fill(context);
    cairo_destroy(context);
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
    cairo_t* context = cairo_create(canvas->surface());
    tinted->paint(context, 0.5);
    cairo_destroy(context);
    const auto mixed = [](double c) { return 0.25 * c + 0.75; };
    EXPECT_THAT(
        canvas->pixel(1, 1), IsColor(gfx::Color { mixed(teal.red), mixed(teal.green), mixed(teal.blue), 1 }, 0.01));
    EXPECT_EQ(canvas->pixel(6, 1), gfx::Color::white());

    // A PNG shows the colour, not a grey coverage map.
    const test::TemporaryDirectory folder;
    ASSERT_TRUE(tinted->writePNG(folder.path() / "tinted.png"));
    cairo_surface_t* png = cairo_image_surface_create_from_png((folder.path() / "tinted.png").c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_format(png), CAIRO_FORMAT_ARGB32);
    std::uint32_t argb = 0;
    std::memcpy(&argb, cairo_image_surface_get_data(png) + cairo_image_surface_get_stride(png) + 4, 4);
    EXPECT_NEAR((argb >> 24) / 255.0, 0.5, 0.01);
    EXPECT_NEAR(((argb >> 8) & 0xff) / 255.0, teal.green * 0.5, 0.01);
    cairo_surface_destroy(png);
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
