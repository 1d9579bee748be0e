#include "host/sdl/sdl_target.h"

#include <SDL.h>

#include <cstring>
#include <gtest/gtest.h>

using namespace kaleon;

namespace {

// A software renderer drawing into a plain surface: no display needed.
struct SoftwareCanvas {
    SoftwareCanvas(int width, int height)
        : surface(SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888))
        , renderer(surface ? SDL_CreateSoftwareRenderer(surface) : nullptr)
    {
    }
    ~SoftwareCanvas()
    {
        if (renderer)
            SDL_DestroyRenderer(renderer);
        if (surface)
            SDL_FreeSurface(surface);
    }
    std::uint32_t pixel(int x, int y) const
    {
        const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch;
        std::uint32_t value = 0;
        std::memcpy(&value, row + x * 4, 4);
        return value & 0xffffff;
    }

    SDL_Surface* surface;
    SDL_Renderer* renderer;
};

} // namespace

TEST(SdlTarget, DrawsFullColourAndTintedContentsAlike)
{
    SoftwareCanvas canvas(40, 20);
    ASSERT_TRUE(canvas.renderer) << SDL_GetError();
    host::sdl::SdlTarget target(canvas.renderer);
    EXPECT_EQ(target.pixelSize(), (gfx::Size { 40, 20 }));

    // A tinted bitmap half covered, drawn where a full-colour one is not.
    auto tinted = gfx::Bitmap::createTinted(10, 10, gfx::Color::fromRGB8(0, 0, 255));
    auto context = tinted->createContext();
    cairo_rectangle(context.get(), 0, 0, 5, 10);
    cairo_fill(context.get());
    auto solid = gfx::Bitmap::create(10, 10);
    context = solid->createContext();
    cairo_set_source_rgb(context.get(), 0, 1, 0);
    cairo_paint(context.get());

    target.fillRect({ 0, 0, 40, 20 }, gfx::Color::fromRGB8(255, 0, 0), {});
    const auto tintedImage = target.upload(tinted);
    const auto solidImage = target.upload(solid);
    ASSERT_NE(tintedImage, 0u);
    target.drawImage(tintedImage, { 0, 0, 10, 10 }, gfx::AffineTransform::translation(2, 3), 1.0);
    target.drawImage(solidImage, { 0, 0, 10, 10 }, gfx::AffineTransform::translation(20, 3), 1.0);
    target.present({ 0, 0, 40, 20 });

    EXPECT_EQ(canvas.pixel(3, 5), 0x0000ffu); // covered: the tint
    EXPECT_EQ(canvas.pixel(9, 5), 0xff0000u); // uncovered: what lay under it, not stale texture memory
    EXPECT_EQ(canvas.pixel(25, 5), 0x00ff00u);
    EXPECT_EQ(canvas.pixel(1, 1), 0xff0000u);
    target.release(tintedImage);
    target.release(solidImage);
}
