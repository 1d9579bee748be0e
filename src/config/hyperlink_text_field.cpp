#include "config/hyperlink_text_field.h"

#include "core/log.h"
#include "core/text.h"

#include <algorithm>

namespace kaleon::config {

namespace {

HyperlinkTextField::Opener& customOpener()
{
    static HyperlinkTextField::Opener opener;
    return opener;
}

void openWithDesktop(const std::string& url)
{
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) {
        log("Cannot open " + url + ": " + (error ? error->message : "no handler"));
        g_clear_error(&error);
    }
}

struct LinkRun {
    size_t start;
    size_t length;
    std::string url;
};

std::vector<LinkRun> linkRuns(const AttributedString& text)
{
    std::vector<LinkRun> runs;
    size_t start = 0;
    for (const auto& run : text.runs()) {
        if (run.attributes.link && !run.text.empty())
            runs.push_back({ start, run.text.size(), *run.attributes.link });
        start += run.text.size();
    }
    return runs;
}

gfx::Rect fromPango(const PangoRectangle& rect)
{
    return { static_cast<double>(rect.x) / PANGO_SCALE, static_cast<double>(rect.y) / PANGO_SCALE,
        static_cast<double>(rect.width) / PANGO_SCALE, static_cast<double>(rect.height) / PANGO_SCALE };
}

guint16 colorComponent(double component)
{
    return static_cast<guint16>(std::clamp(component, 0.0, 1.0) * 65535);
}

} // namespace

HyperlinkTextField* HyperlinkTextField::attach(GtkDrawingArea* area)
{
    auto* field = new HyperlinkTextField(area);
    GtkWidget* widget = GTK_WIDGET(area);
    g_object_set_data_full(G_OBJECT(area), "HyperlinkTextField", field,
        [](gpointer data) { delete static_cast<HyperlinkTextField*>(data); });
    gtk_drawing_area_set_draw_func(
        area,
        [](GtkDrawingArea*, cairo_t* context, int, int, gpointer data) {
            static_cast<const HyperlinkTextField*>(data)->draw(context);
        },
        field, nullptr);
    gtk_widget_set_focusable(widget, TRUE);

    GtkGesture* click = gtk_gesture_click_new();
    g_signal_connect(click, "released", G_CALLBACK(+[](GtkGestureClick*, int, double x, double y, gpointer data) {
        static_cast<HyperlinkTextField*>(data)->mouseUp({ x, y });
    }),
        field);
    gtk_widget_add_controller(widget, GTK_EVENT_CONTROLLER(click));

    GtkEventController* motion = gtk_event_controller_motion_new();
    g_signal_connect(motion, "motion", G_CALLBACK(+[](GtkEventControllerMotion*, double x, double y, gpointer data) {
        static_cast<HyperlinkTextField*>(data)->pointerMoved({ x, y });
    }),
        field);
    gtk_widget_add_controller(widget, motion);

    GtkEventController* keys = gtk_event_controller_key_new();
    g_signal_connect(keys, "key-pressed",
        G_CALLBACK(+[](GtkEventControllerKey*, guint key, guint, GdkModifierType state, gpointer data) -> gboolean {
            return static_cast<HyperlinkTextField*>(data)->keyPressed(key, (state & GDK_SHIFT_MASK) != 0);
        }),
        field);
    gtk_widget_add_controller(widget, keys);

    // The focused link is marked only while the field has the focus.
    GtkEventController* focus = gtk_event_controller_focus_new();
    const auto redraw
        = G_CALLBACK(+[](GtkEventControllerFocus*, gpointer data) { gtk_widget_queue_draw(GTK_WIDGET(data)); });
    g_signal_connect(focus, "enter", redraw, area);
    g_signal_connect(focus, "leave", redraw, area);
    gtk_widget_add_controller(widget, focus);
    return field;
}

void HyperlinkTextField::setAttributedStringValue(AttributedString text)
{
    m_text = std::move(text);
    m_focusedLink.reset();
    const std::string plain = m_text.text();
    gtk_accessible_update_property(GTK_ACCESSIBLE(m_area), GTK_ACCESSIBLE_PROPERTY_LABEL, plain.c_str(), -1);
    std::string description;
    for (const auto& run : linkRuns(m_text))
        description
            += (description.empty() ? "Links (Tab or the arrow keys to choose, Return to open): " : ", ") + run.url;
    gtk_accessible_update_property(
        GTK_ACCESSIBLE(m_area), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, description.c_str(), -1);
    int height = 0;
    pango_layout_get_pixel_size(textLayout().get(), nullptr, &height);
    gtk_drawing_area_set_content_height(m_area, height);
    gtk_widget_queue_draw(GTK_WIDGET(m_area));
}

