#pragma once

#include "anim/layer.h"
#include "anim/render_target.h"

#include <map>

namespace kaleon::anim {

// Draws a layer tree onto a render target. A layer's contents are uploaded the first time
// they are drawn and reused while the layer keeps them; contents no longer drawn are released
// after the frame.
class Compositor {
public:
    explicit Compositor(RenderTarget& target);
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    // Clears the target, draws `root` with its bounds' origin at the target's top-left corner and
    // `scale` pixels per point, and presents the result.
    void drawFrame(const Layer& root, double scale);

    // Draws a tree once onto a target, mapped by `toTarget` from the root's own space.
    static void draw(RenderTarget& target, const Layer& root, const gfx::AffineTransform& toTarget);

private:
    struct CachedImage {
        std::weak_ptr<const gfx::Bitmap> bitmap;
        ImageHandle handle = 0;
        bool used = false;
    };

    void drawLayer(const Layer& layer, const gfx::AffineTransform& toTarget);
    ImageHandle imageFor(const std::shared_ptr<const gfx::Bitmap>& bitmap);
    void releaseUnused();

    RenderTarget& m_target;
    std::map<const gfx::Bitmap*, CachedImage> m_images;
};

} // namespace kaleon::anim
