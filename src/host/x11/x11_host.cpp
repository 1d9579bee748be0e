#include "host/x11/x11_host.h"

#include "anim/cairo_target.h"
#include "core/c_handle.h"
#include "core/ending.h"
#include "core/log.h"
#include "host/view_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <type_traits>
#include <unistd.h>

namespace kaleon::host::x11 {

namespace {

// Between two pictures of a moving shape.
constexpr double kMovingFramePeriod = 1.0 / 30;
constexpr double kFrameRatePeriod = 1.0;

std::atomic<bool> g_windowGone = false;
std::atomic<bool> g_sharedMemoryFailed = false;
int g_sharedMemoryOpcode = -1;

int onXError(Display*, XErrorEvent* error)
{
    if (error->request_code == g_sharedMemoryOpcode)
        g_sharedMemoryFailed = true;
    else if (error->error_code == BadWindow || error->error_code == BadDrawable)
        g_windowGone = true;
    return 0;
}

// The server went away: there is nothing left to draw on, and nothing to say about it.
int onXIOError(Display*)
{
    ::_exit(0);
}

using DisplayHandle = CHandle<Display, XCloseDisplay>;
using ImageHandle = CHandle<XImage, [](XImage* image) { XDestroyImage(image); }>;

// A graphics context, freed on the display it was made on.
struct GCRelease {
    Display* display;
    void operator()(GC gc) const { XFreeGC(display, gc); }
};
using GCHandle = std::unique_ptr<std::remove_pointer_t<GC>, GCRelease>;

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The window's pixels in our memory, shared with the X server when it can: the compositor
// draws into them, and what changed goes to the window in one request.
class Canvas {
public:
    Canvas(Display* display, ::Window window, Visual* visual, int depth)
        : m_display(display)
        , m_window(window)
        , m_visual(visual)
        , m_depth(depth)
        , m_gc(XCreateGC(display, window, 0, nullptr), GCRelease { display })
    {
    }
    ~Canvas() { release(); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Pixels for a window of that size; false (and logged) when the display's pixels are not
    // 32-bit RGB or no memory can be had.
    bool resize(int width, int height)
    {
        release();
        m_image = sharedImage(width, height);
        if (!m_image)
            m_image = privateImage(width, height);
        if (!m_image)
            return false;
        if (m_image->bits_per_pixel != 32 || m_image->red_mask != 0xff0000 || m_image->green_mask != 0xff00
            || m_image->blue_mask != 0xff) {
            log("Kaleon draws on 24-bit colour displays only");
            release();
            return false;
        }
        m_target = anim::PixelBufferTarget::create(reinterpret_cast<std::uint8_t*>(m_image->data), width, height,
            m_image->bytes_per_line, [this](const gfx::PixelRect& changed) { show(changed); });
        return m_target != nullptr;
    }

    anim::PixelBufferTarget& target() { return *m_target; }
    bool isShared() const { return m_shared; }
    std::uint64_t pixelsSent() const { return m_pixelsSent; }

    void show(const gfx::PixelRect& changed)
    {
        if (m_shared)
            XShmPutImage(m_display, m_window, m_gc.get(), m_image.get(), changed.x, changed.y, changed.x, changed.y,
                static_cast<unsigned>(changed.width), static_cast<unsigned>(changed.height), False);
        else
            XPutImage(m_display, m_window, m_gc.get(), m_image.get(), changed.x, changed.y, changed.x, changed.y,
                static_cast<unsigned>(changed.width), static_cast<unsigned>(changed.height));
        // The server reads shared pixels when it gets to the request: wait for it before the
        // next frame draws into them.
        XSync(m_display, False);
        m_pixelsSent += static_cast<std::uint64_t>(changed.width) * static_cast<std::uint64_t>(changed.height);
    }

private:
    ImageHandle sharedImage(int width, int height)
    {
        if (!XShmQueryExtension(m_display))
            return nullptr;
        ImageHandle image(XShmCreateImage(m_display, m_visual, static_cast<unsigned>(m_depth), ZPixmap, nullptr,
            &m_segment, static_cast<unsigned>(width), static_cast<unsigned>(height)));
        if (!image)
            return nullptr;
        m_segment.shmid = ::shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
        if (m_segment.shmid < 0)
            return nullptr;
        m_segment.shmaddr = image->data = static_cast<char*>(::shmat(m_segment.shmid, nullptr, 0));
        m_segment.readOnly = False;
        g_sharedMemoryFailed = false;
        const bool mapped = reinterpret_cast<std::intptr_t>(image->data) != -1;
        const bool attached = mapped && XShmAttach(m_display, &m_segment);
        XSync(m_display, False);
        // Gone once both sides let go, whatever happens to us.
        ::shmctl(m_segment.shmid, IPC_RMID, nullptr);
        if (!attached || g_sharedMemoryFailed) {
            if (mapped)
                ::shmdt(image->data);
            image->data = nullptr; // the shared pixels are not the image's to free
            return nullptr;
        }
        m_shared = true;
        return image;
    }

    ImageHandle privateImage(int width, int height)
    {
        const int stride = width * 4;
        auto* pixels = static_cast<char*>(std::calloc(static_cast<size_t>(stride) * height, 1));
        if (!pixels)
            return nullptr;
        ImageHandle image(XCreateImage(m_display, m_visual, static_cast<unsigned>(m_depth), ZPixmap, 0, pixels,
            static_cast<unsigned>(width), static_cast<unsigned>(height), 32, stride));
        if (!image)
            std::free(pixels);
        return image; // NOLINT(clang-analyzer-unix.Malloc): the image owns the pixels now
    }

    void release()
    {
        m_target.reset();
        if (m_image && m_shared) {
            XShmDetach(m_display, &m_segment);
            XSync(m_display, False);
            ::shmdt(m_segment.shmaddr);
            m_image->data = nullptr;
        }
        m_image.reset();
        m_shared = false;
    }

    Display* m_display;
    ::Window m_window;
    Visual* m_visual;
    int m_depth;
    GCHandle m_gc;
    ImageHandle m_image;
    XShmSegmentInfo m_segment {};
    bool m_shared = false;
    std::unique_ptr<anim::PixelBufferTarget> m_target;
    std::uint64_t m_pixelsSent = 0;
};

// Frames a second and the time of the last frame step, in a box at the top left.
class FrameRateOverlay {
public:
    static constexpr gfx::PixelRect kBox { 8, 8, 250, 26 };

