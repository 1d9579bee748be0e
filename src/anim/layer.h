#pragma once

#include "anim/animation.h"
#include "gfx/affine_transform.h"
#include "gfx/bitmap.h"
#include "gfx/color.h"
#include "gfx/geometry.h"

#include <cairo.h>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kaleon::anim {

class Animator;

// A node of the layer tree. Parents own their sublayers; a sublayer only points back at its
// parent weakly, so dropping the root frees the whole tree. Coordinates grow right and down.
//
// A layer sits at `position` (its centre) in its superlayer, moved by `transform` about that
// centre. It draws its background colour over its bounds, then its contents stretched over its
// bounds, then its sublayers in order, each on top. A layer that draws itself (`drawInContext`)
// gets its contents from that, at its contents scale, when marked with `setNeedsDisplay`.
//
// Properties hold model values; running animations change only what is shown (presentation).
// Main thread only, except the drawing of layers marked to draw asynchronously.
class Layer : public std::enable_shared_from_this<Layer> {
public:
    static std::shared_ptr<Layer> create() { return std::shared_ptr<Layer>(new Layer()); }
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    gfx::Rect frame() const;
    void setFrame(const gfx::Rect& frame);
    gfx::Rect bounds() const { return m_bounds; }
    void setBounds(const gfx::Rect& bounds);
    gfx::Point position() const { return m_position; }
    void setPosition(gfx::Point position);
    const gfx::AffineTransform& transform() const { return m_transform; }
    void setTransform(const gfx::AffineTransform& transform);
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);

    std::optional<gfx::Color> backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(std::optional<gfx::Color> color);

    std::shared_ptr<const gfx::Bitmap> contents() const;
    void setContents(std::shared_ptr<const gfx::Bitmap> contents);
    double contentsScale() const { return m_contentsScale; }
    void setContentsScale(double scale);

    void addSublayer(std::shared_ptr<Layer> sublayer);
    // Leaving the tree stops this layer's (and its sublayers') animations: their delegates
    // hear `finished` false.
    void removeFromSuperlayer();
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return m_sublayers; }
    std::shared_ptr<Layer> superlayer() const { return m_superlayer.lock(); }

    void addAnimation(std::shared_ptr<BasicAnimation> animation, std::string key);
    void removeAnimationForKey(const std::string& key);
    std::shared_ptr<BasicAnimation> animationForKey(const std::string& key) const;
    bool hasAnimations() const { return !m_animations.empty(); }

    // What the screen shows at `now`: the model values as running animations change them.
    gfx::AffineTransform presentationTransform(double now) const;
    double presentationOpacity(double now) const;

    // Self-drawing layers.
    void setNeedsDisplay();
    bool needsDisplay() const { return m_needsDisplay; }
    bool drawsAsynchronously() const { return m_drawsAsynchronously; }
    void setDrawsAsynchronously(bool asynchronously) { m_drawsAsynchronously = asynchronously; }
    // Brings the contents up to date: draws now, or (for asynchronous layers, unless `wait`)
    // starts drawing on a worker thread and picks the result up on a later call.
    void displayIfNeeded(bool wait = false);
    // Waits for every asynchronous drawing started so far.
    static void finishAsynchronousDrawing();

    // Grows whenever this layer or anything below it changed in a way that shows.
    std::uint64_t revision() const { return m_revision; }

    // Draws the layer and its sublayers from their own (model) properties into a Cairo context
    // whose user space is this layer's coordinate space, as the screen would show them.
    void renderInContext(cairo_t* context);

    // The rectangle (in this layer's space) that its drawn contents cover: the bounds, unless a
    // subclass draws elsewhere.
    virtual gfx::Rect contentsRect() const { return m_bounds; }
    // Where the contents bitmap is drawn: contents a layer drew itself keep their pixel size at
    // the contents scale (so they land pixel for pixel on a screen of that scale); contents
    // given from outside are stretched over the contents rectangle.
    gfx::Rect contentsDestination() const;

protected:
    Layer() = default;
    void setNeedsRedisplay();

    // Layers that draw themselves override both: `drawsContent` true, and `drawInContext`
    // drawing into a context whose user space is this layer's, covering `contentsRect`.
    virtual bool drawsContent() const { return false; }
    virtual void drawInContext(cairo_t*) const { }
    // A layer that draws in one colour only may name it: its contents then keep coverage alone
    // (a tinted bitmap), and whatever `drawInContext` draws counts only by its alpha.
    virtual std::optional<gfx::Color> contentsTint() const { return std::nullopt; }

private:
    friend class Animator;
    struct Running {
        std::string key;
        std::shared_ptr<BasicAnimation> animation;
        bool ended = false;
    };

    std::shared_ptr<gfx::Bitmap> drawContents() const;
    // Picks up the result of a drawing done on the worker, if one is waiting.
    void takeFinishedDrawing();
    void stopAnimationsInSubtree();
    std::optional<AnimatedValue> animatedValue(const std::string& keyPath, double now) const;

    std::weak_ptr<Layer> m_superlayer;
    std::vector<std::shared_ptr<Layer>> m_sublayers;
    gfx::Rect m_bounds;
    gfx::Point m_position;
    gfx::AffineTransform m_transform;
    double m_opacity = 1.0;
    std::optional<gfx::Color> m_backgroundColor;
    std::shared_ptr<const gfx::Bitmap> m_contents;
    double m_contentsScale = 1.0;
    std::vector<Running> m_animations;
    bool m_needsDisplay = false;
    bool m_drawsAsynchronously = false;
    std::uint64_t m_revision = 0;

    // Where an asynchronous drawing leaves its result for the main thread.
    struct PendingDrawing {
        std::mutex mutex;
        bool inFlight = false;
        std::shared_ptr<const gfx::Bitmap> result;
        bool ready = false;
    };
    std::shared_ptr<PendingDrawing> m_pending = std::make_shared<PendingDrawing>();
};

} // namespace kaleon::anim
