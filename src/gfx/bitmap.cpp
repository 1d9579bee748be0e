#include "gfx/bitmap.h"

#include <cassert>
#include <cstring>

namespace kaleon::gfx {

std::shared_ptr<Bitmap> Bitmap::create(int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::shared_ptr<Bitmap>(new Bitmap(surface));
}

Bitmap::~Bitmap()
{
    cairo_surface_destroy(m_surface);
}

int Bitmap::width() const { return cairo_image_surface_get_width(m_surface); }
int Bitmap::height() const { return cairo_image_surface_get_height(m_surface); }
int Bitmap::bytesPerRow() const { return cairo_image_surface_get_stride(m_surface); }

const std::uint8_t* Bitmap::data() const
{
    cairo_surface_flush(m_surface);
    return cairo_image_surface_get_data(m_surface);
}

Color Bitmap::pixel(int x, int y) const
{
    assert(x >= 0 && x < width() && y >= 0 && y < height());
    const auto* row = data() + static_cast<ptrdiff_t>(y) * bytesPerRow();
    std::uint32_t argb = 0;
    std::memcpy(&argb, row + static_cast<ptrdiff_t>(x) * 4, 4);
    const unsigned a = argb >> 24;
    if (a == 0)
        return Color::clear();
    const auto unpremultiply = [a](unsigned c) { return static_cast<std::uint8_t>((c * 255 + a / 2) / a); };
    return Color::fromRGB8(unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff),
        unpremultiply(argb & 0xff), a / 255.0);
}

Result<void> Bitmap::writePNG(const std::filesystem::path& path) const
{
    const cairo_status_t status = cairo_surface_write_to_png(m_surface, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS)
        return Error { "Bitmap", static_cast<int>(status),
            "cannot write " + path.string() + ": " + cairo_status_to_string(status) };
    return {};
}

} // namespace kaleon::gfx
