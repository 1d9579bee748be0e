#pragma once

#include "gfx/geometry.h"

#include <cmath>
#include <concepts>
#include <optional>

namespace kaleon::gfx {

// Maps (x, y) to (a·x + c·y + tx, b·x + d·y + ty); default-constructed it is the identity.
class AffineTransform {
public:
    constexpr AffineTransform() = default;
    constexpr AffineTransform(double a, double b, double c, double d, double tx, double ty)
        : m_a(a)
        , m_b(b)
        , m_c(c)
        , m_d(d)
        , m_tx(tx)
        , m_ty(ty)
    {
    }
    static constexpr AffineTransform translation(double tx, double ty) { return { 1, 0, 0, 1, tx, ty }; }
    static constexpr AffineTransform scale(double sx, double sy) { return { sx, 0, 0, sy, 0, 0 }; }
    // A rotation about the origin by `radians` (from the x axis towards the y axis), its sine
    // and cosine computed at the precision of T.
    template<std::floating_point T>
    static AffineTransform rotation(T radians)
    {
        const T cosine = std::cos(radians);
        const T sine = std::sin(radians);
        return { cosine, sine, -sine, cosine, 0, 0 };
    }

    // The transform that applies *this first and then `next`.
    [[nodiscard]] constexpr AffineTransform then(const AffineTransform& next) const
    {
        return { m_a * next.m_a + m_b * next.m_c, m_a * next.m_b + m_b * next.m_d, m_c * next.m_a + m_d * next.m_c,
            m_c * next.m_b + m_d * next.m_d, m_tx * next.m_a + m_ty * next.m_c + next.m_tx,
            m_tx * next.m_b + m_ty * next.m_d + next.m_ty };
    }
    [[nodiscard]] constexpr Point map(Point p) const
    {
        return { m_a * p.x + m_c * p.y + m_tx, m_b * p.x + m_d * p.y + m_ty };
    }
    [[nodiscard]] constexpr bool isIdentity() const { return *this == AffineTransform(); }

    constexpr double a() const { return m_a; }
    constexpr double b() const { return m_b; }
    constexpr double c() const { return m_c; }
    constexpr double d() const { return m_d; }
    constexpr double tx() const { return m_tx; }
    constexpr double ty() const { return m_ty; }

    friend constexpr bool operator==(const AffineTransform&, const AffineTransform&) = default;

private:
    double m_a = 1, m_b = 0, m_c = 0, m_d = 1, m_tx = 0, m_ty = 0;
};

static_assert(AffineTransform::scale(2, 3).then(AffineTransform::translation(1, 1)).map({ 1, 1 }) == Point { 3, 4 });

} // namespace kaleon::gfx
