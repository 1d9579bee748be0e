#include "saver/kaleon_screensaver_view.h"

#include "anim/animator.h"
#include "anim/cairo_target.h"
#include "anim/compositor.h"
#include "core/log.h"
#include "core/random.h"
#include "host/frame_clock.h"
#include "host/offscreen_host.h"
#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"
#include "supply/shape_file.h"
#include "supply/svg_manager.h"
#include "support/saver_state.h"
#include "support/test_support.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace kaleon;
using saver::KaleonScreensaverView;

namespace {

// A view in a window of its own, with shapes from the shipped artwork, driven by hand.
class Motion : public test::SaverStateTest {
protected:
    std::uint64_t seed() const override { return 7; }
    void SetUp() override
    {
        SaverStateTest::SetUp();
        supply::moduleDefaults()->setValue(supply::TGKaleonSpeedDefaultsKey, PlistValue(100.0));
        supply::TGSVGManager::instance()->setSvgPath(KALEON_TEST_RESOURCES_DIR);
    }

    std::shared_ptr<KaleonScreensaverView> makeView(gfx::Size size, double scale)
    {
        const gfx::Rect frame { 0, 0, size.width, size.height };
        window = host::Window::create(frame, scale, host::Screen { frame, scale });
        auto view = KaleonScreensaverView::make(frame, false);
        view->moveToWindow(window);
        return view;
    }

    // One frame call at `now`, its slide begun at once.
    void frameAt(KaleonScreensaverView& view, double now) { host::runFrame(view, now); }

    std::shared_ptr<host::Window> window;
};

// The screen's picture of a tree at `now`, at `scale`.
std::shared_ptr<gfx::Bitmap> screen(anim::Layer& root, double scale, double now)
{
    auto target = anim::BitmapTarget::create(
        static_cast<int>(root.bounds().width() * scale), static_cast<int>(root.bounds().height() * scale));
    anim::Layer::finishAsynchronousDrawing();
    anim::Compositor compositor(*target);
    compositor.drawFrame(root, scale, now);
    anim::Layer::finishAsynchronousDrawing();
    compositor.drawFrame(root, scale, now);
    return target->bitmap();
}

} // namespace

TEST(MotionTable, StartOffsetsForEachDirection)
{
    const gfx::Size wide { 2560, 1280 };
    struct Case {
        std::int64_t direction;
        std::uint64_t counter;
        gfx::AffineTransform offset;
    };
    const Case cases[] = {
        { 0, 0, gfx::AffineTransform::translation(0, 1360) },
        { 0, 1, gfx::AffineTransform::translation(0, -1360) },
        { 0, 2, gfx::AffineTransform::translation(-2560, 0) },
        { 0, 3, gfx::AffineTransform::translation(2560, 0) },
        { 1, 0, gfx::AffineTransform::translation(-2560, 0) },
        { 1, 3, gfx::AffineTransform::translation(2560, 0) },
        { 2, 9, gfx::AffineTransform::translation(-2560, 0) },
        { 3, 0, gfx::AffineTransform::translation(2560, 0) },
        { 4, 0, gfx::AffineTransform::translation(0, -1360) },
        { 5, 0, gfx::AffineTransform::translation(0, 1360) },
        { 7, 0, {} },
        { -1, 0, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.direction) + "/" + std::to_string(c.counter));
        EXPECT_EQ(saver::startOffset(supply::directionFromStored(c.direction), c.counter, wide, 80), c.offset);
    }
    // A square shape overhanging a 2560 × 1440 screen: ±(2560 − 560).
    EXPECT_EQ(saver::startOffset(supply::Direction::FromBelow, 0, { 2560, 2560 }, -560),
        gfx::AffineTransform::translation(0, 2000));
}

TEST(MotionTable, TheCounterIsSharedAcrossSwitches)
{
    std::uint64_t counter = 0;
    std::vector<std::uint64_t> seen;
    for (std::int64_t direction : { 0, 0, 3, 3, 0, 0, 0, 1, 1, 1 }) {
        seen.push_back(counter);
        counter = saver::nextPositionIndex(supply::directionFromStored(direction), counter);
    }
    EXPECT_EQ(seen, (std::vector<std::uint64_t> { 0, 1, 2, 2, 2, 3, 0, 1, 0, 1 }));
    // Leaving direction 0 at 3 for direction 1: one entry from the right, then back to 0.
    EXPECT_EQ(
        saver::startOffset(supply::Direction::LeftRight, 3, { 10, 10 }, 0), gfx::AffineTransform::translation(10, 0));
    EXPECT_EQ(saver::nextPositionIndex(supply::Direction::LeftRight, 3), 0u);
}

