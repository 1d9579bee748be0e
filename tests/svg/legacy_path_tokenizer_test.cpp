#include "svg/legacy_path_tokenizer.h"

#include "core/log.h"
#include "svg/svg_writer.h"

#include <gtest/gtest.h>

using namespace kaleon;
using svg::TGSVGPath;

TEST(TGSVGPath, DrawsTheWorkedExamples)
{
    struct Case {
        const char* text;
        const char* path;
        std::vector<std::string> logs;
    };
    const Case cases[] = {
        { "M10,10 L20,10 L20,20 Z", "M10,10L20,10L20,20Z", {} },
        { "m10,10 l10,0 l0,10 z", "M10,10L20,10L20,20Z", {} },
        { "M0 0 10 10 20 0", "M0,0L10,10L20,0", {} },
        { "M0 0H10V10h-5v-5", "M0,0L10,0L10,10L5,10L5,5", {} },
        { "M0,0-5-5", "M0,0L-5,-5", {} },
        { "M0,0-5", "M0,0", { "*** TGSVGPath Error: Invalid parameter count in M style token" } },
        { "M0 0 C0 10 10 10 10 0 S20 -10 20 0", "M0,0C0,10,10,10,10,0C10,-10,20,-10,20,0", {} },
        { "M0 0 S5 5 10 0", "M0,0C0,0,5,5,10,0", {} },
        { "M0 0 L5 5 S5 5 10 0", "M0,0L5,5C5,5,5,5,10,0", {} },
        { "10 10", "",
            { "*** TGSVGPath Error: Path string parse error: found float where expecting command at token 0 in path "
              "10 10." } },
        { "M0 0 Q5 5 10 0", "M0,0", { "*** TGSVGPath Error: Cannot process command : 'Q'" } },
        { "M0 0 C1 2 3", "M0,0", { "*** TGSVGPath Error: Insufficient parameters for C command" } },
        { "M0 0 S1 2", "M0,0", { "*** TGSVGPath Error: Insufficient parameters for S command" } },
        { "M0 0 L5", "M0,0", { "*** TGSVGPath Error: Invalid parameter count in L style token" } },
        { "M0 0 L x", "",
            { "*** TGSVGPath Error: Path string parse error: expected float or command at token 4 (but found x) in "
              "path M0 0 L x." } },
        { "", "", { "*** TGSVG: Path string is empty of tokens" } },
        { "   ", "", { "*** TGSVG: Path string is empty of tokens" } },
        { "M1.5.5 2e-3", "M1.5,2", { "*** TGSVGPath Error: Invalid parameter count in M style token" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ScopedLogCapture capture;
        const auto path = TGSVGPath::SVGPathFromAttribute(c.text);
        EXPECT_EQ(svg::SVGPathData(path->bezierPath()), c.path);
        EXPECT_EQ(capture.lines(), c.logs);
    }
}

TEST(TGSVGPath, TokensAndScale)
{
    const TGSVGPath path("M-250.7 3 L1,2");
    EXPECT_EQ(path.pathScale(), 250);
    ASSERT_TRUE(path.tokens());
    ASSERT_EQ(path.tokens()->size(), 2u);
    EXPECT_EQ(path.tokens()->at(0).command(), 'M');
    EXPECT_EQ(path.tokens()->at(0).valence(), 2);
    EXPECT_EQ(path.tokens()->at(0).description(), "-250.6999969482422|3");
    EXPECT_EQ(path.tokens()->at(1).parameter(1), 2.0);

    // "2e-3" is cut at the minus sign into "2e" and "-3".
    const TGSVGPath exponent("M2e-3");
    EXPECT_EQ(exponent.tokens()->at(0).valence(), 2);
    EXPECT_EQ(exponent.tokens()->at(0).parameter(0), 2.0);
    EXPECT_EQ(exponent.tokens()->at(0).parameter(1), -3.0);
}
