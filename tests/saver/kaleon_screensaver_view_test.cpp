#include "saver/kaleon_screensaver_view.h"

#include "core/notification_center.h"
#include "host/offscreen_host.h"
#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"
#include "supply/svg_manager.h"
#include "support/saver_state.h"
#include "support/test_support.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace kaleon;
using saver::KaleonScreensaverView;

namespace {

void postConfigurationChange()
{
    NotificationCenter::defaultCenter().post(supply::TGKaleonConfigurationDidChangeNotificationName);
}

// Lets a test put a moving shape in place, as the frame step will.
class TestView : public KaleonScreensaverView {
public:
    static std::shared_ptr<TestView> make(gfx::Rect frame)
    {
        auto view = std::shared_ptr<TestView>(new TestView(frame));
        view->observeConfigurationChanges();
        return view;
    }
    void addMovingShape(std::shared_ptr<anim::Layer> shape)
    {
        m_animatingLayer = shape;
        layer()->addSublayer(std::move(shape));
    }

private:
    explicit TestView(gfx::Rect frame)
        : KaleonScreensaverView(frame, false)
    {
    }
};

// Shapes come from the resource folder each test names, listed afresh.
using SaverView = test::SaverStateTest;

} // namespace

TEST_F(SaverView, StartsWithARootHoldingOneBackgroundInAPaletteColour)
{
    const auto view = KaleonScreensaverView::make({ 0, 0, 800, 600 }, false);
    ASSERT_NE(view->layer(), nullptr);
    EXPECT_TRUE(view->isFlipped());
    ASSERT_EQ(view->layer()->sublayers().size(), 1u);
    EXPECT_EQ(view->layer()->sublayers()[0], view->backgroundLayer());
    EXPECT_EQ(view->backgroundLayer()->frame(), gfx::Rect(0, 0, 800, 600));
    ASSERT_TRUE(view->backgroundLayer()->backgroundColor());
    EXPECT_EQ(view->backgroundLayer()->backgroundColor()->alpha, 1.0);
    EXPECT_EQ(view->animatingLayer(), nullptr);
    EXPECT_EQ(view->logoLayer(), nullptr);
    EXPECT_EQ(view->viewPositionIndex(), 0u);
    EXPECT_EQ(view->contentScale(), 1.0);
    EXPECT_DOUBLE_EQ(view->animationTimeInterval(), 4.5);
}

TEST_F(SaverView, IntervalFollowsTheStoredSpeed)
{
    const auto view = KaleonScreensaverView::make({ 0, 0, 100, 100 }, false);
    EXPECT_DOUBLE_EQ(view->animationInterval(), 4.5);
    struct Case {
        const char* name;
        PlistValue speed;
        double interval;
    };
    const Case cases[] = {
        { "zero", PlistValue(0.0), 4.0 },
        { "hundred", PlistValue(100.0), 1.0 },
        { "one", PlistValue(1.0), 0.01 },
        { "integer", PlistValue(200), 2.0 },
        { "nan", PlistValue(std::nan("")), 4.0 },
        { "infinite", PlistValue(std::numeric_limits<double>::infinity()), 4.0 },
        { "too large for a float", PlistValue(1e300), 4.0 },
        { "negative", PlistValue(-450.0), 4.0 },
        { "slower than the slowest", PlistValue(1e7), 10000.0 },
        { "faster than the fastest", PlistValue(1e-6), 0.01 },
        { "text", PlistValue("fast"), 4.0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        supply::moduleDefaults()->setValue(supply::TGKaleonSpeedDefaultsKey, c.speed);
        EXPECT_NEAR(view->animationInterval(), c.interval, 1e-6);
        // The host only ever gets a positive, finite interval.
        postConfigurationChange();
        EXPECT_NEAR(view->animationTimeInterval(), c.interval, 1e-6);
    }
}

TEST_F(SaverView, DirectionIsReadAfreshEachTime)
{
    const auto view = KaleonScreensaverView::make({ 0, 0, 100, 100 }, false);
    EXPECT_EQ(view->directionType(), 0);
    supply::moduleDefaults()->setInteger(supply::TGKaleonAnimationDirectionDefaultsKey, 3);
    EXPECT_EQ(view->directionType(), 3);
    supply::moduleDefaults()->setVolatileValue(supply::TGKaleonAnimationDirectionDefaultsKey, PlistValue(5));
    EXPECT_EQ(view->directionType(), 5);
    supply::moduleDefaults()->setVolatileValue(supply::TGKaleonAnimationDirectionDefaultsKey, PlistValue(-1));
    EXPECT_EQ(view->directionType(), -1);
}

TEST_F(SaverView, DefaultsAreRegisteredButNeverStored)
{
    const auto view = KaleonScreensaverView::make({ 0, 0, 100, 100 }, false);
    EXPECT_EQ(supply::moduleDefaults()->stringForKey(supply::TGKaleonColorPaletteDefaultsKey), "KaleonColors.plist");
    EXPECT_FLOAT_EQ(supply::moduleDefaults()->floatForKey(supply::TGKaleonSpeedDefaultsKey), 450.0f);
    EXPECT_TRUE(supply::moduleDefaults()->storedValues().empty());
}

TEST_F(SaverView, TwoViewsSharingTheSupplierStartInDifferentColours)
{
    const auto left = KaleonScreensaverView::make({ 0, 0, 100, 100 }, false);
    const auto right = KaleonScreensaverView::make({ 0, 0, 100, 100 }, false);
    EXPECT_NE(left->backgroundLayer()->backgroundColor(), right->backgroundLayer()->backgroundColor());
}

TEST_F(SaverView, SettingsChangeRestartsThePicture)
{
    const auto view = TestView::make({ 0, 0, 300, 200 });
    const auto oldBackground = view->backgroundLayer();
    oldBackground->setContents(gfx::Bitmap::create(4, 4));
    auto shape = anim::Layer::create();
    view->addMovingShape(shape);
    ASSERT_EQ(view->layer()->sublayers().size(), 2u);
    const auto position = view->viewPositionIndex();

    postConfigurationChange();

    EXPECT_NE(view->backgroundLayer(), oldBackground);
    EXPECT_EQ(oldBackground->superlayer(), nullptr);
    EXPECT_EQ(view->layer()->sublayers(), std::vector<std::shared_ptr<anim::Layer>> { view->backgroundLayer() });
    EXPECT_EQ(view->backgroundLayer()->contents(), nullptr);
    EXPECT_EQ(view->backgroundLayer()->frame(), gfx::Rect(0, 0, 300, 200));
    EXPECT_NE(view->backgroundLayer()->backgroundColor(), oldBackground->backgroundColor());
    EXPECT_EQ(shape->superlayer(), nullptr);
    EXPECT_EQ(view->animatingLayer(), shape);
    EXPECT_EQ(view->viewPositionIndex(), position);
}

TEST_F(SaverView, SettingsChangeReloadsThePalette)
{
    test::TemporaryDirectory folder;
    test::ScopedEnvironment resources("KALEON_RESOURCES", folder.path().string());
    test::writeFile(folder / "KaleonColors.plist", test::paletteText("Kaleon", { "010101", "020202", "030303" }));
    test::writeFile(folder / "Red.plist", test::paletteText("Reds", { "ff0000", "ee0000", "dd0000" }));
    const auto view = KaleonScreensaverView::make({ 0, 0, 100, 100 }, false);

    supply::moduleDefaults()->setValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue("Red.plist"));
    postConfigurationChange();
    const auto reds = supply::TGColorPalette::paletteWithFilename("Red.plist")->colors();
    const auto color = *view->backgroundLayer()->backgroundColor();
    EXPECT_NE(std::find(reds.begin(), reds.end(), color), reds.end());
    EXPECT_EQ(supply::TGSVGManager::instance()->currentColorPalette()->filename(), "Red.plist");
}

