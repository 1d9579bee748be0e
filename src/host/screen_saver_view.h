#pragma once

#include "anim/layer.h"
#include "gfx/geometry.h"
#include "host/window.h"

#include <memory>

namespace kaleon::host {

// The base of a screen-saver module's view. The host makes one per screen (and one for a
// preview), moves it into a window, starts it, and calls `animateOneFrame` once per
// `animationTimeInterval` while it animates. A layer-hosting view shows its layer tree.
class ScreenSaverView : public std::enable_shared_from_this<ScreenSaverView> {
public:
    virtual ~ScreenSaverView() = default;
    ScreenSaverView(const ScreenSaverView&) = delete;
    ScreenSaverView& operator=(const ScreenSaverView&) = delete;

    virtual void startAnimation() { m_animating = true; }
    virtual void stopAnimation() { m_animating = false; }
    bool isAnimating() const { return m_animating; }
    virtual void animateOneFrame() { }

    // Seconds between two frame calls. A value that is not a positive finite number is ignored.
    double animationTimeInterval() const { return m_animationTimeInterval; }
    void setAnimationTimeInterval(double seconds);

    virtual bool isFlipped() const { return false; }
    bool isPreview() const { return m_isPreview; }
    gfx::Rect frame() const { return m_frame; }
    gfx::Rect bounds() const { return { 0, 0, m_frame.width(), m_frame.height() }; }
    // Resizes the view; a layer-hosting view's layer follows, then `viewDidChangeFrameSize` runs.
    void setFrameSize(gfx::Size size);

    std::shared_ptr<Window> window() const { return m_window.lock(); }
    // Called by the host: puts the view in `window` (nullptr takes it out) and tells the view.
    void moveToWindow(const std::shared_ptr<Window>& window);
    // Called by the host when the window's backing scale factor changed.
    void backingPropertiesChanged() { viewDidChangeBackingProperties(); }

    void setLayer(std::shared_ptr<anim::Layer> layer);
    std::shared_ptr<anim::Layer> layer() const { return m_layer; }

    virtual bool hasConfigureSheet() const { return false; }
    // The sheet's window (see ConfigureSheet::window); empty without one.
    virtual void* configureSheet() { return nullptr; }
    // Seconds the host waits after starting the view before its first frame call.
    virtual double firstFrameDelay() const { return 0; }
    // True while the view cannot make the pictures it shows (no memory for one that large): a
    // host that writes pictures stops rather than write pictures that miss what they should show.
    virtual bool cannotDraw() const { return false; }

protected:
    ScreenSaverView(gfx::Rect frame, bool isPreview);

    virtual void viewDidMoveToWindow() { }
    virtual void viewDidChangeBackingProperties() { }
    virtual void viewDidChangeFrameSize() { }

private:
    gfx::Rect m_frame;
    bool m_isPreview;
    bool m_animating = false;
    double m_animationTimeInterval = 1.0 / 30.0;
    std::weak_ptr<Window> m_window;
    std::shared_ptr<anim::Layer> m_layer;
};

} // namespace kaleon::host
