#include "host/wayland/wayland_host.h"

#include "anim/cairo_target.h"
#include "core/ending.h"
#include "core/log.h"
#include "host/view_session.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"
// The layer shell names an argument "namespace": a C header, not written for C++.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace kaleon::host::wayland {

namespace {

// While a shape moves a picture is drawn at most this often (in software, as the X11 host
// draws), and no sooner than the compositor asks for it with a frame callback.
constexpr double kMovingFramePeriod = 1.0 / 30;
// A frame callback this much early still counts as on time.
constexpr double kFrameSlack = 0.004;
// Pointer movement within this time of the start, or smaller than this (in points), is noise:
// a compositor moves the pointer into a surface that appears under it.
constexpr double kPointerGracePeriod = 1.0;
constexpr double kPointerMotionThreshold = 10;

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template<class... Arguments>
void ignore(void*, Arguments...)
{
}

// Pixels the compositor reads a picture from: shared memory it maps too. It is busy from the
// commit that shows it until the compositor releases it.
class ShmBuffer {
public:
    static std::unique_ptr<ShmBuffer> make(wl_shm* shm, int width, int height)
    {
        const int stride = width * 4;
        const auto size = static_cast<size_t>(stride) * static_cast<size_t>(height);
        const int fd = ::memfd_create("kaleon-picture", MFD_CLOEXEC);
        if (fd < 0)
            return nullptr;
        void* pixels = ::ftruncate(fd, static_cast<off_t>(size)) == 0
            ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
            : MAP_FAILED;
        if (pixels == MAP_FAILED) {
            ::close(fd);
            return nullptr;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
        wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);
        ::close(fd);
        return std::unique_ptr<ShmBuffer>(new ShmBuffer(buffer, static_cast<std::uint8_t*>(pixels), size, stride));
    }
    ~ShmBuffer()
    {
        wl_buffer_destroy(m_buffer);
        ::munmap(m_pixels, m_size);
    }
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* buffer() const { return m_buffer; }
    bool isBusy() const { return m_busy; }
    std::uint8_t* pixels() const { return m_pixels; }
    void markBusy() { m_busy = true; }
    // What changed in the picture since these pixels last had it.
    void becameStale(const gfx::PixelRect& area) { m_stale = m_stale.united(area); }

    // Brings these pixels up to date from `latest` (which has the whole picture), but for
    // `drawn`, which a frame has just drawn into them.
    void catchUp(const ShmBuffer& latest, const gfx::PixelRect& drawn)
    {
        // The stale area less the drawn one: the bands above and below it, then beside it.
        const gfx::PixelRect& stale = m_stale;
        const gfx::PixelRect inner = stale.intersected(drawn);
        if (inner.isEmpty()) {
            copy(latest, stale);
        } else {
            copy(latest, { stale.x, stale.y, stale.width, inner.y - stale.y });
            copy(latest,
                { stale.x, inner.y + inner.height, stale.width, stale.y + stale.height - inner.y - inner.height });
            copy(latest, { stale.x, inner.y, inner.x - stale.x, inner.height });
            copy(latest,
                { inner.x + inner.width, inner.y, stale.x + stale.width - inner.x - inner.width, inner.height });
        }
        m_stale = {};
    }

private:
    ShmBuffer(wl_buffer* buffer, std::uint8_t* pixels, size_t size, int stride)
        : m_buffer(buffer)
        , m_pixels(pixels)
        , m_size(size)
        , m_stride(static_cast<size_t>(stride))
    {
        static const wl_buffer_listener listener {
            .release = [](void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->m_busy = false; },
        };
        wl_buffer_add_listener(m_buffer, &listener, this);
    }

    void copy(const ShmBuffer& from, const gfx::PixelRect& area)
    {
        if (area.width <= 0 || area.height <= 0)
            return;
        const auto rowBytes = static_cast<size_t>(area.width) * 4;
        for (int row = area.y; row < area.y + area.height; ++row) {
            const size_t offset = static_cast<size_t>(row) * m_stride + static_cast<size_t>(area.x) * 4;
            std::memcpy(m_pixels + offset, from.m_pixels + offset, rowBytes);
        }
    }

