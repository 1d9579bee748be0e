#include "svg/element_attributes.h"

#include "core/log.h"
#include "svg/element_reader.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kaleon;
using gfx::Color;
using svg::AttributeDictionary;

namespace {

// The attributes of the last shape of `body`.
AttributeDictionary attributesOf(const std::string& body)
{
    std::shared_ptr<svg::PathAttributeMap> attributes;
    const auto paths = svg::CGPathsFromSVGString("<svg>" + body + "</svg>", &attributes);
    if (paths.empty() || !attributes->count(paths.back()))
        return {};
    return attributes->at(paths.back());
}

Color colorOf(const AttributeDictionary& dictionary, const char* key)
{
    const auto it = dictionary.find(key);
    if (it == dictionary.end() || !std::holds_alternative<Color>(it->second))
        return Color::clear();
    return std::get<Color>(it->second);
}

gfx::AffineTransform transformOf(const AttributeDictionary& dictionary)
{
    const auto it = dictionary.find("transform");
    return it == dictionary.end() ? gfx::AffineTransform() : svg::svg_CGAffineTransformValue(it->second);
}

} // namespace

TEST(ElementAttributes, GroupsPassTheirAttributesOn)
{
    const auto inherited = attributesOf("<g fill='#f00' id='outer'><g id='inner'><path d='M0,0'/></g></g>");
    EXPECT_EQ(colorOf(inherited, "fill"), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(std::get<std::string>(inherited.at("id")), "inner");
    const auto overridden = attributesOf("<g fill='#f00'><path fill='#00f' d='M0,0'/></g>");
    EXPECT_EQ(colorOf(overridden, "fill"), Color::fromRGB8(0, 0, 255));
}

TEST(ElementAttributes, OpacityFoldsIntoColoursBelowOne)
{
    const auto half = attributesOf("<path fill='#f00' fill-opacity='0.5' d='M0,0'/>");
    EXPECT_EQ(colorOf(half, "fill"), (Color { 1, 0, 0, 0.5 }));
    EXPECT_EQ(half.count("fill-opacity"), 0u);

    const auto full = attributesOf("<path fill='#f00' fill-opacity='1' d='M0,0'/>");
    EXPECT_EQ(colorOf(full, "fill"), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(std::get<std::string>(full.at("fill-opacity")), "1");

    EXPECT_EQ(
        colorOf(attributesOf("<path fill='none' fill-opacity='0.5' d='M0,0'/>"), "fill"), (Color { 1, 1, 1, 0.5 }));
    EXPECT_EQ(colorOf(attributesOf("<path stroke='none' d='M0,0'/>"), "stroke"), (Color { 1, 1, 1, 0 }));
    const auto alone = attributesOf("<path stroke-opacity='0.5' d='M0,0'/>");
    EXPECT_EQ(std::get<std::string>(alone.at("stroke-opacity")), "0.5");
}

TEST(ElementAttributes, StyleUnfolds)
{
    const auto styled = attributesOf("<path style='fill:#00f;stroke:none' d='M0,0'/>");
    EXPECT_EQ(colorOf(styled, "fill"), Color::fromRGB8(0, 0, 255));
    EXPECT_EQ(colorOf(styled, "stroke"), (Color { 1, 1, 1, 0 }));

    // Trailing spaces stay: "#f00 " is five characters and reads as 0x000f00.
    EXPECT_EQ(colorOf(attributesOf("<path style='fill:#f00 ;' d='M0,0'/>"), "fill"), Color::fromRGB8(0, 0x0f, 0));
    EXPECT_EQ(attributesOf("<path style='fill : red' d='M0,0'/>").count("fill "), 1u);

    // Whichever comes later in the element wins.
    EXPECT_EQ(
        colorOf(attributesOf("<path fill='#0f0' style='fill:#f00' d='M0,0'/>"), "fill"), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(
        colorOf(attributesOf("<path style='fill:#f00' fill='#0f0' d='M0,0'/>"), "fill"), Color::fromRGB8(0, 255, 0));

    ScopedLogCapture capture;
    const auto broken = attributesOf("<path id='x' style='fill:#00f;stroke' d='M0,0'/>");
    EXPECT_EQ(broken.count("fill"), 0u);
    EXPECT_EQ(broken.count("stroke"), 0u);
    EXPECT_EQ(broken.count("id"), 1u);
    EXPECT_EQ(capture.lines(), std::vector<std::string> { "Parse error in style: 'fill:#00f;stroke'" });
}

TEST(ElementAttributes, TransformsCompose)
{
    EXPECT_EQ(transformOf(attributesOf("<path transform='translate(10,20)' d='M0,0'/>")),
        gfx::AffineTransform(1, 0, 0, 1, 10, 20));

    const auto rotated = transformOf(attributesOf("<path transform='rotate(90)' d='M0,0'/>"));
    const float theta = static_cast<float>(90.0 * M_PI / 180.0);
    EXPECT_EQ(rotated, gfx::AffineTransform(std::cos(theta), std::sin(theta), -std::sin(theta), std::cos(theta), 0, 0));
    EXPECT_NE(rotated.a(), 0.0);

    const auto nested
        = transformOf(attributesOf("<g transform='translate(10,0)'><path transform='scale(2)' d='M0,0'/></g>"));
    EXPECT_EQ(nested.map({ 1, 0 }), (gfx::Point { 22, 0 }));

    EXPECT_EQ(attributesOf("<g transform='translate(10,0)'><path transform='translate(-10,0)' d='M0,0'/></g>")
                  .count("transform"),
        0u);
}

TEST(ElementAttributes, TransformFunctionsWithMissingNumbers)
{
    struct Case {
        const char* text;
        gfx::AffineTransform expected;
    };
    const Case cases[] = {
        { "translate(5)", { 1, 0, 0, 1, 5, 0 } },
        { "scale(2)", { 2, 0, 0, 2, 0, 0 } },
        { "matrix(1,2)", {} },
        { "rotate()", {} },
        { "skewX()", {} },
        { "matrix(1 0 0 1 3 4)", { 1, 0, 0, 1, 3, 4 } },
        { "translate (5)", {} },
        { "Scale(2)", {} },
        { "translate(1,2) scale(3)", { 3, 0, 0, 3, 3, 6 } },
        { "translate(1,2,7,8) unknown(1) ", { 1, 0, 0, 1, 1, 2 } },
        { "", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(svg::composeTransform(c.text, {}), c.expected);
    }
    const float theta = static_cast<float>(45.0 * M_PI / 180.0);
    EXPECT_EQ(svg::composeTransform("skewX(45)", {}), gfx::AffineTransform(1, 0, std::tan(theta), 1, 0, 0));
    EXPECT_EQ(svg::composeTransform("skewY(45)", {}), gfx::AffineTransform(1, std::tan(theta), 0, 1, 0, 0));
}

TEST(ElementAttributes, AStyleTransformCountsOnlyInTheAttributesSyntax)
{
    const auto boundsOf = [](const std::string& body) {
        std::shared_ptr<svg::PathAttributeMap> attributes;
        return gfx::boundingBox(svg::CGPathsFromSVGString("<svg>" + body + "</svg>", &attributes));
    };
    // CSS units are not SVG 1.1: the entry is passed over, and the shape stays as drawn.
    EXPECT_EQ(boundsOf("<path style='transform:rotate(45deg)' d='M10,10L20,20'/>"), gfx::Rect(10, 10, 10, 10));
    EXPECT_EQ(boundsOf("<g transform='translate(5,0)' style='transform:rotate(45deg)'><path d='M10,10L20,20'/></g>"),
        gfx::Rect(15, 10, 10, 10));
    EXPECT_EQ(transformOf(attributesOf("<path style='transform:bogus' transform='translate(1,0)' d='M0,0'/>")),
        gfx::AffineTransform(1, 0, 0, 1, 1, 0));
    EXPECT_EQ(transformOf(attributesOf("<path style='transform:rotate(1,2)' d='M0,0'/>")), gfx::AffineTransform());
    // One in the attribute's syntax counts as the attribute does.
    EXPECT_EQ(transformOf(attributesOf("<path style='transform: translate(1 , 2) scale(2)' d='M0,0'/>")),
        gfx::AffineTransform(1, 0, 0, 1, 1, 2).then(gfx::AffineTransform(2, 0, 0, 2, 0, 0)));
}

TEST(ElementAttributes, FloatValueReadsALeadingNumber)
{
    EXPECT_EQ(svg::floatValue(" 10px"), 10.0f);
    EXPECT_EQ(svg::floatValue("abc"), 0.0f);
    EXPECT_EQ(svg::floatValue("1e39"), 0.0f);
    EXPECT_EQ(svg::floatValue("-2.5e-1x"), -0.25f);
}
