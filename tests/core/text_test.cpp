#include "core/text.h"

#include <gtest/gtest.h>

using namespace kaleon;

TEST(Text, UTF8CheckRefusesWhatIsNotWellFormed)
{
    struct Case {
        const char* name;
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        { "empty", "", true },
        { "ASCII with a NUL", std::string("a\0b", 3), true },
        { "two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", true },
        { "lone continuation byte", "\x80", false },
        { "overlong slash", "\xc0\xaf", false },
        { "overlong three bytes", "\xe0\x80\xaf", false },
        { "surrogate", "\xed\xa0\x80", false },
        { "above U+10FFFF", "\xf4\x90\x80\x80", false },
        { "cut short", "\xe2\x82", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isValidUTF8(c.text), c.valid);
    }
}

TEST(Text, HexBytesReadBackWhatWasWritten)
{
    const std::vector<std::uint8_t> bytes { 0x00, 0x0f, 0xa5, 0xff };
    EXPECT_EQ(hexString(bytes), "000fa5ff");
    EXPECT_EQ(parseHexBytes("000FA5ff"), bytes);
    EXPECT_EQ(parseHexBytes(""), std::vector<std::uint8_t> {});
    EXPECT_FALSE(parseHexBytes("abc"));
    EXPECT_FALSE(parseHexBytes("0g"));
    EXPECT_FALSE(parseHexBytes("+1"));
    EXPECT_EQ(trimmed(" \t\v x y\r\n"), "x y");
    EXPECT_TRUE(equalsIgnoringCase("PolyGon", "polygon"));
    EXPECT_FALSE(equalsIgnoringCase("path", "paths"));
}
