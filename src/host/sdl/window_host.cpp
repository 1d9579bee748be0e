#include "host/sdl/window_host.h"

#include "core/ending.h"
#include "core/log.h"
#include "host/gpu.h"
#include "host/sdl/sdl_target.h"
#include "host/settings_watcher.h"
#include "host/view_session.h"

#include "anim/cairo_target.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kaleon::host::sdl {

namespace {

// Between two pictures of a moving shape: as the display paces a GPU, and half as often when
// the CPU draws every pixel.
constexpr double kMovingFramePeriod = 1.0 / 60;
constexpr double kSoftwareMovingFramePeriod = 1.0 / 30;
// In full screen, mouse movement within this time of the start, or smaller than this, is noise.
constexpr double kFullscreenGracePeriod = 1.0;
constexpr int kFullscreenMotionThreshold = 10;

struct Output {
    SDL_Window* window = nullptr;
    // A GPU's renderer, or none: then the compositor draws into the window's own pixels.
    SDL_Renderer* renderer = nullptr;
    std::unique_ptr<anim::RenderTarget> target;
    std::unique_ptr<ViewSession> session;

    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output()
    {
        session.reset();
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

// Whether a renderer draws with a GL that the CPU emulates (Mesa's llvmpipe and the like):
// slower and hungrier than drawing the pixels ourselves.
bool emulatesGL(SDL_Renderer* renderer)
{
    SDL_RendererInfo info {};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || !info.name)
        return false;
    if (info.flags & SDL_RENDERER_SOFTWARE)
        return true;
    if (std::string_view(info.name).find("opengl") == std::string_view::npos)
        return false;
    using GetString = const unsigned char* (*)(unsigned);
    constexpr unsigned kGLRenderer = 0x1F01;
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const auto* name = getString ? reinterpret_cast<const char*>(getString(kGLRenderer)) : nullptr;
    if (!name)
        return false;
    const std::string_view text(name);
    for (const std::string_view software : { "llvmpipe", "softpipe", "swrast", "Software Rasterizer" }) {
        if (text.find(software) != std::string_view::npos)
            return true;
    }
    return false;
}

// Pixels per point of the window's drawing.
double backingScale(const Output& output)
{
    int points = 0;
    int height = 0;
    int pixels = 0;
    SDL_GetWindowSize(output.window, &points, &height);
    if (output.renderer)
        SDL_GetRendererOutputSize(output.renderer, &pixels, &height);
    else
        SDL_GetWindowSizeInPixels(output.window, &pixels, &height);
    return points > 0 && pixels > 0 ? static_cast<double>(pixels) / points : 1.0;
}

// The compositor's target: the GPU renderer when there is a real one, else the window's own
// pixels, of which only what changed is sent to the screen.
bool makeTarget(Output& output)
{
    if (output.session)
        output.session->setTarget(nullptr, 1.0);
    output.target.reset();
    if (output.renderer) {
        output.target = std::make_unique<SdlTarget>(output.renderer);
    } else {
        SDL_Surface* surface = SDL_GetWindowSurface(output.window);
        if (!surface || surface->format->BytesPerPixel != 4 || surface->format->Rmask != 0xff0000
            || surface->format->Gmask != 0xff00 || surface->format->Bmask != 0xff)
            return false;
        SDL_Window* window = output.window;
        output.target = anim::PixelBufferTarget::create(static_cast<std::uint8_t*>(surface->pixels), surface->w,
            surface->h, surface->pitch, [window](const gfx::PixelRect& changed) {
                const SDL_Rect rect { changed.x, changed.y, changed.width, changed.height };
                SDL_UpdateWindowSurfaceRects(window, &rect, 1);
            });
        if (!output.target)
            return false;
    }
    if (output.session)
        output.session->setTarget(output.target.get(), backingScale(output));
    return true;
}

// Full screen on more than one X11 monitor, each window is placed by us, not the window
// manager: some (sway's Xwayland among them) put every full-screen window on the monitor that
// has the focus, and leave the others uncovered.
bool placesItsOwnWindows(const WindowOptions& options, int displays)
{
    return options.fullscreen && displays > 1 && std::string_view(SDL_GetCurrentVideoDriver()) == "x11";
}

// No window manager gives a placed window the keyboard, and SDL grabs it only for a window
// that has the focus: the saver takes it as XScreenSaver does, trying for up to a second while
// another client still holds it.
void grabKeyboard(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    for (int tries = 0; tries < 20; ++tries) {
        if (XGrabKeyboard(info.info.x11.display, info.info.x11.window, True, GrabModeAsync, GrabModeAsync, CurrentTime)
            == GrabSuccess)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    log("Cannot take the keyboard: keys will not end the saver, the mouse will");
}

bool openOutput(
    Output& output, const WindowOptions& options, int display, bool placed, const ViewFactory& makeView, double now)
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
        // A placed window is override-redirect (no window manager moves it) at the
        // monitor's bounds; it is full screen by its size.
        flags |= SDL_WINDOW_BORDERLESS | (placed ? SDL_WINDOW_ALWAYS_ON_TOP : SDL_WINDOW_FULLSCREEN_DESKTOP);
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
    if (hasRenderNode())
        output.renderer = SDL_CreateRenderer(output.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (output.renderer && emulatesGL(output.renderer)) {
        SDL_DestroyRenderer(output.renderer);
        output.renderer = nullptr;
    }
    // The window's own pixels, sent as they are: not through a renderer of SDL's. SDL's
    // Wayland driver has no such framebuffer (its window surfaces are textures of a renderer),
    // so there the hint would leave the window without pixels at all.
    if (!output.renderer && std::string_view(SDL_GetCurrentVideoDriver()) != "wayland")
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (!makeTarget(output))
        return false;

    SDL_GetWindowSize(output.window, &width, &height);
    const double scale = backingScale(output);
    const gfx::Rect frame { 0, 0, static_cast<double>(width), static_cast<double>(height) };
    const Screen screen { { static_cast<double>(area.x), static_cast<double>(area.y), static_cast<double>(area.w),
                              static_cast<double>(area.h) },
        scale };
    output.session = ViewSession::make(makeView, frame, scale, screen, now);
    if (!output.session)
        return false;
    output.session->setTarget(output.target.get(), scale);
    return true;
}

// Waits on the settings folder on a thread of its own and wakes the event loop with an event
// when the settings file was touched, so the loop sleeps until something happens.
class SettingsWakeUp {
public:
    SettingsWakeUp(SettingsWatcher* watcher, Uint32 eventType)
        : m_watcher(watcher)
        , m_eventType(eventType)
    {
        if (!m_watcher || m_watcher->fileDescriptor() < 0 || ::pipe2(m_stop.data(), O_CLOEXEC) != 0)
            return;
        m_thread = std::thread([this] { run(); });
    }
    ~SettingsWakeUp()
    {
        if (!m_thread.joinable())
            return;
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(m_stop[1], &byte, 1);
        m_thread.join();
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    SettingsWakeUp(const SettingsWakeUp&) = delete;
    SettingsWakeUp& operator=(const SettingsWakeUp&) = delete;

private:
    void run()
    {
        for (;;) {
            std::array<pollfd, 2> watched { pollfd { m_watcher->fileDescriptor(), POLLIN, 0 },
                pollfd { m_stop[0], POLLIN, 0 } };
            if (::poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR)
                return;
            if (watched[1].revents)
                return;
            if ((watched[0].revents & POLLIN) && m_watcher->takeChanges()) {
                SDL_Event event {};
                event.type = m_eventType;
                SDL_PushEvent(&event);
            }
        }
    }

    SettingsWatcher* m_watcher;
    Uint32 m_eventType;
    std::array<int, 2> m_stop { -1, -1 };
    std::thread m_thread;
};

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
    // The window's pixels were made anew for the new size.
    if (!output.renderer && !makeTarget(output))
        log(std::string("Cannot draw into the resized window: ") + SDL_GetError());
    output.session->resize({ static_cast<double>(width), static_cast<double>(height) }, backingScale(output));
}

} // namespace

int runWindowed(const WindowOptions& options, const ViewFactory& makeView, SettingsWatcher* watcher)
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        log(std::string("Cannot open a window: ") + SDL_GetError());
        return 1;
    }
    // SDL turns SIGTERM and SIGINT into a quit event, which only a loop that gets to its
    // events sees: past a second, the process ends whatever the frame is doing.
    watchEndingSignals();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    int status = 0;
    {
        std::vector<std::unique_ptr<Output>> outputs;
        const double start = secondsNow();
        const auto elapsed = [start] { return secondsNow() - start; };
        const int displays = options.fullscreen ? std::max(1, SDL_GetNumVideoDisplays()) : 1;
        const bool placed = placesItsOwnWindows(options, displays);
        if (placed)
            SDL_SetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT, "1");
        for (int display = 0; display < displays; ++display) {
            outputs.push_back(std::make_unique<Output>());
            if (!openOutput(*outputs.back(), options, display, placed, makeView, elapsed())) {
                log(std::string("Cannot open a window: ") + SDL_GetError());
                outputs.clear();
                status = 1;
                break;
            }
        }
        if (options.fullscreen)
            SDL_ShowCursor(SDL_DISABLE);
        // No window manager gives a placed window the keyboard: it takes it.
        if (placed && !outputs.empty())
            grabKeyboard(outputs.front()->window);

        const Uint32 settingsChanged = SDL_RegisterEvents(1);
        const SettingsWakeUp wakeUp(watcher, settingsChanged);
        const bool software = std::any_of(outputs.begin(), outputs.end(), [](const auto& o) { return !o->renderer; });
        FrameLoop loop(software ? kSoftwareMovingFramePeriod : kMovingFramePeriod);
        for (const auto& output : outputs)
            loop.add(*output->session);
        bool running = !outputs.empty();
        while (running) {
            loop.advance(elapsed());
            loop.draw(elapsed());
            // While something moves, come back for the next picture; otherwise sleep until the
            // next frame call, an event or a settings change.
            const double wait = loop.secondsToWait(elapsed());
            SDL_Event event;
            if (!SDL_WaitEventTimeout(&event, std::max(1, static_cast<int>(std::ceil(wait * 1000)))))
                continue;
            do {
                if (event.type == settingsChanged && watcher) {
                    watcher->applyChanges();
                    continue;
                }
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
                            output->session->invalidate();
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
