// The legacy token-based path reader on any text.
#include "fuzz_support.h"
#include "svg/legacy_path_tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const kaleon::svg::TGSVGPath path(textOf(data, size));
    (void)path.bezierPath().boundingBox();
    if (path.tokens()) {
        for (const auto& token : *path.tokens())
            (void)token.description();
    }
    return 0;
}
