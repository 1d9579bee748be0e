#pragma once

#include "anim/layer.h"
#include "gfx/path.h"

namespace kaleon::anim {

// A layer that fills one path in one colour (non-zero rule), in its own coordinate space and
// without clipping to its bounds: a shape layer with a zero frame draws its path where the
// path lies in its superlayer.
class ShapeLayer : public Layer {
public:
    static std::shared_ptr<ShapeLayer> create() { return std::shared_ptr<ShapeLayer>(new ShapeLayer()); }

    const std::shared_ptr<const gfx::Path>& path() const { return m_path; }
    void setPath(std::shared_ptr<const gfx::Path> path);
    std::optional<gfx::Color> fillColor() const { return m_fillColor; }
    void setFillColor(std::optional<gfx::Color> color);

    gfx::Rect contentsRect() const override;

protected:
    ShapeLayer() = default;
    bool drawsContent() const override { return true; }
    void drawInContext(cairo_t* context) const override;

private:
    std::shared_ptr<const gfx::Path> m_path;
    std::optional<gfx::Color> m_fillColor = gfx::Color::black();
};

} // namespace kaleon::anim
