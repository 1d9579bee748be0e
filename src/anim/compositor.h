#pragma once

#include "anim/layer.h"
#include "anim/render_target.h"

#include <map>
#include <optional>

namespace kaleon::anim {

// Draws a layer tree onto a render target: the presentation (what animations show at a given
// time) for the screen, or the model values for a picture of the tree. A layer's contents are
// uploaded the first time they are drawn and reused while the layer keeps them; contents no
// longer drawn are released after the frame. Image positions snap to whole target pixels, so a
// layer looks the same wherever it comes to rest.
class Compositor {
public:
    explicit Compositor(RenderTarget& target);
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    // Clears the target (unless the tree paints all of it opaquely), draws `root` as it shows at `now` with its bounds'
    // origin at the target's top-left corner and `scale` pixels per point, and presents the result.
    void drawFrame(Layer& root, double scale, double now);

    // Whether drawing waits for layers that draw themselves on a worker thread (a render does;
    // a screen shows them when they are ready).
    void setWaitsForDrawing(bool wait) { m_waitForDrawing = wait; }

    // Draws a tree's model values once onto a target, mapped by `toTarget` from the root's own
    // space. Layers that draw themselves are brought up to date first (waiting for them).
    static void draw(RenderTarget& target, Layer& root, const gfx::AffineTransform& toTarget);

private:
    struct CachedImage {
        std::weak_ptr<const gfx::Bitmap> bitmap;
        std::uint64_t generation = 0;
        ImageHandle handle = 0;
        bool used = false;
    };

    void drawLayer(Layer& layer, const gfx::AffineTransform& toTarget, double opacity);
    gfx::AffineTransform sublayerToTarget(const Layer& sublayer, const gfx::AffineTransform& toTarget) const;
    // Whether drawing `layer` paints every target pixel opaquely before anything else shows.
    bool coversOpaquely(const Layer& layer, const gfx::AffineTransform& toTarget, const gfx::Size& pixels) const;
    ImageHandle imageFor(const std::shared_ptr<const gfx::Bitmap>& bitmap);
    void releaseUnused();

    RenderTarget& m_target;
    std::optional<double> m_now; // empty: model values
    bool m_waitForDrawing = false;
    std::map<const gfx::Bitmap*, CachedImage> m_images;
};

} // namespace kaleon::anim
