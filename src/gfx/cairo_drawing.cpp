#include "gfx/cairo_drawing.h"

namespace kaleon::gfx {

void appendPathToCairo(cairo_t* context, const Path& path)
{
    Point current;
    Point subpathStart;
    path.forEachElement([&](const PathElement& element) {
        const auto& p = element.points;
        switch (element.type) {
        case PathElementType::MoveTo:
            cairo_move_to(context, p[0].x, p[0].y);
            current = subpathStart = p[0];
            break;
        case PathElementType::LineTo:
            cairo_line_to(context, p[0].x, p[0].y);
            current = p[0];
            break;
        case PathElementType::QuadCurveTo: {
            // The cubic with control points 2/3 of the way from each end to the quadratic's.
            const Point c1 { current.x + 2.0 / 3 * (p[0].x - current.x), current.y + 2.0 / 3 * (p[0].y - current.y) };
            const Point c2 { p[1].x + 2.0 / 3 * (p[0].x - p[1].x), p[1].y + 2.0 / 3 * (p[0].y - p[1].y) };
            cairo_curve_to(context, c1.x, c1.y, c2.x, c2.y, p[1].x, p[1].y);
            current = p[1];
            break;
        }
        case PathElementType::CubicCurveTo:
            cairo_curve_to(context, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
            current = p[2];
            break;
        case PathElementType::CloseSubpath:
            cairo_close_path(context);
            current = subpathStart;
            break;
        }
    });
}

} // namespace kaleon::gfx
