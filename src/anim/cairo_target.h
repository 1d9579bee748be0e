#pragma once

#include "anim/render_target.h"

#include <functional>
#include <map>
#include <optional>

namespace kaleon::anim {

// Draws into a Cairo context (a bitmap, a PNG render, a widget, a test). It borrows the
// context and draws on top of whatever the context's current transform says. Its size is the
// image surface's, or `size` (in the context's user space) for any other surface.
class CairoTarget : public RenderTarget {
public:
    explicit CairoTarget(cairo_t* context, std::optional<gfx::Size> size = std::nullopt);

    gfx::Size pixelSize() const override;
    ImageHandle upload(const std::shared_ptr<const gfx::Bitmap>& bitmap) override;
    void release(ImageHandle image) override;
    void fillRect(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& transform) override;
    void drawImage(ImageHandle image, const gfx::Rect& destination, const gfx::AffineTransform& transform,
        double opacity) override;
    bool keepsContents() const override { return true; }
    void clipTo(const gfx::PixelRect& area) override;
    void present(const gfx::PixelRect& changed) override;

    cairo_t* context() const { return m_context; }

protected:
    // Draws from now on into `context`, of the same size; the uploaded images stay.
    void setContext(cairo_t* context) { m_context = context; }

private:
    void applyTransform(const gfx::AffineTransform& transform);

    cairo_t* m_context;
    std::optional<gfx::Size> m_size;
    bool m_clipped = false;
    std::map<ImageHandle, std::shared_ptr<const gfx::Bitmap>> m_images;
    ImageHandle m_nextHandle = 1;
};

// A Cairo target that owns its bitmap: what offscreen renders and tests draw into.
class BitmapTarget final : public CairoTarget {
public:
    // Empty when the bitmap cannot be made (a size that is not positive).
    static std::unique_ptr<BitmapTarget> create(int width, int height);

    const std::shared_ptr<gfx::Bitmap>& bitmap() const { return m_bitmap; }
    void present(const gfx::PixelRect& changed) override;

private:
    BitmapTarget(std::shared_ptr<gfx::Bitmap> bitmap, gfx::CairoContext context);
    std::shared_ptr<gfx::Bitmap> m_bitmap;
    gfx::CairoContext m_context;
};

// Draws into pixels that belong to a display (a window's shared-memory image, an SDL window
// surface): 32 bits a pixel, top row first, rows `stride` bytes apart. What changed is handed
// to `show` after each frame, to be sent to the screen.
class PixelBufferTarget final : public CairoTarget {
public:
    using Show = std::function<void(const gfx::PixelRect& changed)>;
    // Empty when Cairo cannot draw into the pixels.
    static std::unique_ptr<PixelBufferTarget> create(
        std::uint8_t* pixels, int width, int height, int stride, Show show);

    void present(const gfx::PixelRect& changed) override;
    // Draws from the next frame on into other pixels of the same size and stride (the other
    // buffer of a pair, which the caller keeps up to date outside what the frame changes).
    // False, and still drawing into the old ones, when Cairo cannot draw into them.
    bool drawInto(std::uint8_t* pixels);

private:
    PixelBufferTarget(gfx::CairoSurface surface, gfx::CairoContext context, Show show);
    gfx::CairoSurface m_surface;
    gfx::CairoContext m_context;
    gfx::CairoSurface m_spareSurface; // the other buffer's, once drawInto has been given one
    gfx::CairoContext m_spareContext;
    Show m_show;
};

} // namespace kaleon::anim
