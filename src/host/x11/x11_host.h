#pragma once

#include "gfx/geometry.h"
#include "host/settings_watcher.h"
#include "host/view_factory.h"

#include <optional>
#include <string>
#include <string_view>

namespace kaleon::host::x11 {

// Where an X11 run draws: into a window another program made (XScreenSaver's full-screen
// window, or its settings tool's preview), into the root window, or into a window of its own.
struct X11Options {
    std::optional<unsigned long> windowId; // a window made by another program
    bool ownWindow = false; // without a window id: our own window, else the root
    gfx::Size windowSize { 1280, 720 }; // our own window's size
    std::string title = "Kaleon";
    bool showFrameRate = false; // frames a second and the last frame step's time, top left
};

// A window id as XScreenSaver writes it: decimal, or hexadecimal after "0x". Empty when the
// text is not one.
std::optional<unsigned long> parseWindowId(std::string_view text);

// Shows one view in the chosen window until SIGTERM, SIGINT or SIGHUP, until the window goes
// away, or (in our own window) until Escape, Q or closing it. Draws with Cairo into the
// window's pixels in shared memory and sends only what changed to the X server; between
// shapes nothing is drawn and the process sleeps until the next frame call, a settings change
// or an event. Input on a foreign window is left to its owner. Returns the exit status.
int runX11(const X11Options& options, const ViewFactory& makeView, SettingsWatcher* watcher);

} // namespace kaleon::host::x11
