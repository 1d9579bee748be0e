#pragma once

#include "host/settings_watcher.h"
#include "host/view_factory.h"

#include <string>

namespace kaleon::host::wayland {

struct WaylandOptions {
    std::string title = "Kaleon"; // of the full-screen windows, where there is no layer shell
};

// Covers every output of the Wayland compositor in $WAYLAND_DISPLAY with a view of its own,
// on the layer shell's overlay layer with the keyboard to itself, or (on a compositor without
// one) in a full-screen window on each output; outputs that come and go while it runs are
// covered or let go. Pictures are drawn with Cairo into shared memory at the output's scale,
// fractional scales too, and only what changed is sent, as fast as the compositor asks for
// pictures while a shape moves; between shapes it sleeps until the next frame call, a
// settings change or an event. Any key, click, scroll or pointer movement past a few pixels
// ends it, as do SIGTERM, SIGINT and SIGHUP and the compositor going away. Returns the exit
// status.
int runWayland(const WaylandOptions& options, const ViewFactory& makeView, SettingsWatcher* watcher);

} // namespace kaleon::host::wayland
