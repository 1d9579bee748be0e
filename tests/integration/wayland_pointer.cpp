// Moves the pointer of a wlroots compositor's seat, or clicks it, as a person would: through a
// virtual pointer (the compositor's own, so no input device is needed).
//
//     kaleon_wayland_pointer move DX DY     moves by DX, DY in steps of one point
//     kaleon_wayland_pointer click          presses and releases the left button
// Exit status 1 when the compositor has no virtual pointers.

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <linux/input-event-codes.h>
#include <string_view>
#include <thread>
#include <wayland-client.h>

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t)
{
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void globalRemoved(void*, wl_registry*, std::uint32_t)
{
}

std::uint32_t milliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string_view verb = argc > 1 ? argv[1] : "";
    if (!(verb == "click" && argc == 2) && !(verb == "move" && argc == 4)) {
        std::fprintf(stderr, "usage: %s move DX DY | click\n", argv[0]);
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot connect to the Wayland display\n");
        return 1;
    }
    Globals globals;
    static const wl_registry_listener listener { global, globalRemoved };
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &globals);
    wl_display_roundtrip(display);
    if (!globals.manager) {
        std::fprintf(stderr, "the compositor has no virtual pointers\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer
        = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    wl_display_roundtrip(display);
    // The seat has a pointer now: give its clients a moment to take it up before it moves.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (verb == "click") {
        zwlr_virtual_pointer_v1_button(pointer, milliseconds(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
        zwlr_virtual_pointer_v1_frame(pointer);
        zwlr_virtual_pointer_v1_button(pointer, milliseconds(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
        zwlr_virtual_pointer_v1_frame(pointer);
    } else {
        const double dx = std::atof(argv[2]);
        const double dy = std::atof(argv[3]);
        const int steps = std::max(1, static_cast<int>(std::ceil(std::hypot(dx, dy))));
        for (int step = 0; step < steps; ++step) {
            zwlr_virtual_pointer_v1_motion(
                pointer, milliseconds(), wl_fixed_from_double(dx / steps), wl_fixed_from_double(dy / steps));
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_flush(display);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
