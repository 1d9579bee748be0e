#include "anim/compositor.h"

namespace kaleon::anim {

Compositor::Compositor(RenderTarget& target)
    : m_target(target)
{
}

Compositor::~Compositor()
{
    for (const auto& [key, image] : m_images)
        m_target.release(image.handle);
}

void Compositor::drawFrame(const Layer& root, double scale)
{
    const gfx::Size pixels = m_target.pixelSize();
    m_target.fillRect({ 0, 0, pixels.width, pixels.height }, gfx::Color::black(), {});
    const gfx::Rect bounds = root.bounds();
    drawLayer(root,
        gfx::AffineTransform::translation(-bounds.origin.x, -bounds.origin.y)
            .then(gfx::AffineTransform::scale(scale, scale)));
    releaseUnused();
    m_target.present();
}

void Compositor::draw(RenderTarget& target, const Layer& root, const gfx::AffineTransform& toTarget)
{
    Compositor compositor(target);
    compositor.drawLayer(root, toTarget);
}

void Compositor::drawLayer(const Layer& layer, const gfx::AffineTransform& toTarget)
{
    const gfx::Rect bounds = layer.bounds();
    if (const auto color = layer.backgroundColor(); color && color->alpha > 0)
        m_target.fillRect(bounds, *color, toTarget);
    if (const auto contents = layer.contents())
        m_target.drawImage(imageFor(contents), bounds, toTarget, 1.0);
    for (const auto& sublayer : layer.sublayers()) {
        const gfx::Rect frame = sublayer->frame();
        const gfx::Rect subBounds = sublayer->bounds();
        const auto sublayerToTarget
            = gfx::AffineTransform::translation(frame.origin.x - subBounds.origin.x, frame.origin.y - subBounds.origin.y)
                  .then(toTarget);
        drawLayer(*sublayer, sublayerToTarget);
    }
}

ImageHandle Compositor::imageFor(const std::shared_ptr<const gfx::Bitmap>& bitmap)
{
    auto it = m_images.find(bitmap.get());
    // The same address may belong to a new bitmap once the old one is gone.
    if (it != m_images.end() && it->second.bitmap.lock() != bitmap) {
        m_target.release(it->second.handle);
        m_images.erase(it);
        it = m_images.end();
    }
    if (it == m_images.end())
        it = m_images.emplace(bitmap.get(), CachedImage { bitmap, m_target.upload(bitmap), false }).first;
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
