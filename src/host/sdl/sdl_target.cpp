#include "host/sdl/sdl_target.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace kaleon::host::sdl {

namespace {

SDL_FRect mapRect(const gfx::Rect& rect, const gfx::AffineTransform& transform)
{
    const gfx::Point a = transform.map({ rect.minX(), rect.minY() });
    const gfx::Point b = transform.map({ rect.maxX(), rect.maxY() });
    return { static_cast<float>(std::min(a.x, b.x)), static_cast<float>(std::min(a.y, b.y)),
        static_cast<float>(std::abs(b.x - a.x)), static_cast<float>(std::abs(b.y - a.y)) };
}

Uint8 byteFrom(double component)
{
    return static_cast<Uint8>(std::lround(std::clamp(component, 0.0, 1.0) * 255));
}

} // namespace

SdlTarget::SdlTarget(SDL_Renderer* renderer)
    : m_renderer(renderer)
    // Cairo's pixels are premultiplied by alpha.
    , m_premultiplied(SDL_ComposeCustomBlendMode(SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA,
          SDL_BLENDOPERATION_ADD, SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD))
{
}

SdlTarget::~SdlTarget()
{
    for (const auto& [handle, texture] : m_textures)
        SDL_DestroyTexture(texture);
}

gfx::Size SdlTarget::pixelSize() const
{
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(m_renderer, &width, &height);
    return { static_cast<double>(width), static_cast<double>(height) };
}

anim::ImageHandle SdlTarget::upload(const std::shared_ptr<const gfx::Bitmap>& bitmap)
{
    SDL_Texture* texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888,
        bitmap->tint() ? SDL_TEXTUREACCESS_STREAMING : SDL_TEXTUREACCESS_STATIC, bitmap->width(), bitmap->height());
    if (!texture)
        return 0;
    if (bitmap->tint()) {
        // Textures hold colour: paint the tint through the coverage straight into the texture.
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) {
            SDL_DestroyTexture(texture);
            return 0;
        }
        const gfx::CairoSurface surface(cairo_image_surface_create_for_data(
            static_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, bitmap->width(), bitmap->height(), pitch));
        const auto context = gfx::createContext(surface.get());
        // A locked texture holds whatever was there before.
        cairo_set_operator(context.get(), CAIRO_OPERATOR_CLEAR);
        cairo_paint(context.get());
        cairo_set_operator(context.get(), CAIRO_OPERATOR_OVER);
        bitmap->paint(context.get(), 1.0, CAIRO_FILTER_NEAREST);
        SDL_UnlockTexture(texture);
    } else {
        SDL_UpdateTexture(texture, nullptr, bitmap->data(), bitmap->bytesPerRow());
    }
    if (SDL_SetTextureBlendMode(texture, static_cast<SDL_BlendMode>(m_premultiplied)) != 0)
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    const anim::ImageHandle handle = m_nextHandle++;
    m_textures.emplace(handle, texture);
    return handle;
}

void SdlTarget::release(anim::ImageHandle image)
{
    if (const auto it = m_textures.find(image); it != m_textures.end()) {
        SDL_DestroyTexture(it->second);
        m_textures.erase(it);
    }
}

void SdlTarget::fillRect(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& transform)
{
    const SDL_FRect area = mapRect(rect, transform);
    SDL_SetRenderDrawBlendMode(m_renderer, color.alpha < 1 ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(
        m_renderer, byteFrom(color.red), byteFrom(color.green), byteFrom(color.blue), byteFrom(color.alpha));
    SDL_RenderFillRectF(m_renderer, &area);
}

void SdlTarget::drawImage(
    anim::ImageHandle image, const gfx::Rect& destination, const gfx::AffineTransform& transform, double opacity)
{
    const auto it = m_textures.find(image);
    if (it == m_textures.end())
        return;
    const SDL_FRect area = mapRect(destination, transform);
    const Uint8 alpha = byteFrom(opacity);
    // Premultiplied pixels fade by scaling every channel, not only alpha.
    SDL_SetTextureColorMod(it->second, alpha, alpha, alpha);
    SDL_SetTextureAlphaMod(it->second, alpha);
    SDL_RenderCopyF(m_renderer, it->second, nullptr, &area);
}

void SdlTarget::present(const gfx::PixelRect&)
{
    SDL_RenderPresent(m_renderer);
}

} // namespace kaleon::host::sdl
