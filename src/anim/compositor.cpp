#include "anim/compositor.h"

#include <algorithm>
#include <cmath>

namespace kaleon::anim {

namespace {

// The transform with its translation moved to whole pixels, when it only scales and moves.
gfx::AffineTransform snapped(const gfx::AffineTransform& t)
{
    if (t.b() != 0 || t.c() != 0)
        return t;
    return { t.a(), t.b(), t.c(), t.d(), std::round(t.tx()), std::round(t.ty()) };
}

// Whether a rectangle mapped by `transform` (which must only scale and move) covers `area`.
bool covers(const gfx::Rect& rect, const gfx::AffineTransform& transform, const gfx::Size& area)
{
    if (transform.b() != 0 || transform.c() != 0)
        return false;
    const gfx::Point a = transform.map({ rect.minX(), rect.minY() });
    const gfx::Point b = transform.map({ rect.maxX(), rect.maxY() });
    return std::min(a.x, b.x) <= 0 && std::min(a.y, b.y) <= 0 && std::max(a.x, b.x) >= area.width
        && std::max(a.y, b.y) >= area.height;
}

// The box of a rectangle mapped by `transform`.
gfx::Rect mappedBox(const gfx::Rect& rect, const gfx::AffineTransform& transform)
{
    const gfx::Point corners[]
        = { transform.map({ rect.minX(), rect.minY() }), transform.map({ rect.maxX(), rect.minY() }),
              transform.map({ rect.minX(), rect.maxY() }), transform.map({ rect.maxX(), rect.maxY() }) };
    double minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const auto& corner : corners) {
        minX = std::min(minX, corner.x);
        maxX = std::max(maxX, corner.x);
        minY = std::min(minY, corner.y);
        maxY = std::max(maxY, corner.y);
    }
    return { minX, minY, maxX - minX, maxY - minY };
}

gfx::PixelRect grown(const gfx::PixelRect& box)
{
    return { box.x - 1, box.y - 1, box.width + 2, box.height + 2 };
}

// Whether a layer's contents are opaque and drawn over all of it, hiding its background.
bool opaqueContentsCover(const Layer& layer, const std::shared_ptr<const gfx::Bitmap>& contents)
{
    return contents && contents->isOpaque() && layer.contentsDestination() == layer.bounds();
}

} // namespace

Compositor::Compositor(RenderTarget& target)
    : m_target(target)
{
}

Compositor::~Compositor()
{
    for (const auto& [key, image] : m_images)
        m_target.release(image.handle);
}

gfx::PixelRect Compositor::drawFrame(Layer& root, double scale, double now)
{
    m_now = now;
    const gfx::Size pixels = m_target.pixelSize();
    const gfx::PixelRect whole { 0, 0, static_cast<int>(pixels.width), static_cast<int>(pixels.height) };
    const gfx::Rect bounds = root.bounds();
    const auto rootToTarget = gfx::AffineTransform::translation(-bounds.origin.x, -bounds.origin.y)
                                  .then(gfx::AffineTransform::scale(scale, scale));
    m_items.clear();
    // Clearing a screen that the tree's first layer paints over anyway costs as much as a copy.
    if (!coversOpaquely(root, rootToTarget, pixels))
        addFill({ 0, 0, pixels.width, pixels.height }, gfx::Color::black(), {});
    collect(root, rootToTarget, 1.0);
    releaseUnused();

    gfx::PixelRect changed = whole;
    if (m_target.keepsContents() && m_shown && m_shownSize == pixels)
        changed = changedArea().united(m_invalid).intersected(whole);
    m_invalid = {};
    if (!changed.isEmpty()) {
        const bool partial = changed != whole;
        if (partial)
            m_target.clipTo(changed);
        for (const auto& item : m_items) {
            if (!partial || !item.box.intersected(changed).isEmpty())
                drawItem(item);
        }
        m_target.present(changed);
    }
    std::swap(m_items, m_shownItems);
    m_shown = true;
    m_shownSize = pixels;
    return changed;
}

void Compositor::draw(RenderTarget& target, Layer& root, const gfx::AffineTransform& toTarget)
{
    Compositor compositor(target);
    compositor.m_waitForDrawing = true;
    compositor.collect(root, toTarget, 1.0);
    for (const auto& item : compositor.m_items)
        compositor.drawItem(item);
}

