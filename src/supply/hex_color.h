#pragma once

#include "gfx/color.h"

#include <string>
#include <string_view>

namespace kaleon::supply {

// Reads palette colour text: one hexadecimal number RRGGBB, after optional white space and an
// optional 0x prefix, up to the first other character. No digits (or "#RRGGBB") give black;
// bits above the low 24 are ignored, and a number wider than 32 bits saturates to all ones.
// Always an opaque colour.
gfx::Color colorWithHexColorString(std::string_view text);

// "#rrggbb" in lower case; each component c is written as the integer part of c × (256 − 2⁻¹⁶),
// so a component of exactly k/255 comes back as k.
std::string hexadecimalValue(const gfx::Color& color);

} // namespace kaleon::supply
