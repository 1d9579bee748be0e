// Both colour-text readers (SVG's and the palettes'), and the writers that invert them.
#include "fuzz_support.h"
#include "supply/hex_color.h"
#include "svg/value_types.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const std::string_view text = textOf(data, size);
    const kaleon::svg::hexTriplet triplet(text);
    if (kaleon::svg::hexTriplet(triplet.CGColor()).value() != (triplet.value() & 0xffffff))
        __builtin_trap();
    const kaleon::gfx::Color color = kaleon::supply::colorWithHexColorString(text);
    if (kaleon::supply::colorWithHexColorString(kaleon::supply::hexadecimalValue(color).substr(1)) != color)
        __builtin_trap();
    if (size >= sizeof(double)) {
        double number = 0;
        std::memcpy(&number, data, sizeof number);
        (void)kaleon::svg::SVGStringFromNumber(number);
    }
    return 0;
}
