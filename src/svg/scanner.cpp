#include "svg/scanner.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kaleon::svg {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Every power of ten up to 10^10 is a float exactly (5^10 < 2^24), as is every whole number up
// to 2^24. One IEEE multiplication or division of two exact floats is correctly rounded, so a
// number whose digits fit those bounds needs nothing more.
constexpr std::array<float, 11> kExactPowersOfTen
    = { 1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f };
constexpr uint64_t kLargestExactMantissa = uint64_t { 1 } << 24;
constexpr int kMostMantissaDigits = 19; // fits 64 bits
constexpr int kExponentCap = 1'000'000; // far past any float, short of overflowing an int

// The power of ten of the first nonzero digit of a number with `wholeDigits` digits before its
// point (if any) and `exponent`; only asked for numbers too large or too small for a float,
// which always have a nonzero digit.
int leadingPowerOfTen(const char* digits, int wholeDigits, int exponent)
{
    int power = wholeDigits - 1;
    for (const char* p = digits; *p == '0' || *p == '.'; ++p) {
        if (*p == '0')
            --power;
    }
    return power + exponent;
}

// The run of digits at `p` (at most eight of them, looked at all at once) and its value.
struct DigitRun {
    int count;
    uint64_t value;
};

[[gnu::always_inline]] inline DigitRun digitRun(const char* p, const char* end)
{
    uint64_t bytes = 0; // bytes past the end stay zero, which is not a digit
    if (end - p >= 8)
        std::memcpy(&bytes, p, 8);
    else
        std::memcpy(&bytes, p, static_cast<size_t>(end - p));
    if constexpr (std::endian::native == std::endian::big)
        bytes = __builtin_bswap64(bytes);
    // The first character is the lowest byte. A digit's byte becomes 0-9 and stays below 16
    // after adding 6; any other byte has a bit of its high half set in one of the two. A carry
    // between bytes starts only at a non-digit and only reaches later characters.
    const uint64_t values = bytes ^ 0x3030303030303030;
    const uint64_t nonDigits = (values | (values + 0x0606060606060606)) & 0xf0f0f0f0f0f0f0f0;
    const int count = nonDigits ? std::countr_zero(nonDigits) / 8 : 8;
    if (count == 0)
        return { 0, 0 };
    // Leading zero bytes for the missing digits, then pairs, fours and eights combined.
    uint64_t digits = values << (8 * (8 - count));
    digits = (digits * 10 + (digits >> 8)) & 0x00ff00ff00ff00ff;
    digits = (digits * 100 + (digits >> 16)) & 0x0000ffff0000ffff;
    digits = (digits * 10000 + (digits >> 32)) & 0x00000000ffffffff;
    return { count, digits };
}

constexpr std::array<uint64_t, 9> kPowersOfTen = { 1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000 };

// The number at `begin` when there are at least kShortNumberRoom bytes to look at and it has
// the form path data is mostly made of: optional sign, at most eight digits, optionally a
// point and at most eight more, no exponent, and a value the exact path takes. Simple loops
// with no end checks: the bounds on the digits keep every read inside the room. Anything else
// returns nullptr, for the general reader to look at again.
constexpr ptrdiff_t kShortNumberRoom = 20;

[[gnu::always_inline]] inline const char* readShortDecimal(const char* begin, float& value)
{
    const char* p = begin;
    const char first = *p;
    const bool negative = first == '-';
    p += static_cast<int>(first == '-' || first == '+');
    uint64_t mantissa = 0;
    int wholeDigits = 0;
    for (unsigned digit = 0; wholeDigits <= 8 && (digit = static_cast<unsigned char>(*p) - 48u) < 10;
         ++p, ++wholeDigits)
        mantissa = mantissa * 10 + digit;
    int fractionDigits = 0;
    if (wholeDigits <= 8 && *p == '.') {
        ++p;
        for (unsigned digit = 0; fractionDigits <= 8 && (digit = static_cast<unsigned char>(*p) - 48u) < 10;
             ++p, ++fractionDigits)
            mantissa = mantissa * 10 + digit;
    }
    if (wholeDigits > 8 || fractionDigits > 8 || wholeDigits + fractionDigits == 0 || (*p | 0x20) == 'e'
        || mantissa > kLargestExactMantissa)
        return nullptr;
    const float magnitude
        = static_cast<float>(static_cast<int32_t>(mantissa)) / kExactPowersOfTen[static_cast<size_t>(fractionDigits)];
    value = std::bit_cast<float>(std::bit_cast<uint32_t>(magnitude) | (static_cast<uint32_t>(negative) << 31));
    return p;
}

