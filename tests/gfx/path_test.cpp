#include "gfx/path.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace kaleon::gfx;

namespace {

// The path's elements as text: "M0,0 L1,2 Q... C... Z".
std::string elements(const Path& path)
{
    std::string text;
    path.forEachElement([&](const PathElement& element) {
        static constexpr const char* kLetters[] = { "M", "L", "Q", "C", "Z" };
        if (!text.empty())
            text += ' ';
        text += kLetters[static_cast<int>(element.type)];
        for (size_t i = 0; i < element.points.size(); ++i) {
            text += i == 0 ? "" : " ";
            text += std::to_string(static_cast<int>(element.points[i].x)) + ","
                + std::to_string(static_cast<int>(element.points[i].y));
        }
    });
    return text;
}

} // namespace

TEST(Path, FollowsItsBuildingRules)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    Path path;
    path.lineTo({ 5, 5 }); // no current point: from the origin
    path.moveTo({ 1, 1 });
    path.moveTo({ 2, 2 }); // replaces the move before it
    path.lineTo({ inf, 0 }); // not finite: left out
    path.curveTo({ 3, 0 }, { 4, 9 }, { 5, 2 });
    path.closeSubpath();
    path.closeSubpath(); // a second close adds nothing
    EXPECT_EQ(elements(path), "M0,0 L5,5 M2,2 C3,0 4,9 5,2 Z");
    EXPECT_EQ(path.currentPoint(), (Point { 2, 2 })) << "a close goes back to the subpath's start";
    // The box holds the control points too.
    EXPECT_EQ(path.boundingBox(), (Rect { 0, 0, 5, 9 }));

    path.moveTo({ -3, 20 }); // a move at the very end stays and counts
    EXPECT_EQ(path.boundingBox(), (Rect { -3, 0, 8, 20 }));
    EXPECT_FALSE(Path().boundingBox());
    EXPECT_FALSE(Path().currentPoint());
}

TEST(Path, ListBoxesAndTransformedCopies)
{
    Path a;
    a.moveTo({ 0, 0 });
    a.lineTo({ 10, 5 });
    Path b;
    b.addEllipseInRect({ 20, 20, 10, 6 });
    EXPECT_EQ(b.currentPoint(), (Point { 30, 23 })) << "the ellipse starts and ends at (maxX, midY)";
    const PathList list { std::make_shared<const Path>(a), std::make_shared<const Path>(Path()),
        std::make_shared<const Path>(b) };
    EXPECT_EQ(boundingBox(list), (Rect { 0, 0, 30, 26 }));
    EXPECT_FALSE(boundingBox(PathList { std::make_shared<const Path>(Path()) }));

    const Path moved = a.transformed(AffineTransform::translation(1, 2).then(AffineTransform::scale(2, 2)));
    EXPECT_EQ(elements(moved), "M2,4 L22,14");
}
