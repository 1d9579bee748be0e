#pragma once

#include "anim/render_target.h"

#include <map>

struct SDL_Renderer;
struct SDL_Texture;

namespace kaleon::host::sdl {

// Draws with an SDL_Renderer: a layer's contents become a texture once and are then only
// placed, faded and stacked. Transforms are expected to keep rectangles axis-aligned.
class SdlTarget final : public anim::RenderTarget {
public:
    explicit SdlTarget(SDL_Renderer* renderer);
    ~SdlTarget() override;

    gfx::Size pixelSize() const override;
    anim::ImageHandle upload(const std::shared_ptr<const gfx::Bitmap>& bitmap) override;
    void release(anim::ImageHandle image) override;
    void fillRect(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& transform) override;
    void drawImage(anim::ImageHandle image, const gfx::Rect& destination, const gfx::AffineTransform& transform,
        double opacity) override;
    void present(const gfx::PixelRect& changed) override;

private:
    SDL_Renderer* m_renderer;
    int m_premultiplied; // an SDL_BlendMode
    std::map<anim::ImageHandle, SDL_Texture*> m_textures;
    anim::ImageHandle m_nextHandle = 1;
};

} // namespace kaleon::host::sdl
