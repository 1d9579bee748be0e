#include "layers/border_layer.h"
#include "layers/path_layers.h"

#include "anim/cairo_target.h"

#include <gtest/gtest.h>

using namespace kaleon;
using gfx::Color;
using layers::TGFlattenedPathLayer;
using layers::TGPathLayer;

namespace {

// Two squares overlapping in (10..20, 10..20), wound in opposite directions.
std::shared_ptr<svg::TGSVG> oppositeSquares()
{
    return svg::TGSVG::makeWithSVGString("<svg><path d='M0,0H20V20H0Z'/><path d='M10,10V30H30V10Z'/></svg>");
}

// Renders a layer tree (its model values) into a bitmap of the given size at scale 1.
std::shared_ptr<gfx::Bitmap> render(anim::Layer& layer, int width, int height)
{
    auto target = anim::BitmapTarget::create(width, height);
    layer.renderInContext(target->bitmap()->createContext().get());
    return target->bitmap();
}

} // namespace

TEST(TGPathLayer, OneRedShapeLayerPerPathUntilColoured)
{
    EXPECT_TRUE(TGPathLayer::makeWithSVG(svg::TGSVG::make().get())->sublayers().empty());
    EXPECT_TRUE(TGPathLayer::makeWithSVG(nullptr)->sublayers().empty());

    const auto document = oppositeSquares();
    auto layer = TGPathLayer::makeWithSVG(document.get());
    ASSERT_EQ(layer->sublayers().size(), 2u);
    auto* first = dynamic_cast<anim::ShapeLayer*>(layer->sublayers()[0].get());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->path(), document->cgPaths()[0]) << "the document's own path, not a copy";
    EXPECT_EQ(first->fillColor(), Color::fromRGB8(255, 0, 0));

    layer->setFrame({ 0, 0, 30, 30 });
    EXPECT_EQ(render(*layer, 30, 30)->pixel(5, 5), Color::fromRGB8(255, 0, 0));
    layer->setFillColors(Color::fromRGB8(0, 0, 255));
    layer->setFillColors(Color::white());
    for (const auto& sublayer : layer->sublayers())
        EXPECT_EQ(dynamic_cast<anim::ShapeLayer*>(sublayer.get())->fillColor(), Color::white());
    // Each path filled on its own: the overlap is filled, not cut out.
    EXPECT_EQ(render(*layer, 30, 30)->pixel(15, 15), Color::white());
}

TEST(TGFlattenedPathLayer, FillsAllPathsAtOnceSoOppositeWindingsCutHoles)
{
    const auto document = oppositeSquares();
    auto layer = TGFlattenedPathLayer::makeWithSVG(document.get());
    EXPECT_EQ(layer->contentsScale(), 2.0);
    EXPECT_EQ(&layer->paths(), &layer->paths());
    EXPECT_EQ(layer->paths(), document->cgPaths());
    layer->setFrame({ 0, 0, 30, 30 });
    layer->setFillColors(Color::fromRGB8(0, 128, 0));
    EXPECT_EQ(layer->pathFillColor(), Color::fromRGB8(0, 128, 0));
    layer->setNeedsDisplay();
    const auto picture = render(*layer, 30, 30);
    EXPECT_EQ(picture->pixel(5, 5), Color::fromRGB8(0, 128, 0));
    EXPECT_EQ(picture->pixel(25, 25), Color::fromRGB8(0, 128, 0));
    EXPECT_EQ(picture->pixel(15, 15).alpha, 0.0) << "the hole";

    // No paths, or no colour: nothing is drawn.
    auto empty = TGFlattenedPathLayer::makeWithSVG(svg::TGSVG::make().get());
    empty->setFrame({ 0, 0, 10, 10 });
    empty->setFillColors(Color::black());
    empty->setNeedsDisplay();
    EXPECT_EQ(render(*empty, 10, 10)->pixel(5, 5).alpha, 0.0);
    auto uncoloured = TGFlattenedPathLayer::makeWithSVG(document.get());
    uncoloured->setFrame({ 0, 0, 30, 30 });
    uncoloured->setNeedsDisplay();
    EXPECT_EQ(render(*uncoloured, 30, 30)->pixel(5, 5).alpha, 0.0);
}

