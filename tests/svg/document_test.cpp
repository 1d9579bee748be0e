#include "svg/document.h"

#include "core/log.h"
#include "support/test_support.h"
#include "svg/svg_writer.h"

#include <gtest/gtest.h>
#include <limits>

using namespace kaleon;
using svg::TGSVG;

namespace {

constexpr double kMax = std::numeric_limits<double>::max();

std::string rect(double x, double y, double width, double height)
{
    return "<rect x='" + std::to_string(x) + "' y='" + std::to_string(y) + "' width='" + std::to_string(width)
        + "' height='" + std::to_string(height) + "'/>";
}

std::shared_ptr<TGSVG> documentOf(const std::string& body)
{
    return TGSVG::makeWithSVGString("<svg>" + body + "</svg>");
}

} // namespace

TEST(TGSVG, MeasuresTheDrawing)
{
    struct Case {
        const char* name;
        std::string body;
        gfx::Size size;
        gfx::Rect bounds;
    };
    const Case cases[] = {
        { "nothing", "", { -kMax, -kMax }, { { kMax, kMax }, { -kMax, -kMax } } },
        { "one box", rect(10, 20, 30, 40), { 30, 40 }, { 10, 20, 30, 40 } },
        { "negative box", rect(-50, -50, 20, 20), { 50, 50 }, { -50, -50, 50, 50 } },
        { "two boxes", rect(0, 0, 10, 10) + rect(20, 20, 10, 10), { 30, 30 }, { 0, 0, 30, 30 } },
        { "control points count", "<path d='M0,0C0,-10 10,-10 10,0'/>", { 10, 10 }, { 0, -10, 10, 10 } },
        { "a lone move to the origin counts", "<path d=''/>" + rect(10, 10, 5, 5), { 15, 15 }, { 0, 0, 15, 15 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto document = documentOf(c.body);
        EXPECT_EQ(document->totalSize(), c.size);
        EXPECT_EQ(document->bounds(), c.bounds);
    }
}

TEST(TGSVG, ApplyTransformReplacesThePaths)
{
    const auto document = documentOf(rect(0, 0, 10, 5));
    const auto before = document->cgPaths();
    document->applyTransform(gfx::AffineTransform::scale(2, 2));
    EXPECT_EQ(document->totalSize(), (gfx::Size { 20, 10 }));
    EXPECT_NE(document->cgPaths().front(), before.front());
    EXPECT_EQ(before.front()->boundingBox(), gfx::Rect(0, 0, 10, 5));

    // Scaling by the fit factor of a drawing without size gives infinities: they are dropped,
    // never drawn or measured.
    document->applyTransform(gfx::AffineTransform::scale(std::numeric_limits<double>::infinity(), 1));
    EXPECT_TRUE(document->cgPaths().front()->isEmpty());
}

TEST(TGSVG, CopiesShareAttributesButNotTheirPathList)
{
    test::TemporaryDirectory folder;
    test::writeFile(folder / "shape.svg", "<svg><path fill='#f00' d='M1,1L5,5'/></svg>");
    const auto original = TGSVG::makeWithSVGFileAtPath(folder / "shape.svg", svg::ParseStyle::Yes);
    ASSERT_TRUE(original->attributes());
    EXPECT_EQ(original->filename(), "shape.svg");
    EXPECT_EQ(original->filePath(), (folder / "shape.svg").string());
    EXPECT_EQ(original->parseStyle(), svg::ParseStyle::Yes);

    const auto copy = original->copy();
    EXPECT_EQ(copy->attributes(), original->attributes());
    EXPECT_EQ(copy->filename(), original->filename());
    EXPECT_EQ(copy->parseStyle(), svg::ParseStyle::No);
    copy->applyTransform(gfx::AffineTransform::translation(100, 0));
    EXPECT_EQ(svg::SVGPathData(*original->cgPaths().front()), "M1,1L5,5");
    EXPECT_EQ(svg::SVGPathData(*copy->cgPaths().front()), "M101,1L105,5");
}

TEST(TGSVG, SourcesAndWhatTheyKeep)
{
    const auto fromText = TGSVG::makeWithSVGString("<svg><path d='M1,1'/></svg>", svg::ParseStyle::Yes);
    EXPECT_EQ(fromText->attributes(), nullptr);
    EXPECT_EQ(fromText->filename(), std::nullopt);
    EXPECT_EQ(fromText->cgPaths().size(), 1u);

    test::TemporaryDirectory folder;
    test::writeFile(folder / "bad.svg", "<svg><path d='M1,1'/>\xff\xfe</svg>");
    const auto notUTF8 = TGSVG::makeWithSVGFileAtPath(folder / "bad.svg");
    EXPECT_TRUE(notUTF8->cgPaths().empty());
    ASSERT_TRUE(notUTF8->attributes());
    EXPECT_TRUE(notUTF8->attributes()->empty());
    EXPECT_TRUE(TGSVG::makeWithSVGFileAtPath(folder / "missing.svg")->cgPaths().empty());

    test::writeFile(folder / "named.svg", "<svg><path d='M1,1'/></svg>");
    test::ScopedEnvironment resources("KALEON_RESOURCES", folder.path().string());
    ASSERT_TRUE(TGSVG::makeWithSVGFileNamed("named"));
    EXPECT_EQ(TGSVG::makeWithSVGFileNamed("named")->cgPaths().size(), 1u);
    ScopedLogCapture capture;
    EXPECT_EQ(TGSVG::makeWithSVGFileNamed("absent"), nullptr);
    EXPECT_EQ(capture.lines(), std::vector<std::string> { "TGSVG: Error reading file with name: absent" });
}
