#include "gfx/bitmap.h"

#include "core/file.h"
#include "core/serial_queue.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <vector>

namespace kaleon::gfx {

namespace {

// Large pixel buffers are kept for reuse: a fresh allocation of tens of megabytes costs more
// in page faults than drawing into it does. A buffer comes back for any bitmap it can hold.
// Returned buffers are cleared on a background queue, so the clearing is done while the saver
// idles between shapes rather than when the next bitmap is wanted.
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
        if (bytes < kSmallest)
            return { allocate(bytes), bytes };
        std::unique_lock lock(m_mutex);
        for (;;) {
            // The smallest that fits, a clean one before one still to be cleared.
            const auto rank = [](const Buffer& buffer) { return std::pair(buffer.dirty != 0, buffer.capacity); };
            auto best = m_buffers.end();
            bool busy = false;
            for (auto it = m_buffers.begin(); it != m_buffers.end(); ++it) {
                if (it->capacity < bytes)
                    continue;
                if (it->clearing)
                    busy = true;
                else if (best == m_buffers.end() || rank(*it) < rank(*best))
                    best = it;
            }
            if (best != m_buffers.end()) {
                const Buffer buffer = *best;
                m_held -= buffer.capacity;
                m_buffers.erase(best);
                lock.unlock();
                std::memset(buffer.data, 0, buffer.dirty);
                return { buffer.data, buffer.capacity };
            }
            // Waiting for a clearing to end beats faulting in a fresh buffer.
            if (!busy)
                break;
            m_cleared.wait(lock);
        }
        // A new buffer is made as large as the largest asked for so far (within reason), so
        // that any pooled buffer serves any later bitmap: the pool settles on a few buffers
        // instead of trading sizes for ever. Pages never written cost nothing.
        m_largest = std::max(m_largest, bytes);
        const size_t capacity = std::max(bytes, std::min(m_largest, kMostHeld / kCapacity));
        lock.unlock();
        return { allocate(capacity), capacity };
    }

    // Takes back a buffer whose first `used` bytes may have been written.
    void give(std::uint8_t* buffer, size_t capacity, size_t used)
    {
        if (capacity >= kSmallest && capacity <= kMostHeld) {
            std::lock_guard lock(m_mutex);
            // When full, the smallest buffers go first: the large ones are what a fresh
            // allocation costs most for, and keeping them keeps the process's size steady.
            while (m_buffers.size() == kCapacity || m_held + capacity > kMostHeld) {
                auto idle = m_buffers.end();
                for (auto it = m_buffers.begin(); it != m_buffers.end(); ++it) {
                    if (!it->clearing && (idle == m_buffers.end() || it->capacity < idle->capacity))
                        idle = it;
                }
                if (idle == m_buffers.end() || idle->capacity >= capacity)
                    break;
                release(idle->data, idle->capacity);
                m_held -= idle->capacity;
                m_buffers.erase(idle);
            }
            if (m_buffers.size() < kCapacity && m_held + capacity <= kMostHeld) {
                m_buffers.push_back({ buffer, capacity, used, false });
                m_held += capacity;
                m_cleaner->async([this] { clearOne(); });
                return;
            }
        }
        release(buffer, capacity);
    }

private:
    struct Buffer {
        std::uint8_t* data;
        size_t capacity;
        size_t dirty; // bytes from the start that may not be zero
        bool clearing;
    };

    // Large buffers are mapped, not taken from the heap: freed, they go back to the system at
    // once, and the heap's threshold for mapping does not drift upwards behind them.
    static std::uint8_t* allocate(size_t bytes)
    {
        if (bytes < kSmallest)
            return static_cast<std::uint8_t*>(std::calloc(bytes, 1));
        void* mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return mapped == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(mapped);
    }

    static void release(std::uint8_t* buffer, size_t capacity)
    {
        if (capacity < kSmallest)
            std::free(buffer);
        else if (buffer)
            ::munmap(buffer, capacity);
    }

    void clearOne()
    {
        std::unique_lock lock(m_mutex);
        const auto it = std::find_if(
            m_buffers.begin(), m_buffers.end(), [](const Buffer& b) { return b.dirty > 0 && !b.clearing; });
        if (it == m_buffers.end())
            return;
        it->clearing = true;
        std::uint8_t* const data = it->data;
        const size_t dirty = it->dirty;
        lock.unlock();
        std::memset(data, 0, dirty);
        lock.lock();
        // The entry may have moved, but no one takes or frees a buffer while it is cleared.
        const auto same
            = std::find_if(m_buffers.begin(), m_buffers.end(), [data](const Buffer& b) { return b.data == data; });
        same->dirty = 0;
        same->clearing = false;
        m_cleared.notify_all();
    }

    static constexpr size_t kSmallest = size_t { 1 } << 20;
    static constexpr size_t kCapacity = 4;
    static constexpr size_t kMostHeld = size_t { 512 } << 20;
    std::mutex m_mutex;
    std::condition_variable m_cleared;
    std::vector<Buffer> m_buffers;
    size_t m_held = 0;
    size_t m_largest = 0;
    std::shared_ptr<SerialQueue> m_cleaner = SerialQueue::create("org.kaleon.bitmap-clearing");
};

} // namespace

std::shared_ptr<Bitmap> Bitmap::create(int width, int height)
{
    return make(CAIRO_FORMAT_ARGB32, width, height, std::nullopt);
}

