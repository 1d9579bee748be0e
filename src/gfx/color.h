#pragma once

#include <cstdint>

namespace kaleon::gfx {

// A device-RGB colour with straight (not premultiplied) alpha, components from 0 to 1.
// Two colours are equal when all four components are.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    static constexpr Color fromRGB8(std::uint8_t r, std::uint8_t g, std::uint8_t b, double a = 1.0)
    {
        return { r / 255.0, g / 255.0, b / 255.0, a };
    }
    // A grey is held as the RGB colour with three equal components.
    static constexpr Color fromGray(double white, double a = 1.0) { return { white, white, white, a }; }
    static constexpr Color black() { return { 0, 0, 0, 1 }; }
    static constexpr Color white() { return { 1, 1, 1, 1 }; }
    static constexpr Color clear() { return { 0, 0, 0, 0 }; }

    friend constexpr bool operator==(const Color&, const Color&) = default;
};

} // namespace kaleon::gfx
