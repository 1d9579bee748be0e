#pragma once

#include "gfx/geometry.h"

#include <memory>

namespace kaleon::host {

// A monitor as the host sees it: its frame in points and its pixels per point.
struct Screen {
    gfx::Rect frame;
    double backingScaleFactor = 1.0;
};

// The surface a view is shown in: a window of a backend or an offscreen bitmap. The host owns it;
// views refer to it weakly.
class Window {
public:
    static std::shared_ptr<Window> create(gfx::Rect frame, double backingScaleFactor, Screen screen)
    {
        return std::shared_ptr<Window>(new Window(frame, backingScaleFactor, screen));
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    gfx::Rect frame() const { return m_frame; }
    void setFrame(gfx::Rect frame) { m_frame = frame; }
    double backingScaleFactor() const { return m_backingScaleFactor; }
    void setBackingScaleFactor(double scale) { m_backingScaleFactor = scale; }
    const Screen& screen() const { return m_screen; }

private:
    Window(gfx::Rect frame, double backingScaleFactor, Screen screen)
        : m_frame(frame)
        , m_backingScaleFactor(backingScaleFactor)
        , m_screen(screen)
    {
    }
    gfx::Rect m_frame;
    double m_backingScaleFactor;
    Screen m_screen;
};

} // namespace kaleon::host
