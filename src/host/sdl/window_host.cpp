#include "host/sdl/window_host.h"

#include "anim/compositor.h"
#include "anim/layer.h"
#include "core/log.h"
#include "host/frame_clock.h"
#include "host/sdl/sdl_target.h"
#include "host/settings_watcher.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace kaleon::host::sdl {

namespace {

// How long the loop may sleep before it looks at the settings file again.
constexpr double kWatchPeriod = 0.05;
// Between two pictures of a moving shape (when the display does not pace us itself).
constexpr double kMovingFramePeriod = 1.0 / 60;
// In full screen, mouse movement within this time of the start, or smaller than this, is noise.
constexpr double kFullscreenGracePeriod = 1.0;
constexpr int kFullscreenMotionThreshold = 10;

struct Output {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    std::unique_ptr<SdlTarget> target;
    std::unique_ptr<anim::Compositor> compositor;
    std::shared_ptr<Window> hostWindow;
    std::shared_ptr<ScreenSaverView> view;
    FrameClock clock { 0 };
    std::uint64_t drawnRevision = 0;
    bool needsDraw = true;

    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output()
    {
        if (view)
            view->stopAnimation();
        compositor.reset();
        target.reset();
        if (renderer)
            SDL_DestroyRenderer(renderer);
        if (window)
            SDL_DestroyWindow(window);
    }
};

double secondsNow()
{
    return static_cast<double>(SDL_GetPerformanceCounter()) / static_cast<double>(SDL_GetPerformanceFrequency());
}

double backingScale(SDL_Window* window, SDL_Renderer* renderer)
{
    int points = 0;
    int height = 0;
    int pixels = 0;
    SDL_GetWindowSize(window, &points, &height);
    SDL_GetRendererOutputSize(renderer, &pixels, &height);
    return points > 0 && pixels > 0 ? static_cast<double>(pixels) / points : 1.0;
}

SDL_Renderer* makeRenderer(SDL_Window* window)
{
    if (SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC))
        return renderer;
    // No GPU: draw with the plain software framebuffer, not a software-emulated GL.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
}

bool openOutput(Output& output, const WindowOptions& options, int display, const ViewFactory& makeView)
{
    SDL_Rect area {};
    if (SDL_GetDisplayBounds(display, &area) != 0)
        area = { 0, 0, static_cast<int>(options.windowSize.width), static_cast<int>(options.windowSize.height) };
    Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI;
    int x = SDL_WINDOWPOS_CENTERED_DISPLAY(display);
    int y = SDL_WINDOWPOS_CENTERED_DISPLAY(display);
    int width = static_cast<int>(options.windowSize.width);
    int height = static_cast<int>(options.windowSize.height);
    if (options.fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
        x = area.x;
        y = area.y;
        width = area.w;
        height = area.h;
    } else {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    output.window = SDL_CreateWindow(options.title.c_str(), x, y, width, height, flags);
    if (!output.window)
        return false;
    output.renderer = makeRenderer(output.window);
    if (!output.renderer)
        return false;
    output.target = std::make_unique<SdlTarget>(output.renderer);
    output.compositor = std::make_unique<anim::Compositor>(*output.target);

    SDL_GetWindowSize(output.window, &width, &height);
    const double scale = backingScale(output.window, output.renderer);
    const gfx::Rect frame { 0, 0, static_cast<double>(width), static_cast<double>(height) };
    const Screen screen { { static_cast<double>(area.x), static_cast<double>(area.y), static_cast<double>(area.w),
                              static_cast<double>(area.h) },
        scale };
    output.hostWindow = Window::create(frame, scale, screen);
    output.view = makeView(frame, false);
    if (!output.view)
        return false;
    output.view->moveToWindow(output.hostWindow);
    output.view->startAnimation();
    return true;
}

Output* outputFor(const std::vector<std::unique_ptr<Output>>& outputs, Uint32 windowID)
{
    for (const auto& output : outputs) {
        if (SDL_GetWindowID(output->window) == windowID)
            return output.get();
    }
    return nullptr;
}

void resize(Output& output)
{
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(output.window, &width, &height);
    const double scale = backingScale(output.window, output.renderer);
    output.hostWindow->setFrame({ 0, 0, static_cast<double>(width), static_cast<double>(height) });
    const bool scaleChanged = scale != output.hostWindow->backingScaleFactor();
    output.hostWindow->setBackingScaleFactor(scale);
    output.view->setFrameSize({ static_cast<double>(width), static_cast<double>(height) });
    if (scaleChanged)
        output.view->backingPropertiesChanged();
    output.needsDraw = true;
}

} // namespace

