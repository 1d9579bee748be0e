#pragma once

#include "gfx/path.h"

#include <optional>

namespace kaleon::svg {

// Builds a path from SVG path commands for both path readers. Relative points are taken from
// the current point: the end of the last element the path kept (so a point that was left out
// for not being finite moves nothing). A smooth curve's first control point reflects the
// second control point of the curve before it about the current point.
class PathCommandBuilder {
public:
    // Where the current point is after a close: at the start of the subpath, as in SVG, or
    // where the last segment ended.
    enum class AfterClose { StartOfSubpath, LastPoint };

    explicit PathCommandBuilder(AfterClose afterClose)
        : m_afterClose(afterClose)
    {
    }

    gfx::Point currentPoint() const { return m_current; }
    // `point`, or for a relative command `point` added to the current point.
    gfx::Point resolved(gfx::Point point, bool relative) const
    {
        return relative ? gfx::Point { m_current.x + point.x, m_current.y + point.y } : point;
    }

    void moveTo(gfx::Point point)
    {
        m_path.moveTo(point);
        followPath();
    }
    void lineTo(gfx::Point point)
    {
        m_path.lineTo(point);
        followPath();
    }
    // A cubic curve; its second control point is kept for a smooth curve that follows.
    void curveTo(gfx::Point control1, gfx::Point control2, gfx::Point end)
    {
        m_path.curveTo(control1, control2, end);
        followPath();
        m_lastControlPoint = control2;
    }
    // A cubic curve whose first control point is the reflection of the kept control point about
    // the current point, or the current point itself when none is kept.
    void smoothCurveTo(gfx::Point control2, gfx::Point end)
    {
        const gfx::Point p = m_current;
        const gfx::Point control1
            = m_lastControlPoint ? gfx::Point { 2 * p.x - m_lastControlPoint->x, 2 * p.y - m_lastControlPoint->y } : p;
        curveTo(control1, control2, end);
    }
    // The next smooth curve does not follow a curve.
    void forgetControlPoint() { m_lastControlPoint.reset(); }
    void closeSubpath()
    {
        m_path.closeSubpath();
        if (m_afterClose == AfterClose::StartOfSubpath)
            followPath();
    }

    // The same from the numbers of a command as they stand in the text: a curve from six
    // (x1 y1 x2 y2 x y), a smooth curve from four (x2 y2 x y), all relative to the current
    // point for a relative command.
    template<class Number>
    void curveTo(const Number* n, bool relative)
    {
        curveTo(
            resolved({ n[0], n[1] }, relative), resolved({ n[2], n[3] }, relative), resolved({ n[4], n[5] }, relative));
    }
    template<class Number>
    void smoothCurveTo(const Number* n, bool relative)
    {
        smoothCurveTo(resolved({ n[0], n[1] }, relative), resolved({ n[2], n[3] }, relative));
    }

    void reserve(size_t elements, size_t points) { m_path.reserve(elements, points); }
    gfx::Path take() { return std::move(m_path); }

private:
    void followPath() { m_current = m_path.currentPoint().value_or(gfx::Point {}); }

    AfterClose m_afterClose;
    gfx::Path m_path;
    gfx::Point m_current;
    std::optional<gfx::Point> m_lastControlPoint;
};

} // namespace kaleon::svg
