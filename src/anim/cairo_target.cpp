#include "anim/cairo_target.h"

#include <cmath>

namespace kaleon::anim {

CairoTarget::CairoTarget(cairo_t* context, std::optional<gfx::Size> size)
    : m_context(context)
    , m_size(size)
{
}

gfx::Size CairoTarget::pixelSize() const
{
    if (m_size)
        return *m_size;
    cairo_surface_t* surface = cairo_get_target(m_context);
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE)
        return {};
    return { static_cast<double>(cairo_image_surface_get_width(surface)),
        static_cast<double>(cairo_image_surface_get_height(surface)) };
}

ImageHandle CairoTarget::upload(const std::shared_ptr<const gfx::Bitmap>& bitmap)
{
    const ImageHandle handle = m_nextHandle++;
    m_images.emplace(handle, bitmap);
    return handle;
}

void CairoTarget::clipTo(const gfx::PixelRect& area)
{
    if (m_clipped)
        cairo_restore(m_context);
    cairo_save(m_context);
    cairo_rectangle(m_context, area.x, area.y, area.width, area.height);
    cairo_clip(m_context);
    m_clipped = true;
}

void CairoTarget::present(const gfx::PixelRect&)
{
    if (m_clipped)
        cairo_restore(m_context);
    m_clipped = false;
}

void CairoTarget::release(ImageHandle image)
{
    m_images.erase(image);
}

void CairoTarget::applyTransform(const gfx::AffineTransform& transform)
{
    const cairo_matrix_t matrix = gfx::cairoMatrix(transform);
    cairo_transform(m_context, &matrix);
}

void CairoTarget::fillRect(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& transform)
{
    cairo_save(m_context);
    applyTransform(transform);
    cairo_rectangle(m_context, rect.minX(), rect.minY(), rect.width(), rect.height());
    gfx::setSourceColor(m_context, color);
    cairo_fill(m_context);
    cairo_restore(m_context);
}

void CairoTarget::drawImage(
    ImageHandle image, const gfx::Rect& destination, const gfx::AffineTransform& transform, double opacity)
{
    const auto it = m_images.find(image);
    if (it == m_images.end() || destination.isEmpty())
        return;
    const gfx::Bitmap& bitmap = *it->second;
    cairo_save(m_context);
    applyTransform(transform);
    if (bitmap.surface() == cairo_get_target(m_context) && opacity >= 1.0) {
        // A picture drawn onto itself, pixel for pixel, is already there.
        double x0 = destination.minX();
        double y0 = destination.minY();
        double x1 = destination.maxX();
        double y1 = destination.maxY();
        cairo_user_to_device(m_context, &x0, &y0);
        cairo_user_to_device(m_context, &x1, &y1);
        if (x0 == 0 && y0 == 0 && x1 == bitmap.width() && y1 == bitmap.height()) {
            cairo_restore(m_context);
            return;
        }
    }
    cairo_rectangle(m_context, destination.minX(), destination.minY(), destination.width(), destination.height());
    cairo_clip(m_context);
    cairo_translate(m_context, destination.minX(), destination.minY());
    cairo_scale(m_context, destination.width() / bitmap.width(), destination.height() / bitmap.height());
    cairo_matrix_t device;
    cairo_get_matrix(m_context, &device);
    const bool pixelForPixel = device.xx == 1 && device.yy == 1 && device.xy == 0 && device.yx == 0
        && device.x0 == std::floor(device.x0) && device.y0 == std::floor(device.y0);
    // Opaque pixels replace what lies under them: a copy, not a blend.
    if (opacity >= 1.0 && bitmap.isOpaque())
        cairo_set_operator(m_context, CAIRO_OPERATOR_SOURCE);
    // An image drawn pixel for pixel needs no filtering at all, which keeps Cairo on its plain
    // copy; stretched images repeat their edge pixels rather than fade out at the border.
    if (pixelForPixel)
        bitmap.paint(m_context, opacity, CAIRO_FILTER_NEAREST);
    else
        bitmap.paint(m_context, opacity, CAIRO_FILTER_GOOD, CAIRO_EXTEND_PAD);
    cairo_restore(m_context);
}

std::unique_ptr<BitmapTarget> BitmapTarget::create(int width, int height)
{
    auto bitmap = gfx::Bitmap::create(width, height);
    if (!bitmap)
        return nullptr;
    auto context = bitmap->createContext();
    return std::unique_ptr<BitmapTarget>(new BitmapTarget(std::move(bitmap), std::move(context)));
}

BitmapTarget::BitmapTarget(std::shared_ptr<gfx::Bitmap> bitmap, gfx::CairoContext context)
    : CairoTarget(context.get())
    , m_bitmap(std::move(bitmap))
    , m_context(std::move(context))
{
}

void BitmapTarget::present(const gfx::PixelRect& changed)
{
    CairoTarget::present(changed);
    cairo_surface_flush(m_bitmap->surface());
}

std::unique_ptr<PixelBufferTarget> PixelBufferTarget::create(
    std::uint8_t* pixels, int width, int height, int stride, Show show)
{
    gfx::CairoSurface surface(cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_RGB24, width, height, stride));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    auto context = gfx::createContext(surface.get());
    return std::unique_ptr<PixelBufferTarget>(
        new PixelBufferTarget(std::move(surface), std::move(context), std::move(show)));
}

PixelBufferTarget::PixelBufferTarget(gfx::CairoSurface surface, gfx::CairoContext context, Show show)
    : CairoTarget(context.get())
    , m_surface(std::move(surface))
    , m_context(std::move(context))
    , m_show(std::move(show))
{
}

bool PixelBufferTarget::drawInto(std::uint8_t* pixels)
{
    if (cairo_image_surface_get_data(m_surface.get()) == pixels)
        return true;
    // A pair of buffers takes turns: the one drawn into before is kept for its next turn.
    if (!m_spareSurface || cairo_image_surface_get_data(m_spareSurface.get()) != pixels) {
        gfx::CairoSurface surface(cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_RGB24,
            cairo_image_surface_get_width(m_surface.get()), cairo_image_surface_get_height(m_surface.get()),
            cairo_image_surface_get_stride(m_surface.get())));
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
            return false;
        m_spareContext = gfx::createContext(surface.get());
        m_spareSurface = std::move(surface);
    }
    std::swap(m_surface, m_spareSurface);
    std::swap(m_context, m_spareContext);
    setContext(m_context.get());
    return true;
}

void PixelBufferTarget::present(const gfx::PixelRect& changed)
{
    CairoTarget::present(changed);
    cairo_surface_flush(m_surface.get());
    if (m_show && !changed.isEmpty())
        m_show(changed);
}

} // namespace kaleon::anim
