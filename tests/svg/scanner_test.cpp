#include "support/decimal_reference.h"
#include "svg/scanner.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

using namespace kaleon::svg;

TEST(Scanner, ReadsTheDecimalNumberGrammar)
{
    struct Case {
        const char* text;
        bool found;
        float value;
        size_t end;
    };
    constexpr float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        { "10", true, 10, 2 },
        { "  -2.5e-1,", true, -0.25f, 9 },
        { "+.5", true, 0.5f, 3 },
        { "5.", true, 5, 2 },
        { "1.5.5", true, 1.5f, 3 },
        { "10-5", true, 10, 2 },
        { "2e", true, 2, 1 },
        { "2e+x", true, 2, 1 },
        { "1E3", true, 1000, 3 },
        { "0x10", true, 0, 1 },
        { "1e39", true, inf, 4 },
        { "-1e39", true, -inf, 5 },
        { "1e-50", true, 0, 5 },
        { "0.1", true, 0.1f, 3 },
        { "inf", false, 0, 0 },
        { "nan", false, 0, 0 },
        { "-", false, 0, 0 },
        { ".", false, 0, 0 },
        { "+-1", false, 0, 0 },
        { "e5", false, 0, 0 },
        { "", false, 0, 0 },
    };
    const CharacterSet skip = CharacterSet(",").united(CharacterSet::whitespaceAndNewlines());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Scanner scanner(c.text, skip);
        float value = -99;
        EXPECT_EQ(scanner.scanFloat(value), c.found);
        if (c.found) {
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(scanner.position(), c.end);
        } else {
            EXPECT_EQ(value, -99);
            EXPECT_EQ(scanner.position(), 0u) << "a failed scan does not move";
        }
    }
}

TEST(Scanner, RunsAndStopsLeaveThePositionOnFailure)
{
    const CharacterSet skip(" ;:");
    Scanner scanner("  fill : red ;", skip);
    std::string_view text;
    ASSERT_TRUE(scanner.scanUpTo(':', text));
    EXPECT_EQ(text, "fill ");
    ASSERT_TRUE(scanner.scanUpTo(';', text));
    EXPECT_EQ(text, "red ");
    const size_t before = scanner.position();
    EXPECT_FALSE(scanner.scanUpTo(':', text));
    EXPECT_EQ(scanner.position(), before);

    Scanner letters("  MZx", CharacterSet(" "));
    ASSERT_TRUE(letters.scanCharacters(CharacterSet("MZ"), text));
    EXPECT_EQ(text, "MZ");
    EXPECT_FALSE(letters.scanCharacters(CharacterSet("MZ"), text));
    EXPECT_EQ(letters.position(), 4u);
}

namespace {

// Whether the scanner reads `text` as std::from_chars does: the same extent and the same float,
// bit for bit (the sign of zero included).
::testing::AssertionResult readsAsTheStandardLibrary(const std::string& text)
{
    const auto expected = kaleon::testing::referenceDecimal(text);
    float value = 0;
    const char* end = readDecimal(text.data(), text.data() + text.size(), value);
    if (!expected && !end)
        return ::testing::AssertionSuccess();
    if (!expected || !end)
        return ::testing::AssertionFailure() << '"' << text << "\" read " << (end ? "" : "not ") << "as a number";
    const size_t length = static_cast<size_t>(end - text.data());
    if (length != expected->length || std::bit_cast<uint32_t>(value) != std::bit_cast<uint32_t>(expected->value))
        return ::testing::AssertionFailure() << '"' << text << "\" read as " << value << " over " << length
                                             << " bytes, not " << expected->value << " over " << expected->length;
    return ::testing::AssertionSuccess();
}

std::string digits(std::mt19937_64& random, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += static_cast<char>('0' + random() % 10);
    return text;
}

// Mostly what artwork holds (a few digits either side of the point), then long runs, leading
// zeros, exponents reaching past the float's range, and a character after the number.
std::string randomNumber(std::mt19937_64& random)
{
    std::string text;
    const int sign = static_cast<int>(random() % 4);
    if (sign == 1)
        text += '-';
    else if (sign == 2)
        text += '+';
    const int form = static_cast<int>(random() % 10);
    const bool longForm = form >= 6;
    const int wholeCount = static_cast<int>(random() % (longForm ? 26 : 7));
    const int fractionCount = static_cast<int>(random() % (longForm ? 26 : 7));
    if (form == 9)
        text += std::string(random() % 30, '0');
    text += digits(random, wholeCount == 0 && fractionCount == 0 ? 1 : wholeCount);
    if (fractionCount > 0 || random() % 8 == 0)
        text += '.' + digits(random, fractionCount);
    if (form >= 5) {
        text += random() % 2 ? 'e' : 'E';
        const int exponent = static_cast<int>(random() % 101) - 50;
        if (exponent >= 0 && random() % 2)
            text += '+';
        text += std::to_string(exponent);
    }
    static constexpr char kFollowers[] = ",. e-+x0";
    if (random() % 3 == 0)
        text += kFollowers[random() % (sizeof kFollowers - 1)];
    return text;
}

} // namespace

TEST(Scanner, ReadsNumbersAsTheStandardLibraryDoes)
{
    const std::string manyZeros(40, '0');
    const std::string edges[] = {
        "0",
        "-0",
        "+0.0e-999999",
        "0e999999999",
        "16777216",
        "16777217",
        "-16777215.5",
        "1677721.7",
        "0.16777217",
        "1e10",
        "1e11",
        "1e-10",
        "1e-11",
        "9999999999",
        "4294967296",
        "18446744073709551615",
        "18446744073709551616",
        "99999999999999999999e-20",
        "3.4028235e38",
        "3.4028236e38",
        "340282356779733661637539395458142568448",
        "340282356779733661637539395458142568447",
        "1.17549435e-38",
        "1.4e-45",
        "99999999.99999999                ",
        "-16777216.5e0              ",
        "+12345678.1234567              ",
        "123456789.5                    ",
        "1.123456789                    ",
        "7.006492321624085e-46",
        "7.006492321624086e-46",
        "1e1000000000000",
        "1e-1000000000000",
        "1" + manyZeros + "e-1",
        "0." + manyZeros + "1e40",
        "1" + manyZeros + "e-80",
        ".0000000000000000000000000000000000000000000000000001e10",
        "12345678.12345678e-3",
    };
    for (const auto& text : edges)
        EXPECT_TRUE(readsAsTheStandardLibrary(text));

    std::mt19937_64 random(20261209);
    int failures = 0;
    for (int i = 0; i < 4'000'000 && failures < 10; ++i) {
        // Every other number with room behind it, as inside path data, the rest at the very end.
        std::string text = randomNumber(random);
        if (i % 2)
            text += std::string(24, ' ');
        if (!readsAsTheStandardLibrary(text)) {
            ADD_FAILURE() << readsAsTheStandardLibrary(text).message();
            ++failures;
        }
    }
}
