#include "svg/value_types.h"

#include "core/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace kaleon::svg {

namespace {

// strtol(text, nullptr, 16) without the C library's locale: white space, a sign, an optional
// 0x prefix, digits; overflow saturates to LONG_MAX or LONG_MIN.
long readHexLong(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isWhitespace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')
        && hexDigitValue(text[i + 2]) >= 0)
        i += 2;
    unsigned long magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && hexDigitValue(text[i]) >= 0; ++i) {
        if (magnitude > (ULONG_MAX >> 4))
            overflow = true;
        magnitude = (magnitude << 4) | static_cast<unsigned long>(hexDigitValue(text[i]));
    }
    if (negative) {
        if (overflow || magnitude > static_cast<unsigned long>(LONG_MAX) + 1)
            return LONG_MIN;
        return magnitude == static_cast<unsigned long>(LONG_MAX) + 1 ? LONG_MIN : -static_cast<long>(magnitude);
    }
    if (overflow || magnitude > static_cast<unsigned long>(LONG_MAX))
        return LONG_MAX;
    return static_cast<long>(magnitude);
}

std::uint32_t componentByte(double component)
{
    const float scaled = static_cast<float>(std::isfinite(component) ? std::clamp(component, -1e6, 1e6) * 255.0 : 0.0);
    return static_cast<std::uint32_t>(static_cast<long>(std::round(scaled))) & 0xff;
}

} // namespace

hexTriplet::hexTriplet(std::string_view text)
{
    std::string expanded;
    if (text.size() == 4) {
        expanded = { text[0], text[1], text[1], text[2], text[2], text[3], text[3] };
        text = expanded;
    }
    const std::string_view rest = text.empty() ? text : text.substr(1);
    m_value = static_cast<std::uint32_t>(static_cast<unsigned long>(readHexLong(rest)));
}

hexTriplet::hexTriplet(const gfx::Color& color)
    : m_value(componentByte(color.red) << 16 | componentByte(color.green) << 8 | componentByte(color.blue))
{
}

gfx::Color hexTriplet::CGColor() const
{
    return gfx::Color::fromRGB8(static_cast<std::uint8_t>(m_value >> 16), static_cast<std::uint8_t>(m_value >> 8),
        static_cast<std::uint8_t>(m_value));
}

std::string hexTriplet::string() const
{
    const std::uint8_t bytes[] = { static_cast<std::uint8_t>(m_value >> 16), static_cast<std::uint8_t>(m_value >> 8),
        static_cast<std::uint8_t>(m_value) };
    return "#" + hexString(bytes);
}

std::string SVGStringFromNumber(double number)
{
    if (!std::isfinite(number))
        return "0";
    // The shortest text that reads back as the same double, then rounded as decimal text.
    std::array<char, 400> buffer;
    const auto written
        = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(number), std::chars_format::fixed);
    std::string digits(buffer.data(), written.ptr);
    std::string whole = digits;
    std::string fraction;
    if (const auto point = digits.find('.'); point != std::string::npos) {
        whole = digits.substr(0, point);
        fraction = digits.substr(point + 1);
    }
    if (fraction.size() > 3) {
        const char next = fraction[3];
        const bool beyond = fraction.find_first_not_of('0', 4) != std::string::npos;
        fraction.resize(3);
        const char last = fraction.back();
        const bool roundUp = next > '5' || (next == '5' && (beyond || (last - '0') % 2 == 1));
        if (roundUp) {
            std::string all = whole + fraction;
            int i = static_cast<int>(all.size()) - 1;
            for (; i >= 0 && all[static_cast<size_t>(i)] == '9'; --i)
                all[static_cast<size_t>(i)] = '0';
            if (i < 0)
                all.insert(all.begin(), '1');
            else
                ++all[static_cast<size_t>(i)];
            whole = all.substr(0, all.size() - 3);
            fraction = all.substr(all.size() - 3);
        }
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string text = fraction.empty() ? whole : whole + "." + fraction;
    if (number < 0 && text != "0")
        text.insert(text.begin(), '-');
    return text;
}

} // namespace kaleon::svg
