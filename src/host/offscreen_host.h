#pragma once

#include "core/result.h"
#include "gfx/geometry.h"
#include "host/view_factory.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace kaleon::host {

struct RenderOptions {
    std::filesystem::path directory;
    int frames = 1;
    gfx::Size size { 1280, 720 }; // points
    double scale = 1.0; // pixels per point
    // Pictures per second of simulated time, moving shapes included; without it one picture per
    // interval, taken just before the next frame call (after the shape came to rest).
    std::optional<double> fps;
    // Called after each written frame with (frames written, frames in all).
    std::function<void(int, int)> progress;
};

// Runs a view against a simulated clock, without waiting and without a display, for `frames`
// intervals, and writes its pictures as DIR/frame-0001.png, DIR/frame-0002.png, ...
// Returns the paths written.
Result<std::vector<std::filesystem::path>> renderOffscreen(const RenderOptions& options, const ViewFactory& makeView);

} // namespace kaleon::host
