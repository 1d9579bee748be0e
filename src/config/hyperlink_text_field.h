#pragma once

#include "config/attributed_string.h"
#include "core/c_handle.h"
#include "gfx/geometry.h"

#include <functional>
#include <gtk/gtk.h>
#include <optional>
#include <string>
#include <vector>

namespace kaleon::config {

using PangoLayoutHandle = CHandle<PangoLayout, g_object_unref>;

// A read-only text whose link runs can be clicked: a pointing-hand cursor over them, and a
// click (or, with the keyboard, Tab or the arrow keys to pick a link and Return to follow it) opens
// the address with the desktop's default handler. Only http, https and mailto addresses are
// ever opened. Where the links lie comes from a Pango layout of the text made afresh for each
// question. The widget (a drawing area) belongs to its window; this object attaches to it and
// lives as long as the widget does.
class HyperlinkTextField {
public:
    // One rectangle that a link run covers; a run that the layout splits over lines has one
    // record per line.
    struct HyperlinkInfo {
        size_t start = 0; // byte range of the run in the text
        size_t length = 0;
        std::string url;
        gfx::Rect rect; // in the field's coordinates
    };
    using Opener = std::function<void(const std::string& url)>;

    // Takes over `area`: never editable or selectable.
    static HyperlinkTextField* attach(GtkDrawingArea* area);

    const AttributedString& attributedStringValue() const { return m_text; }
    void setAttributedStringValue(AttributedString text);

    // A fresh layout of the text in the field's font, as wide as the field.
    PangoLayoutHandle textLayout() const;
    // The link records in text order; empty when the text has no link.
    std::vector<HyperlinkInfo> hyperlinkInfos() const;
    // The byte index of the character at a point of the field; empty off the text.
    std::optional<size_t> characterIndexAt(gfx::Point point) const;
    // A click released at `point`: opens the link there, if any.
    void mouseUp(gfx::Point point);
    // A key pressed while the field has the focus (`backwards` with Shift held): Tab and the
    // arrow keys pick a link, Return or space opens it. False when the field leaves the key to
    // its window: Tab past the last link (Shift-Tab before the first) moves the focus on.
    bool keyPressed(guint key, bool backwards = false);

    static bool isOpenable(std::string_view url);
    // How addresses are opened; tests put their own here. Empty restores the default.
    static void setOpener(Opener opener);

private:
    explicit HyperlinkTextField(GtkDrawingArea* area)
        : m_area(area)
    {
    }
    void draw(cairo_t* context) const;
    void open(const std::string& url) const;
    // The colour the theme gives links.
    std::optional<gfx::Color> themeLinkColor() const;
    void pointerMoved(gfx::Point point);

    GtkDrawingArea* m_area;
    AttributedString m_text;
    std::optional<size_t> m_focusedLink; // index into the link runs, for the keyboard
};

} // namespace kaleon::config