TEST_F(SaverView, ContentScaleFollowsTheWindow)
{
    const auto view = KaleonScreensaverView::make({ 0, 0, 100, 100 }, false);
    const auto window = host::Window::create({ 0, 0, 100, 100 }, 2.0, {});
    view->moveToWindow(window);
    EXPECT_EQ(view->contentScale(), 2.0);
    EXPECT_EQ(view->parentWindow(), window);
    window->setBackingScaleFactor(1.5);
    view->backingPropertiesChanged();
    EXPECT_EQ(view->contentScale(), 1.5);
    EXPECT_EQ(view->backgroundLayer()->contentsScale(), 1.5);
    view->moveToWindow(nullptr);
    EXPECT_EQ(view->contentScale(), 0.0);
    EXPECT_EQ(view->parentWindow(), nullptr);
}

TEST_F(SaverView, StopsObservingWhenDestroyed)
{
    auto& center = NotificationCenter::defaultCenter();
    const size_t before = center.observerCount();
    {
        const auto view = KaleonScreensaverView::make({ 0, 0, 100, 100 }, false);
        EXPECT_EQ(center.observerCount(), before + 1);
    }
    EXPECT_EQ(center.observerCount(), before);
    postConfigurationChange();
}

TEST_F(SaverView, OffscreenRenderShowsTheBackgroundColour)
{
    // Palettes but no shapes: every picture is the plain background.
    test::TemporaryDirectory folder;
    test::TemporaryDirectory resources;
    std::filesystem::copy_file(KALEON_TEST_RESOURCES_DIR "/KaleonColors.plist", resources / "KaleonColors.plist");
    test::ScopedEnvironment resourceFolder("KALEON_RESOURCES", resources.path().string());
    std::shared_ptr<KaleonScreensaverView> view;
    host::RenderOptions options;
    options.directory = folder.path();
    options.frames = 2;
    options.size = { 80, 60 };
    options.scale = 1.5;
    const auto written = host::renderOffscreen(options, [&](gfx::Rect frame, bool isPreview) {
        view = KaleonScreensaverView::make(frame, isPreview);
        return view;
    });
    ASSERT_TRUE(written) << written.error().message;
    ASSERT_EQ(written->size(), 2u);
    EXPECT_EQ(view->contentScale(), 1.5);

    const auto color = *view->backgroundLayer()->backgroundColor();
    const auto png = gfx::Bitmap::readPNG(written->back());
    ASSERT_TRUE(png) << png.error().message;
    EXPECT_EQ((*png)->width(), 120);
    EXPECT_EQ((*png)->height(), 90);
    for (const auto& [x, y] : { std::pair { 0, 0 }, { 119, 89 }, { 60, 45 } })
        EXPECT_EQ((*png)->pixel(x, y), color);
}
