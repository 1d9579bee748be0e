// The running saver against its floors, side by side in one run:
//   - one frame step (a shape read, decrypted, parsed, scaled and drawn) at 2560x1440 scale 2,
//     against one OpenSSL PBKDF2-HMAC-SHA1 derivation of 10,000 rounds;
//   - flattening a shape into the picture at the same size, against painting the shape's
//     bitmap over the picture with Cairo;
//   - a displayed frame (picture plus a moving shape) through the bitmap target at 1920x1080
//     and 3840x2160;
//   - the resident memory over many frames (it must stay flat).

#include "anim/animator.h"
#include "anim/cairo_target.h"
#include "anim/compositor.h"
#include "core/random.h"
#include "host/frame_clock.h"
#include "host/screen_saver_defaults.h"
#include "saver/kaleon_screensaver_view.h"
#include "supply/defaults_keys.h"
#include "supply/svg_manager.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <openssl/evp.h>
#include <sys/resource.h>

using namespace kaleon;

namespace {

double now = 0;

struct Saver {
    std::shared_ptr<host::Window> window;
    std::shared_ptr<saver::KaleonScreensaverView> view;
};

Saver makeSaver(double width, double height, double scale)
{
    const gfx::Rect frame { 0, 0, width, height };
    Saver saver;
    saver.window = host::Window::create(frame, scale, host::Screen { frame, scale });
    saver.view = saver::KaleonScreensaverView::make(frame, false);
    saver.view->moveToWindow(saver.window);
    return saver;
}

// One frame call and its shape's drawing, then the slide to its end and the flattening.
void frameAndFlatten(Saver& saver)
{
    host::runFrame(*saver.view, now);
    saver.view->animatingLayer()->displayIfNeeded(true);
    now += saver.view->animationInterval();
    anim::Animator::shared().tick(now - 0.001);
}

double residentMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_OpenSSLPBKDF2Reference(benchmark::State& state)
{
    unsigned char key[32];
    const unsigned char salt[8] = { 1, 2, 3, 4, 5, 6, 7, 8 };
    for (auto _ : state) {
        PKCS5_PBKDF2_HMAC("9d41c07be35a86f2d0b7e4196ac3f528", 32, salt, 8, 10000, EVP_sha1(), 32, key);
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_OpenSSLPBKDF2Reference)->Unit(benchmark::kMillisecond);

void BM_FrameStep2560x1440Scale2(benchmark::State& state)
{
    auto saver = makeSaver(2560, 1440, 2);
    frameAndFlatten(saver);
    for (auto _ : state) {
        anim::Animator::shared().tick(now);
        saver.view->animateOneFrame();
        saver.view->animatingLayer()->displayIfNeeded(true);
        state.PauseTiming();
        anim::Animator::shared().tick(now);
        now += saver.view->animationInterval();
        anim::Animator::shared().tick(now - 0.001);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FrameStep2560x1440Scale2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Flatten2560x1440Scale2(benchmark::State& state)
{
    auto saver = makeSaver(2560, 1440, 2);
    frameAndFlatten(saver);
    for (auto _ : state) {
        state.PauseTiming();
        host::runFrame(*saver.view, now);
        saver.view->animatingLayer()->displayIfNeeded(true);
        now += saver.view->animationInterval();
        state.ResumeTiming();
        saver.view->flattenLayerTree();
    }
}
BENCHMARK(BM_Flatten2560x1440Scale2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor for flattening: the same shapes' bitmaps, painted with plain Cairo calls where they
// lie over a picture of the same size.
void BM_PaintShapeOverPictureReference(benchmark::State& state)
{
    auto saver = makeSaver(2560, 1440, 2);
    frameAndFlatten(saver);
    auto picture = gfx::Bitmap::create(5120, 2880);
    for (auto _ : state) {
        state.PauseTiming();
        host::runFrame(*saver.view, now);
        const auto& shape = saver.view->animatingLayer();
        shape->displayIfNeeded(true);
        const auto bitmap = shape->contents();
        const gfx::Point origin = shape->frame().origin;
        state.ResumeTiming();
        const auto owned = picture->createContext();
        cairo_t* context = owned.get();
        if (bitmap && bitmap->tint()) {
            const gfx::Color tint = *bitmap->tint();
            cairo_set_source_rgb(context, tint.red, tint.green, tint.blue);
            cairo_mask_surface(context, bitmap->surface(), origin.x * 2, origin.y * 2);
        } else if (bitmap) {
            cairo_set_source_surface(context, bitmap->surface(), origin.x * 2, origin.y * 2);
            cairo_paint(context);
        }
        cairo_surface_flush(picture->surface());
        state.PauseTiming();
        now += saver.view->animationInterval();
        anim::Animator::shared().tick(now - 0.001);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PaintShapeOverPictureReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void displayedFrame(benchmark::State& state, double width, double height)
{
    auto saver = makeSaver(width, height, 1);
    frameAndFlatten(saver);
    host::runFrame(*saver.view, now);
    saver.view->animatingLayer()->displayIfNeeded(true);
    auto target = anim::BitmapTarget::create(static_cast<int>(width), static_cast<int>(height));
    anim::Compositor compositor(*target);
    double t = now;
    for (auto _ : state) {
        t += 0.016;
        compositor.drawFrame(*saver.view->layer(), 1, t);
    }
    now += saver.view->animationInterval();
    anim::Animator::shared().tick(now);
}

void BM_DisplayedFrame1920x1080(benchmark::State& state)
{
    displayedFrame(state, 1920, 1080);
}
BENCHMARK(BM_DisplayedFrame1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DisplayedFrame3840x2160(benchmark::State& state)
{
    displayedFrame(state, 3840, 2160);
}
BENCHMARK(BM_DisplayedFrame3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResidentMemoryOver10000Frames(benchmark::State& state)
{
    auto saver = makeSaver(320, 180, 1);
    for (int i = 0; i < 50; ++i)
        frameAndFlatten(saver);
    const double before = residentMegabytes();
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i)
            frameAndFlatten(saver);
    }
    state.counters["rss_growth_MB"] = residentMegabytes() - before;
    state.counters["sublayers"] = static_cast<double>(saver.view->layer()->sublayers().size());
}
BENCHMARK(BM_ResidentMemoryOver10000Frames)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("KALEON_RESOURCES", KALEON_RESOURCES_DIR, 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp/kaleon-saver-bench", 1);
    seedRandom(1);
    supply::moduleDefaults()->setVolatileValue(supply::TGKaleonSpeedDefaultsKey, PlistValue(100.0));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
