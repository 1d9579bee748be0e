#include "anim/animation.h"

#include <algorithm>
#include <atomic>

namespace kaleon::anim {

namespace {

std::atomic<double> g_mediaTime = 0;

AnimatedValue interpolate(const AnimatedValue& from, const AnimatedValue& to, double progress)
{
    if (const auto* a = std::get_if<double>(&from)) {
        const double b = std::holds_alternative<double>(to) ? std::get<double>(to) : *a;
        return *a + (b - *a) * progress;
    }
    const auto& a = std::get<gfx::AffineTransform>(from);
    const auto b = std::holds_alternative<gfx::AffineTransform>(to) ? std::get<gfx::AffineTransform>(to) : a;
    const auto mix = [progress](double x, double y) { return x + (y - x) * progress; };
    return gfx::AffineTransform(mix(a.a(), b.a()), mix(a.b(), b.b()), mix(a.c(), b.c()), mix(a.d(), b.d()),
        mix(a.tx(), b.tx()), mix(a.ty(), b.ty()));
}

} // namespace

std::optional<AnimatedValue> BasicAnimation::valueAt(double now) const
{
    if (!m_beginTime || now < *m_beginTime)
        return std::nullopt;
    const double elapsed = now - *m_beginTime;
    if (elapsed >= m_duration) {
        if (!m_fillForwards)
            return std::nullopt;
        return m_to;
    }
    const double progress = m_duration > 0 ? m_timing.valueAt(elapsed / m_duration) : 1.0;
    return interpolate(m_from, m_to, progress);
}

double currentMediaTime()
{
    return g_mediaTime.load();
}

void setCurrentMediaTime(double seconds)
{
    g_mediaTime.store(seconds);
}

} // namespace kaleon::anim
