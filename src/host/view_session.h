#pragma once

#include "anim/compositor.h"
#include "anim/render_target.h"
#include "gfx/geometry.h"
#include "host/frame_clock.h"
#include "host/screen_saver_view.h"
#include "host/view_factory.h"
#include "host/window.h"

#include <memory>
#include <vector>

namespace kaleon::host {

// One view on one surface of a backend (a window, an output, a bitmap), and what every backend
// does with it: the view is made for the surface, moved into it and started; each turn of the
// backend's loop runs its frame call when due and draws what changed onto the surface's
// pixels. Times are seconds on the backend's monotonic clock.
class ViewSession {
public:
    // Nullptr when the view could not be made. Its first frame call is due `firstFrameDelay`
    // after `now`.
    static std::unique_ptr<ViewSession> make(const ViewFactory& makeView, gfx::Rect frame, double scale,
        const Screen& screen, double now, bool isPreview = false);
    ~ViewSession();
    ViewSession(const ViewSession&) = delete;
    ViewSession& operator=(const ViewSession&) = delete;

    ScreenSaverView& view() const { return *m_view; }
    const Window& window() const { return *m_window; }

    // Draws onto `target` from now on, `pixelsPerPoint` target pixels to a point (nullptr:
    // onto nothing). The first picture on a target is drawn whole.
    void setTarget(anim::RenderTarget* target, double pixelsPerPoint);
    anim::Compositor* compositor() const { return m_compositor.get(); }
    // The surface took a new size (points) or pixels per point; the view follows. A backend
    // whose pixels were made anew for it sets the target again.
    void resize(gfx::Size size, double scale);
    // The next picture is drawn whole: the surface lost what it showed.
    void invalidate();
    // The next picture draws `area` (target pixels) again: something else drew over it.
    void invalidate(const gfx::PixelRect& area);

    // Runs the frame call when it is due. The shared animator is at `now` already.
    bool runFrameIfDue(double now);
    // Whether a picture drawn now would differ from the last one: something moves, the layer
    // tree changed, or the picture was invalidated.
    bool needsDraw() const;
    // Draws the picture of `now` when it needs it; returns the target pixels that changed
    // (empty when none did, or there is no target).
    gfx::PixelRect draw(double now);
    double nextFrameDue() const { return m_clock.nextDue(); }

private:
    ViewSession(std::shared_ptr<ScreenSaverView> view, std::shared_ptr<Window> window, double firstFrame);

    std::shared_ptr<ScreenSaverView> m_view;
    std::shared_ptr<Window> m_window;
    FrameClock m_clock;
    std::unique_ptr<anim::Compositor> m_compositor;
    double m_pixelsPerPoint = 1.0;
    std::uint64_t m_drawnRevision = 0;
    bool m_wholePicture = true;
    bool m_areaInvalid = false;
};

// The sessions of one backend's loop, which share the animations' clock: each turn brings
// the animations up to now, runs the frame calls that are due, draws what changed, and then
// sleeps until `secondsToWait` has passed or something happens. The backend owns the
// sessions (beside the surfaces they draw on) and takes each out before it ends.
class FrameLoop {
public:
    // `movingFramePeriod`: seconds between two pictures while something moves.
    explicit FrameLoop(double movingFramePeriod)
        : m_movingFramePeriod(movingFramePeriod)
    {
    }

    void add(ViewSession& session) { m_sessions.push_back(&session); }
    void remove(const ViewSession& session);
    const std::vector<ViewSession*>& sessions() const { return m_sessions; }
    bool empty() const { return m_sessions.empty(); }

    // Brings the animations up to `now` and runs every frame call that is due; returns
    // whether something moves.
    bool advance(double now);
    // Draws every session's picture of `now` that needs drawing; returns how many did.
    int draw(double now);
    // Seconds from `now` to the next turn: the next frame call, or while something moves (as
    // `advance` last found) the next picture. Never negative.
    double secondsToWait(double now) const;
    // As `secondsToWait`, but for a backend the display paces while something moves: only
    // the next frame call.
    double secondsToNextFrameCall(double now) const;
    bool isMoving() const { return m_moving; }
    // How many frame calls the last `advance` ran.
    int framesRun() const { return m_framesRun; }

private:
    double m_movingFramePeriod;
    std::vector<ViewSession*> m_sessions;
    bool m_moving = false;
    int m_framesRun = 0;
};

} // namespace kaleon::host
