#pragma once

#include "anim/layer.h"
#include "anim/render_target.h"

#include <map>
#include <optional>
#include <vector>

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

    // Draws `root` as it shows at `now`, its bounds' origin at the target's top-left corner and
    // `scale` pixels per point, over black where the tree does not paint the target opaquely,
    // and presents the result. On a target that keeps its contents only what changed since the
    // last frame is drawn and presented, and an unchanged frame is neither. Returns the target
    // pixels drawn (empty when none).
    gfx::PixelRect drawFrame(Layer& root, double scale, double now);
    // The next frame draws the whole target (its contents were lost, or it was resized).
    void invalidate() { m_shown = false; }
    // The next frame draws `area` (target pixels) again: something else drew over it.
    void invalidate(const gfx::PixelRect& area) { m_invalid = m_invalid.united(area); }

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

    // One fill or image as drawn onto the target, and the pixels it touches.
    struct DrawItem {
        ImageHandle image = 0; // 0: a fill of `color`
        gfx::Rect rect;
        gfx::AffineTransform toTarget;
        gfx::Color color;
        double opacity = 1.0;
        gfx::PixelRect box;
        friend bool operator==(const DrawItem&, const DrawItem&) = default;
    };

    // Lists what drawing `layer` and its sublayers takes, uploading contents as needed.
    void collect(Layer& layer, const gfx::AffineTransform& toTarget, double opacity);
    void addFill(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& toTarget);
    void drawItem(const DrawItem& item);
    // The pixels where this frame's items differ from those last shown.
    gfx::PixelRect changedArea() const;
    gfx::AffineTransform sublayerToTarget(const Layer& sublayer, const gfx::AffineTransform& toTarget) const;
    // Whether drawing `layer` paints every target pixel opaquely before anything else shows.
    bool coversOpaquely(const Layer& layer, const gfx::AffineTransform& toTarget, const gfx::Size& pixels) const;
    ImageHandle imageFor(const std::shared_ptr<const gfx::Bitmap>& bitmap);
    void releaseUnused();

    RenderTarget& m_target;
    std::optional<double> m_now; // empty: model values
    bool m_waitForDrawing = false;
    std::map<const gfx::Bitmap*, CachedImage> m_images;
    std::vector<DrawItem> m_items;
    std::vector<DrawItem> m_shownItems;
    bool m_shown = false;
    gfx::PixelRect m_invalid;
    gfx::Size m_shownSize;
};

} // namespace kaleon::anim
