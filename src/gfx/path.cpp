#include "gfx/path.h"

#include <algorithm>
#include <cmath>

namespace kaleon::gfx {

namespace {

// The handle length of a cubic quarter circle, as a fraction of the radius.
constexpr double kEllipseHandle = 0.5522847498;

} // namespace

void Path::moveTo(Point point)
{
    if (!isFinite(point))
        return;
    if (!m_types.empty() && m_types.back() == PathElementType::MoveTo) {
        m_points.back() = point;
    } else {
        m_types.push_back(PathElementType::MoveTo);
        m_points.push_back(point);
    }
    m_subpathStart = point;
    m_current = point;
}

void Path::quadCurveTo(Point control, Point point)
{
    if (!isFinite(control) || !isFinite(point))
        return;
    ensureCurrentPoint();
    m_types.push_back(PathElementType::QuadCurveTo);
    m_points.insert(m_points.end(), { control, point });
    m_current = point;
}

void Path::closeSubpath()
{
    if (m_types.empty() || m_types.back() == PathElementType::CloseSubpath)
        return;
    m_types.push_back(PathElementType::CloseSubpath);
    m_current = m_subpathStart;
}

void Path::addEllipseInRect(const Rect& rect)
{
    const double rx = rect.width() / 2;
    const double ry = rect.height() / 2;
    const double cx = rect.midX();
    const double cy = rect.midY();
    const double hx = rx * kEllipseHandle;
    const double hy = ry * kEllipseHandle;
    moveTo({ cx + rx, cy });
    curveTo({ cx + rx, cy + hy }, { cx + hx, cy + ry }, { cx, cy + ry });
    curveTo({ cx - hx, cy + ry }, { cx - rx, cy + hy }, { cx - rx, cy });
    curveTo({ cx - rx, cy - hy }, { cx - hx, cy - ry }, { cx, cy - ry });
    curveTo({ cx + hx, cy - ry }, { cx + rx, cy - hy }, { cx + rx, cy });
    closeSubpath();
}

std::optional<Rect> Path::boundingBox() const
{
    if (m_points.empty())
        return std::nullopt;
    double minX = m_points.front().x;
    double maxX = minX;
    double minY = m_points.front().y;
    double maxY = minY;
    for (const auto& p : m_points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return Rect { minX, minY, maxX - minX, maxY - minY };
}

Path Path::transformed(const AffineTransform& transform) const
{
    Path copy;
    copy.reserve(m_types.size(), m_points.size());
    forEachElement([&](const PathElement& element) {
        const auto& p = element.points;
        switch (element.type) {
        case PathElementType::MoveTo:
            copy.moveTo(transform.map(p[0]));
            break;
        case PathElementType::LineTo:
            copy.lineTo(transform.map(p[0]));
            break;
        case PathElementType::QuadCurveTo:
            copy.quadCurveTo(transform.map(p[0]), transform.map(p[1]));
            break;
        case PathElementType::CubicCurveTo:
            copy.curveTo(transform.map(p[0]), transform.map(p[1]), transform.map(p[2]));
            break;
        case PathElementType::CloseSubpath:
            copy.closeSubpath();
            break;
        }
    });
    return copy;
}

std::optional<Rect> boundingBox(const PathList& paths)
{
    std::optional<Rect> box;
    for (const auto& path : paths) {
        if (const auto own = path->boundingBox())
            box = box ? box->united(*own) : *own;
    }
    return box;
}

void Path::reserve(size_t elements, size_t points)
{
    m_types.reserve(elements);
    m_points.reserve(points);
}

} // namespace kaleon::gfx
