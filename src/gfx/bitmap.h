#pragma once

#include "core/result.h"
#include "gfx/color.h"

#include <cairo.h>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace kaleon::gfx {

// A pixel image in memory (Cairo's premultiplied 32-bit ARGB, top row first), drawn into with
// Cairo. Layers hold their contents as `std::shared_ptr<const Bitmap>`: once handed to a layer
// a bitmap is not drawn into again.
class Bitmap {
public:
    // Empty when the size is not positive or the memory cannot be had.
    static std::shared_ptr<Bitmap> create(int width, int height);

    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const;
    int height() const;
    int bytesPerRow() const;
    const std::uint8_t* data() const;
    cairo_surface_t* surface() const { return m_surface; }

    // The colour at a pixel, alpha unpremultiplied; components are k/255 values.
    Color pixel(int x, int y) const;

    Result<void> writePNG(const std::filesystem::path& path) const;

    // Grows each time the pixels are changed after being handed out (`markModified`), so that
    // whoever copied them (a texture) knows to copy them again.
    std::uint64_t generation() const { return m_generation; }
    // Whether every pixel is opaque (so nothing under it shows through).
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque) { m_opaque = opaque; }
    void markModified()
    {
        cairo_surface_mark_dirty(m_surface);
        ++m_generation;
    }

private:
    Bitmap(cairo_surface_t* surface, std::uint8_t* buffer, size_t capacity)
        : m_surface(surface), m_buffer(buffer), m_capacity(capacity)
    {
    }
    cairo_surface_t* m_surface;
    std::uint8_t* m_buffer;
    size_t m_capacity;
    std::uint64_t m_generation = 0;
    bool m_opaque = false;
};

} // namespace kaleon::gfx
