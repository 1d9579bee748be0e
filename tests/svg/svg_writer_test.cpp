#include "svg/svg_writer.h"

#include "svg/element_reader.h"

#include <gtest/gtest.h>

using namespace kaleon;
using svg::SVGStringFromCGPaths;

namespace {

constexpr const char* kOpening
    = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\"";

std::shared_ptr<const gfx::Path> pathOf(std::initializer_list<gfx::Point> points, bool close = false)
{
    gfx::Path path;
    bool first = true;
    for (const auto& p : points) {
        if (first)
            path.moveTo(p);
        else
            path.lineTo(p);
        first = false;
    }
    if (close)
        path.closeSubpath();
    return std::make_shared<const gfx::Path>(std::move(path));
}

} // namespace

TEST(SVGWriter, WritesTheExactDocument)
{
    EXPECT_EQ(SVGStringFromCGPaths({}, nullptr), std::string(kOpening) + " width=\"0\" height=\"0\">\n\n</svg>\n");

    const auto triangle = pathOf({ { 0, 0 }, { 10, 2.5 } }, true);
    EXPECT_EQ(SVGStringFromCGPaths({ triangle }, nullptr),
        std::string(kOpening) + " width=\"10\" height=\"2\">\n  <path d=\"M0,0L10,2.5Z\"/>\n\n</svg>\n");

    const auto box = pathOf({ { 10, 10 }, { 30, 30 } });
    EXPECT_EQ(SVGStringFromCGPaths({ box }, nullptr),
        std::string(kOpening) + " width=\"30\" height=\"30\">\n  <path d=\"M10,10L30,30\"/>\n\n</svg>\n");

    gfx::Path curves;
    curves.moveTo({ 0, 0 });
    curves.quadCurveTo({ 1, 1 }, { 2, 0 });
    curves.curveTo({ 3, 1 }, { 4, 1 }, { 1.0 / 3, 0 });
    EXPECT_EQ(svg::SVGPathData(curves), "M0,0Q1,1,2,0C3,1,4,1,0.333,0");
}

TEST(SVGWriter, WritesColoursWithTheirOpacityAndEscapesText)
{
    const auto path = pathOf({ { 0, 0 }, { 1, 1 } });
    svg::PathAttributeMap attributes;
    attributes[path] = {
        { "fill", gfx::Color { 1, 0, 0, 0.125 } },
        { "stroke", gfx::Color { 0, 0, 1, 1 } },
        { "title", std::string("a \"quoted\" <b> & 'c'") },
        { "d", std::string("M9,9") },
        { "transform", gfx::AffineTransform::translation(5, 5) },
    };
    EXPECT_EQ(SVGStringFromCGPaths({ path }, &attributes),
        std::string(kOpening)
            + " width=\"1\" height=\"1\">\n  <path fill=\"#ff0000\" fill-opacity=\"0.12\" stroke=\"#0000ff\""
              " title=\"a &quot;quoted&quot; &lt;b&gt; &amp; &apos;c&apos;\" d=\"M0,0L1,1\"/>\n\n</svg>\n");

    attributes[path] = { { "fill", gfx::Color { 1, 0, 0, 0.25 } } };
    EXPECT_NE(
        SVGStringFromCGPaths({ path }, &attributes).find("fill=\"#ff0000\" fill-opacity=\"0.25\""), std::string::npos);
}

TEST(SVGWriter, AnyAttributeMapGivesWellFormedXml)
{
    const auto path = pathOf({ { 0, 0 }, { 1, 1 } });
    svg::PathAttributeMap attributes;
    attributes[path] = {
        { "fill", gfx::Color { 1, 0, 0, 0.5 } },
        { "fill-opacity", std::string("1") },
        { "bad name", std::string("x") },
        { "1st", std::string("x") },
        { "", std::string("x") },
        { "note",
            std::string("tab\tline\nbell\x07"
                        "end") },
    };
    const std::string written = SVGStringFromCGPaths({ path }, &attributes);
    EXPECT_NE(written.find("<path fill=\"#ff0000\" fill-opacity=\"0.5\" note=\"tab&#9;line&#10;bellend\" d="),
        std::string::npos)
        << written;

    std::shared_ptr<svg::PathAttributeMap> reread;
    const auto again = svg::CGPathsFromSVGString(written, &reread);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(std::get<std::string>(reread->at(again[0]).at("note")), "tab\tline\nbellend");
}

TEST(SVGWriter, WhatItWritesReadsBack)
{
    const std::string source = "<svg><g fill='#f00' fill-opacity='0.5'><path id='a&amp;b' d='M1,2L3,4Z'/></g>"
                               "<rect x='1' y='1' width='2' height='2' transform='translate(1,1)'/></svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    const auto paths = svg::CGPathsFromSVGString(source, &attributes);
    const std::string written = SVGStringFromCGPaths(paths, attributes.get());

    std::shared_ptr<svg::PathAttributeMap> reread;
    const auto again = svg::CGPathsFromSVGString(written, &reread);
    ASSERT_EQ(again.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(svg::SVGPathData(*again[i]), svg::SVGPathData(*paths[i]));
    EXPECT_EQ(std::get<std::string>(reread->at(again[0]).at("id")), "a&b");
    EXPECT_EQ(std::get<gfx::Color>(reread->at(again[0]).at("fill")), (gfx::Color { 1, 0, 0, 0.5 }));
}