int runWindowed(const WindowOptions& options, const ViewFactory& makeView, SettingsWatcher* watcher)
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        log(std::string("Cannot open a window: ") + SDL_GetError());
        return 1;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    int status = 0;
    {
        std::vector<std::unique_ptr<Output>> outputs;
        const int displays = options.fullscreen ? std::max(1, SDL_GetNumVideoDisplays()) : 1;
        for (int display = 0; display < displays; ++display) {
            outputs.push_back(std::make_unique<Output>());
            if (!openOutput(*outputs.back(), options, display, makeView)) {
                log(std::string("Cannot open a window: ") + SDL_GetError());
                outputs.clear();
                status = 1;
                break;
            }
        }
        if (options.fullscreen)
            SDL_ShowCursor(SDL_DISABLE);

        const double start = secondsNow();
        const auto elapsed = [start] { return secondsNow() - start; };
        for (auto& output : outputs)
            output->clock = FrameClock(output->view->firstFrameDelay());
        auto& animator = anim::Animator::shared();
        bool running = !outputs.empty();
        while (running) {
            const double now = elapsed();
            animator.tick(now);
            for (auto& output : outputs)
                runFrameIfDue(*output->view, output->clock, now);
            const bool moving = animator.hasRunningAnimations();
            for (auto& output : outputs) {
                const auto root = output->view->layer();
                if (root && (moving || output->needsDraw || root->revision() != output->drawnRevision)) {
                    output->compositor->drawFrame(*root, output->hostWindow->backingScaleFactor(), elapsed());
                    output->drawnRevision = root->revision();
                    output->needsDraw = false;
                }
            }
            if (watcher)
                watcher->poll();

            // While something moves, come back for the next display frame; otherwise sleep until
            // the next frame call or the next look at the settings.
            double wait = moving ? kMovingFramePeriod : kWatchPeriod;
            for (const auto& output : outputs)
                wait = std::min(wait, output->clock.nextDue() - elapsed());
            SDL_Event event;
            if (!SDL_WaitEventTimeout(&event, std::max(1, static_cast<int>(std::ceil(wait * 1000)))))
                continue;
            do {
                switch (event.type) {
                case SDL_QUIT:
                    running = false;
                    break;
                case SDL_KEYDOWN:
                    if (options.fullscreen || event.key.keysym.sym == SDLK_ESCAPE || event.key.keysym.sym == SDLK_q)
                        running = false;
                    break;
                case SDL_MOUSEBUTTONDOWN:
                    running = running && !options.fullscreen;
                    break;
                case SDL_MOUSEMOTION:
                    if (options.fullscreen && secondsNow() - start > kFullscreenGracePeriod
                        && std::abs(event.motion.xrel) + std::abs(event.motion.yrel) > kFullscreenMotionThreshold)
                        running = false;
                    break;
                case SDL_WINDOWEVENT:
                    if (Output* output = outputFor(outputs, event.window.windowID)) {
                        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                            running = false;
                        else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                            resize(*output);
                        else if (event.window.event == SDL_WINDOWEVENT_EXPOSED)
                            output->needsDraw = true;
                    }
                    break;
                default:
                    break;
                }
            } while (SDL_PollEvent(&event));
        }
    }
    SDL_Quit();
    return status;
}

} // namespace kaleon::host::sdl
