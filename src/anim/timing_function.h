#pragma once

namespace kaleon::anim {

// A cubic Bézier timing curve from (0, 0) to (1, 1) with control points (x1, y1) and (x2, y2):
// maps the fraction of time gone to the fraction of the way done.
class TimingFunction {
public:
    constexpr TimingFunction(double x1, double y1, double x2, double y2)
        : m_x1(x1)
        , m_y1(y1)
        , m_x2(x2)
        , m_y2(y2)
    {
    }
    static constexpr TimingFunction linear() { return { 0, 0, 1, 1 }; }
    static constexpr TimingFunction easeInEaseOut() { return { 0.42, 0.0, 0.58, 1.0 }; }

    // The curve's y where its x is `time` (clamped to 0..1), solved to within 1e-9.
    double valueAt(double time) const;

private:
    double m_x1, m_y1, m_x2, m_y2;
};

} // namespace kaleon::anim