    wl_buffer* m_buffer;
    std::uint8_t* m_pixels;
    size_t m_size;
    size_t m_stride;
    gfx::PixelRect m_stale;
    bool m_busy = false;
};

class Host;

// One output, and the surface that covers it with a view.
struct Output {
    Host* host = nullptr;
    std::uint32_t name = 0; // the registry's
    wl_output* output = nullptr;
    int integerScale = 1;
    int modeWidth = 0;
    int modeHeight = 0;

    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layerSurface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wp_viewport* viewport = nullptr;
    wp_fractional_scale_v1* fractionalScale = nullptr;
    double preferredScale = 0; // from the fractional-scale protocol; 0: none said
    int width = 0; // points
    int height = 0;
    int toplevelWidth = 0;
    int toplevelHeight = 0;

    // The view draws straight into whichever buffer the compositor is not reading; `latest`
    // is the one that holds the picture as last drawn.
    std::array<std::unique_ptr<ShmBuffer>, 2> buffers;
    size_t latest = 0;
    std::unique_ptr<anim::PixelBufferTarget> target;
    wl_callback* frameCallback = nullptr;
    std::unique_ptr<ViewSession> session;

    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output();

    // Pixels per point of the pictures.
    double scale() const { return preferredScale > 0 && viewport ? preferredScale : static_cast<double>(integerScale); }
    // The buffer to draw the next picture into: the latest if the compositor has let go of it,
    // else the other one; none while both are busy.
    ShmBuffer* freeBuffer() const
    {
        for (const size_t index : { latest, 1 - latest }) {
            if (buffers[index] && !buffers[index]->isBusy())
                return buffers[index].get();
        }
        return nullptr;
    }
    bool isReadyToDraw() const { return session && target && !frameCallback && freeBuffer(); }
};

class Host {
public:
    Host(const WaylandOptions& options, const ViewFactory& makeView, SettingsWatcher* watcher)
        : m_options(options)
        , m_makeView(makeView)
        , m_watcher(watcher)
    {
    }
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    int run();
    int endingSignal() const { return m_endingSignal; }

    double elapsed() const { return secondsNow() - m_start; }
    void quit() { m_running = false; }

    // Listeners' entry points.
    void addGlobal(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);
    void removeGlobal(std::uint32_t name);
    void resize(Output& output, int width, int height);
    void refit(Output& output);
    void seatCapabilities(std::uint32_t capabilities);
    void pointerMoved(double x, double y);
    void pointerEntered(wl_pointer* pointer, std::uint32_t serial, double x, double y);
    void closeSurface(Output& output);

private:
    void cover(Output& output);
    void show(Output& output, const gfx::PixelRect& changed);
    void turn();
    void wait();

    const WaylandOptions& m_options;
    const ViewFactory& m_makeView;
    SettingsWatcher* m_watcher;

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_compositor* m_compositor = nullptr;
    wl_shm* m_shm = nullptr;
    wl_seat* m_seat = nullptr;
    wl_keyboard* m_keyboard = nullptr;
    wl_pointer* m_pointer = nullptr;
    zwlr_layer_shell_v1* m_layerShell = nullptr;
    xdg_wm_base* m_wmBase = nullptr;
    wp_viewporter* m_viewporter = nullptr;
    wp_fractional_scale_manager_v1* m_fractionalScales = nullptr;
    std::vector<std::unique_ptr<Output>> m_outputs;
    bool m_covering = false; // past the first round trip: new outputs are covered at once

