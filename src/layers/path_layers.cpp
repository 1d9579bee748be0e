#include "layers/path_layers.h"

#include "gfx/cairo_drawing.h"
#include "svg/value_types.h"

#include <cstdio>

namespace kaleon::layers {

namespace {

constexpr gfx::Color kUncolouredPath { 1, 0, 0, 1 };
constexpr double kFlattenedContentsScale = 2.0;

} // namespace

std::shared_ptr<TGPathLayer> TGPathLayer::makeWithSVG(const svg::TGSVG* document)
{
    auto layer = std::shared_ptr<TGPathLayer>(new TGPathLayer());
    if (!document)
        return layer;
    for (const auto& path : document->cgPaths()) {
        auto shape = anim::ShapeLayer::create();
        shape->setPath(path);
        shape->setFillColor(kUncolouredPath);
        layer->addSublayer(std::move(shape));
    }
    return layer;
}

void TGPathLayer::setFillColors(const gfx::Color& color)
{
    for (const auto& sublayer : sublayers()) {
        if (auto* shape = dynamic_cast<anim::ShapeLayer*>(sublayer.get()))
            shape->setFillColor(color);
    }
}

std::shared_ptr<TGFlattenedPathLayer> TGFlattenedPathLayer::makeWithSVG(const svg::TGSVG* document)
{
    auto layer = std::shared_ptr<TGFlattenedPathLayer>(new TGFlattenedPathLayer());
    if (document)
        layer->m_paths = document->cgPaths();
    layer->setContentsScale(kFlattenedContentsScale);
    return layer;
}

void TGFlattenedPathLayer::drawInContext(cairo_t* context) const
{
    // Without a colour there is nothing to fill with.
    if (!m_pathFillColor)
        return;
    cairo_new_path(context);
    for (const auto& path : m_paths)
        gfx::appendPathToCairo(context, *path);
    cairo_set_fill_rule(context, CAIRO_FILL_RULE_WINDING);
    gfx::setSourceColor(context, *m_pathFillColor);
    cairo_fill(context);
}

std::optional<gfx::Color> TGFlattenedPathLayer::contentsTint() const
{
    // One fill of one colour: the contents need only its coverage (the colour's own alpha is
    // part of what the fill draws).
    return m_pathFillColor;
}

std::string TGSVGPathProperties::description() const
{
    char opacityText[64];
    std::snprintf(opacityText, sizeof opacityText, "%f", opacity);
    return "Fill: " + svg::hexTriplet(fillColor).string() + " - Opacity: " + opacityText;
}

} // namespace kaleon::layers
