#include "supply/hex_color.h"

#include "core/text.h"

#include <algorithm>
#include <cstdint>

namespace kaleon::supply {

gfx::Color colorWithHexColorString(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isWhitespace(text[i]))
        ++i;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        i += 2;
    std::uint32_t value = 0;
    bool saturated = false;
    for (; i < text.size(); ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0)
            break;
        if (value > 0x0fffffffu)
            saturated = true;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    if (saturated)
        value = 0xffffffffu;
    return gfx::Color::fromRGB8(static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value));
}

std::string hexadecimalValue(const gfx::Color& color)
{
    const auto byte = [](double component) {
        // NaN fails both comparisons and writes as 0.
        const double clamped = component > 0 ? std::min(component, 1.0) : 0.0;
        const double scaled = clamped * 255.99998474121094;
        return static_cast<std::uint8_t>(scaled);
    };
    const std::uint8_t bytes[] = { byte(color.red), byte(color.green), byte(color.blue) };
    return "#" + hexString(bytes);
}

} // namespace kaleon::supply
