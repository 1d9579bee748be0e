#pragma once

#include "gfx/bitmap.h"
#include "gfx/color.h"
#include "gfx/geometry.h"

#include <cairo.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kaleon::anim {

// A node of the layer tree. Parents own their sublayers; a sublayer only points back at its
// parent weakly, so dropping the root frees the whole tree. Coordinates grow right and down.
// A layer sits at `frame` in its superlayer; it draws its background colour over its bounds,
// then its contents stretched over its bounds, then its sublayers in order, each on top.
class Layer : public std::enable_shared_from_this<Layer> {
public:
    static std::shared_ptr<Layer> create() { return std::shared_ptr<Layer>(new Layer()); }
    virtual ~Layer() = default;
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    gfx::Rect frame() const;
    void setFrame(const gfx::Rect& frame);
    gfx::Rect bounds() const { return m_bounds; }
    void setBounds(const gfx::Rect& bounds);
    gfx::Point position() const { return m_position; }
    void setPosition(gfx::Point position);

    std::optional<gfx::Color> backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(std::optional<gfx::Color> color);

    std::shared_ptr<const gfx::Bitmap> contents() const { return m_contents; }
    void setContents(std::shared_ptr<const gfx::Bitmap> contents);

    double contentsScale() const { return m_contentsScale; }
    void setContentsScale(double scale);

    void addSublayer(std::shared_ptr<Layer> sublayer);
    void removeFromSuperlayer();
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return m_sublayers; }
    std::shared_ptr<Layer> superlayer() const { return m_superlayer.lock(); }

    // Grows whenever this layer or anything below it changed in a way that shows.
    std::uint64_t revision() const { return m_revision; }

    // Draws the layer and its sublayers from their own properties into a Cairo context whose
    // user space is this layer's coordinate space.
    void renderInContext(cairo_t* context) const;

protected:
    Layer() = default;
    void setNeedsRedisplay();

private:
    std::weak_ptr<Layer> m_superlayer;
    std::vector<std::shared_ptr<Layer>> m_sublayers;
    gfx::Rect m_bounds;
    gfx::Point m_position;
    std::optional<gfx::Color> m_backgroundColor;
    std::shared_ptr<const gfx::Bitmap> m_contents;
    double m_contentsScale = 1.0;
    std::uint64_t m_revision = 0;
};

} // namespace kaleon::anim
