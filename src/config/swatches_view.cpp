#include "config/swatches_view.h"

#include "gfx/cairo_drawing.h"
#include "supply/hex_color.h"

#include <cmath>

namespace kaleon::config {

std::vector<int> swatchWidths(double width, size_t count)
{
    if (count == 0 || !std::isfinite(width))
        return {};
    const int base = std::max(1, static_cast<int>(std::floor(width / static_cast<double>(count))));
    const int extra = static_cast<int>(width) % base;
    std::vector<int> widths(count, base);
    for (size_t k = 0; k < count && static_cast<int>(k) <= extra; ++k)
        widths[k] = base + 1;
    return widths;
}

TGSwatchesView* TGSwatchesView::attach(GtkDrawingArea* area)
{
    auto* view = new TGSwatchesView(area);
    g_object_set_data_full(
        G_OBJECT(area), "TGSwatchesView", view, [](gpointer data) { delete static_cast<TGSwatchesView*>(data); });
    gtk_drawing_area_set_draw_func(
        area,
        [](GtkDrawingArea*, cairo_t* context, int width, int height, gpointer data) {
            static_cast<const TGSwatchesView*>(data)->drawRect(context, width, height);
        },
        view, nullptr);
    return view;
}

void TGSwatchesView::setColors(std::vector<gfx::Color> colors)
{
    m_colors = std::move(colors);
    // Read out as the list of colours.
    std::string description = "Colours of the palette:";
    for (const auto& color : m_colors)
        description += " " + supply::hexadecimalValue(color);
    gtk_accessible_update_property(
        GTK_ACCESSIBLE(m_area), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, description.c_str(), -1);
}

void TGSwatchesView::drawRect(cairo_t* context, double width, double height) const
{
    cairo_save(context);
    // y grows upwards from the bottom edge.
    cairo_translate(context, 0, height);
    cairo_scale(context, 1, -1);
    const auto widths = swatchWidths(width, m_colors.size());
    double x = 0;
    for (size_t k = 0; k < widths.size(); ++k) {
        gfx::setSourceColor(context, m_colors[k]);
        cairo_rectangle(context, x, 0, widths[k], kSwatchHeight);
        cairo_fill(context);
        x += widths[k];
    }
    cairo_restore(context);
}

} // namespace kaleon::config
