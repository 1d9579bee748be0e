#pragma once

#include "gfx/affine_transform.h"
#include "gfx/geometry.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kaleon::gfx {

enum class PathElementType : std::uint8_t { MoveTo, LineTo, QuadCurveTo, CubicCurveTo, CloseSubpath };

// One element as `forEachElement` hands it out: the points are the control points, if any,
// then the end point (none for a close).
struct PathElement {
    PathElementType type;
    std::span<const Point> points;
};

// A 2D path of subpaths made of lines and quadratic and cubic Bézier curves.
//
// Rules that every way of building a path shares:
// - A move directly after a move replaces it, so a subpath that is never drawn from leaves no
//   trace (a path's leading move to the origin does not count in its box once another move
//   follows). A move at the very end of a path stays and counts.
// - Drawing with no current point starts at the origin, as if a move to (0, 0) came first.
// - Elements with a coordinate that is not finite (an infinity or NaN from overflowing input)
//   are left out, so a path's box and its drawing are always finite.
// Storage is one byte per element and 16 bytes per point.
class Path {
public:
    void moveTo(Point point);
    void lineTo(Point point)
    {
        if (!isFinite(point))
            return;
        ensureCurrentPoint();
        m_types.push_back(PathElementType::LineTo);
        m_points.push_back(point);
        m_current = point;
    }
    void quadCurveTo(Point control, Point point);
    void curveTo(Point control1, Point control2, Point point)
    {
        if (!isFinite(control1) || !isFinite(control2) || !isFinite(point))
            return;
        ensureCurrentPoint();
        m_types.push_back(PathElementType::CubicCurveTo);
        m_points.push_back(control1);
        m_points.push_back(control2);
        m_points.push_back(point);
        m_current = point;
    }
    void closeSubpath();
    // Adds a closed subpath tracing the ellipse inscribed in `rect` as four cubic segments,
    // starting at (maxX, midY) and passing (midX, maxY), (minX, midY), (midX, minY).
    void addEllipseInRect(const Rect& rect);

    // The end of the last element, or the start of the subpath after a close; empty when the
    // path has no elements.
    std::optional<Point> currentPoint() const
    {
        if (m_types.empty())
            return std::nullopt;
        return m_current;
    }
    bool isEmpty() const { return m_types.empty(); }
    size_t elementCount() const { return m_types.size(); }

    // The smallest rectangle holding every point of the path, control points and moves
    // included; empty for a path without elements.
    std::optional<Rect> boundingBox() const;

    // A copy with every point mapped through `transform`.
    [[nodiscard]] Path transformed(const AffineTransform& transform) const;

    template<class Visitor>
    void forEachElement(Visitor&& visit) const
    {
        size_t point = 0;
        for (const auto type : m_types) {
            const size_t count = pointCount(type);
            visit(PathElement { type, std::span<const Point>(m_points.data() + point, count) });
            point += count;
        }
    }

    void reserve(size_t elements, size_t points);
    // Gives back what the element and point storage holds beyond the path's elements.
    void shrinkToFit()
    {
        m_types.shrink_to_fit();
        m_points.shrink_to_fit();
    }

    friend bool operator==(const Path&, const Path&) = default;

    static constexpr size_t pointCount(PathElementType type)
    {
        switch (type) {
        case PathElementType::MoveTo:
        case PathElementType::LineTo:
            return 1;
        case PathElementType::QuadCurveTo:
            return 2;
        case PathElementType::CubicCurveTo:
            return 3;
        case PathElementType::CloseSubpath:
            return 0;
        }
        return 0;
    }

private:
    static bool isFinite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }
    void ensureCurrentPoint()
    {
        if (m_types.empty())
            moveTo({ 0, 0 });
    }

    std::vector<PathElementType> m_types;
    std::vector<Point> m_points;
    Point m_subpathStart;
    Point m_current;
};

// Paths shared between a document and its layers; they never change once shared.
using PathList = std::vector<std::shared_ptr<const Path>>;

// The union of the paths' boxes; empty when none of the paths has an element.
std::optional<Rect> boundingBox(const PathList& paths);

} // namespace kaleon::gfx
