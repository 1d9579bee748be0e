#include "layers/border_layer.h"

#include "gfx/cairo_drawing.h"

namespace kaleon::layers {

void TGBorderLayer::setBorderFillColor(const gfx::Color& color)
{
    m_borderFillColor = color;
    setNeedsDisplay();
}

void TGBorderLayer::setHorizontalBorderWidth(double width)
{
    m_horizontalBorderWidth = width;
    setNeedsDisplay();
}

void TGBorderLayer::setVerticalBorderWidth(double width)
{
    m_verticalBorderWidth = width;
    setNeedsDisplay();
}

void TGBorderLayer::drawInContext(cairo_t* context) const
{
    const double width = bounds().width();
    const double height = bounds().height();
    gfx::setSourceColor(context, m_borderFillColor);
    if (m_horizontalBorderWidth > 1.0) {
        cairo_rectangle(context, 0, 0, m_horizontalBorderWidth, height);
        cairo_rectangle(context, width - m_horizontalBorderWidth, 0, m_horizontalBorderWidth, height);
    }
    if (m_verticalBorderWidth > 1.0) {
        cairo_rectangle(context, 0, 0, width, m_verticalBorderWidth);
        cairo_rectangle(context, 0, height - m_verticalBorderWidth, width, m_verticalBorderWidth);
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
