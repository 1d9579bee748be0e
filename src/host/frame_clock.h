#pragma once

#include <optional>

namespace kaleon::host {

class ScreenSaverView;

// When the next frame call is due. Times are seconds on any monotonic clock. A host that falls
// behind (a frame took longer than the interval) skips ahead instead of queueing calls.
class FrameClock {
public:
    // The first frame is due at `start`.
    explicit FrameClock(double start)
        : m_next(start)
    {
    }

    bool isDue(double now) const { return now >= m_next; }
    double nextDue() const { return m_next; }

    // Records that the frame due at `nextDue` ran and finished at `now`.
    void frameDone(double now, double interval);

    // Follows a new interval at once: once frames have run, an interval other than the last one
    // makes the next frame due one new interval from `now`, not at the end of the old interval.
    // A next frame more than an interval after `now` (the clock went back) is due one interval
    // from `now`.
    void follow(double interval, double now);

private:
    double m_next;
    std::optional<double> m_interval;
};

// One frame call at `now`: animations are brought up to `now`, the view animates its frame,
// and the animations it started begin at this same display update.
void runFrame(ScreenSaverView& view, double now);

// Runs the view's frame call when `clock` says it is due (after following the view's current
// interval) and moves the clock on. Returns whether it ran.
bool runFrameIfDue(ScreenSaverView& view, FrameClock& clock, double now);

} // namespace kaleon::host