TEST(PictureGeometry, SizesAndRowLengths)
{
    const auto a = saver::pictureGeometry(1001.7, 500.2, 2);
    EXPECT_EQ(a.width, 2002);
    EXPECT_EQ(a.height, 1000);
    EXPECT_EQ(a.bytesPerRow, 8008);
    const auto b = saver::pictureGeometry(1001, 10, 1.5);
    EXPECT_EQ(b.width, 1501);
    EXPECT_EQ(b.bytesPerRow, 6006);
    EXPECT_EQ(saver::pictureGeometry(100, 100, 0).width, 0);
    EXPECT_EQ(saver::pictureGeometry(std::nan(""), 100, 1).width, 0);
}

TEST_F(Motion, DirectionZeroCyclesBelowAboveLeftRight)
{
    auto view = makeView({ 640, 360 }, 1);
    std::vector<std::string> entries;
    for (int i = 0; i < 5; ++i) {
        view->configureAnimationTransform();
        const auto t = view->animatingLayer()->transform();
        entries.push_back(t.ty() > 0 ? "below" : t.ty() < 0 ? "above" : t.tx() < 0 ? "left" : "right");
    }
    EXPECT_EQ(entries, (std::vector<std::string> { "below", "above", "left", "right", "below" }));
    supply::moduleDefaults()->setInteger(supply::TGKaleonAnimationDirectionDefaultsKey, 7);
    view->configureAnimationTransform();
    EXPECT_TRUE(view->animatingLayer()->transform().isIdentity());
    EXPECT_EQ(view->viewPositionIndex(), 1u);
}

TEST_F(Motion, ShapesPileUpAsOneBackgroundLayer)
{
    auto view = makeView({ 320, 180 }, 1);
    const double interval = view->animationInterval();
    ASSERT_DOUBLE_EQ(interval, 1.0);
    for (int i = 0; i < 6; ++i) {
        const double start = i * interval;
        frameAt(*view, start);
        ASSERT_EQ(view->layer()->sublayers().size(), 2u);
        const auto slide = view->animatingLayer()->animationForKey("transform");
        ASSERT_TRUE(slide);
        EXPECT_DOUBLE_EQ(slide->duration(), 0.7);
        anim::Animator::shared().tick(start + 0.69);
        EXPECT_EQ(view->layer()->sublayers().size(), 2u);
        anim::Animator::shared().tick(start + 0.7);
        EXPECT_EQ(view->layer()->sublayers(), std::vector<std::shared_ptr<anim::Layer>> { view->backgroundLayer() });
        EXPECT_NE(view->backgroundLayer()->contents(), nullptr);
        EXPECT_TRUE(view->animatingLayer()->transform().isIdentity());
        // Once in the picture, the shape's own pixels are given up.
        EXPECT_EQ(view->animatingLayer()->contents(), nullptr);
    }
}

TEST_F(Motion, ThePictureIsWhatTheScreenShowed)
{
    supply::moduleDefaults()->setInteger(supply::TGKaleonAnimationDirectionDefaultsKey, 2);
    auto view = makeView({ 300, 200 }, 2);
    frameAt(*view, 0);
    // Just before the end of the slide the shape is at rest on screen (to within half a pixel).
    anim::Animator::shared().tick(0.6999999);
    const auto live = screen(*view->layer(), 2, 0.7);
    anim::Animator::shared().tick(0.7);
    ASSERT_EQ(view->layer()->sublayers().size(), 1u);
    const auto flattened = screen(*view->layer(), 2, 0.8);
    ASSERT_EQ(live->width(), flattened->width());
    int differences = 0;
    for (int y = 0; y < live->height(); ++y) {
        for (int x = 0; x < live->width(); ++x)
            differences += live->pixel(x, y) == flattened->pixel(x, y) ? 0 : 1;
    }
    EXPECT_EQ(differences, 0);
}

TEST_F(Motion, ANewSizeStartsThePictureAgainInItsColour)
{
    // The picture so far was made at the old size: stretched to a larger window it would show
    // blurred and blocky until new shapes covered it.
    auto view = makeView({ 320, 180 }, 1);
    frameAt(*view, 0);
    anim::Animator::shared().tick(0.7);
    ASSERT_NE(view->backgroundLayer()->contents(), nullptr);
    const auto colour = view->backgroundLayer()->backgroundColor();
    view->setFrameSize({ 640, 360 });
    EXPECT_EQ(view->backgroundLayer()->frame(), gfx::Rect(0, 0, 640, 360));
    EXPECT_EQ(view->backgroundLayer()->contents(), nullptr);
    EXPECT_EQ(view->backgroundLayer()->backgroundColor(), colour);
    frameAt(*view, 1);
    anim::Animator::shared().tick(1.7);
    ASSERT_NE(view->backgroundLayer()->contents(), nullptr);
    EXPECT_EQ(view->backgroundLayer()->contents()->width(), 640) << "the next picture is made at the new size";
}