TEST(TGFlattenedPathLayer, DrawsOnAWorkerWhenAsked)
{
    const auto document = oppositeSquares();
    auto layer = TGFlattenedPathLayer::makeWithSVG(document.get());
    layer->setFrame({ 0, 0, 30, 30 });
    layer->setFillColors(Color::black());
    layer->setDrawsAsynchronously(true);
    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    anim::Layer::finishAsynchronousDrawing();
    layer->displayIfNeeded();
    ASSERT_NE(layer->contents(), nullptr);
    EXPECT_EQ(layer->contents()->width(), 60) << "drawn at contents scale 2";
}

TEST(TGSVGPathProperties, Description)
{
    const layers::TGSVGPathProperties properties { Color::fromRGB8(255, 0, 0), 0.5 };
    EXPECT_EQ(properties.description(), "Fill: #ff0000 - Opacity: 0.500000");
}

TEST(TGBorderLayer, PaintsStripsWiderThanOnePoint)
{
    struct Case {
        double horizontal;
        double vertical;
        bool left;
        bool top;
        bool middle;
    };
    const Case cases[] = {
        { 0.5, 1.0, false, false, false }, { 1.5, 2.0, true, true, false },
        { 30, 0, true, true, true }, // wider than half: the side strips cover the middle, top row too
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.horizontal);
        auto border = layers::TGBorderLayer::create();
        border->setFrame({ 0, 0, 40, 20 });
        border->setBorderFillColor(Color::fromRGB8(255, 0, 0));
        border->setHorizontalBorderWidth(c.horizontal);
        border->setVerticalBorderWidth(c.vertical);
        const auto picture = render(*border, 40, 20);
        EXPECT_EQ(picture->pixel(0, 10).alpha > 0, c.left);
        EXPECT_EQ(picture->pixel(39, 10).alpha > 0, c.left);
        EXPECT_EQ(picture->pixel(20, 0).alpha > 0, c.top);
        EXPECT_EQ(picture->pixel(20, 19).alpha > 0, c.top);
        EXPECT_EQ(picture->pixel(20, 10).alpha > 0, c.middle);
    }
}

TEST(TGBorderLayer, ChangesAfterTheFirstDisplayShow)
{
    auto border = layers::TGBorderLayer::create();
    border->setFrame({ 0, 0, 40, 20 });
    border->setHorizontalBorderWidth(5);
    EXPECT_EQ(render(*border, 40, 20)->pixel(1, 10), Color::black());
    border->setBorderFillColor(Color::fromRGB8(0, 0, 255));
    border->setVerticalBorderWidth(4);
    const auto picture = render(*border, 40, 20);
    EXPECT_EQ(picture->pixel(1, 10), Color::fromRGB8(0, 0, 255));
    EXPECT_EQ(picture->pixel(20, 1), Color::fromRGB8(0, 0, 255));
}

TEST(TGPathView, FillsPathsInAFlippedSpace)
{
    layers::TGPathView view({ 0, 0, 20, 20 });
    EXPECT_TRUE(view.isFlipped());
    gfx::Path top;
    top.moveTo({ 0, 0 });
    top.lineTo({ 20, 0 });
    top.lineTo({ 20, 4 });
    top.lineTo({ 0, 4 });
    top.closeSubpath();
    view.bezierPaths = { std::make_shared<const gfx::Path>(top) };
    view.fillColor = Color::fromRGB8(0, 0, 255);

    auto bitmap = gfx::Bitmap::create(20, 20);
    const auto context = bitmap->createContext();
    gfx::setSourceColor(context.get(), Color::fromRGB8(0, 255, 0));
    cairo_paint(context.get());
    view.drawRect(context.get(), view.bounds());
    EXPECT_EQ(bitmap->pixel(10, 1), Color::fromRGB8(0, 0, 255)) << "y = 0 is the top edge";
    EXPECT_EQ(bitmap->pixel(10, 10), Color::fromRGB8(0, 255, 0)) << "no background: untouched";
    view.backgroundFillColor = Color::white();
    view.drawRect(context.get(), view.bounds());
    EXPECT_EQ(bitmap->pixel(10, 10), Color::white());
}