    void frameDrawn() { ++m_frames; }
    // Takes the count once a period; returns whether the text changed.
    bool update(double now)
    {
        if (now - m_since < kFrameRatePeriod)
            return false;
        char text[64];
        std::snprintf(text, sizeof text, "%.1f fps   step %.1f ms", m_frames / (now - m_since), m_stepTime * 1000);
        m_text = text;
        m_frames = 0;
        m_since = now;
        m_changed = true;
        return true;
    }
    void stepTook(double seconds) { m_stepTime = seconds; }
    // Whether the box must be drawn afresh (its text changed since it was last drawn).
    bool changed() const { return m_changed; }

    void draw(cairo_t* context)
    {
        cairo_save(context);
        cairo_rectangle(context, kBox.x, kBox.y, kBox.width, kBox.height);
        cairo_set_source_rgba(context, 0, 0, 0, 0.6);
        cairo_fill(context);
        cairo_select_font_face(context, "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(context, 14);
        cairo_set_source_rgb(context, 1, 1, 1);
        cairo_move_to(context, kBox.x + 8, kBox.y + 18);
        cairo_show_text(context, m_text.c_str());
        cairo_restore(context);
        m_changed = false;
    }

private:
    int m_frames = 0;
    double m_since = 0;
    double m_stepTime = 0;
    std::string m_text = "...";
    bool m_changed = true;
};

::Window makeOwnWindow(Display* display, const X11Options& options, Atom deleteWindow)
{
    const int screen = DefaultScreen(display);
    const ::Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
        static_cast<unsigned>(options.windowSize.width), static_cast<unsigned>(options.windowSize.height), 0,
        BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, window, options.title.c_str());
    Atom protocols[] = { deleteWindow };
    XSetWMProtocols(display, window, protocols, 1);
    XSelectInput(display, window, StructureNotifyMask | ExposureMask | KeyPressMask);
    XMapWindow(display, window);
    return window;
}

} // namespace

std::optional<unsigned long> parseWindowId(std::string_view text)
{
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long id = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), id, base);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || id == 0)
        return std::nullopt;
    return id;
}

