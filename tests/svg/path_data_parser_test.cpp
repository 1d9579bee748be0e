#include "svg/path_data_parser.h"

#include "core/log.h"
#include "svg/svg_writer.h"

#include <gtest/gtest.h>

using namespace kaleon;
using svg::pathDefinitionParser;

namespace {

struct Case {
    const char* text;
    const char* path;
    std::vector<std::string> logs;
};

void check(const Case& c)
{
    SCOPED_TRACE(c.text);
    ScopedLogCapture capture;
    const gfx::Path path = pathDefinitionParser(c.text).parse();
    EXPECT_EQ(svg::SVGPathData(path), c.path);
    EXPECT_EQ(capture.lines(), c.logs);
}

} // namespace

TEST(PathDefinitionParser, DrawsSupportedCommands)
{
    const Case cases[] = {
        { "", "M0,0", {} },
        { " \n\t ", "M0,0", {} },
        { "m10,10 20,0", "M10,10L30,10", {} },
        { "M0 0 10 10 20 0", "M0,0L10,10L20,0", {} },
        { "M0 0H10V10h-5v-5", "M0,0L10,0L10,10L5,10L5,5", {} },
        { "M10,10l10,0z l5,5", "M10,10L20,10ZL15,15", {} },
        { "zM5,5", "M0,0ZM5,5", {} },
        { "M0,0C0,10 10,10 10,0S20,-10 20,0", "M0,0C0,10,10,10,10,0C10,-10,20,-10,20,0", {} },
        { "M0,0c0,10 10,10 10,0s10,-10 10,0", "M0,0C0,10,10,10,10,0C10,-10,20,-10,20,0", {} },
        { "M0,0L10,0S20,10 20,0", "M0,0L10,0C10,0,20,10,20,0", {} },
        { "S5,5 10,0", "M0,0C0,0,5,5,10,0", {} },
        { "M0,0S5,5 10,0 15,5 20,0", "M0,0C0,0,5,5,10,0C15,-5,15,5,20,0", {} },
        { "M1e1,-2.5E-1", "M10,-0.25", {} },
        { "M10-5", "M10,-5", {} },
        { "M1.5.5", "M1.5,0.5", {} },
        { "M.5 5.", "M0.5,5", {} },
        { "M+5-.5e1", "M5,-5", {} },
        { "  M1,2  ", "M1,2", {} },
    };
    for (const auto& c : cases)
        check(c);
}

TEST(PathDefinitionParser, LogsAndSkipsWhatItCannotDraw)
{
    const Case cases[] = {
        { "M10,10L20,20,30", "M10,10L20,20", { "*** Error: Invalid parameter count in L style token" } },
        { "M10,10 20L5,5", "M0,0L5,5", { "*** Error: Invalid parameter count in M style token" } },
        { "M0,0C1,2,3L4,4", "M0,0L4,4", { "*** Error: Invalid number of parameters for C command" } },
        { "M0,0S1,2,3L4,4", "M0,0L4,4", { "*** Error: Invalid number of parameters for S command" } },
        { "M0,0A5,5 0 0 1 10,10L5,5", "M0,0L5,5", { "*** Error: Elliptical arcs not supported" } },
        { "M0,0Q1,1 2,2L3,3", "M0,0L3,3", { "*** Error: Cannot process command : 'Q'" } },
        { "M0,0q1,1 2,2", "M0,0", { "*** Error: Cannot process command : 'q'" } },
        { "10,10", "M0,0", { "*** SVG parse error at index: 0: '1'" } },
        { "M0,0T10,10", "M0,0", { "*** SVG parse error at index: 4: 'T'" } },
        { "M10,10,", "M10,10", { "*** SVG parse error at index: 6: ','" } },
        { "M10,10 -", "M10,10", { "*** SVG parse error at index: 6: ' '" } },
        { "M1,1 é", "M1,1", { "*** SVG parse error at index: 4: ' '" } },
        { "é", "M0,0", { "*** SVG parse error at index: 0: 'é'" } },
    };
    for (const auto& c : cases)
        check(c);
}

TEST(PathDefinitionParser, NumbersAreThirtyTwoBitFloats)
{
    const gfx::Path path = pathDefinitionParser("M0.1,0.2l0.1,0").parse();
    std::vector<gfx::Point> points;
    path.forEachElement([&](const gfx::PathElement& element) { points.push_back(element.points[0]); });
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].x, static_cast<double>(0.1f));
    EXPECT_NE(points[0].x, 0.1);
    EXPECT_EQ(points[1].x, static_cast<double>(0.1f) + static_cast<double>(0.1f));
}

// Numbers beyond a float's range read as infinite; a point that is not finite is left out,
// so the path, its box and everything drawn from it stay finite.
TEST(PathDefinitionParser, OverflowingNumbersNeverPoisonThePath)
{
    ScopedLogCapture capture;
    const gfx::Path path = pathDefinitionParser("M1e39,0L5,5L-1e40,1L1e-50,2").parse();
    EXPECT_EQ(svg::SVGPathData(path), "M0,0L5,5L0,2");
    const auto box = path.boundingBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(*box, gfx::Rect(0, 0, 5, 5));
    EXPECT_TRUE(capture.lines().empty());
}
