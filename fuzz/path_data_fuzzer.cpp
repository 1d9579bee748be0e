// The path-data parser on any text: it must never crash, hang or leave a path that is not finite.
#include "fuzz_support.h"
#include "svg/path_data_parser.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const kaleon::gfx::Path path = kaleon::svg::pathDefinitionParser(textOf(data, size)).parse();
    if (const auto box = path.boundingBox()) {
        if (!std::isfinite(box->origin.x) || !std::isfinite(box->origin.y) || !std::isfinite(box->size.width)
            || !std::isfinite(box->size.height))
            std::abort();
    }
    return 0;
}
