// A user's shape file from its bytes to its picture, as the saver takes it: checked as UTF-8,
// read, measured, scaled to a small screen and filled. Run under a memory and a time limit
// (make fuzz-smoke), so that an input which makes reading blow up or crawl is a finding.
#include "core/text.h"
#include "fuzz_support.h"
#include "gfx/bitmap.h"
#include "gfx/cairo_drawing.h"
#include "svg/document.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const std::string_view text = textOf(data, size);
    if (!kaleon::isValidUTF8(text))
        return 0;
    const auto document = kaleon::svg::TGSVG::makeWithSVGString(text, kaleon::svg::ParseStyle::No, { "fuzz.svg", {} });
    const kaleon::gfx::Size natural = document->totalSize();
    const double factor = 64 / natural.width;
    if (!std::isfinite(factor) || factor <= 0)
        return 0;
    document->applyTransform(kaleon::gfx::AffineTransform::scale(factor, factor));
    static const auto bitmap = kaleon::gfx::Bitmap::create(64, 64);
    const auto context = bitmap->createContext();
    for (const auto& path : document->cgPaths())
        kaleon::gfx::appendPathToCairo(context.get(), *path);
    cairo_fill(context.get());
    return 0;
}
