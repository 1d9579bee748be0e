#pragma once

#include "anim/layer.h"
#include "anim/shape_layer.h"
#include "svg/document.h"

#include <memory>
#include <string>

namespace kaleon::layers {

// A container with one shape layer per path of a document, first path at the bottom, each
// filled on its own (overlaps are painted twice, never cut out). Paths are drawn where they
// lie: nothing is scaled, moved or clipped. Every path starts opaque red.
class TGPathLayer : public anim::Layer {
public:
    static std::shared_ptr<TGPathLayer> makeWithSVG(const svg::TGSVG* document);
    // One colour for every path.
    void setFillColors(const gfx::Color& color);

protected:
    TGPathLayer() = default;
};

// One layer that fills all paths of a document in a single non-zero fill of one colour, so
// overlapping paths of opposite winding leave holes. It draws itself (at contents scale 2 until
// told otherwise), and its paths and colour do not change once it is handed over, so it may
// draw on a worker thread.
class TGFlattenedPathLayer : public anim::Layer {
public:
    static std::shared_ptr<TGFlattenedPathLayer> makeWithSVG(const svg::TGSVG* document);

    // Sets the colour only; the caller asks for display.
    void setFillColors(const gfx::Color& color) { m_pathFillColor = color; }
    const svg::PathList& paths() const { return m_paths; }
    void setPaths(svg::PathList paths) { m_paths = std::move(paths); }
    std::optional<gfx::Color> pathFillColor() const { return m_pathFillColor; }

protected:
    TGFlattenedPathLayer() = default;
    bool drawsContent() const override { return true; }
    void drawInContext(cairo_t* context) const override;
    std::optional<gfx::Color> contentsTint() const override;

private:
    svg::PathList m_paths;
    std::optional<gfx::Color> m_pathFillColor;
};

// A fill colour and an opacity, for per-path attributes.
struct TGSVGPathProperties {
    gfx::Color fillColor;
    double opacity = 1.0;

    // "Fill: <colour> - Opacity: <opacity with six decimals>"
    std::string description() const;
};

} // namespace kaleon::layers
