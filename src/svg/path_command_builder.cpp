#include "svg/path_command_builder_internal.h"

namespace kaleon::svg {

void PathCommandBuilder::moveTo(gfx::Point point)
{
    m_path.moveTo(point);
    followPath();
}

void PathCommandBuilder::lineTo(gfx::Point point)
{
    m_path.lineTo(point);
    followPath();
}

void PathCommandBuilder::curveTo(gfx::Point control1, gfx::Point control2, gfx::Point end)
{
    m_path.curveTo(control1, control2, end);
    followPath();
    m_lastControlPoint = control2;
}

void PathCommandBuilder::smoothCurveTo(gfx::Point control2, gfx::Point end)
{
    const gfx::Point p = m_current;
    const gfx::Point control1
        = m_lastControlPoint ? gfx::Point { 2 * p.x - m_lastControlPoint->x, 2 * p.y - m_lastControlPoint->y } : p;
    curveTo(control1, control2, end);
}

void PathCommandBuilder::closeSubpath()
{
    m_path.closeSubpath();
    if (m_afterClose == AfterClose::StartOfSubpath)
        followPath();
}

} // namespace kaleon::svg
