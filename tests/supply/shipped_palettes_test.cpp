#include "supply/color_palette.h"

#include "support/test_support.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace kaleon;
using gfx::Color;

namespace {

// CIE L*a*b* of an sRGB colour (D65).
std::array<double, 3> lab(const Color& color)
{
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const double r = linear(color.red);
    const double g = linear(color.green);
    const double b = linear(color.blue);
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116; };
    return { 116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z)) };
}

double difference(const Color& a, const Color& b)
{
    const auto p = lab(a);
    const auto q = lab(b);
    return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

} // namespace

// Any two colours of a shipped palette meet as background and shape, so they must stand apart.
TEST(ShippedPalettes, EachHasFiveToTwelveColoursThatReadWellTogether)
{
    test::ScopedEnvironment resources("KALEON_RESOURCES", KALEON_TEST_RESOURCES_DIR);
    const auto palettes = supply::TGColorPalette::allColorPalettes();
    EXPECT_GE(palettes.size(), 8u);
    ASSERT_NE(supply::TGColorPalette::paletteWithFilename("KaleonColors.plist"), nullptr);
    std::vector<std::string> names;
    for (const auto& palette : palettes) {
        SCOPED_TRACE(palette->filename());
        EXPECT_NE(palette->name(), "Default");
        names.push_back(palette->name());
        const auto& colors = palette->colors();
        EXPECT_GE(colors.size(), 5u);
        EXPECT_LE(colors.size(), 12u);
        for (size_t i = 0; i < colors.size(); ++i) {
            for (size_t j = i + 1; j < colors.size(); ++j)
                EXPECT_GE(difference(colors[i], colors[j]), 25.0) << "colours " << i << " and " << j;
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "display names must differ";
}
