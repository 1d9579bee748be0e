#include "host/frame_clock.h"

#include "anim/animator.h"
#include "anim/layer.h"
#include "host/screen_saver_view.h"

namespace kaleon::host {

void FrameClock::frameDone(double now, double interval)
{
    m_interval = interval;
    m_next += interval;
    if (m_next <= now)
        m_next = now + interval;
}

void FrameClock::follow(double interval, double now)
{
    if (m_interval && *m_interval != interval) {
        m_interval = interval;
        m_next = now + interval;
    }
    // A clock that went back (more than an interval before the frame due) would hold the
    // frames back until it caught up again: the next one is one interval away instead.
    if (m_interval && m_next - now > *m_interval)
        m_next = now + *m_interval;
}

void runFrame(ScreenSaverView& view, double now)
{
    auto& animator = anim::Animator::shared();
    animator.tick(now);
    view.animateOneFrame();
    animator.tick(now);
}

bool runFrameIfDue(ScreenSaverView& view, FrameClock& clock, double now)
{
    clock.follow(view.animationTimeInterval(), now);
    if (!clock.isDue(now))
        return false;
    runFrame(view, now);
    clock.frameDone(now, view.animationTimeInterval());
    return true;
}

} // namespace kaleon::host
