#pragma once

#include "core/result.h"
#include "gfx/cairo_drawing.h"
#include "gfx/color.h"

#include <cairo.h>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace kaleon::gfx {

// A pixel image in memory, top row first, drawn into with Cairo. Layers hold their contents as
// `std::shared_ptr<const Bitmap>`: once handed to a layer a bitmap is not drawn into again.
//
// Most bitmaps are full colour (Cairo's premultiplied 32-bit ARGB). A tinted bitmap is one
// colour at varying coverage: it keeps only the 8-bit alpha (Cairo's A8), so it takes a quarter
// of the memory and as much less clearing, drawing and copying. Drawing into it keeps only the
// alpha of what is drawn; its pixels are the tint at that alpha. Draw either kind with `paint`.
class Bitmap {
public:
    // Empty when the size is not positive or the memory cannot be had.
    static std::shared_ptr<Bitmap> create(int width, int height);
    // As `create`, for an image of the one colour `tint` (its alpha is ignored).
    static std::shared_ptr<Bitmap> createTinted(int width, int height, Color tint);

    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const;
    int height() const;
    int bytesPerRow() const;
    const std::uint8_t* data() const;
    cairo_surface_t* surface() const { return m_surface.get(); }
    // A context drawing into the bitmap (before it is handed over).
    CairoContext createContext() { return gfx::createContext(m_surface.get()); }
    // The colour of a tinted bitmap (alpha 1); empty for a full-colour one.
    const std::optional<Color>& tint() const { return m_tint; }

    // Paints the bitmap with its top left corner at the user-space origin of `context`, at
    // `opacity`, with the context's operator; `filter` and `extend` apply to its pixels.
    void paint(cairo_t* context, double opacity, cairo_filter_t filter = CAIRO_FILTER_GOOD,
        cairo_extend_t extend = CAIRO_EXTEND_NONE) const;

    // The colour at a pixel, alpha unpremultiplied; components are k/255 values.
    Color pixel(int x, int y) const;

    Result<void> writePNG(const std::filesystem::path& path) const;
    // A full-colour bitmap of a PNG file.
    static Result<std::shared_ptr<Bitmap>> readPNG(const std::filesystem::path& path);

    // Grows each time the pixels are changed after being handed out (`markModified`), so that
    // whoever copied them (a texture) knows to copy them again.
    std::uint64_t generation() const { return m_generation; }
    // Whether every pixel is opaque (so nothing under it shows through).
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque) { m_opaque = opaque; }
    void markModified()
    {
        cairo_surface_mark_dirty(m_surface.get());
        ++m_generation;
    }

private:
    Bitmap(CairoSurface surface, std::uint8_t* buffer, size_t capacity, std::optional<Color> tint)
        : m_surface(std::move(surface))
        , m_buffer(buffer)
        , m_capacity(capacity)
        , m_tint(tint)
    {
    }
    static std::shared_ptr<Bitmap> make(cairo_format_t format, int width, int height, std::optional<Color> tint);

    CairoSurface m_surface;
    std::uint8_t* m_buffer;
    size_t m_capacity;
    std::optional<Color> m_tint;
    std::uint64_t m_generation = 0;
    bool m_opaque = false;
};

} // namespace kaleon::gfx
