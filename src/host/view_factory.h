#pragma once

#include "gfx/geometry.h"
#include "host/screen_saver_view.h"

#include <functional>
#include <memory>

namespace kaleon::host {

// Makes the module's view for a frame; the host calls it once per screen.
using ViewFactory = std::function<std::shared_ptr<ScreenSaverView>(gfx::Rect frame, bool isPreview)>;

} // namespace kaleon::host
