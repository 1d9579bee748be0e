// Inputs meant to hurt: each must end quickly, within bounded memory, without a crash.
#include "core/log.h"
#include "svg/document.h"
#include "svg/element_reader.h"
#include "svg/legacy_path_tokenizer.h"
#include "svg/path_data_parser.h"

#include <gtest/gtest.h>

using namespace kaleon;

TEST(HostileInput, TenMegabytesOfPathData)
{
    std::string data = "M0,0";
    while (data.size() < 10'000'000)
        data += "l1.5,-2.25c1,2 3,4 5,6";
    const gfx::Path path = svg::pathDefinitionParser(data).parse();
    EXPECT_GT(path.elementCount(), 600'000u);

    ScopedLogCapture quiet;
    const svg::TGSVGPath legacy(data.substr(0, 1'000'000));
    EXPECT_GT(legacy.bezierPath().elementCount(), 60'000u);
}

TEST(HostileInput, HundredThousandNestedGroups)
{
    std::string text = "<svg>";
    for (int i = 0; i < 100'000; ++i)
        text += "<g transform='translate(1,0)' fill='#f00'>";
    text += "<path d='M0,0L1,1'/>";
    for (int i = 0; i < 100'000; ++i)
        text += "</g>";
    text += "</svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    // The XML reader refuses nesting this deep; the read ends early with what it had.
    EXPECT_TRUE(svg::CGPathsFromSVGString(text, &attributes).empty());
}

TEST(HostileInput, InvalidUTF8)
{
    const std::string text = "<svg><path d='M1,1\xff\xfeL2,2'/><rect width='\xc3' height='1'/></svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    EXPECT_LE(svg::CGPathsFromSVGString(text, &attributes).size(), 2u);
    ScopedLogCapture capture;
    const gfx::Path path = svg::pathDefinitionParser("M1,1\xff\xfe").parse();
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].substr(0, 30), "*** SVG parse error at index: ");
}

TEST(HostileInput, EntityExpansion)
{
    std::string text = "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY a0 'M1,1L2,2'>";
    for (int i = 1; i < 30; ++i)
        text += "<!ENTITY a" + std::to_string(i) + " '&a" + std::to_string(i - 1) + ";&a" + std::to_string(i - 1)
            + ";'>";
    text += "]><svg><path d='&a29;'/><path d='&a29;'/></svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    // Two to the 29th copies would be gigabytes: the reader stops instead.
    EXPECT_TRUE(svg::CGPathsFromSVGString(text, &attributes).empty());

    const std::string external = "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
                                 "<svg><path id='&x;' d='M1,1'/></svg>";
    const auto paths = svg::CGPathsFromSVGString(external, &attributes);
    for (const auto& path : paths) {
        const auto& dictionary = attributes->at(path);
        if (const auto id = dictionary.find("id"); id != dictionary.end()) {
            EXPECT_EQ(std::get<std::string>(id->second).find("root:"), std::string::npos);
        }
    }
}

TEST(HostileInput, DeepStyleAndTransformText)
{
    std::string style = "fill:#f00";
    for (int i = 0; i < 100'000; ++i)
        style += ";a" + std::to_string(i) + ":b";
    std::string transform;
    for (int i = 0; i < 100'000; ++i)
        transform += "rotate(1) translate(1,2) ((((";
    const std::string text = "<svg><path style='" + style + "' transform='" + transform + "' d='M1,1'/></svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    const auto paths = svg::CGPathsFromSVGString(text, &attributes);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_GT(attributes->at(paths[0]).size(), 100'000u);
}

TEST(HostileInput, ElementsWithTensOfThousandsOfAttributes)
{
    const auto withAttributes = [](int count) {
        std::string text = "<svg><!-- a='1' b='2' --><path title='a>b=c' d='M0,0L1,1'";
        for (int i = 0; i < count; ++i)
            text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
        return text + "/></svg>";
    };
    ScopedLogCapture capture;
    EXPECT_EQ(svg::CGPathsFromSVGString(withAttributes(254), nullptr).size(), 1u) << "256 in all still read";
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(svg::CGPathsFromSVGString(withAttributes(40'000), nullptr).empty());
    EXPECT_TRUE(svg::passedOverElements(withAttributes(40'000)).empty());
    EXPECT_EQ(capture.lines(),
        std::vector<std::string> { "*** Error: An element has more than 256 attributes; the document is not read" });
}
