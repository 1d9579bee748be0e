#pragma once

#include "gfx/affine_transform.h"
#include "gfx/bitmap.h"
#include "gfx/color.h"
#include "gfx/geometry.h"

#include <cstdint>
#include <memory>

namespace kaleon::anim {

using ImageHandle = std::uint64_t;

// What the compositor draws a layer tree onto. Rectangles are in the caller's space and
// `transform` maps that space to the target's pixels.
class RenderTarget {
public:
    virtual ~RenderTarget() = default;
    virtual gfx::Size pixelSize() const = 0;
    // Makes a layer's rendered contents drawable; the handle stays valid until released.
    virtual ImageHandle upload(const std::shared_ptr<const gfx::Bitmap>& bitmap) = 0;
    virtual void release(ImageHandle image) = 0;
    virtual void fillRect(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& transform) = 0;
    virtual void drawImage(
        ImageHandle image, const gfx::Rect& destination, const gfx::AffineTransform& transform, double opacity)
        = 0;
    // Whether what was drawn stays on the target from one frame to the next, so that a frame may
    // redraw only what changed (a buffer in memory does; a GPU's swapped buffers need not).
    virtual bool keepsContents() const { return false; }
    // Limits drawing to `area` (target pixels) until the next present.
    virtual void clipTo(const gfx::PixelRect& area) { (void)area; }
    // Shows what was drawn since the last call, of which `changed` is what changed (a no-op for
    // targets in memory).
    virtual void present(const gfx::PixelRect& changed) = 0;
};

} // namespace kaleon::anim
