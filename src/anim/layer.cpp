#include "anim/layer.h"

#include "anim/cairo_target.h"
#include "anim/compositor.h"

#include <algorithm>

namespace kaleon::anim {

gfx::Rect Layer::frame() const
{
    return { m_position.x - m_bounds.width() / 2, m_position.y - m_bounds.height() / 2, m_bounds.width(),
        m_bounds.height() };
}

void Layer::setFrame(const gfx::Rect& frame)
{
    m_bounds.size = { frame.width(), frame.height() };
    m_position = { frame.midX(), frame.midY() };
    setNeedsRedisplay();
}

void Layer::setBounds(const gfx::Rect& bounds)
{
    m_bounds = bounds;
    setNeedsRedisplay();
}

void Layer::setPosition(gfx::Point position)
{
    m_position = position;
    setNeedsRedisplay();
}

void Layer::setBackgroundColor(std::optional<gfx::Color> color)
{
    m_backgroundColor = color;
    setNeedsRedisplay();
}

void Layer::setContents(std::shared_ptr<const gfx::Bitmap> contents)
{
    m_contents = std::move(contents);
    setNeedsRedisplay();
}

void Layer::setContentsScale(double scale)
{
    m_contentsScale = scale;
    setNeedsRedisplay();
}

void Layer::addSublayer(std::shared_ptr<Layer> sublayer)
{
    if (!sublayer || sublayer.get() == this)
        return;
    sublayer->removeFromSuperlayer();
    sublayer->m_superlayer = weak_from_this();
    m_sublayers.push_back(std::move(sublayer));
    setNeedsRedisplay();
}

void Layer::removeFromSuperlayer()
{
    auto parent = m_superlayer.lock();
    if (!parent)
        return;
    // The parent may hold the last reference to us: stay alive until we return.
    auto self = shared_from_this();
    m_superlayer.reset();
    std::erase_if(parent->m_sublayers, [this](const auto& layer) { return layer.get() == this; });
    parent->setNeedsRedisplay();
}

void Layer::setNeedsRedisplay()
{
    for (Layer* layer = this; layer;) {
        ++layer->m_revision;
        const auto parent = layer->m_superlayer.lock();
        layer = parent.get();
    }
}

void Layer::renderInContext(cairo_t* context) const
{
    CairoTarget target(context);
    Compositor::draw(target, *this, gfx::AffineTransform());
}

} // namespace kaleon::anim