PangoLayoutHandle HyperlinkTextField::textLayout() const
{
    const std::string plain = m_text.text();
    PangoLayoutHandle layout(gtk_widget_create_pango_layout(GTK_WIDGET(m_area), plain.c_str()));
    const int width = gtk_widget_get_width(GTK_WIDGET(m_area));
    if (width > 0)
        pango_layout_set_width(layout.get(), width * PANGO_SCALE);
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    switch (m_text.alignment().value_or(TextAlignment::Left)) {
    case TextAlignment::Left:
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_LEFT);
        break;
    case TextAlignment::Center:
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
        break;
    case TextAlignment::Right:
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);
        break;
    }
    PangoAttrList* attributes = pango_attr_list_new();
    const auto linkColor = themeLinkColor();
    size_t start = 0;
    for (const auto& run : m_text.runs()) {
        const auto end = static_cast<guint>(start + run.text.size());
        // Links show in the theme's link colour, which reads well on its background in light
        // and dark themes alike; the text's own colour is for where no theme says one.
        const auto color = run.attributes.link && linkColor ? linkColor : run.attributes.foreground;
        if (color) {
            PangoAttribute* foreground = pango_attr_foreground_new(
                colorComponent(color->red), colorComponent(color->green), colorComponent(color->blue));
            foreground->start_index = static_cast<guint>(start);
            foreground->end_index = end;
            pango_attr_list_insert(attributes, foreground);
        }
        if (run.attributes.link) {
            PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
            underline->start_index = static_cast<guint>(start);
            underline->end_index = end;
            pango_attr_list_insert(attributes, underline);
        }
        start = end;
    }
    pango_layout_set_attributes(layout.get(), attributes);
    pango_attr_list_unref(attributes);
    return layout;
}

std::vector<HyperlinkTextField::HyperlinkInfo> HyperlinkTextField::hyperlinkInfos() const
{
    std::vector<HyperlinkInfo> infos;
    const auto runs = linkRuns(m_text);
    if (runs.empty())
        return infos;
    const auto layout = textLayout();
    const std::string plain = m_text.text();
    for (const auto& run : runs) {
        const size_t end = run.start + run.length;
        for (GSList* item = pango_layout_get_lines_readonly(layout.get()); item; item = item->next) {
            const auto* line = static_cast<PangoLayoutLine*>(item->data);
            const size_t lineStart = static_cast<size_t>(line->start_index);
            const size_t lineEnd = lineStart + static_cast<size_t>(line->length);
            const size_t from = std::max(run.start, lineStart);
            const size_t to = std::min(end, lineEnd);
            if (from >= to)
                continue;
            // From the first character's box to the last one's.
            size_t last = to - 1;
            while (last > from && (static_cast<unsigned char>(plain[last]) & 0xc0) == 0x80)
                --last;
            PangoRectangle first {};
            PangoRectangle final {};
            pango_layout_index_to_pos(layout.get(), static_cast<int>(from), &first);
            pango_layout_index_to_pos(layout.get(), static_cast<int>(last), &final);
            const gfx::Rect a = fromPango(first);
            const gfx::Rect b = fromPango(final);
            infos.push_back({ run.start, run.length, run.url, a.united(b) });
        }
    }
    return infos;
}

std::optional<size_t> HyperlinkTextField::characterIndexAt(gfx::Point point) const
{
    if (m_text.isEmpty())
        return std::nullopt;
    const auto layout = textLayout();
    int index = 0;
    int trailing = 0;
    if (!pango_layout_xy_to_index(layout.get(), static_cast<int>(point.x * PANGO_SCALE),
            static_cast<int>(point.y * PANGO_SCALE), &index, &trailing))
        return std::nullopt;
    return static_cast<size_t>(index);
}

void HyperlinkTextField::mouseUp(gfx::Point point)
{
    const auto index = characterIndexAt(point);
    if (!index)
        return;
    std::string opened;
    for (const auto& info : hyperlinkInfos()) {
        // A run split over lines has a record per line: it opens once.
        if (info.start <= *index && *index < info.start + info.length && info.url != opened) {
            open(info.url);
            opened = info.url;
        }
    }
}

