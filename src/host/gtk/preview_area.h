#pragma once

#include "host/frame_clock.h"
#include "host/screen_saver_view.h"
#include "host/view_factory.h"
#include "host/window.h"

#include <gtk/gtk.h>
#include <memory>

namespace kaleon::host::gtk {

// The saver's live preview in a GTK drawing area: the module's view, made with the preview
// flag once the area has a size and resized with it, drawn through Cairo. While a shape moves
// the widget's frame clock paces the pictures; between shapes a timer wakes it for the next
// frame call and nothing is drawn. It stops while the window is hidden or minimised. The
// object lives as long as the widget does.
class PreviewArea {
public:
    static PreviewArea* attach(GtkDrawingArea* area, ViewFactory makeView);

    // Empty until the area first had a size.
    const std::shared_ptr<ScreenSaverView>& view() const { return m_view; }
    // Pictures drawn so far.
    int framesDrawn() const { return m_framesDrawn; }
    // Shows what changed outside the frame calls (new settings) and looks at the clock again.
    void refresh();

private:
    PreviewArea(GtkDrawingArea* area, ViewFactory makeView);
    ~PreviewArea();
    void resize(int width, int height);
    void draw(cairo_t* context, int width, int height);
    // Runs what is due at the current time and arranges the next wake-up.
    void step();
    void schedule();
    void pause();
    bool isShown() const;
    void watchWindowState();
    double now() const;

    GtkDrawingArea* m_area;
    ViewFactory m_makeView;
    std::shared_ptr<ScreenSaverView> m_view;
    std::shared_ptr<Window> m_window;
    std::unique_ptr<FrameClock> m_clock;
    gint64 m_start = g_get_monotonic_time();
    guint m_tick = 0;
    guint m_timer = 0;
    int m_framesDrawn = 0;
    std::uint64_t m_drawnRevision = 0;
    GdkSurface* m_watchedSurface = nullptr;
    gulong m_stateHandler = 0;
};

} // namespace kaleon::host::gtk
