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

void Compositor::drawFrame(Layer& root, double scale, double now)
{
    m_now = now;
    const gfx::Size pixels = m_target.pixelSize();
    const gfx::Rect bounds = root.bounds();
    const auto rootToTarget = gfx::AffineTransform::translation(-bounds.origin.x, -bounds.origin.y)
                                  .then(gfx::AffineTransform::scale(scale, scale));
    // Clearing a screen that the tree's first layer paints over anyway costs as much as a copy.
    if (!coversOpaquely(root, rootToTarget, pixels))
        m_target.fillRect({ 0, 0, pixels.width, pixels.height }, gfx::Color::black(), {});
    drawLayer(root, rootToTarget, 1.0);
    releaseUnused();
    m_target.present();
}

void Compositor::draw(RenderTarget& target, Layer& root, const gfx::AffineTransform& toTarget)
{
    Compositor compositor(target);
    compositor.m_waitForDrawing = true;
    compositor.drawLayer(root, toTarget, 1.0);
}

void Compositor::drawLayer(Layer& layer, const gfx::AffineTransform& toTarget, double opacity)
{
    opacity *= m_now ? layer.presentationOpacity(*m_now) : layer.opacity();
    if (opacity <= 0)
        return;
    const gfx::Rect bounds = layer.bounds();
    layer.displayIfNeeded(m_waitForDrawing);
    const auto contents = layer.contents();
    if (const auto color = layer.backgroundColor();
        color && color->alpha > 0 && !opaqueContentsCover(layer, contents)) {
        gfx::Color shown = *color;
        shown.alpha *= opacity;
        m_target.fillRect(bounds, shown, toTarget);
    }
    if (contents)
        m_target.drawImage(imageFor(contents), layer.contentsDestination(), snapped(toTarget), opacity);

    for (const auto& sublayer : layer.sublayers())
        drawLayer(*sublayer, sublayerToTarget(*sublayer, toTarget), opacity);
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
