#include "anim/shape_layer.h"

#include "gfx/cairo_drawing.h"

#include <cmath>

namespace kaleon::anim {

void ShapeLayer::setPath(std::shared_ptr<const gfx::Path> path)
{
    m_path = std::move(path);
    setNeedsDisplay();
}

void ShapeLayer::setFillColor(std::optional<gfx::Color> color)
{
    m_fillColor = color;
    setNeedsDisplay();
}

gfx::Rect ShapeLayer::contentsRect() const
{
    const auto box = m_path ? m_path->boundingBox() : std::nullopt;
    if (!box)
        return {};
    // Whole points around the path, so its pixels line up with the layer's.
    const double minX = std::floor(box->minX());
    const double minY = std::floor(box->minY());
    return { minX, minY, std::ceil(box->maxX()) - minX + 1, std::ceil(box->maxY()) - minY + 1 };
}

void ShapeLayer::drawInContext(cairo_t* context) const
{
    if (!m_path || !m_fillColor)
        return;
    gfx::appendPathToCairo(context, *m_path);
    cairo_set_fill_rule(context, CAIRO_FILL_RULE_WINDING);
    gfx::setSourceColor(context, *m_fillColor);
    cairo_fill(context);
}

} // namespace kaleon::anim
