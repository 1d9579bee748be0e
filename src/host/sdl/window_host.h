#pragma once

#include "gfx/geometry.h"
#include "host/settings_watcher.h"
#include "host/view_factory.h"

#include <string>

namespace kaleon::host::sdl {

struct WindowOptions {
    bool fullscreen = false; // one borderless full-screen window and view per monitor
    gfx::Size windowSize { 1280, 720 };
    std::string title = "Kaleon";
};

// Shows views in SDL windows until the user quits (Escape or Q, closing a window; in full
// screen also any key, click or mouse movement). Calls each view's `animateOneFrame` once per
// its interval and redraws a window only when its layer tree changed. Polls `watcher`, when
// given, so changed settings reach the views at once. Returns the process exit status.
int runWindowed(const WindowOptions& options, const ViewFactory& makeView, SettingsWatcher* watcher);

} // namespace kaleon::host::sdl