std::shared_ptr<Bitmap> Bitmap::createTinted(int width, int height, Color tint)
{
    tint.alpha = 1;
    return make(CAIRO_FORMAT_A8, width, height, tint);
}

std::shared_ptr<Bitmap> Bitmap::make(cairo_format_t format, int width, int height, std::optional<Color> tint)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    const int stride = cairo_format_stride_for_width(format, width);
    if (stride <= 0)
        return nullptr;
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
    const auto [buffer, capacity] = BufferPool::shared().take(bytes);
    if (!buffer)
        return nullptr; // NOLINT(clang-analyzer-unix.Malloc): no buffer, nothing to leak
    CairoSurface surface(cairo_image_surface_create_for_data(buffer, format, width, height, stride));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        surface.reset();
        BufferPool::shared().give(buffer, capacity, 0);
        return nullptr;
    }
    return std::shared_ptr<Bitmap>(new Bitmap(std::move(surface), buffer, capacity, tint));
}

Bitmap::~Bitmap()
{
    const size_t used = static_cast<size_t>(bytesPerRow()) * static_cast<size_t>(height());
    // The surface goes first: nothing may point at the buffer once it is given back.
    m_surface.reset();
    BufferPool::shared().give(m_buffer, m_capacity, used);
}

int Bitmap::width() const
{
    return cairo_image_surface_get_width(m_surface.get());
}
int Bitmap::height() const
{
    return cairo_image_surface_get_height(m_surface.get());
}
int Bitmap::bytesPerRow() const
{
    return cairo_image_surface_get_stride(m_surface.get());
}

const std::uint8_t* Bitmap::data() const
{
    cairo_surface_flush(m_surface.get());
    return cairo_image_surface_get_data(m_surface.get());
}

Color Bitmap::pixel(int x, int y) const
{
    assert(x >= 0 && x < width() && y >= 0 && y < height());
    const auto* row = data() + static_cast<ptrdiff_t>(y) * bytesPerRow();
    if (m_tint) {
        const unsigned coverage = row[x];
        if (coverage == 0)
            return Color::clear();
        const auto byte = [](double component) { return static_cast<std::uint8_t>(std::lround(component * 255)); };
        return Color::fromRGB8(byte(m_tint->red), byte(m_tint->green), byte(m_tint->blue), coverage / 255.0);
    }
    std::uint32_t argb = 0;
    std::memcpy(&argb, row + static_cast<ptrdiff_t>(x) * 4, 4);
    const unsigned a = argb >> 24;
    if (a == 0)
        return Color::clear();
    const auto unpremultiply = [a](unsigned c) { return static_cast<std::uint8_t>((c * 255 + a / 2) / a); };
    return Color::fromRGB8(
        unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff), unpremultiply(argb & 0xff), a / 255.0);
}

void Bitmap::paint(cairo_t* context, double opacity, cairo_filter_t filter, cairo_extend_t extend) const
{
    const CairoPattern pattern(cairo_pattern_create_for_surface(m_surface.get()));
    cairo_pattern_set_filter(pattern.get(), filter);
    cairo_pattern_set_extend(pattern.get(), extend);
    if (m_tint) {
        setSourceColor(context, *m_tint, opacity);
        cairo_mask(context, pattern.get());
    } else {
        cairo_set_source(context, pattern.get());
        if (opacity < 1.0)
            cairo_paint_with_alpha(context, opacity);
        else
            cairo_paint(context);
    }
}

Result<std::shared_ptr<Bitmap>> Bitmap::readPNG(const std::filesystem::path& path)
{
    const CairoSurface png(cairo_image_surface_create_from_png(path.c_str()));
    if (const cairo_status_t status = cairo_surface_status(png.get()); status != CAIRO_STATUS_SUCCESS)
        return Error { "Bitmap", static_cast<int>(status),
            "cannot read " + path.string() + ": " + cairo_status_to_string(status) };
    auto bitmap = create(cairo_image_surface_get_width(png.get()), cairo_image_surface_get_height(png.get()));
    if (!bitmap)
        return Error { "Bitmap", CAIRO_STATUS_NO_MEMORY, "cannot read " + path.string() + ": out of memory" };
    const auto context = bitmap->createContext();
    cairo_set_source_surface(context.get(), png.get(), 0, 0);
    cairo_set_operator(context.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(context.get());
    return bitmap;
}

Result<void> Bitmap::writePNG(const std::filesystem::path& path) const
{
    // A PNG of the coverage alone would be grey: write the coloured pixels.
    std::shared_ptr<Bitmap> coloured;
    if (m_tint) {
        coloured = create(width(), height());
        if (!coloured)
            return Error { "Bitmap", CAIRO_STATUS_NO_MEMORY, "cannot write " + path.string() + ": out of memory" };
        paint(coloured->createContext().get(), 1.0);
    }
    // Encoded whole first, then put in place at once: no reader (and no interrupted run) ever
    // sees half a picture.
    std::string png;
    const cairo_write_func_t append = [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    };
    const cairo_status_t status
        = cairo_surface_write_to_png_stream(coloured ? coloured->surface() : surface(), append, &png);
    if (status != CAIRO_STATUS_SUCCESS)
        return Error { "Bitmap", static_cast<int>(status),
            "cannot write " + path.string() + ": " + cairo_status_to_string(status) };
    return replaceFile(path, png, Durability::Unsynced);
}

} // namespace kaleon::gfx
