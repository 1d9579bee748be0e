// The saver under faults it does not control: bad or missing resources, files changing under
// it, a clock that jumps. It must keep showing colours, say each problem once, and neither
// stall nor rush.
#include "anim/animator.h"
#include "container/encryptor.h"
#include "core/log.h"
#include "core/random.h"
#include "host/frame_clock.h"
#include "host/screen_saver_defaults.h"
#include "saver/kaleon_screensaver_view.h"
#include "supply/defaults_keys.h"
#include "supply/shape_file.h"
#include "supply/svg_manager.h"
#include "support/saver_state.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace kaleon;
using saver::KaleonScreensaverView;

namespace {

class Faults : public test::SaverStateTest {
protected:
    std::uint64_t seed() const override { return 3; }
    void SetUp() override
    {
        SaverStateTest::SetUp();
        supply::moduleDefaults()->setVolatileValue(supply::TGKaleonSpeedDefaultsKey, PlistValue(100.0));
    }

    // A view over `folder` as its resource folder (shapes and palettes), in a window.
    std::shared_ptr<KaleonScreensaverView> viewOver(const std::filesystem::path& folder)
    {
        environment.emplace("KALEON_RESOURCES", folder.string());
        supply::TGSVGManager::instance()->setSvgPath(std::nullopt);
        const gfx::Rect frame { 0, 0, 320, 180 };
        window = host::Window::create(frame, 1, host::Screen { frame, 1 });
        auto view = KaleonScreensaverView::make(frame, false);
        view->moveToWindow(window);
        return view;
    }

    // One interval: the frame call at `now`, the slide to its end, the flattening.
    static void interval(KaleonScreensaverView& view, double& now)
    {
        host::runFrame(view, now);
        now += view.animationTimeInterval();
        anim::Animator::shared().tick(now - 0.002);
        anim::Animator::shared().tick(now - 0.001);
    }

    std::optional<test::ScopedEnvironment> environment;
    std::shared_ptr<host::Window> window;
};

void writeShape(const std::filesystem::path& file, const std::string& svg)
{
    const auto packed = supply::packTGShape(svg);
    ASSERT_TRUE(packed);
    test::writeFile(file, std::string(packed->begin(), packed->end()));
}

constexpr const char* kSquare = "<svg><rect width='10' height='10'/></svg>";

} // namespace

TEST_F(Faults, MissingEmptyOrBadResourcesStillShowColoursAndSayEachFileOnce)
{
    test::TemporaryDirectory empty;
    test::TemporaryDirectory bad;
    test::writeFile(bad / "zero.tgshape", "");
    test::writeFile(bad / "corrupt.tgshape", "Salted__ not a shape at all");
    const auto otherPassword = container::TGEncryptor::encryptData(
        container::bytesOf(kSquare), container::kTGCryptorDefaultSettings, "not the shapes' password");
    ASSERT_TRUE(otherPassword);
    test::writeFile(bad / "stranger.tgshape", std::string(otherPassword->begin(), otherPassword->end()));
    std::filesystem::create_directory(bad / "folder.tgshape");
    test::writeFile(bad / "KaleonColors.plist", "");
    test::writeFile(bad / "Garbage.plist", "<plist><array><string>#zz</string>");

    for (const auto& folder : { empty.path() / "missing", empty.path(), bad.path() }) {
        SCOPED_TRACE(folder.string());
        ScopedLogCapture capture;
        auto view = viewOver(folder);
        double now = 0;
        for (int i = 0; i < 12; ++i) {
            interval(*view, now);
            ASSERT_EQ(view->layer()->sublayers().size(), 1u) << "interval " << i;
            ASSERT_TRUE(view->backgroundLayer()->backgroundColor()) << "interval " << i;
        }
        for (const char* name : { "zero.tgshape", "corrupt.tgshape", "stranger.tgshape", "folder.tgshape" }) {
            const auto said = std::count_if(capture.lines().begin(), capture.lines().end(),
                [&](const std::string& line) { return line.find(name) != std::string::npos; });
            EXPECT_EQ(said, folder == bad.path() ? 1 : 0) << name;
        }
    }
}

TEST_F(Faults, AShapeFileReplacedWhileRunningIsReadAsItNowIs)
{
    test::TemporaryDirectory folder;
    std::filesystem::copy_file(KALEON_TEST_RESOURCES_DIR "/KaleonColors.plist", folder / "KaleonColors.plist");
    writeShape(folder / "a.tgshape", kSquare);
    writeShape(folder / "b.tgshape", "<svg><circle cx='5' cy='5' r='5'/></svg>");
    ScopedLogCapture capture;
    auto view = viewOver(folder.path());
    double now = 0;
    for (int round = 0; round < 3; ++round) {
        // Truncated in place, then garbage, then a good shape again, between intervals.
        if (round == 0)
            std::filesystem::resize_file(folder / "a.tgshape", 40);
        if (round == 1)
            test::writeFile(folder / "a.tgshape", "garbage");
        if (round == 2)
            writeShape(folder / "a.tgshape", "<svg><rect width='20' height='5'/></svg>");
        for (int i = 0; i < 4; ++i) {
            interval(*view, now);
            ASSERT_EQ(view->layer()->sublayers().size(), 1u);
        }
    }
    EXPECT_EQ(capture.lines().size(), 2u) << "a bad file is said once for each way it was bad";
    EXPECT_NE(view->backgroundLayer()->contents(), nullptr);
}

TEST_F(Faults, AClockJumpingByHoursNeitherBurstsNorStalls)
{
    supply::TGSVGManager::instance()->setSvgPath(KALEON_TEST_RESOURCES_DIR);
    const gfx::Rect frame { 0, 0, 320, 180 };
    window = host::Window::create(frame, 1, host::Screen { frame, 1 });
    auto view = KaleonScreensaverView::make(frame, false);
    view->moveToWindow(window);
    view->startAnimation();
    host::FrameClock clock(0);
    int frames = 0;
    const auto runUntil = [&](double from, double to) {
        for (double now = from; now <= to; now += 0.05)
            frames += host::runFrameIfDue(*view, clock, now) ? 1 : 0;
    };

    runUntil(0, 0.5); // one frame, the slide under way
    ASSERT_EQ(frames, 1);
    constexpr double hours = 3 * 3600;
    // Forward: one frame at once, the old slide ended and painted in, no frames made up.
    runUntil(hours, hours + 0.5);
    EXPECT_EQ(frames, 2);
    anim::Animator::shared().tick(hours + 0.6);
    EXPECT_EQ(view->layer()->sublayers().size(), 2u) << "the picture and the new slide";
    // Back again: the slide goes on from where it was (0.1 s to go), and frames keep their pace.
    anim::Animator::shared().tick(0.2);
    anim::Animator::shared().tick(0.25);
    EXPECT_EQ(view->layer()->sublayers().size(), 2u);
    anim::Animator::shared().tick(0.35);
    EXPECT_EQ(view->layer()->sublayers().size(), 1u) << "the slide came to rest";
    runUntil(0.4, 3.45);
    EXPECT_EQ(frames, 5);
    view->stopAnimation();
}
