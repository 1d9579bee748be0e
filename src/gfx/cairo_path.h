#pragma once

#include "gfx/path.h"

#include <cairo.h>

namespace kaleon::gfx {

// Appends `path` to the context's current path (in user space), so that several paths can be
// filled in one operation. Quadratic segments become the equivalent cubic ones.
void appendPathToCairo(cairo_t* context, const Path& path);

} // namespace kaleon::gfx
