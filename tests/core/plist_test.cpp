#include "core/plist.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace kaleon;

namespace {

PlistValue sample()
{
    return PlistValue(PlistValue::Dictionary {
        { "name", PlistValue("Warm & <bright>") },
        { "speed", PlistValue(450.0) },
        { "direction", PlistValue(-3) },
        { "enabled", PlistValue(true) },
        { "colors", PlistValue(PlistValue::Array { PlistValue("FF8000"), PlistValue("00ff00") }) },
        { "blob", PlistValue(PlistValue::Data { 0, 1, 2, 255 }) },
    });
}

std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

} // namespace

TEST(Plist, XmlAndBinaryRoundTrip)
{
    const auto xml = xmlPlist(sample());
    EXPECT_NE(xml.find("<plist"), std::string::npos);
    const auto fromXml = parsePlist(bytesOf(xml));
    ASSERT_TRUE(fromXml) << fromXml.error().message;
    EXPECT_EQ(*fromXml, sample());

    const auto binary = binaryPlist(sample());
    ASSERT_GE(binary.size(), 8u);
    EXPECT_EQ(std::string(binary.begin(), binary.begin() + 6), "bplist");
    const auto fromBinary = parsePlist(binary);
    ASSERT_TRUE(fromBinary) << fromBinary.error().message;
    EXPECT_EQ(*fromBinary, sample());
}

TEST(Plist, FindLooksUpDictionaryEntries)
{
    const auto value = sample();
    ASSERT_NE(value.find("name"), nullptr);
    EXPECT_EQ(*value.find("name")->asString(), "Warm & <bright>");
    EXPECT_EQ(value.find("missing"), nullptr);
    EXPECT_EQ(PlistValue("text").find("name"), nullptr);
}

TEST(Plist, RefusesWhatIsNoPropertyList)
{
    const char* inputs[] = {
        "",
        "not a plist at all",
        "<?xml version=\"1.0\"?><plist><dict><key>a</key>",
        "bplist00\x01\x02garbage",
        "<html><body>hello</body></html>",
    };
    for (const char* input : inputs) {
        SCOPED_TRACE(input);
        const auto result = parsePlist(bytesOf(input));
        if (result)
            continue; // a lenient reader may salvage something; it must not crash
        EXPECT_EQ(result.error().domain, kPlistErrorDomain);
    }
    EXPECT_FALSE(parsePlist(bytesOf("")));
    EXPECT_FALSE(parsePlist(bytesOf("not a plist at all")));
}

// Deep enough that the plist library's own recursion would overflow the stack.
TEST(Plist, RefusesTreesNestedTooDeeply)
{
    constexpr int kDepth = 200000;
    std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < kDepth; ++i)
        deep += "<array>";
    for (int i = 0; i < kDepth; ++i)
        deep += "</array>";
    deep += "</plist>";
    EXPECT_FALSE(parsePlist(bytesOf(deep)));

    // Binary: object i is a one-element array holding object i + 1; 4-byte references.
    std::vector<std::uint8_t> binary { 'b', 'p', 'l', 'i', 's', 't', '0', '0' };
    std::vector<std::uint32_t> offsets;
    const auto append32 = [&](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            binary.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    for (std::uint32_t i = 0; i < kDepth; ++i) {
        offsets.push_back(static_cast<std::uint32_t>(binary.size()));
        binary.push_back(i + 1 < kDepth ? 0xA1 : 0xA0);
        if (i + 1 < kDepth)
            append32(i + 1);
    }
    const auto table = static_cast<std::uint32_t>(binary.size());
    for (const auto offset : offsets)
        append32(offset);
    binary.insert(binary.end(), { 0, 0, 0, 0, 0, 0, 4, 4 });
    for (const std::uint32_t value : { 0u, std::uint32_t(kDepth), 0u, 0u, 0u, table }) // count, top, table, 64-bit
        append32(value);
    EXPECT_FALSE(parsePlist(binary));

    // Comments and empty containers do not count as nesting.
    EXPECT_TRUE(parsePlist(bytesOf("<?xml version=\"1.0\"?><plist><!-- <array><array> --><array><array/>"
                                   "<dict/></array></plist>")));
}

TEST(Plist, TextThatXMLCannotHoldIsDroppedSoWhatIsWrittenReadsBack)
{
    // A NUL inside a string (which made the plist library abort), other control characters,
    // and bytes that are not UTF-8: read, written as XML and read back without loss of the rest.
    const std::string text = std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>path</key>")
        + std::string("<string>a\0b\x0b\tc</string></dict></plist>", 38);
    const auto value = parsePlist({ reinterpret_cast<const std::uint8_t*>(text.data()), text.size() });
    ASSERT_TRUE(value) << value.error().message;
    const std::string path = *value->find("path")->asString();
    EXPECT_TRUE(path.starts_with("a") && path.find_first_of(std::string("\0\x0b", 2)) == std::string::npos) << path;
    const std::string written = xmlPlist(
        PlistValue(PlistValue::Dictionary { { "k\x01", PlistValue("v\x02\xff") }, { "path", *value->find("path") } }));
    const auto back = parsePlist({ reinterpret_cast<const std::uint8_t*>(written.data()), written.size() });
    ASSERT_TRUE(back) << written;
    EXPECT_EQ(*back->find("k")->asString(), "v");
    EXPECT_EQ(*back->find("path")->asString(), path);
}

TEST(Plist, ReadsFilesAndReportsMissingOnes)
{
    test::TemporaryDirectory folder;
    test::writeFile(folder / "a.plist", xmlPlist(sample()));
    const auto read = readPlistFile(folder / "a.plist");
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, sample());
    const auto missing = readPlistFile(folder / "missing.plist");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("missing.plist"), std::string::npos);
}
