#include "gfx/bitmap.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace kaleon::gfx {

namespace {

// Large pixel buffers are kept for reuse: a fresh allocation of tens of megabytes costs more
// in page faults than drawing into it does. A buffer comes back for any bitmap it can hold.
class BufferPool {
public:
    static BufferPool& shared()
    {
        static BufferPool* pool = new BufferPool();
        return *pool;
    }

    // A zeroed buffer of at least `bytes`, and its capacity.
    std::pair<std::uint8_t*, size_t> take(size_t bytes)
    {
        if (bytes >= kSmallest) {
            std::lock_guard lock(m_mutex);
            auto best = m_buffers.end();
            for (auto it = m_buffers.begin(); it != m_buffers.end(); ++it) {
                if (it->second >= bytes && (best == m_buffers.end() || it->second < best->second))
                    best = it;
            }
            if (best != m_buffers.end()) {
                const auto buffer = *best;
                m_held -= buffer.second;
                m_buffers.erase(best);
                std::memset(buffer.first, 0, bytes);
                return buffer;
            }
        }
        return { static_cast<std::uint8_t*>(std::calloc(bytes, 1)), bytes };
    }

    void give(std::uint8_t* buffer, size_t capacity)
    {
        if (capacity >= kSmallest) {
            std::lock_guard lock(m_mutex);
            while (!m_buffers.empty() && (m_buffers.size() == kCapacity || m_held + capacity > kMostHeld)) {
                std::free(m_buffers.front().first);
                m_held -= m_buffers.front().second;
                m_buffers.erase(m_buffers.begin());
            }
            if (capacity <= kMostHeld) {
                m_buffers.emplace_back(buffer, capacity);
                m_held += capacity;
                return;
            }
        }
        std::free(buffer);
    }

private:
    static constexpr size_t kSmallest = size_t { 1 } << 20;
    static constexpr size_t kCapacity = 4;
    static constexpr size_t kMostHeld = size_t { 512 } << 20;
    std::mutex m_mutex;
    std::vector<std::pair<std::uint8_t*, size_t>> m_buffers;
    size_t m_held = 0;
};

} // namespace

std::shared_ptr<Bitmap> Bitmap::create(int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    if (stride <= 0)
        return nullptr;
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
    const auto [buffer, capacity] = BufferPool::shared().take(bytes);
    if (!buffer)
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create_for_data(buffer, CAIRO_FORMAT_ARGB32, width, height, stride);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        BufferPool::shared().give(buffer, capacity);
        return nullptr;
    }
    return std::shared_ptr<Bitmap>(new Bitmap(surface, buffer, capacity));
}

Bitmap::~Bitmap()
{
    cairo_surface_destroy(m_surface);
    BufferPool::shared().give(m_buffer, m_capacity);
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
