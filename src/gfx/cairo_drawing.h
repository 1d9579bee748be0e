#pragma once

#include "core/c_handle.h"
#include "gfx/color.h"
#include "gfx/path.h"

#include <cairo.h>

namespace kaleon::gfx {

// Cairo objects we make, freed by Cairo's own functions.
using CairoContext = CHandle<cairo_t, cairo_destroy>;
using CairoSurface = CHandle<cairo_surface_t, cairo_surface_destroy>;
using CairoPattern = CHandle<cairo_pattern_t, cairo_pattern_destroy>;

// A context drawing into `surface`.
inline CairoContext createContext(cairo_surface_t* surface)
{
    return CairoContext(cairo_create(surface));
}

// Makes `color` the source, its alpha multiplied by `opacity`.
inline void setSourceColor(cairo_t* context, const Color& color, double opacity = 1.0)
{
    cairo_set_source_rgba(context, color.red, color.green, color.blue, color.alpha * opacity);
}

// The Cairo matrix of a transform.
inline cairo_matrix_t cairoMatrix(const AffineTransform& t)
{
    return { t.a(), t.b(), t.c(), t.d(), t.tx(), t.ty() };
}

// Appends `path` to the context's current path (in user space), so that several paths can be
// filled in one operation. Quadratic segments become the equivalent cubic ones.
void appendPathToCairo(cairo_t* context, const Path& path);

} // namespace kaleon::gfx
