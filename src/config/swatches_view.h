#pragma once

#include "gfx/color.h"

#include <gtk/gtk.h>
#include <vector>

namespace kaleon::config {

// The widths of the swatches of `count` colours in a strip `width` points wide: each
// floor(width / count), and the first d + 1 one point wider, d being the width modulo that
// base width. Together usually a point or more wider than the strip, whose edge clips them.
// A strip narrower than one point per colour gives every swatch a point.
std::vector<int> swatchWidths(double width, size_t count);

// The strip of colour swatches of the configuration sheet: one solid swatch per colour, side
// by side in palette order, 20 points high along the bottom edge of a drawing area. It draws
// with its y axis growing upwards from that edge. The widget belongs to its window; this
// object attaches to it and lives as long as the widget does.
class TGSwatchesView {
public:
    static constexpr double kSwatchHeight = 20.0;

    // Takes over drawing `area`; the object is freed with the widget.
    static TGSwatchesView* attach(GtkDrawingArea* area);

    // Setting the colours does not redraw: the caller marks the view for display.
    const std::vector<gfx::Color>& colors() const { return m_colors; }
    void setColors(std::vector<gfx::Color> colors);
    void setNeedsDisplay() { gtk_widget_queue_draw(GTK_WIDGET(m_area)); }

    // Draws the strip into a context whose user space is the widget's (y down), `width` ×
    // `height` points.
    void drawRect(cairo_t* context, double width, double height) const;

private:
    explicit TGSwatchesView(GtkDrawingArea* area)
        : m_area(area)
    {
    }

    GtkDrawingArea* m_area;
    std::vector<gfx::Color> m_colors;
};

} // namespace kaleon::config