// Goes on with a run longer than eight digits, one digit at a time.
void moreDigits(const char*& p, const char* end, uint64_t& mantissa, int64_t& count)
{
    for (; p < end && isDigit(*p); ++p, ++count)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
}

} // namespace

const char* readDecimal(const char* begin, const char* end, float& value)
{
    if (end - begin >= kShortNumberRoom) {
        if (const char* numberEnd = readShortDecimal(begin, value))
            return numberEnd;
    }
    const char* p = begin;
    // Signs come in no order a branch predictor could learn: no branches on them.
    const char first = p < end ? *p : '\0';
    const bool negative = first == '-';
    p += static_cast<int>(first == '-' || first == '+');
    const char* const unsignedStart = p;

    // All digits as one whole number (exact while there are at most 19 of them) times a power
    // of ten.
    const DigitRun whole = digitRun(p, end);
    uint64_t mantissa = whole.value;
    int64_t wholeDigits = whole.count;
    p += whole.count;
    if (whole.count == 8)
        moreDigits(p, end, mantissa, wholeDigits);
    int64_t fractionDigits = 0;
    if (p < end && *p == '.') {
        ++p;
        const DigitRun fraction = digitRun(p, end);
        mantissa = mantissa * kPowersOfTen[static_cast<size_t>(fraction.count)] + fraction.value;
        fractionDigits = fraction.count;
        p += fraction.count;
        if (fraction.count == 8)
            moreDigits(p, end, mantissa, fractionDigits);
    }
    if (wholeDigits + fractionDigits == 0)
        return nullptr;
    int exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool negativeExponent = q < end && *q == '-';
        if (q < end && (*q == '+' || *q == '-'))
            ++q;
        if (q < end && isDigit(*q)) {
            for (; q < end && isDigit(*q); ++q)
                exponent = std::min(exponent * 10 + (*q - '0'), kExponentCap);
            exponent = negativeExponent ? -exponent : exponent;
            p = q;
        }
    }

    float magnitude = 0;
    const int scale = exponent - static_cast<int>(std::min<int64_t>(fractionDigits, kExponentCap));
    const int lastPower = static_cast<int>(kExactPowersOfTen.size()) - 1;
    if (wholeDigits + fractionDigits <= kMostMantissaDigits && mantissa <= kLargestExactMantissa && scale >= -lastPower
        && scale <= lastPower) {
        magnitude = static_cast<float>(static_cast<int32_t>(mantissa));
        if (scale >= 0)
            magnitude *= kExactPowersOfTen[static_cast<size_t>(scale)];
        else
            magnitude /= kExactPowersOfTen[static_cast<size_t>(-scale)];
    } else {
        const auto result = std::from_chars(unsignedStart, p, magnitude);
        if (result.ec == std::errc::result_out_of_range)
            magnitude = leadingPowerOfTen(
                            unsignedStart, static_cast<int>(std::min<int64_t>(wholeDigits, kExponentCap)), exponent)
                    >= 0
                ? std::numeric_limits<float>::infinity()
                : 0.0f;
    }
    value = std::bit_cast<float>(std::bit_cast<uint32_t>(magnitude) | (static_cast<uint32_t>(negative) << 31));
    return p;
}

size_t decimalNumberLength(std::string_view text)
{
    float value = 0;
    const char* end = readDecimal(text.data(), text.data() + text.size(), value);
    return end ? static_cast<size_t>(end - text.data()) : 0;
}

float decimalToFloat(std::string_view text)
{
    float value = 0;
    return readDecimal(text.data(), text.data() + text.size(), value) ? value : 0.0f;
}

size_t Scanner::scanFloats(std::vector<float>& values)
{
    const char* const text = m_text.data();
    const char* const end = text + m_text.size();
    const char* p = text + m_position;
    size_t count = 0;
    for (;;) {
        const char* start = p;
        while (start < end && m_skip.contains(*start))
            ++start;
        // Path data's command letters end most runs: no number starts with a letter.
        if (start < end && !isDigit(*start) && *start != '-' && *start != '.' && *start != '+')
            break;
        float value = 0;
        const char* numberEnd = end - start >= kShortNumberRoom ? readShortDecimal(start, value) : nullptr;
        if (!numberEnd)
            numberEnd = readDecimal(start, end, value);
        if (!numberEnd)
            break;
        values.push_back(value);
        ++count;
        p = numberEnd;
    }
    m_position = static_cast<size_t>(p - text);
    return count;
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
