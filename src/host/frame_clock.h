#pragma once

namespace kaleon::host {

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
    void frameDone(double now, double interval)
    {
        m_next += interval;
        if (m_next <= now)
            m_next = now + interval;
    }

private:
    double m_next;
};

} // namespace kaleon::host