bool HyperlinkTextField::isOpenable(std::string_view url)
{
    const auto colon = url.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view scheme = url.substr(0, colon);
    return equalsIgnoringCase(scheme, "http") || equalsIgnoringCase(scheme, "https")
        || equalsIgnoringCase(scheme, "mailto");
}

void HyperlinkTextField::setOpener(Opener opener)
{
    customOpener() = std::move(opener);
}

void HyperlinkTextField::open(const std::string& url) const
{
    if (!isOpenable(url)) {
        log("Not opening " + url + ": only http, https and mailto addresses are opened");
        return;
    }
    if (customOpener())
        customOpener()(url);
    else
        openWithDesktop(url);
}

std::optional<gfx::Color> HyperlinkTextField::themeLinkColor() const
{
    // The theme styles links through the nodes of its link widgets, not through a state any
    // widget could take: ask a link button, kept (unshown) for the process.
    static GtkWidget* const linkButton = GTK_WIDGET(g_object_ref_sink(gtk_link_button_new("https://")));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GtkStyleContext* style = gtk_widget_get_style_context(linkButton);
    GdkRGBA color {};
    gtk_style_context_get_color(style, &color);
    G_GNUC_END_IGNORE_DEPRECATIONS
    return gfx::Color { color.red, color.green, color.blue, color.alpha };
}

bool HyperlinkTextField::keyPressed(guint key, bool backwards)
{
    const auto runs = linkRuns(m_text);
    if (runs.empty())
        return false;
    const size_t focused = std::min(m_focusedLink.value_or(0), runs.size() - 1);
    switch (key) {
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
    case GDK_KEY_KP_Tab:
        // Tab goes from link to link as in a web page, and on out of the field past the last.
        if (backwards || key == GDK_KEY_ISO_Left_Tab) {
            if (focused == 0)
                return false;
            m_focusedLink = focused - 1;
        } else {
            if (focused + 1 >= runs.size())
                return false;
            m_focusedLink = focused + 1;
        }
        break;
    case GDK_KEY_Right:
    case GDK_KEY_Down:
        m_focusedLink = m_focusedLink ? (*m_focusedLink + 1) % runs.size() : 0;
        break;
    case GDK_KEY_Left:
    case GDK_KEY_Up:
        m_focusedLink = m_focusedLink ? (*m_focusedLink + runs.size() - 1) % runs.size() : runs.size() - 1;
        break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_space:
        open(runs[std::min(m_focusedLink.value_or(0), runs.size() - 1)].url);
        return true;
    default:
        return false;
    }
    gtk_widget_queue_draw(GTK_WIDGET(m_area));
    return true;
}

void HyperlinkTextField::pointerMoved(gfx::Point point)
{
    bool overLink = false;
    for (const auto& info : hyperlinkInfos()) {
        const auto& r = info.rect;
        overLink = overLink || (point.x >= r.minX() && point.x < r.maxX() && point.y >= r.minY() && point.y < r.maxY());
    }
    gtk_widget_set_cursor_from_name(GTK_WIDGET(m_area), overLink ? "pointer" : nullptr);
}

void HyperlinkTextField::draw(cairo_t* context) const
{
    GdkRGBA color {};
    gtk_style_context_get_color(gtk_widget_get_style_context(GTK_WIDGET(m_area)), &color);
    gdk_cairo_set_source_rgba(context, &color);
    const auto layout = textLayout();
    cairo_move_to(context, 0, 0);
    pango_cairo_show_layout(context, layout.get());
    if (!gtk_widget_has_focus(GTK_WIDGET(m_area)))
        return;
    // The link the keyboard would open.
    const auto runs = linkRuns(m_text);
    const size_t focused = std::min(m_focusedLink.value_or(0), runs.empty() ? 0 : runs.size() - 1);
    for (const auto& info : hyperlinkInfos()) {
        if (runs.empty() || info.start != runs[focused].start)
            continue;
        const double dash = 1.0;
        cairo_set_dash(context, &dash, 1, 0);
        cairo_set_line_width(context, 1);
        cairo_rectangle(
            context, info.rect.minX() - 1.5, info.rect.minY() - 0.5, info.rect.width() + 3, info.rect.height() + 1);
        cairo_stroke(context);
    }
}

} // namespace kaleon::config
