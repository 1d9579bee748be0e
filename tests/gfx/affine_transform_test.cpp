#include "gfx/affine_transform.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace kaleon::gfx;

TEST(AffineTransform, ComposesInTheOrderItsNameSays)
{
    struct Case {
        const char* name;
        AffineTransform transform;
        Point in;
        Point expected;
    };
    const Case cases[] = {
        { "identity", {}, { 3, 4 }, { 3, 4 } },
        { "scale then move", AffineTransform::scale(2, 2).then(AffineTransform::translation(1, 0)), { 3, 4 },
            { 7, 8 } },
        { "move then scale", AffineTransform::translation(1, 0).then(AffineTransform::scale(2, 2)), { 3, 4 },
            { 8, 8 } },
        { "quarter turn", AffineTransform::rotation(std::numbers::pi / 2), { 1, 0 }, { 0, 1 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Point out = c.transform.map(c.in);
        EXPECT_NEAR(out.x, c.expected.x, 1e-12);
        EXPECT_NEAR(out.y, c.expected.y, 1e-12);
    }
    // A rotation in single precision keeps single-precision sine and cosine.
    const auto single = AffineTransform::rotation(static_cast<float>(std::numbers::pi / 2));
    EXPECT_EQ(single.a(), static_cast<double>(std::cos(static_cast<float>(std::numbers::pi / 2))));
    EXPECT_NE(single.a(), 0.0);
    EXPECT_TRUE(AffineTransform::translation(0, 0).isIdentity());
    EXPECT_EQ((Rect { 5, 5, -10, 2 }).united({ 20, 0, 1, 1 }), (Rect { -5, 0, 26, 7 }));
}
