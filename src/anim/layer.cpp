#include "anim/layer.h"

#include "anim/animator.h"

#include "anim/cairo_target.h"
#include "anim/compositor.h"
#include "core/serial_queue.h"

#include <algorithm>
#include <cmath>

namespace kaleon::anim {

namespace {

// Asynchronous drawing of layers runs here, off the main thread.
const std::shared_ptr<SerialQueue>& drawingQueue()
{
    static const auto queue = SerialQueue::create("org.kaleon.anim.drawing");
    return queue;
}

} // namespace

Layer::~Layer() = default;

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

void Layer::setTransform(const gfx::AffineTransform& transform)
{
    m_transform = transform;
    setNeedsRedisplay();
}

void Layer::setOpacity(double opacity)
{
    m_opacity = opacity;
    setNeedsRedisplay();
}

void Layer::setBackgroundColor(std::optional<gfx::Color> color)
{
    m_backgroundColor = color;
    setNeedsRedisplay();
}

std::shared_ptr<const gfx::Bitmap> Layer::contents() const
{
    return m_contents;
}

void Layer::setContents(std::shared_ptr<const gfx::Bitmap> contents)
{
    m_contents = std::move(contents);
    setNeedsRedisplay();
}

void Layer::setContentsScale(double scale)
{
    if (scale == m_contentsScale)
        return;
    m_contentsScale = scale;
    if (drawsContent())
        m_needsDisplay = true;
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
    stopAnimationsInSubtree();
    parent->setNeedsRedisplay();
}

void Layer::stopAnimationsInSubtree()
{
    for (auto& running : m_animations) {
        if (!running.ended)
            Animator::shared().stopped(running.animation, false);
    }
    m_animations.clear();
    for (const auto& sublayer : m_sublayers)
        sublayer->stopAnimationsInSubtree();
}

void Layer::addAnimation(std::shared_ptr<BasicAnimation> animation, std::string key)
{
    if (!animation)
        return;
    removeAnimationForKey(key);
    m_animations.push_back({ std::move(key), std::move(animation), false });
    Animator::shared().track(shared_from_this());
    setNeedsRedisplay();
}

void Layer::removeAnimationForKey(const std::string& key)
{
    const auto it = std::find_if(m_animations.begin(), m_animations.end(), [&](const auto& r) { return r.key == key; });
    if (it == m_animations.end())
        return;
    if (!it->ended)
        Animator::shared().stopped(it->animation, false);
    m_animations.erase(it);
    setNeedsRedisplay();
}

std::shared_ptr<BasicAnimation> Layer::animationForKey(const std::string& key) const
{
    for (const auto& running : m_animations) {
        if (running.key == key)
            return running.animation;
    }
    return nullptr;
}

std::optional<AnimatedValue> Layer::animatedValue(const std::string& keyPath, double now) const
{
    std::optional<AnimatedValue> value;
    for (const auto& running : m_animations) {
        if (running.animation->keyPath() != keyPath)
            continue;
        if (auto shown = running.animation->valueAt(now))
            value = shown;
    }
    return value;
}

gfx::AffineTransform Layer::presentationTransform(double now) const
{
    const auto value = animatedValue("transform", now);
    if (value && std::holds_alternative<gfx::AffineTransform>(*value))
        return std::get<gfx::AffineTransform>(*value);
    return m_transform;
}

double Layer::presentationOpacity(double now) const
{
    const auto value = animatedValue("opacity", now);
    if (value && std::holds_alternative<double>(*value))
        return std::get<double>(*value);
    return m_opacity;
}

void Layer::setNeedsDisplay()
{
    if (!drawsContent())
        return;
    m_needsDisplay = true;
    setNeedsRedisplay();
}

gfx::Rect Layer::contentsDestination() const
{
    const gfx::Rect area = contentsRect();
    if (!drawsContent() || !m_contents || !(m_contentsScale > 0))
        return area;
    return { area.minX(), area.minY(), m_contents->width() / m_contentsScale, m_contents->height() / m_contentsScale };
}

std::shared_ptr<gfx::Bitmap> Layer::drawContents() const
{
    const gfx::Rect area = contentsRect();
    if (!(m_contentsScale > 0) || !std::isfinite(m_contentsScale))
        return nullptr;
    const int width = static_cast<int>(std::ceil(area.width() * m_contentsScale));
    const int height = static_cast<int>(std::ceil(area.height() * m_contentsScale));
    const auto tint = contentsTint();
    auto bitmap = tint ? gfx::Bitmap::createTinted(width, height, *tint) : gfx::Bitmap::create(width, height);
    if (!bitmap)
        return nullptr;
    const auto context = bitmap->createContext();
    cairo_scale(context.get(), m_contentsScale, m_contentsScale);
    cairo_translate(context.get(), -area.minX(), -area.minY());
    drawInContext(context.get());
    cairo_surface_flush(bitmap->surface());
    return bitmap;
}

void Layer::takeFinishedDrawing()
{
    std::lock_guard lock(m_pending->mutex);
    if (!m_pending->ready)
        return;
    m_pending->ready = false;
    m_contents = std::move(m_pending->result);
    setNeedsRedisplay();
}

void Layer::displayIfNeeded(bool wait)
{
    if (!m_drawsAsynchronously) {
        if (!m_needsDisplay)
            return;
        m_needsDisplay = false;
        m_contents = drawContents();
        setNeedsRedisplay();
        return;
    }
    takeFinishedDrawing();
    {
        std::lock_guard lock(m_pending->mutex);
        // A request made while a drawing is under way stays pending until that drawing is done.
        if (m_needsDisplay && !m_pending->inFlight) {
            m_needsDisplay = false;
            m_pending->inFlight = true;
            // The layer's drawing state (its paths and colour) does not change once it is
            // handed over, so the worker may read it; the layer lives until the job ends.
            drawingQueue()->async([self = shared_from_this()] {
                auto bitmap = self->drawContents();
                std::lock_guard done(self->m_pending->mutex);
                self->m_pending->result = std::move(bitmap);
                self->m_pending->ready = true;
                self->m_pending->inFlight = false;
            });
        }
    }
    if (!wait)
        return;
    finishAsynchronousDrawing();
    takeFinishedDrawing();
    if (m_needsDisplay) {
        m_needsDisplay = false;
        m_contents = drawContents();
        setNeedsRedisplay();
    }
}

void Layer::finishAsynchronousDrawing()
{
    drawingQueue()->sync([] {});
}

void Layer::setNeedsRedisplay()
{
    for (Layer* layer = this; layer;) {
        ++layer->m_revision;
        const auto parent = layer->m_superlayer.lock();
        layer = parent.get();
    }
}

void Layer::renderInContext(cairo_t* context)
{
    CairoTarget target(context);
    Compositor::draw(target, *this, gfx::AffineTransform());
}

} // namespace kaleon::anim
