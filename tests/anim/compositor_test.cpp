#include "anim/cairo_target.h"
#include "anim/compositor.h"
#include "gfx/cairo_drawing.h"

#include <cmath>
#include <gtest/gtest.h>
#include <set>

using namespace kaleon;
using anim::ImageHandle;
using anim::Layer;

namespace {

// Counts what the compositor asks of a target.
class CountingTarget final : public anim::RenderTarget {
public:
    gfx::Size pixelSize() const override { return { 100, 50 }; }
    ImageHandle upload(const std::shared_ptr<const gfx::Bitmap>&) override
    {
        ++uploads;
        live.insert(next);
        return next++;
    }
    void release(ImageHandle image) override { live.erase(image); }
    void fillRect(const gfx::Rect& rect, const gfx::Color&, const gfx::AffineTransform& transform) override
    {
        filled.push_back(
            { transform.map(rect.origin), { rect.width() * transform.a(), rect.height() * transform.d() } });
    }
    void drawImage(ImageHandle, const gfx::Rect&, const gfx::AffineTransform&, double) override { ++images; }
    void present(const gfx::PixelRect&) override { ++presents; }

    int uploads = 0;
    int images = 0;
    int presents = 0;
    ImageHandle next = 1;
    std::set<ImageHandle> live;
    std::vector<gfx::Rect> filled;
};

} // namespace

TEST(Compositor, UploadsContentsOnceAndReleasesThemWhenGone)
{
    CountingTarget target;
    auto root = Layer::create();
    root->setFrame({ 0, 0, 50, 25 });
    auto layer = Layer::create();
    layer->setFrame({ 0, 0, 10, 10 });
    layer->setContents(gfx::Bitmap::create(4, 4));
    root->addSublayer(layer);
    {
        anim::Compositor compositor(target);
        compositor.drawFrame(*root, 2.0, 0.0);
        compositor.drawFrame(*root, 2.0, 0.0);
        EXPECT_EQ(target.uploads, 1);
        EXPECT_EQ(target.images, 2);
        EXPECT_EQ(target.presents, 2);
        EXPECT_EQ(target.live.size(), 1u);

        layer->setContents(gfx::Bitmap::create(4, 4));
        compositor.drawFrame(*root, 2.0, 0.0);
        EXPECT_EQ(target.uploads, 2);
        EXPECT_EQ(target.live.size(), 1u);

        layer->removeFromSuperlayer();
        compositor.drawFrame(*root, 2.0, 0.0);
        EXPECT_TRUE(target.live.empty());
    }
    EXPECT_TRUE(target.live.empty());
}

TEST(Compositor, ScalesPointsToPixels)
{
    CountingTarget target;
    auto root = Layer::create();
    root->setFrame({ 0, 0, 50, 25 });
    auto layer = Layer::create();
    layer->setFrame({ 5, 10, 20, 5 });
    layer->setBackgroundColor(gfx::Color::white());
    root->addSublayer(layer);
    anim::Compositor compositor(target);
    compositor.drawFrame(*root, 2.0, 0.0);
    // The clear, then the sublayer's background (the root has none).
    ASSERT_EQ(target.filled.size(), 2u);
    EXPECT_EQ(target.filled[1], gfx::Rect(10, 20, 40, 10));
}

TEST(Compositor, ClearsOnlyWhatTheTreeDoesNotPaintOpaquely)
{
    // The clear is a fill of the whole target before any layer's own.
    const auto clears = [](const std::shared_ptr<Layer>& root) {
        CountingTarget target;
        anim::Compositor compositor(target);
        compositor.drawFrame(*root, 2.0, 0.0);
        const size_t ownFills = root->sublayers().front()->backgroundColor() ? 1 : 0;
        return target.filled.size() > ownFills;
    };
    auto root = Layer::create();
    root->setFrame({ 0, 0, 50, 25 });
    auto background = Layer::create();
    background->setFrame({ 0, 0, 50, 25 });
    root->addSublayer(background);
    EXPECT_TRUE(clears(root)); // nothing painted yet

    background->setBackgroundColor(gfx::Color { 0, 0, 1, 1 });
    EXPECT_FALSE(clears(root));

    background->setBackgroundColor(gfx::Color { 0, 0, 1, 0.5 });
    EXPECT_TRUE(clears(root)); // shows through

    background->setBackgroundColor(gfx::Color { 0, 0, 1, 1 });
    background->setFrame({ 1, 0, 50, 25 });
    EXPECT_TRUE(clears(root)); // leaves a column bare

    background->setFrame({ 0, 0, 50, 25 });
    background->setOpacity(0.5);
    EXPECT_TRUE(clears(root));

    background->setOpacity(1);
    background->setBackgroundColor(std::nullopt);
    auto picture = gfx::Bitmap::create(100, 50);
    picture->setOpaque(true);
    background->setContents(picture);
    EXPECT_FALSE(clears(root)); // opaque contents over the whole layer
}

TEST(Compositor, OnATargetThatKeepsItsPixelsRedrawsOnlyWhatChanged)
{
    auto root = Layer::create();
    root->setFrame({ 0, 0, 60, 40 });
    auto background = Layer::create();
    background->setFrame({ 0, 0, 60, 40 });
    background->setBackgroundColor(gfx::Color::fromRGB8(10, 20, 30));
    root->addSublayer(background);
    auto shape = Layer::create();
    shape->setFrame({ 2, 3, 8, 6 });
    auto picture = gfx::Bitmap::createTinted(8, 6, gfx::Color::fromRGB8(250, 0, 0));
    {
        const auto context = picture->createContext();
        cairo_arc(context.get(), 4, 3, 3, 0, 7);
        cairo_fill(context.get());
    }
    shape->setContents(picture);
    root->addSublayer(shape);

    auto kept = anim::BitmapTarget::create(60, 40);
    anim::Compositor compositor(*kept);
    EXPECT_EQ(compositor.drawFrame(*root, 1, 0), (gfx::PixelRect { 0, 0, 60, 40 }));
    EXPECT_TRUE(compositor.drawFrame(*root, 1, 0).isEmpty()) << "nothing changed: nothing drawn";

    for (const gfx::Point position : { gfx::Point { 20, 10 }, gfx::Point { 23.5, 11 }, gfx::Point { 55, 38 } }) {
        const gfx::Point before = shape->position();
        shape->setPosition(position);
        const auto changed = compositor.drawFrame(*root, 1, 0);
        // The shape's old and new places, a pixel around each, and nothing else.
        EXPECT_LE(changed.width, static_cast<int>(std::abs(position.x - before.x)) + 8 + 4);
        EXPECT_LE(changed.height, static_cast<int>(std::abs(position.y - before.y)) + 6 + 4);

        auto fresh = anim::BitmapTarget::create(60, 40);
        anim::Compositor(*fresh).drawFrame(*root, 1, 0);
        int differences = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 60; ++x)
                differences += kept->bitmap()->pixel(x, y) == fresh->bitmap()->pixel(x, y) ? 0 : 1;
        }
        EXPECT_EQ(differences, 0) << "at " << position.x << "," << position.y;
    }
    compositor.invalidate();
    EXPECT_EQ(compositor.drawFrame(*root, 1, 0), (gfx::PixelRect { 0, 0, 60, 40 }));
}