namespace {

// One view shown in one X window until it is told to end: drawing what changed, waiting for
// the next thing to do, and handling the window's events, in turns.
class Session {
public:
    Session(Display* display, ::Window window, bool ownWindow, Atom deleteWindow, const X11Options& options,
        SettingsWatcher* watcher, int signalPipe)
        : m_display(display)
        , m_window(window)
        , m_ownWindow(ownWindow)
        , m_deleteWindow(deleteWindow)
        , m_watcher(watcher)
        , m_signalPipe(signalPipe)
    {
        if (options.showFrameRate)
            m_overlay.emplace();
    }

    // Shows the view until it is told to end; returns the exit status.
    int run(const XWindowAttributes& attributes, const ViewFactory& makeView)
    {
        m_canvas = std::make_unique<Canvas>(m_display, m_window, attributes.visual, attributes.depth);
        if (!m_canvas->resize(attributes.width, attributes.height))
            return 1;
        m_start = secondsNow();
        const gfx::Rect frame { 0, 0, static_cast<double>(attributes.width), static_cast<double>(attributes.height) };
        m_session = ViewSession::make(makeView, frame, 1.0, Screen { frame, 1.0 }, elapsed());
        if (!m_session)
            return 1;
        m_session->setTarget(&m_canvas->target(), 1.0);
        m_loop.add(*m_session);

        while (m_running && !g_windowGone) {
            draw();
            wait();
            handleEvents();
        }
        m_loop.remove(*m_session);
        if (m_overlay)
            logSummary();
        m_session.reset();
        return m_status;
    }

    // The signal that ended the session, if one did.
    int endingSignal() const { return m_endingSignal; }

private:
    double elapsed() const { return secondsNow() - m_start; }

    // Runs what is due and draws what changed.
    void draw()
    {
        const double now = elapsed();
        if (m_loop.isMoving())
            m_movingSeconds += now - m_lastLoop;
        m_lastLoop = now;
        m_loop.advance(now);
        if (m_overlay && m_loop.framesRun() > 0)
            m_overlay->stepTook(elapsed() - now);
        const bool overlayChanged = m_overlay && m_overlay->update(elapsed());
        if (!m_session->needsDraw() && !overlayChanged)
            return;
        const bool treeChanged = m_session->needsDraw();
        if (overlayChanged)
            m_session->invalidate(FrameRateOverlay::kBox);
        const gfx::PixelRect changed = m_session->draw(elapsed());
        m_pictures += changed.isEmpty() ? 0 : 1;
        if (m_overlay) {
            if (treeChanged)
                m_overlay->frameDrawn();
            if (!changed.intersected(FrameRateOverlay::kBox).isEmpty() || m_overlay->changed()) {
                m_overlay->draw(m_canvas->target().context());
                m_canvas->target().present(FrameRateOverlay::kBox);
            }
        }
    }

    // While something moves, comes back for the next picture; otherwise sleeps until the next
    // frame call, a settings change, an event or a signal.
    void wait()
    {
        double wait = m_loop.secondsToWait(elapsed());
        if (m_overlay)
            wait = std::min(wait, kFrameRatePeriod);
        std::array<pollfd, 3> watched {
            pollfd { ConnectionNumber(m_display), POLLIN, 0 },
            pollfd { m_signalPipe, POLLIN, 0 },
            pollfd { m_watcher ? m_watcher->fileDescriptor() : -1, POLLIN, 0 },
        };
        if (XPending(m_display) == 0)
            ::poll(watched.data(), watched.size(), std::max(0, static_cast<int>(std::ceil(wait * 1000))));
        if (watched[1].revents & POLLIN) {
            m_endingSignal = receivedEndingSignal(m_signalPipe);
            m_running = false;
        }
        if (m_watcher && (watched[2].revents & POLLIN))
            m_watcher->poll();
    }

    void handleEvents()
    {
        while (m_running && XPending(m_display) > 0) {
            XEvent event {};
            XNextEvent(m_display, &event);
            switch (event.type) {
            case ConfigureNotify:
                if (event.xconfigure.window == m_window)
                    resize(event.xconfigure.width, event.xconfigure.height);
                break;
            case Expose:
                m_session->invalidate();
                break;
            case DestroyNotify:
                if (event.xdestroywindow.window == m_window)
                    m_running = false;
                break;
            case ClientMessage:
                if (m_ownWindow && static_cast<Atom>(event.xclient.data.l[0]) == m_deleteWindow)
                    m_running = false;
                break;
            case KeyPress: {
                const KeySym key = XLookupKeysym(&event.xkey, 0);
                if (m_ownWindow && (key == XK_Escape || key == XK_q))
                    m_running = false;
                break;
            }
            default:
                break;
            }
        }
    }

