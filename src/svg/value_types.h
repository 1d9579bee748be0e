#pragma once

#include "gfx/affine_transform.h"
#include "gfx/color.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace kaleon::svg {

// A 24-bit RGB colour, 0xRRGGBB, as SVG colour text writes it. Colours made from it are opaque.
class hexTriplet {
public:
    constexpr explicit hexTriplet(std::uint32_t value)
        : m_value(value)
    {
    }
    // "#rgb" and "#rrggbb" in either case. Any other text follows the same two rules: a text of
    // exactly four characters has its last three doubled, then the first character is dropped
    // and the rest is read as a hexadecimal integer (as strtol reads it, base 16). So "red"
    // reads as 0x0000ed and "url(#a)" as black.
    explicit hexTriplet(std::string_view text);
    // From a colour's red, green and blue, each × 255 and rounded half away from zero.
    explicit hexTriplet(const gfx::Color& color);

    std::uint32_t value() const { return m_value; }
    gfx::Color CGColor() const;
    // "#rrggbb", lower case.
    std::string string() const;

private:
    std::uint32_t m_value;
};

// The short decimal text of generated path data: at most three fraction digits (rounded half
// to even), no trailing zeros, "." and "-", no grouping, no exponent, whatever the locale.
// Numbers that are not finite write as "0".
std::string SVGStringFromNumber(double number);

// What an attribute dictionary holds: the text of an attribute, a colour ("fill", "stroke") or
// the composed transform ("transform").
using AttributeValue = std::variant<std::string, gfx::Color, gfx::AffineTransform>;

inline AttributeValue svg_valueWithCGAffineTransform(const gfx::AffineTransform& transform)
{
    return transform;
}

// The transform held by `value`; the all-zero transform (not the identity) for anything else.
inline gfx::AffineTransform svg_CGAffineTransformValue(const AttributeValue& value)
{
    if (const auto* transform = std::get_if<gfx::AffineTransform>(&value))
        return *transform;
    return { 0, 0, 0, 0, 0, 0 };
}

} // namespace kaleon::svg
