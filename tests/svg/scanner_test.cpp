#include "svg/scanner.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

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