    FrameLoop m_loop { kMovingFramePeriod };
    double m_start = secondsNow();
    double m_lastMovingDraw = -1;
    std::optional<std::pair<double, double>> m_pointerAnchor;
    int m_signalPipe = -1;
    bool m_running = true;
    int m_status = 0;
    int m_endingSignal = 0;
};

Output::~Output()
{
    // The view lets go of the picture before the picture goes.
    session.reset();
    target.reset();
    if (frameCallback)
        wl_callback_destroy(frameCallback);
    for (auto& buffer : buffers)
        buffer.reset();
    if (fractionalScale)
        wp_fractional_scale_v1_destroy(fractionalScale);
    if (viewport)
        wp_viewport_destroy(viewport);
    if (layerSurface)
        zwlr_layer_surface_v1_destroy(layerSurface);
    if (toplevel)
        xdg_toplevel_destroy(toplevel);
    if (xdgSurface)
        xdg_surface_destroy(xdgSurface);
    if (surface)
        wl_surface_destroy(surface);
    if (output && wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(output);
    else if (output)
        wl_output_destroy(output);
}

const wl_output_listener kOutputListener {
    .geometry = ignore<wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t>,
    .mode =
        [](void* data, wl_output*, std::uint32_t flags, int32_t width, int32_t height, int32_t) {
            if (flags & WL_OUTPUT_MODE_CURRENT) {
                auto* output = static_cast<Output*>(data);
                output->modeWidth = width;
                output->modeHeight = height;
            }
        },
    .done = [](void* data, wl_output*) { static_cast<Output*>(data)->host->refit(*static_cast<Output*>(data)); },
    .scale
    = [](void* data, wl_output*, int32_t factor) { static_cast<Output*>(data)->integerScale = std::max(1, factor); },
    .name = ignore<wl_output*, const char*>,
    .description = ignore<wl_output*, const char*>,
};

const zwlr_layer_surface_v1_listener kLayerSurfaceListener {
    .configure =
        [](void* data, zwlr_layer_surface_v1* surface, std::uint32_t serial, std::uint32_t width,
            std::uint32_t height) {
            zwlr_layer_surface_v1_ack_configure(surface, serial);
            auto* output = static_cast<Output*>(data);
            output->host->resize(*output, static_cast<int>(width), static_cast<int>(height));
        },
    .closed
    = [](void* data,
          zwlr_layer_surface_v1*) { static_cast<Output*>(data)->host->closeSurface(*static_cast<Output*>(data)); },
};

const xdg_surface_listener kXdgSurfaceListener {
    .configure =
        [](void* data, xdg_surface* surface, std::uint32_t serial) {
            xdg_surface_ack_configure(surface, serial);
            auto* output = static_cast<Output*>(data);
            // A full-screen window the compositor left the size of to us takes the output's.
            int width = output->toplevelWidth;
            int height = output->toplevelHeight;
            if (width <= 0 || height <= 0) {
                width = output->modeWidth / output->integerScale;
                height = output->modeHeight / output->integerScale;
            }
            output->host->resize(*output, width, height);
        },
};

const xdg_toplevel_listener kToplevelListener {
    .configure =
        [](void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
            auto* output = static_cast<Output*>(data);
            output->toplevelWidth = width;
            output->toplevelHeight = height;
        },
    .close = [](void* data, xdg_toplevel*) { static_cast<Output*>(data)->host->quit(); },
    .configure_bounds = ignore<xdg_toplevel*, int32_t, int32_t>,
    .wm_capabilities = ignore<xdg_toplevel*, wl_array*>,
};

const wp_fractional_scale_v1_listener kFractionalScaleListener {
    .preferred_scale =
        [](void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
            auto* output = static_cast<Output*>(data);
            output->preferredScale = scale / 120.0;
            output->host->refit(*output);
        },
};

// The compositor wants the next picture: the next turn draws it, when one is due.
const wl_callback_listener kFrameListener {
    .done =
        [](void* data, wl_callback* callback, std::uint32_t) {
            wl_callback_destroy(callback);
            static_cast<Output*>(data)->frameCallback = nullptr;
        },
};

const xdg_wm_base_listener kWmBaseListener {
    .ping = [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

const wl_keyboard_listener kKeyboardListener {
    .keymap = [](void*, wl_keyboard*, std::uint32_t, int32_t fd, std::uint32_t) { ::close(fd); },
    .enter = ignore<wl_keyboard*, std::uint32_t, wl_surface*, wl_array*>,
    .leave = ignore<wl_keyboard*, std::uint32_t, wl_surface*>,
    .key =
        [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
            if (state == WL_KEYBOARD_KEY_STATE_PRESSED)
                static_cast<Host*>(data)->quit();
        },
    .modifiers = ignore<wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>,
    .repeat_info = ignore<wl_keyboard*, int32_t, int32_t>,
};

const wl_pointer_listener kPointerListener {
    .enter =
        [](void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
            static_cast<Host*>(data)->pointerEntered(pointer, serial, wl_fixed_to_double(x), wl_fixed_to_double(y));
        },
    .leave = ignore<wl_pointer*, std::uint32_t, wl_surface*>,
    .motion
    = [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x,
          wl_fixed_t y) { static_cast<Host*>(data)->pointerMoved(wl_fixed_to_double(x), wl_fixed_to_double(y)); },
    .button =
        [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
            if (state == WL_POINTER_BUTTON_STATE_PRESSED)
                static_cast<Host*>(data)->quit();
        },
    .axis = [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) { static_cast<Host*>(data)->quit(); },
    .frame = ignore<wl_pointer*>,
    .axis_source = ignore<wl_pointer*, std::uint32_t>,
    .axis_stop = ignore<wl_pointer*, std::uint32_t, std::uint32_t>,
    .axis_discrete = ignore<wl_pointer*, std::uint32_t, int32_t>,
    .axis_value120 = ignore<wl_pointer*, std::uint32_t, int32_t>,
};

const wl_seat_listener kSeatListener {
    .capabilities = [](void* data, wl_seat*,
                        std::uint32_t capabilities) { static_cast<Host*>(data)->seatCapabilities(capabilities); },
    .name = ignore<wl_seat*, const char*>,
};

const wl_registry_listener kRegistryListener {
    .global = [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                  std::uint32_t version) { static_cast<Host*>(data)->addGlobal(registry, name, interface, version); },
    .global_remove = [](void* data, wl_registry*, std::uint32_t name) { static_cast<Host*>(data)->removeGlobal(name); },
};

template<class T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
    std::uint32_t wanted)
{
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

Host::~Host()
{
    m_outputs.clear();
    // Seats before version 3 (5 for the seat itself) cannot be told; their proxies just go.
    const bool canRelease = m_seat && wl_seat_get_version(m_seat) >= WL_SEAT_RELEASE_SINCE_VERSION;
    if (m_pointer)
        canRelease ? wl_pointer_release(m_pointer) : wl_pointer_destroy(m_pointer);
    if (m_keyboard)
        canRelease ? wl_keyboard_release(m_keyboard) : wl_keyboard_destroy(m_keyboard);
    if (m_seat)
        canRelease ? wl_seat_release(m_seat) : wl_seat_destroy(m_seat);
    if (m_fractionalScales)
        wp_fractional_scale_manager_v1_destroy(m_fractionalScales);
    if (m_viewporter)
        wp_viewporter_destroy(m_viewporter);
    if (m_layerShell)
        zwlr_layer_shell_v1_destroy(m_layerShell);
    if (m_wmBase)
        xdg_wm_base_destroy(m_wmBase);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
}

void Host::addGlobal(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version)
{
    const std::string_view kind(interface);
    if (kind == wl_compositor_interface.name) {
        // Version 4 damages in buffer pixels.
        if (version >= 4)
            m_compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    } else if (kind == wl_shm_interface.name) {
        m_shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (kind == wl_seat_interface.name && !m_seat) {
        m_seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(m_seat, &kSeatListener, this);
    } else if (kind == zwlr_layer_shell_v1_interface.name) {
        m_layerShell = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 1);
    } else if (kind == xdg_wm_base_interface.name) {
        m_wmBase = bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(m_wmBase, &kWmBaseListener, this);
    } else if (kind == wp_viewporter_interface.name) {
        m_viewporter = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (kind == wp_fractional_scale_manager_v1_interface.name) {
        m_fractionalScales = bind<wp_fractional_scale_manager_v1>(
            registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (kind == wl_output_interface.name && version >= 2) {
        auto output = std::make_unique<Output>();
        output->host = this;
        output->name = name;
        output->output = bind<wl_output>(registry, name, &wl_output_interface, version, 3);
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        m_outputs.push_back(std::move(output));
        if (m_covering)
            cover(*m_outputs.back());
    }
}

void Host::removeGlobal(std::uint32_t name)
{
    const auto gone = std::find_if(m_outputs.begin(), m_outputs.end(), [&](const auto& o) { return o->name == name; });
    if (gone == m_outputs.end())
        return;
    if ((*gone)->session)
        m_loop.remove(*(*gone)->session);
    m_outputs.erase(gone);
}

// A keyboard or mouse unplugged and plugged in again (or a virtual one come and gone) is a new
// device to the seat: the old proxy hears nothing more, so it goes and a new one is made.
void Host::seatCapabilities(std::uint32_t capabilities)
{
    const bool canRelease = wl_seat_get_version(m_seat) >= WL_KEYBOARD_RELEASE_SINCE_VERSION;
    const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (hasKeyboard && !m_keyboard) {
        m_keyboard = wl_seat_get_keyboard(m_seat);
        wl_keyboard_add_listener(m_keyboard, &kKeyboardListener, this);
    } else if (!hasKeyboard && m_keyboard) {
        canRelease ? wl_keyboard_release(m_keyboard) : wl_keyboard_destroy(m_keyboard);
        m_keyboard = nullptr;
    }
    const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (hasPointer && !m_pointer) {
        m_pointer = wl_seat_get_pointer(m_seat);
        wl_pointer_add_listener(m_pointer, &kPointerListener, this);
    } else if (!hasPointer && m_pointer) {
        canRelease ? wl_pointer_release(m_pointer) : wl_pointer_destroy(m_pointer);
        m_pointer = nullptr;
        m_pointerAnchor.reset();
    }
}

void Host::pointerEntered(wl_pointer* pointer, std::uint32_t serial, double x, double y)
{
    // No pointer over the saver; where it is now is where it came to rest.
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    m_pointerAnchor = { x, y };
}

void Host::pointerMoved(double x, double y)
{
    if (!m_pointerAnchor || elapsed() < kPointerGracePeriod) {
        m_pointerAnchor = { x, y };
        return;
    }
    if (std::hypot(x - m_pointerAnchor->first, y - m_pointerAnchor->second) > kPointerMotionThreshold)
        quit();
}

// A surface for the output: on the overlay layer above everything, taking the keyboard, or a
// full-screen window on it.
void Host::cover(Output& output)
{
    output.surface = wl_compositor_create_surface(m_compositor);
    if (m_viewporter && m_fractionalScales) {
        output.viewport = wp_viewporter_get_viewport(m_viewporter, output.surface);
        output.fractionalScale
            = wp_fractional_scale_manager_v1_get_fractional_scale(m_fractionalScales, output.surface);
        wp_fractional_scale_v1_add_listener(output.fractionalScale, &kFractionalScaleListener, &output);
    }
    if (m_layerShell) {
        output.layerSurface = zwlr_layer_shell_v1_get_layer_surface(
            m_layerShell, output.surface, output.output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "kaleon");
        zwlr_layer_surface_v1_set_anchor(output.layerSurface,
            ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT
                | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_exclusive_zone(output.layerSurface, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(output.layerSurface, 1);
        zwlr_layer_surface_v1_set_size(output.layerSurface, 0, 0);
        zwlr_layer_surface_v1_add_listener(output.layerSurface, &kLayerSurfaceListener, &output);
    } else {
        output.xdgSurface = xdg_wm_base_get_xdg_surface(m_wmBase, output.surface);
        xdg_surface_add_listener(output.xdgSurface, &kXdgSurfaceListener, &output);
        output.toplevel = xdg_surface_get_toplevel(output.xdgSurface);
        xdg_toplevel_add_listener(output.toplevel, &kToplevelListener, &output);
        xdg_toplevel_set_title(output.toplevel, m_options.title.c_str());
        xdg_toplevel_set_app_id(output.toplevel, "kaleon");
        xdg_toplevel_set_fullscreen(output.toplevel, output.output);
    }
    wl_surface_commit(output.surface);
}

void Host::closeSurface(Output& output)
{
    // The compositor took the surface away (its output is going): the rest goes with the output.
    if (output.session)
        m_loop.remove(*output.session);
    output.session.reset();
    output.target.reset();
}

// The output's scale may have changed: the pictures follow.
void Host::refit(Output& output)
{
    if (output.width > 0 && output.height > 0)
        resize(output, output.width, output.height);
}

void Host::resize(Output& output, int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    const double scale = output.scale();
    const bool fractional = output.preferredScale > 0 && output.viewport;
    const int pixelWidth = static_cast<int>(std::lround(width * scale));
    const int pixelHeight = static_cast<int>(std::lround(height * scale));
    if (output.target && output.width == width && output.height == height && output.session
        && output.session->window().backingScaleFactor() == scale)
        return;
    output.width = width;
    output.height = height;

    if (output.session)
        output.session->setTarget(nullptr, scale);
    output.target.reset();
    // The first frame draws the whole picture into the first buffer; the second has it all to
    // catch up with.
    for (auto& buffer : output.buffers)
        buffer = ShmBuffer::make(m_shm, pixelWidth, pixelHeight);
    if (output.buffers[1])
        output.buffers[1]->becameStale({ 0, 0, pixelWidth, pixelHeight });
    output.latest = 0;
    if (output.buffers[0] && output.buffers[1])
        output.target = anim::PixelBufferTarget::create(output.buffers[0]->pixels(), pixelWidth, pixelHeight,
            pixelWidth * 4, [this, &output](const gfx::PixelRect& changed) { show(output, changed); });
    if (!output.target) {
        log("Cannot make the pictures for an output of " + std::to_string(pixelWidth) + "x"
            + std::to_string(pixelHeight) + " pixels (not enough memory?)");
        closeSurface(output);
        return;
    }
    if (fractional) {
        wl_surface_set_buffer_scale(output.surface, 1);
        wp_viewport_set_destination(output.viewport, width, height);
    } else {
        wl_surface_set_buffer_scale(output.surface, output.integerScale);
    }

    const gfx::Rect frame { 0, 0, static_cast<double>(width), static_cast<double>(height) };
    if (!output.session) {
        output.session = ViewSession::make(m_makeView, frame, scale, Screen { frame, scale }, elapsed());
        if (!output.session) {
            log("The view could not be made");
            quit();
            return;
        }
        m_loop.add(*output.session);
    } else {
        output.session->resize(frame.size, scale);
    }
    output.session->setTarget(output.target.get(), scale);
}

// A frame has drawn `changed` into the output's free buffer: the rest of it catches up with the
// latest picture, and it is shown.
void Host::show(Output& output, const gfx::PixelRect& changed)
{
    ShmBuffer* drawn = output.freeBuffer();
    if (!drawn)
        return; // cannot be: frames are drawn into a free buffer only
    ShmBuffer& latest = *output.buffers[output.latest];
    if (drawn != &latest) {
        drawn->catchUp(latest, changed);
        output.latest = 1 - output.latest;
    }
    for (auto& buffer : output.buffers) {
        if (buffer.get() != drawn)
            buffer->becameStale(changed);
    }
    drawn->markBusy();
    wl_surface_attach(output.surface, drawn->buffer(), 0, 0);
    wl_surface_damage_buffer(output.surface, changed.x, changed.y, changed.width, changed.height);
    output.frameCallback = wl_surface_frame(output.surface);
    wl_callback_add_listener(output.frameCallback, &kFrameListener, &output);
    wl_surface_commit(output.surface);
}

// Runs what is due and draws what changed, on every output that may be drawn on.
void Host::turn()
{
    const double now = elapsed();
    const bool moving = m_loop.advance(now);
    const bool pictureDue = !moving || now - m_lastMovingDraw >= kMovingFramePeriod - kFrameSlack;
    bool drew = false;
    for (const auto& output : m_outputs) {
        if (!pictureDue || !output->isReadyToDraw() || !output->target->drawInto(output->freeBuffer()->pixels()))
            continue;
        output->session->draw(now);
        drew = true;
    }
    // The period runs from the end of a picture, as in the other hosts: a slow picture leaves
    // the processor its rest before the next.
    if (drew && moving)
        m_lastMovingDraw = elapsed();
}

// Sleeps until the compositor says something, a signal or a settings change comes, or the
// next frame call (or, while a shape moves and an output may be drawn on, the next picture)
// is due.
void Host::wait()
{
    const double now = elapsed();
    const bool mayDraw
        = std::any_of(m_outputs.begin(), m_outputs.end(), [](const auto& output) { return output->isReadyToDraw(); });
    double wait = m_loop.secondsToNextFrameCall(now);
    if (m_loop.isMoving() && mayDraw)
        wait = std::min(wait, std::max(0.0, m_lastMovingDraw + kMovingFramePeriod - now));

    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    wl_display_flush(m_display);
    std::array<pollfd, 3> watched {
        pollfd { wl_display_get_fd(m_display), POLLIN, 0 },
        pollfd { m_signalPipe, POLLIN, 0 },
        pollfd { m_watcher ? m_watcher->fileDescriptor() : -1, POLLIN, 0 },
    };
    const int ready = ::poll(watched.data(), watched.size(), std::max(0, static_cast<int>(std::ceil(wait * 1000))));
    if (ready > 0 && (watched[0].revents & POLLIN))
        wl_display_read_events(m_display);
    else
        wl_display_cancel_read(m_display);
    if (wl_display_dispatch_pending(m_display) < 0) {
        m_running = false; // the compositor has gone
        return;
    }
    if (watched[1].revents & POLLIN) {
        m_endingSignal = receivedEndingSignal(m_signalPipe);
        m_running = false;
    }
    if (m_watcher && (watched[2].revents & POLLIN))
        m_watcher->poll();
}

int Host::run()
{
    m_display = wl_display_connect(nullptr);
    if (!m_display) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        log(std::string("Cannot connect to the Wayland display ") + (name ? name : "(WAYLAND_DISPLAY is not set)"));
        return 1;
    }
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &kRegistryListener, this);
    wl_display_roundtrip(m_display);
    if (!m_compositor || !m_shm || !(m_layerShell || m_wmBase)) {
        log("The Wayland compositor lacks what Kaleon draws with (wl_compositor 4, wl_shm, a shell)");
        return 1;
    }
    if (!m_layerShell)
        log("The compositor has no layer shell; covering each output with a full-screen window instead");
    m_signalPipe = watchEndingSignals();
    endWhenHungUp(wl_display_get_fd(m_display));
    // The outputs' modes and scales, then a surface on each.
    wl_display_roundtrip(m_display);
    m_covering = true;
    for (const auto& output : m_outputs)
        cover(*output);

    while (m_running) {
        turn();
        wait();
    }
    return m_status;
}

} // namespace

int runWayland(const WaylandOptions& options, const ViewFactory& makeView, SettingsWatcher* watcher)
{
    int status = 0;
    int signal = 0;
    {
        Host host(options, makeView, watcher);
        status = host.run();
        signal = host.endingSignal();
    }
    // Everything is put away: end by the signal, as whoever sent it expects.
    if (signal != 0) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
    return status;
}

} // namespace kaleon::host::wayland
