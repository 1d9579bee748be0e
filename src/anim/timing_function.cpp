#include "anim/timing_function.h"

#include <cmath>

namespace kaleon::anim {

namespace {

// One coordinate of the cubic Bézier with end points 0 and 1 at parameter t.
double bezier(double t, double p1, double p2)
{
    const double u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

double bezierSlope(double t, double p1, double p2)
{
    const double u = 1 - t;
    return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
}

} // namespace

double TimingFunction::valueAt(double time) const
{
    if (!(time > 0))
        return 0;
    if (time >= 1)
        return 1;
    // Newton's method on x(t) = time, falling back to bisection where the slope is flat.
    double t = time;
    for (int i = 0; i < 8; ++i) {
        const double error = bezier(t, m_x1, m_x2) - time;
        if (std::fabs(error) < 1e-12)
            return bezier(t, m_y1, m_y2);
        const double slope = bezierSlope(t, m_x1, m_x2);
        if (std::fabs(slope) < 1e-9)
            break;
        t -= error / slope;
    }
    double low = 0;
    double high = 1;
    t = time;
    for (int i = 0; i < 64; ++i) {
        const double x = bezier(t, m_x1, m_x2);
        if (std::fabs(x - time) < 1e-12)
            break;
        if (x < time)
            low = t;
        else
            high = t;
        t = (low + high) / 2;
    }
    return bezier(t, m_y1, m_y2);
}

} // namespace kaleon::anim