void Compositor::collect(Layer& layer, const gfx::AffineTransform& toTarget, double opacity)
{
    opacity *= m_now ? layer.presentationOpacity(*m_now) : layer.opacity();
    if (opacity <= 0)
        return;
    layer.displayIfNeeded(m_waitForDrawing);
    const auto contents = layer.contents();
    if (const auto color = layer.backgroundColor();
        color && color->alpha > 0 && !opaqueContentsCover(layer, contents)) {
        gfx::Color shown = *color;
        shown.alpha *= opacity;
        addFill(layer.bounds(), shown, toTarget);
    }
    if (contents) {
        const gfx::Rect destination = layer.contentsDestination();
        const gfx::AffineTransform placed = snapped(toTarget);
        // A stretched image's filtering reaches one pixel beyond its edges.
        const gfx::PixelRect box = grown(gfx::PixelRect::enclosing(mappedBox(destination, placed)));
        m_items.push_back({ imageFor(contents), destination, placed, {}, opacity, box });
    }
    for (const auto& sublayer : layer.sublayers())
        collect(*sublayer, sublayerToTarget(*sublayer, toTarget), opacity);
}

void Compositor::addFill(const gfx::Rect& rect, const gfx::Color& color, const gfx::AffineTransform& toTarget)
{
    const gfx::PixelRect box = grown(gfx::PixelRect::enclosing(mappedBox(rect, toTarget)));
    m_items.push_back({ 0, rect, toTarget, color, 1.0, box });
}

void Compositor::drawItem(const DrawItem& item)
{
    if (item.image)
        m_target.drawImage(item.image, item.rect, item.toTarget, item.opacity);
    else
        m_target.fillRect(item.rect, item.color, item.toTarget);
}

gfx::PixelRect Compositor::changedArea() const
{
    // Items are compared in drawing order: whatever differs, or is new, or is gone, changed
    // the pixels it covered and covers.
    gfx::PixelRect changed;
    const size_t count = std::max(m_items.size(), m_shownItems.size());
    for (size_t i = 0; i < count; ++i) {
        if (i >= m_shownItems.size())
            changed = changed.united(m_items[i].box);
        else if (i >= m_items.size())
            changed = changed.united(m_shownItems[i].box);
        else if (!(m_items[i] == m_shownItems[i]))
            changed = changed.united(m_items[i].box).united(m_shownItems[i].box);
    }
    return changed;
}

gfx::AffineTransform Compositor::sublayerToTarget(const Layer& sublayer, const gfx::AffineTransform& toTarget) const
{
    // Sublayer space → its centre at the origin → its transform → its position in ours.
    const gfx::Rect bounds = sublayer.bounds();
    const gfx::AffineTransform transform = m_now ? sublayer.presentationTransform(*m_now) : sublayer.transform();
    const gfx::Point position = sublayer.position();
    return gfx::AffineTransform::translation(-bounds.midX(), -bounds.midY())
        .then(transform)
        .then(gfx::AffineTransform::translation(position.x, position.y))
        .then(toTarget);
}

bool Compositor::coversOpaquely(const Layer& layer, const gfx::AffineTransform& toTarget, const gfx::Size& pixels) const
{
    if ((m_now ? layer.presentationOpacity(*m_now) : layer.opacity()) < 1.0)
        return false;
    const gfx::Rect bounds = layer.bounds();
    const auto color = layer.backgroundColor();
    const auto contents = layer.contents();
    const bool opaque = (color && color->alpha >= 1.0) || opaqueContentsCover(layer, contents);
    if (opaque && covers(bounds, toTarget, pixels))
        return true;
    // Nothing of its own drawn: its first sublayer is what is drawn first.
    if (!(color && color->alpha > 0) && !contents && !layer.sublayers().empty()) {
        const auto& first = *layer.sublayers().front();
        return coversOpaquely(first, sublayerToTarget(first, toTarget), pixels);
    }
    return false;
}

ImageHandle Compositor::imageFor(const std::shared_ptr<const gfx::Bitmap>& bitmap)
{
    auto it = m_images.find(bitmap.get());
    // The same address may belong to a new bitmap once the old one is gone, and a bitmap drawn
    // into again must be uploaded again.
    if (it != m_images.end() && (it->second.bitmap.lock() != bitmap || it->second.generation != bitmap->generation())) {
        m_target.release(it->second.handle);
        m_images.erase(it);
        it = m_images.end();
    }
    if (it == m_images.end())
        it = m_images
                 .emplace(bitmap.get(), CachedImage { bitmap, bitmap->generation(), m_target.upload(bitmap), false })
                 .first;
    it->second.used = true;
    return it->second.handle;
}

void Compositor::releaseUnused()
{
    for (auto it = m_images.begin(); it != m_images.end();) {
        if (it->second.used) {
            it->second.used = false;
            ++it;
        } else {
            m_target.release(it->second.handle);
            it = m_images.erase(it);
        }
    }
}

} // namespace kaleon::anim
