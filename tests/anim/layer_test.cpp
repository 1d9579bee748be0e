#include "anim/cairo_target.h"
#include "anim/layer.h"

#include "gfx/cairo_drawing.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>

using namespace kaleon;
using anim::Layer;
using gfx::Color;

TEST(Layer, FrameSetsBoundsSizeAndPosition)
{
    auto layer = Layer::create();
    layer->setFrame({ 10, 20, 100, 50 });
    EXPECT_EQ(layer->bounds(), gfx::Rect(0, 0, 100, 50));
    EXPECT_EQ(layer->position(), (gfx::Point { 60, 45 }));
    EXPECT_EQ(layer->frame(), gfx::Rect(10, 20, 100, 50));
}

TEST(Layer, SublayersKeepOrderAndMoveBetweenParents)
{
    auto root = Layer::create();
    auto other = Layer::create();
    auto a = Layer::create();
    auto b = Layer::create();
    root->addSublayer(a);
    root->addSublayer(b);
    ASSERT_EQ(root->sublayers().size(), 2u);
    EXPECT_EQ(root->sublayers()[0], a);
    EXPECT_EQ(root->sublayers()[1], b);
    EXPECT_EQ(a->superlayer(), root);

    other->addSublayer(a);
    EXPECT_EQ(root->sublayers(), std::vector<std::shared_ptr<Layer>> { b });
    EXPECT_EQ(a->superlayer(), other);

    b->removeFromSuperlayer();
    EXPECT_TRUE(root->sublayers().empty());
    EXPECT_EQ(b->superlayer(), nullptr);
    b->removeFromSuperlayer(); // no parent: nothing happens
}

TEST(Layer, RemovingLastReferenceIsSafe)
{
    auto root = Layer::create();
    std::weak_ptr<Layer> watch;
    {
        auto child = Layer::create();
        watch = child;
        root->addSublayer(child);
    }
    ASSERT_FALSE(watch.expired());
    watch.lock()->removeFromSuperlayer();
    EXPECT_TRUE(watch.expired());
}

TEST(Layer, DroppingTheRootFreesTheTree)
{
    std::weak_ptr<Layer> watch;
    {
        auto root = Layer::create();
        auto child = Layer::create();
        watch = child;
        root->addSublayer(child);
    }
    EXPECT_TRUE(watch.expired());
}

TEST(Layer, ChangesBelowRaiseTheRootRevision)
{
    auto root = Layer::create();
    auto child = Layer::create();
    root->addSublayer(child);
    auto revision = root->revision();
    child->setBackgroundColor(Color::white());
    EXPECT_GT(root->revision(), revision);
    revision = root->revision();
    child->removeFromSuperlayer();
    EXPECT_GT(root->revision(), revision);
    revision = root->revision();
    child->setBackgroundColor(Color::black()); // no longer in the tree
    EXPECT_EQ(root->revision(), revision);
}

TEST(Layer, RendersBackgroundsContentsAndSublayersInPlace)
{
    auto root = Layer::create();
    root->setFrame({ 0, 0, 40, 20 });
    root->setBackgroundColor(Color::fromRGB8(0, 0, 255));
    auto child = Layer::create();
    child->setFrame({ 20, 10, 20, 10 });
    child->setBackgroundColor(Color::fromRGB8(255, 0, 0));
    root->addSublayer(child);

    // A 2 × 1 picture stretched over a 10 × 10 layer: green left half, white right half.
    auto picture = gfx::Bitmap::create(2, 1);
    {
        const auto context = picture->createContext();
        cairo_t* cr = context.get();
        gfx::setSourceColor(cr, Color::fromRGB8(0, 255, 0));
        cairo_rectangle(cr, 0, 0, 1, 1);
        cairo_fill(cr);
        gfx::setSourceColor(cr, Color::white());
        cairo_rectangle(cr, 1, 0, 1, 1);
        cairo_fill(cr);
    }
    auto pictured = Layer::create();
    pictured->setFrame({ 0, 0, 10, 10 });
    pictured->setContents(picture);
    root->addSublayer(pictured);

    auto target = anim::BitmapTarget::create(40, 20);
    root->renderInContext(target->bitmap()->createContext().get());

    const auto& bitmap = *target->bitmap();
    EXPECT_EQ(bitmap.pixel(30, 5), Color::fromRGB8(0, 0, 255));
    EXPECT_EQ(bitmap.pixel(25, 15), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(bitmap.pixel(39, 19), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(bitmap.pixel(1, 5), Color::fromRGB8(0, 255, 0));
    EXPECT_EQ(bitmap.pixel(8, 5), Color::fromRGB8(255, 255, 255));
    EXPECT_EQ(bitmap.pixel(15, 5), Color::fromRGB8(0, 0, 255));
}

namespace {

// Fills itself in a colour that may change between drawings; its drawing on the worker waits
// until the test opens the gate.
class GatedLayer : public Layer {
public:
    static std::shared_ptr<GatedLayer> create() { return std::shared_ptr<GatedLayer>(new GatedLayer()); }
    std::atomic<bool> blue = false;
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    mutable std::promise<void> started;
    mutable std::atomic<bool> startedOnce = false;

protected:
    bool drawsContent() const override { return true; }
    void drawInContext(cairo_t* context) const override
    {
        const bool drawnBlue = blue;
        if (!startedOnce.exchange(true))
            started.set_value();
        opened.wait();
        gfx::setSourceColor(context, drawnBlue ? Color::fromRGB8(0, 0, 255) : Color::fromRGB8(255, 0, 0));
        cairo_paint(context);
    }
};

} // namespace

TEST(Layer, ARedrawAskedForDuringABackgroundDrawingIsNotLost)
{
    auto layer = GatedLayer::create();
    layer->setFrame({ 0, 0, 4, 4 });
    layer->setDrawsAsynchronously(true);
    layer->setNeedsDisplay();
    layer->displayIfNeeded(); // the red drawing starts and waits at the gate
    layer->started.get_future().wait();
    layer->blue = true;
    layer->setNeedsDisplay();
    layer->displayIfNeeded(); // still drawing red: the new request must wait, not vanish
    layer->gate.set_value();
    layer->displayIfNeeded(true);
    ASSERT_TRUE(layer->contents());
    EXPECT_EQ(layer->contents()->pixel(1, 1), Color::fromRGB8(0, 0, 255));
}
