#pragma once

// What the standard library makes of a decimal number, for checking the SVG number scanner
// against: the same extent, and the float std::from_chars reads from it. Used by the tests and
// by the scanner's fuzzer.

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace kaleon::testing {

struct DecimalReading {
    float value;
    size_t length;
};

inline std::optional<DecimalReading> referenceDecimal(std::string_view text)
{
    size_t start = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        start = 1;
    // from_chars also knows "inf", "nan" and hexadecimal; SVG numbers start with a digit or point.
    if (start >= text.size() || !(text[start] == '.' || (text[start] >= '0' && text[start] <= '9')))
        return std::nullopt;
    const char* const first = text.data() + start;
    float magnitude = 0;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), magnitude);
    if (ec == std::errc::invalid_argument)
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // strtod saturates where from_chars gives up; in the "C" locale it reads the same text.
        const double wide = std::strtod(std::string(first, end).c_str(), nullptr);
        magnitude = wide >= 1 ? std::numeric_limits<float>::infinity() : 0.0f;
    }
    return DecimalReading { negative ? -magnitude : magnitude, static_cast<size_t>(end - text.data()) };
}

} // namespace kaleon::testing
