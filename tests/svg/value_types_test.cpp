#include "svg/value_types.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace kaleon;
using svg::hexTriplet;
using svg::SVGStringFromNumber;

TEST(HexTriplet, ReadsSVGColourText)
{
    struct Case {
        const char* text;
        std::uint32_t value;
    };
    const Case cases[] = {
        { "#fff", 0xffffff },
        { "#FFFFFF", 0xffffff },
        { "#000", 0 },
        { "#f00", 0xff0000 },
        { "#a1B2c3", 0xa1b2c3 },
        { "abcd", 0xbbccdd },
        { "red", 0x0000ed },
        { "url(#a)", 0 },
        { "#f00 ", 0x000f00 },
        { "#0x12", 0x12 },
        { "", 0 },
        { "#", 0 },
        { "#-1", 0xffffffff },
        { "#123456789abcdef0123", 0xffffffff },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(hexTriplet(c.text).value(), c.value);
    }
    EXPECT_EQ(hexTriplet("#fff").CGColor(), gfx::Color::white());
    EXPECT_EQ(hexTriplet(0xffffff).string(), "#ffffff");
    EXPECT_EQ(hexTriplet(0x0a0b0c).string(), "#0a0b0c");
}

TEST(HexTriplet, ReadsColoursRoundingHalvesUp)
{
    EXPECT_EQ(hexTriplet(gfx::Color { 0.5, 0.5, 0.5, 1 }).value(), 0x808080u);
    EXPECT_EQ(hexTriplet(gfx::Color::fromRGB8(1, 2, 3)).value(), 0x010203u);
    EXPECT_EQ(hexTriplet(gfx::Color::fromGray(0.5)).string(), "#808080");
    EXPECT_EQ(hexTriplet(gfx::Color { std::nan(""), 2.0, -1.0, 1 }).value(), 0x00fe01u);
}

TEST(SVGNumberFormat, KeepsAtMostThreeFractionDigits)
{
    struct Case {
        double number;
        const char* text;
    };
    const Case cases[] = {
        { 10, "10" },
        { 2.5, "2.5" },
        { 1.0 / 3, "0.333" },
        { -0.1, "-0.1" },
        { 1234567, "1234567" },
        { 0.12345, "0.123" },
        { 0.0015, "0.002" },
        { 0.0025, "0.002" },
        { 0.9996, "1" },
        { 999.9999, "1000" },
        { -0.0001, "0" },
        { -0.0, "0" },
        { 1e20, "100000000000000000000" },
        { static_cast<double>(0.1f), "0.1" },
        { std::numeric_limits<double>::infinity(), "0" },
        { std::nan(""), "0" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SVGStringFromNumber(c.number), c.text);
    }
}

TEST(TransformBoxing, OnlyTransformsUnbox)
{
    const gfx::AffineTransform t { 1, 2, 3, 4, 5, 6 };
    EXPECT_EQ(svg::svg_CGAffineTransformValue(svg::svg_valueWithCGAffineTransform(t)), t);
    EXPECT_EQ(svg::svg_CGAffineTransformValue(svg::AttributeValue(std::string("translate(1,2)"))),
        gfx::AffineTransform(0, 0, 0, 0, 0, 0));
    EXPECT_EQ(svg::svg_CGAffineTransformValue(svg::AttributeValue(gfx::Color::black())),
        gfx::AffineTransform(0, 0, 0, 0, 0, 0));
}
