#include "layers/border_layer.h"

#include "gfx/cairo_drawing.h"

namespace kaleon::layers {

void TGBorderLayer::drawInContext(cairo_t* context) const
{
    const double width = bounds().width();
    const double height = bounds().height();
    gfx::setSourceColor(context, borderFillColor);
    if (horizontalBorderWidth > 1.0) {
        cairo_rectangle(context, 0, 0, horizontalBorderWidth, height);
        cairo_rectangle(context, width - horizontalBorderWidth, 0, horizontalBorderWidth, height);
    }
    if (verticalBorderWidth > 1.0) {
        cairo_rectangle(context, 0, 0, width, verticalBorderWidth);
        cairo_rectangle(context, 0, height - verticalBorderWidth, width, verticalBorderWidth);
    }
    // Each strip is filled on its own, so the overlapping corners stay filled.
    cairo_set_fill_rule(context, CAIRO_FILL_RULE_WINDING);
    cairo_fill(context);
}

void TGPathView::drawRect(cairo_t* context, const gfx::Rect&) const
{
    cairo_save(context);
    if (backgroundFillColor) {
        gfx::setSourceColor(context, *backgroundFillColor);
        const gfx::Rect area = bounds();
        cairo_rectangle(context, area.minX(), area.minY(), area.width(), area.height());
        cairo_fill(context);
    }
    if (fillColor)
        gfx::setSourceColor(context, *fillColor);
    cairo_set_fill_rule(context, CAIRO_FILL_RULE_WINDING);
    for (const auto& path : bezierPaths) {
        gfx::appendPathToCairo(context, *path);
        cairo_fill(context);
    }
    cairo_restore(context);
}

} // namespace kaleon::layers
