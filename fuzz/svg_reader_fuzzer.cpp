// The whole SVG reader with attributes, then the writer over what it read, and the document's
// measurements.
#include "fuzz_support.h"
#include "svg/document.h"
#include "svg/element_reader.h"
#include "svg/svg_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const std::string text(textOf(data, size));
    std::shared_ptr<kaleon::svg::PathAttributeMap> attributes;
    const auto paths = kaleon::svg::CGPathsFromSVGString(text, &attributes);
    const std::string written = kaleon::svg::SVGStringFromCGPaths(paths, attributes.get());
    // What the writer writes must read back as the same number of paths.
    if (kaleon::svg::CGPathsFromSVGString(written, nullptr).size() != paths.size())
        __builtin_trap();
    const auto document = kaleon::svg::TGSVG::makeWithSVGString(text);
    (void)document->totalSize();
    (void)kaleon::svg::passedOverElements(text);
    return 0;
}