    void resize(int width, int height)
    {
        const auto& frame = m_session->view().frame();
        if (width == static_cast<int>(frame.width()) && height == static_cast<int>(frame.height()))
            return;
        m_session->setTarget(nullptr, 1.0);
        if (!m_canvas->resize(width, height)) {
            m_running = false;
            m_status = 1;
            return;
        }
        m_session->setTarget(&m_canvas->target(), 1.0);
        m_session->resize({ static_cast<double>(width), static_cast<double>(height) }, 1.0);
    }

    // What --fps says at the end: how much was drawn and sent while shapes moved.
    void logSummary() const
    {
        char summary[200];
        std::snprintf(summary, sizeof summary,
            "Drew %d pictures in %.1f s; sent %.3g pixels to the X server, %.3g a second while shapes moved",
            m_pictures, elapsed(), static_cast<double>(m_canvas->pixelsSent()),
            m_movingSeconds > 0 ? static_cast<double>(m_canvas->pixelsSent()) / m_movingSeconds : 0.0);
        log(summary);
    }

    Display* m_display;
    ::Window m_window;
    bool m_ownWindow;
    Atom m_deleteWindow;
    SettingsWatcher* m_watcher;
    int m_signalPipe;
    std::optional<FrameRateOverlay> m_overlay;

    std::unique_ptr<Canvas> m_canvas;
    std::unique_ptr<ViewSession> m_session;
    FrameLoop m_loop { kMovingFramePeriod };
    double m_start = 0;
    double m_movingSeconds = 0;
    double m_lastLoop = 0;
    int m_pictures = 0;
    bool m_running = true;
    int m_status = 0;
    int m_endingSignal = 0;
};

std::string windowIdText(::Window window)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

struct Ended {
    int status = 0;
    int signal = 0; // the one that ended the session, if one did
};

Ended show(const X11Options& options, const ViewFactory& makeView, SettingsWatcher* watcher)
{
    const DisplayHandle display(XOpenDisplay(nullptr));
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        log(std::string("Cannot open the X display ") + (name ? name : "(DISPLAY is not set)"));
        return { 1 };
    }
    int firstEvent = 0;
    int firstError = 0;
    if (!XQueryExtension(display.get(), "MIT-SHM", &g_sharedMemoryOpcode, &firstEvent, &firstError))
        g_sharedMemoryOpcode = -1;
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onXIOError);
    // However long a frame takes, the process ends soon after it is told to, or after the
    // server has gone.
    const int signalPipe = watchEndingSignals();
    endWhenHungUp(ConnectionNumber(display.get()));

    const Atom deleteWindow = XInternAtom(display.get(), "WM_DELETE_WINDOW", False);
    const bool ownWindow = !options.windowId && options.ownWindow;
    ::Window window = RootWindow(display.get(), DefaultScreen(display.get()));
    if (options.windowId)
        window = *options.windowId;
    else if (ownWindow)
        window = makeOwnWindow(display.get(), options, deleteWindow);

    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(display.get(), window, &attributes) || g_windowGone) {
        log("There is no X window " + windowIdText(window));
        return { 1 };
    }
    // Only these on someone else's window: its input belongs to its owner.
    if (!ownWindow)
        XSelectInput(display.get(), window, StructureNotifyMask | ExposureMask);

    Session session(display.get(), window, ownWindow, deleteWindow, options, watcher, signalPipe);
    Ended ended { session.run(attributes, makeView), session.endingSignal() };
    if (ownWindow && !g_windowGone)
        XDestroyWindow(display.get(), window);
    // A signal may have come just after the window went away.
    if (unsigned char received = 0; ended.signal == 0 && ::read(signalPipe, &received, 1) == 1)
        ended.signal = received;
    return ended;
}

} // namespace

int runX11(const X11Options& options, const ViewFactory& makeView, SettingsWatcher* watcher)
{
    const Ended ended = show(options, makeView, watcher);
    // Everything is put away: end by the signal, as whoever sent it expects.
    if (ended.signal != 0) {
        ::signal(ended.signal, SIG_DFL);
        ::raise(ended.signal);
    }
    return ended.status;
}

} // namespace kaleon::host::x11
