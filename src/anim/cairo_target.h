#pragma once

#include "anim/render_target.h"

#include <map>

namespace kaleon::anim {

// Draws into a Cairo context (a bitmap, a PNG render, a test). It borrows the context and
// draws on top of whatever the context's current transform says.
class CairoTarget final : public RenderTarget {
public:
    explicit CairoTarget(cairo_t* context);

    gfx::Size pixelSize() const override;
    ImageHandle upload(const std::shared_ptr<const gfx::Bitmap>& bitmap) override;
    void release(ImageHandle image) override;
    void fillRect(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& transform) override;
    void drawImage(ImageHandle image, const gfx::Rect& destination, const gfx::AffineTransform& transform,
        double opacity) override;
    bool keepsContents() const override { return true; }
    void clipTo(const gfx::PixelRect& area) override;
    void present(const gfx::PixelRect& changed) override;

private:
    void applyTransform(const gfx::AffineTransform& transform);

    cairo_t* m_context;
    bool m_clipped = false;
    std::map<ImageHandle, std::shared_ptr<const gfx::Bitmap>> m_images;
    ImageHandle m_nextHandle = 1;
};

// A Cairo target that owns its bitmap: what offscreen renders and tests draw into.
class BitmapTarget final : public RenderTarget {
public:
    // Empty when the bitmap cannot be made (a size that is not positive).
    static std::unique_ptr<BitmapTarget> create(int width, int height);

    const std::shared_ptr<gfx::Bitmap>& bitmap() const { return m_bitmap; }

    gfx::Size pixelSize() const override;
    ImageHandle upload(const std::shared_ptr<const gfx::Bitmap>& bitmap) override { return m_target.upload(bitmap); }
    void release(ImageHandle image) override { m_target.release(image); }
    void fillRect(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& transform) override
    {
        m_target.fillRect(rect, color, transform);
    }
    void drawImage(
        ImageHandle image, const gfx::Rect& destination, const gfx::AffineTransform& transform, double opacity) override
    {
        m_target.drawImage(image, destination, transform, opacity);
    }
    bool keepsContents() const override { return true; }
    void clipTo(const gfx::PixelRect& area) override { m_target.clipTo(area); }
    void present(const gfx::PixelRect& changed) override;

private:
    BitmapTarget(std::shared_ptr<gfx::Bitmap> bitmap, gfx::CairoContext context);
    std::shared_ptr<gfx::Bitmap> m_bitmap;
    gfx::CairoContext m_context;
    CairoTarget m_target;
};

} // namespace kaleon::anim
