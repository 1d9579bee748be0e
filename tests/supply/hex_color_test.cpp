#include "supply/hex_color.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kaleon;
using gfx::Color;
using supply::colorWithHexColorString;
using supply::hexadecimalValue;

TEST(HexColor, ReadsPaletteText)
{
    struct Case {
        const char* text;
        Color expected;
    };
    const Color orange = Color::fromRGB8(0xff, 0x80, 0x00);
    const Case cases[] = {
        { "FF8000", orange },
        { "ff8000", orange },
        { "0xFF8000", orange },
        { "0Xff8000", orange },
        { "  \t\nFF8000", orange },
        { "FF8000 and the rest", orange },
        { "FF8000zz", orange },
        { "#FF8000", Color::black() },
        { "", Color::black() },
        { "xyz", Color::black() },
        { "0x", Color::black() },
        { "00ff00", Color::fromRGB8(0, 255, 0) },
        { "FFF", Color::fromRGB8(0, 0x0f, 0xff) },
        { "80FF8000", orange }, // AARRGGBB: alpha bits ignored
        { "000000000FF8000", orange }, // leading zeros are not significant
        { "123456789", Color::white() }, // more than 32 bits saturate to all ones
        { "FFFFFFFFFFFFFFFFFFFF", Color::white() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Color color = colorWithHexColorString(c.text);
        EXPECT_EQ(color, c.expected);
        EXPECT_EQ(color.alpha, 1.0);
    }
}

TEST(HexColor, WritesLowerCaseTriplets)
{
    EXPECT_EQ(hexadecimalValue(Color::fromRGB8(161, 178, 195)), "#a1b2c3");
    EXPECT_EQ(hexadecimalValue(Color::white()), "#ffffff");
    EXPECT_EQ(hexadecimalValue(Color::black()), "#000000");
    EXPECT_EQ(hexadecimalValue({ 0.5, 0.5, 0.5, 1 }), "#7f7f7f");
    // Out of range and NaN components are clamped, never undefined.
    EXPECT_EQ(hexadecimalValue({ 2.0, -1.0, std::nan(""), 1 }), "#ff0000");
}

TEST(HexColor, EveryByteRoundTrips)
{
    for (int k = 0; k < 256; ++k) {
        const auto byte = static_cast<std::uint8_t>(k);
        const Color color = Color::fromRGB8(byte, static_cast<std::uint8_t>(255 - k), byte);
        const std::string text = hexadecimalValue(color);
        ASSERT_EQ(colorWithHexColorString(text.substr(1)), color) << text;
    }
}
