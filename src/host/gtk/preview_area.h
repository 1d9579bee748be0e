#pragma once

#include "host/screen_saver_view.h"
#include "host/view_factory.h"
#include "host/view_session.h"

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

    // None until the area first had a size.
    ScreenSaverView* view() const { return m_session ? &m_session->view() : nullptr; }
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
    std::unique_ptr<ViewSession> m_session;
    gint64 m_start = g_get_monotonic_time();
    guint m_tick = 0;
    guint m_timer = 0;
    int m_framesDrawn = 0;
    GdkSurface* m_watchedSurface = nullptr;
    gulong m_stateHandler = 0;
};

} // namespace kaleon::host::gtk
