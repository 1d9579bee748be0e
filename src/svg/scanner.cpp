#include "svg/scanner.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kaleon::svg {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

size_t decimalNumberLength(std::string_view text)
{
    size_t i = 0;
    const size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

float decimalToFloat(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a float: tell which by the exponent's sign.
        const auto e = text.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
        value = tiny ? 0.0f : std::numeric_limits<float>::infinity();
    } else if (result.ec != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

size_t Scanner::skipped() const
{
    size_t position = m_position;
    while (position < m_text.size() && m_skip.contains(m_text[position]))
        ++position;
    return position;
}

bool Scanner::scanFloat(float& value)
{
    const size_t start = skipped();
    const char* begin = m_text.data() + start;
    const char* end = m_text.data() + m_text.size();
    const char* digits = begin;
    if (digits < end && (*digits == '+' || *digits == '-'))
        ++digits;
    // from_chars reads exactly our grammar once the sign is off and the words it also knows
    // ("inf", "nan") are ruled out by the first character.
    if (digits == end || !(isDigit(*digits) || *digits == '.'))
        return false;
    float number = 0;
    const auto result = std::from_chars(digits, end, number);
    if (result.ec == std::errc::invalid_argument)
        return false;
    if (result.ec == std::errc::result_out_of_range)
        number = decimalToFloat(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
    value = *begin == '-' ? -number : number;
    m_position = static_cast<size_t>(result.ptr - m_text.data());
    return true;
}

bool Scanner::scanCharacters(const CharacterSet& set, std::string_view& run)
{
    const size_t start = skipped();
    size_t end = start;
    while (end < m_text.size() && set.contains(m_text[end]))
        ++end;
    if (end == start)
        return false;
    run = m_text.substr(start, end - start);
    m_position = end;
    return true;
}

bool Scanner::scanUpTo(char stop, std::string_view& text)
{
    const size_t start = skipped();
    size_t end = m_text.find(stop, start);
    if (end == std::string_view::npos)
        end = m_text.size();
    if (end == start)
        return false;
    text = m_text.substr(start, end - start);
    m_position = end;
    return true;
}

} // namespace kaleon::svg
