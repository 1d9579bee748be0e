// A palette file as the saver reads it: the property list, then its colours. Whatever the
// plist library accepts must also survive being written in either format and read back.
#include "core/plist.h"
#include "fuzz_support.h"
#include "supply/color_palette.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    const auto value = kaleon::parsePlist({ data, size });
    if (!value)
        return 0;
    auto palette = kaleon::supply::TGColorPalette::make("fuzz", "fuzz.plist", {});
    palette->setupColorsFromDictionary(&*value);
    (void)palette->description();

    const std::string xml = kaleon::xmlPlist(*value);
    const auto fromXML = kaleon::parsePlist({ reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size() });
    const auto binary = kaleon::binaryPlist(*value);
    const auto fromBinary = kaleon::parsePlist(binary);
    if (!fromXML || !fromBinary)
        __builtin_trap();
    auto again = kaleon::supply::TGColorPalette::make("fuzz", "fuzz.plist", {});
    again->setupColorsFromDictionary(&*fromBinary);
    if (again->colors() != palette->colors())
        __builtin_trap();
    return 0;
}
