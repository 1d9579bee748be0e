#include "host/gtk/preview_area.h"

#include "anim/animator.h"
#include "anim/cairo_target.h"

#include <algorithm>
#include <cmath>

namespace kaleon::host::gtk {

PreviewArea* PreviewArea::attach(GtkDrawingArea* area, ViewFactory makeView)
{
    auto* preview = new PreviewArea(area, std::move(makeView));
    g_object_set_data_full(
        G_OBJECT(area), "PreviewArea", preview, [](gpointer data) { delete static_cast<PreviewArea*>(data); });
    return preview;
}

PreviewArea::PreviewArea(GtkDrawingArea* area, ViewFactory makeView)
    : m_area(area)
    , m_makeView(std::move(makeView))
{
    gtk_drawing_area_set_draw_func(
        area,
        [](GtkDrawingArea*, cairo_t* context, int width, int height, gpointer data) {
            static_cast<PreviewArea*>(data)->draw(context, width, height);
        },
        this, nullptr);
    g_signal_connect(area, "resize", G_CALLBACK(+[](GtkDrawingArea*, int width, int height, gpointer data) {
        static_cast<PreviewArea*>(data)->resize(width, height);
    }),
        this);
    g_signal_connect(area, "map", G_CALLBACK(+[](GtkWidget*, gpointer data) {
        auto* preview = static_cast<PreviewArea*>(data);
        preview->watchWindowState();
        preview->schedule();
    }),
        this);
    g_signal_connect(
        area, "unmap", G_CALLBACK(+[](GtkWidget*, gpointer data) { static_cast<PreviewArea*>(data)->pause(); }), this);
}

PreviewArea::~PreviewArea()
{
    pause();
    if (m_watchedSurface && m_stateHandler)
        g_signal_handler_disconnect(m_watchedSurface, m_stateHandler);
}

double PreviewArea::now() const
{
    return static_cast<double>(g_get_monotonic_time() - m_start) / G_USEC_PER_SEC;
}

void PreviewArea::resize(int width, int height)
{
    const gfx::Rect frame { 0, 0, static_cast<double>(width), static_cast<double>(height) };
    const double scale = gtk_widget_get_scale_factor(GTK_WIDGET(m_area));
    if (!m_session) {
        m_session = ViewSession::make(m_makeView, frame, scale, Screen { frame, scale }, now(), true);
        if (m_session)
            schedule();
        return;
    }
    m_session->resize(frame.size, scale);
    gtk_widget_queue_draw(GTK_WIDGET(m_area));
}

void PreviewArea::draw(cairo_t* context, int width, int height)
{
    if (!m_session)
        return;
    // A fresh context each time, in the widget's points: the picture is drawn whole.
    anim::CairoTarget target(context, gfx::Size { static_cast<double>(width), static_cast<double>(height) });
    m_session->setTarget(&target, 1.0);
    if (!m_session->draw(now()).isEmpty())
        ++m_framesDrawn;
    m_session->setTarget(nullptr, 1.0);
}

bool PreviewArea::isShown() const
{
    if (!gtk_widget_get_mapped(GTK_WIDGET(m_area)))
        return false;
    return !m_watchedSurface
        || !(gdk_toplevel_get_state(GDK_TOPLEVEL(m_watchedSurface)) & GDK_TOPLEVEL_STATE_MINIMIZED);
}

void PreviewArea::watchWindowState()
{
    GtkNative* native = gtk_widget_get_native(GTK_WIDGET(m_area));
    GdkSurface* surface = native ? gtk_native_get_surface(native) : nullptr;
    if (!surface || surface == m_watchedSurface || !GDK_IS_TOPLEVEL(surface))
        return;
    if (m_watchedSurface && m_stateHandler)
        g_signal_handler_disconnect(m_watchedSurface, m_stateHandler);
    m_watchedSurface = surface;
    m_stateHandler
        = g_signal_connect(surface, "notify::state", G_CALLBACK(+[](GdkSurface*, GParamSpec*, gpointer data) {
              auto* preview = static_cast<PreviewArea*>(data);
              if (preview->isShown())
                  preview->schedule();
              else
                  preview->pause();
          }),
            this);
}

void PreviewArea::pause()
{
    if (m_tick)
        gtk_widget_remove_tick_callback(GTK_WIDGET(m_area), m_tick);
    if (m_timer)
        g_source_remove(m_timer);
    m_tick = 0;
    m_timer = 0;
}

void PreviewArea::step()
{
    if (!m_session)
        return;
    const double time = now();
    anim::Animator::shared().tick(time);
    m_session->runFrameIfDue(time);
    if (m_session->needsDraw())
        gtk_widget_queue_draw(GTK_WIDGET(m_area));
}

void PreviewArea::refresh()
{
    step();
    schedule();
}

void PreviewArea::schedule()
{
    pause();
    if (!m_session || !isShown())
        return;
    if (anim::Animator::shared().hasRunningAnimations()) {
        // Moving: a picture every frame of the display.
        m_tick = gtk_widget_add_tick_callback(
            GTK_WIDGET(m_area),
            [](GtkWidget*, GdkFrameClock*, gpointer data) -> gboolean {
                auto* preview = static_cast<PreviewArea*>(data);
                preview->step();
                if (anim::Animator::shared().hasRunningAnimations())
                    return G_SOURCE_CONTINUE;
                preview->m_tick = 0;
                preview->schedule();
                return G_SOURCE_REMOVE;
            },
            this, nullptr);
        return;
    }
    // At rest: sleep until the next frame call.
    const double wait = std::max(0.0, m_session->nextFrameDue() - now());
    m_timer = g_timeout_add(
        static_cast<guint>(std::ceil(wait * 1000)),
        [](gpointer data) -> gboolean {
            auto* preview = static_cast<PreviewArea*>(data);
            preview->m_timer = 0;
            preview->step();
            preview->schedule();
            return G_SOURCE_REMOVE;
        },
        this);
}

} // namespace kaleon::host::gtk
