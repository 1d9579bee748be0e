// The saver for thousands of frames on a simulated clock, its settings changing as it goes: the
// tree never grows and neither does the process. The frame counts are CI's unless
// KALEON_SOAK_FRAMES and KALEON_SOAK_LARGE_FRAMES ask for more (make soak).
#include "anim/animator.h"
#include "anim/cairo_target.h"
#include "anim/compositor.h"
#include "core/notification_center.h"
#include "core/random.h"
#include "host/frame_clock.h"
#include "host/screen_saver_defaults.h"
#include "saver/kaleon_screensaver_view.h"
#include "supply/color_palette.h"
#include "supply/defaults_keys.h"
#include "supply/svg_manager.h"

#include "support/saver_state.h"
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace kaleon;

namespace {

int framesFromEnvironment(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Every 37th frame the speed, the direction and the palette change, as a settings window would.
void changeSettings(int change)
{
    static const auto palettes = supply::TGColorPalette::allColorPalettes();
    const auto defaults = supply::moduleDefaults();
    defaults->setValue(supply::TGKaleonSpeedDefaultsKey, PlistValue(change % 2 ? 250.0 : 100.0));
    defaults->setValue(supply::TGKaleonAnimationDirectionDefaultsKey, PlistValue(change % 7));
    if (!palettes.empty())
        defaults->setValue(
            supply::TGKaleonColorPaletteDefaultsKey, PlistValue(palettes[change % palettes.size()]->filename()));
    NotificationCenter::defaultCenter().post(supply::TGKaleonConfigurationDidChangeNotificationName);
}

// Runs `frames` frame calls with a picture of each slide halfway, and returns the resident
// memory growth after the warm-up (a fifth of the frames, at least 100 of them: pools filled,
// palettes read, the heap settled).
double soak(gfx::Size size, double scale, int frames)
{
    const gfx::Rect frame { 0, 0, size.width, size.height };
    const auto window = host::Window::create(frame, scale, host::Screen { frame, scale });
    const auto view = saver::KaleonScreensaverView::make(frame, false);
    view->moveToWindow(window);
    auto target
        = anim::BitmapTarget::create(static_cast<int>(size.width * scale), static_cast<int>(size.height * scale));
    anim::Compositor compositor(*target);
    compositor.setWaitsForDrawing(true);

    double now = 0;
    double atStart = 0;
    double afterWarmUp = 0;
    for (int index = 1; index <= frames; ++index) {
        if (index % 37 == 0)
            changeSettings(index / 37);
        host::runFrame(*view, now);
        const double interval = view->animationTimeInterval();
        anim::Animator::shared().tick(now + interval / 2);
        compositor.drawFrame(*view->layer(), scale, now + interval / 2);
        now += interval;
        anim::Animator::shared().tick(now - 0.001);
        anim::Animator::shared().tick(now - 0.0005); // the delegate hears of the slide's end
        if (view->layer()->sublayers().size() != 1) {
            ADD_FAILURE() << "frame " << index << ": " << view->layer()->sublayers().size() << " sublayers";
            break;
        }
        if (index == 1)
            atStart = residentMegabytes();
        if (index == std::max(1, std::min(frames / 2, std::max(frames / 5, 100))))
            afterWarmUp = residentMegabytes();
    }
    view->stopAnimation();
    const double atEnd = residentMegabytes();
    std::cerr << frames << " frames at " << size.width * scale << "x" << size.height * scale
              << " pixels; resident memory after the first " << atStart << " MB, after the warm-up " << afterWarmUp
              << " MB, at the end " << atEnd << " MB\n";
    return atEnd - afterWarmUp;
}

class Soak : public test::SaverStateTest {
protected:
    std::uint64_t seed() const override { return 11; }
    void SetUp() override
    {
        SaverStateTest::SetUp();
        supply::TGSVGManager::instance()->setSvgPath(KALEON_TEST_RESOURCES_DIR);
    }
};

void expectFlat(double growth)
{
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed memory aside for a while, so the figure means nothing here;
    // its leak check at exit stands in for it.
    (void)growth;
#else
    EXPECT_LT(growth, 2.0) << "MB of resident memory gained after the warm-up";
#endif
}

} // namespace

TEST_F(Soak, ManyFramesAt1280x720)
{
    expectFlat(soak({ 1280, 720 }, 1, framesFromEnvironment("KALEON_SOAK_FRAMES", 600)));
}

TEST_F(Soak, FramesAt2560x1440Scale2)
{
    expectFlat(soak({ 2560, 1440 }, 2, framesFromEnvironment("KALEON_SOAK_LARGE_FRAMES", 40)));
}