TEST_F(Motion, AResetDuringASlideStopsItWithoutAPicture)
{
    auto view = makeView({ 320, 180 }, 1);
    frameAt(*view, 0);
    anim::Animator::shared().tick(0.3);
    const auto shape = view->animatingLayer();
    view->reset();
    anim::Animator::shared().tick(0.4);
    anim::Animator::shared().tick(2.0);
    EXPECT_EQ(shape->superlayer(), nullptr);
    EXPECT_EQ(view->backgroundLayer()->contents(), nullptr) << "no flattening for the interrupted shape";
    EXPECT_EQ(view->layer()->sublayers().size(), 1u);
}

TEST_F(Motion, AFailedBitmapLeavesThePlainColour)
{
    auto view = makeView({ 320, 180 }, 1);
    frameAt(*view, 0);
    anim::Animator::shared().tick(0.7);
    ASSERT_NE(view->backgroundLayer()->contents(), nullptr);
    view->moveToWindow(nullptr); // out of its window: the content scale is 0
    view->moveToWindow(nullptr);
    frameAt(*view, 1);
    ScopedLogCapture capture;
    anim::Animator::shared().tick(1.7);
    EXPECT_EQ(capture.lines(), std::vector<std::string> { "Failed to create context." });
    EXPECT_FALSE(view->cannotDraw()) << "nothing to draw is no failure";
    EXPECT_EQ(view->backgroundLayer()->contents(), nullptr);
    EXPECT_EQ(view->layer()->sublayers().size(), 1u);
    // The next frames go on normally once the view is back in a window.
    view->moveToWindow(window);
    frameAt(*view, 2);
    anim::Animator::shared().tick(2.7);
    EXPECT_NE(view->backgroundLayer()->contents(), nullptr);

    // A picture larger than any bitmap is a failure the host must hear of. (No shapes: only
    // the picture is tried.)
    test::TemporaryDirectory resources;
    std::filesystem::copy_file(KALEON_TEST_RESOURCES_DIR "/KaleonColors.plist", resources / "KaleonColors.plist");
    test::ScopedEnvironment folder("KALEON_RESOURCES", resources.path().string());
    auto huge = makeView({ gfx::kLargestBitmapSide + 1.0, 10 }, 1);
    frameAt(*huge, 3);
    anim::Animator::shared().tick(3.7);
    EXPECT_TRUE(huge->cannotDraw());
}

TEST_F(Motion, TheLogoFadesAndLeavesWithoutAPicture)
{
    test::TemporaryDirectory resources;
    std::filesystem::copy_file(KALEON_TEST_RESOURCES_DIR "/logo.svg", resources / "logo.svg");
    std::filesystem::copy_file(KALEON_TEST_RESOURCES_DIR "/KaleonColors.plist", resources / "KaleonColors.plist");
    test::ScopedEnvironment folder("KALEON_RESOURCES", resources.path().string());
    auto view = makeView({ 400, 200 }, 1);
    EXPECT_EQ(view->firstFrameDelay(), 0);
    view->setupLogo();
    EXPECT_FALSE(view->shouldRun());
    ASSERT_TRUE(view->logoLayer());
    EXPECT_EQ(view->layer()->sublayers().back(), view->logoLayer());
    EXPECT_EQ(view->logoLayer()->frame().width(), 280);
    EXPECT_DOUBLE_EQ(view->firstFrameDelay(), 0.5);
    const auto fade = view->logoLayer()->animationForKey("fade");
    ASSERT_TRUE(fade);
    EXPECT_DOUBLE_EQ(fade->duration(), 0.5);
    anim::Animator::shared().tick(0);
    anim::Animator::shared().tick(0.5);
    EXPECT_EQ(view->logoLayer(), nullptr);
    EXPECT_TRUE(view->shouldRun());
    EXPECT_EQ(view->layer()->sublayers().size(), 1u);
    EXPECT_EQ(view->backgroundLayer()->contents(), nullptr);
}

TEST_F(Motion, TheFirstRenderedPictureShowsAShapeThatDoesNotMove)
{
    // A direction outside 0 to 5: the shape stands where it comes to rest from the start.
    supply::moduleDefaults()->setVolatileValue(supply::TGKaleonAnimationDirectionDefaultsKey, PlistValue(9));
    test::TemporaryDirectory folder;
    std::shared_ptr<KaleonScreensaverView> view;
    host::RenderOptions options;
    options.directory = folder.path();
    options.frames = 1;
    options.size = { 160, 90 };
    options.fps = 10;
    const auto written = host::renderOffscreen(options, [&](gfx::Rect frame, bool isPreview) {
        view = KaleonScreensaverView::make(frame, isPreview);
        return view;
    });
    ASSERT_TRUE(written) << written.error().message;
    ASSERT_FALSE(written->empty());

    const auto background = *view->backgroundLayer()->backgroundColor();
    const auto png = gfx::Bitmap::readPNG(written->front());
    ASSERT_TRUE(png) << png.error().message;
    int shapePixels = 0;
    for (int y = 0; y < (*png)->height(); ++y) {
        for (int x = 0; x < (*png)->width(); ++x)
            shapePixels += (*png)->pixel(x, y) != background ? 1 : 0;
    }
    EXPECT_GT(shapePixels, 0);
}
