#pragma once

#include "anim/layer.h"
#include "gfx/path.h"

#include <memory>
#include <vector>

namespace kaleon::layers {

// Paints solid strips in one colour along a layer's edges: left and right strips
// `horizontalBorderWidth` wide, top and bottom strips `verticalBorderWidth` high. Widths of 1 or
// less draw no strips. The middle is left to the layer's own background.
class TGBorderLayer : public anim::Layer {
public:
    static std::shared_ptr<TGBorderLayer> create() { return std::shared_ptr<TGBorderLayer>(new TGBorderLayer()); }

    // Each change marks the layer for display.
    gfx::Color borderFillColor() const { return m_borderFillColor; }
    void setBorderFillColor(const gfx::Color& color);
    double horizontalBorderWidth() const { return m_horizontalBorderWidth; }
    void setHorizontalBorderWidth(double width);
    double verticalBorderWidth() const { return m_verticalBorderWidth; }
    void setVerticalBorderWidth(double width);

protected:
    TGBorderLayer() = default;
    bool drawsContent() const override { return true; }
    void drawInContext(cairo_t* context) const override;

private:
    gfx::Color m_borderFillColor = gfx::Color::black();
    double m_horizontalBorderWidth = 0;
    double m_verticalBorderWidth = 0;
};

// Fills bezier paths in one colour over an optional background, in a space whose origin is
// the top-left corner and whose y grows downwards, as in SVG path data. Each path is filled on
// its own.
class TGPathView {
public:
    explicit TGPathView(gfx::Rect frame)
        : m_frame(frame)
    {
    }

    bool isFlipped() const { return true; }
    gfx::Rect bounds() const { return { 0, 0, m_frame.width(), m_frame.height() }; }
    // Draws the whole view into a context whose user space is the view's bounds.
    void drawRect(cairo_t* context, const gfx::Rect& dirtyRect) const;

    std::vector<std::shared_ptr<const gfx::Path>> bezierPaths;
    std::optional<gfx::Color> backgroundFillColor;
    std::optional<gfx::Color> fillColor;

private:
    gfx::Rect m_frame;
};

} // namespace kaleon::layers
