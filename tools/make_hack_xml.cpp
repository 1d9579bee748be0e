// Writes XScreenSaver's description of the kaleon hack from its template, with one palette
// option for each palette in the resource folder after the template's own first entry (the
// palette kaleon-config stored): the default palette first, the others by name.
//
//     kaleon_make_hack_xml TEMPLATE RESOURCES OUT

#include "core/file.h"
#include "core/text.h"
#include "supply/color_palette.h"
#include "supply/defaults_keys.h"
#include "supply/direction.h"

#include <algorithm>
#include <iostream>

using namespace kaleon;

namespace {

constexpr std::string_view kPaletteOptions = "@PALETTE_OPTIONS@";
constexpr std::string_view kDirectionOptions = "@DIRECTION_OPTIONS@";

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: kaleon_make_hack_xml TEMPLATE RESOURCES OUT\n";
        return 2;
    }
    auto text = readFile(argv[1]);
    if (!text) {
        std::cerr << "kaleon_make_hack_xml: " << text.error().message << "\n";
        return 1;
    }
    std::vector<std::shared_ptr<supply::TGColorPalette>> palettes;
    for (const auto& entry : std::filesystem::directory_iterator(argv[2])) {
        if (entry.path().extension() == ".plist")
            palettes.push_back(supply::TGColorPalette::makeWithPlistAtPath(entry.path()));
    }
    supply::TGColorPalette::sortForDisplay(palettes);
    std::string options;
    for (const auto& palette : palettes) {
        const std::string id = std::filesystem::path(palette->filename()).stem().string();
        options.append("    <option id=\"")
            .append(xmlEscaped(id))
            .append("\" _label=\"Palette: ")
            .append(xmlEscaped(palette->name()))
            .append("\" arg-set=\"--palette ")
            .append(xmlEscaped(palette->filename()))
            .append("\"/>\n");
    }
    std::string directions;
    for (const auto& entry : supply::kDirections) {
        const auto number = std::to_string(static_cast<int>(entry.direction));
        directions.append("    <option id=\"direction")
            .append(number)
            .append("\" _label=\"Direction: ")
            .append(xmlEscaped(entry.title))
            .append("\" arg-set=\"--direction ")
            .append(number)
            .append("\"/>\n");
    }
    for (const auto& [placeholder, lines] :
        { std::pair(kPaletteOptions, options), std::pair(kDirectionOptions, directions) }) {
        const auto at = text->find(placeholder);
        if (at == std::string::npos) {
            std::cerr << "kaleon_make_hack_xml: " << argv[1] << " has no " << placeholder << "\n";
            return 1;
        }
        text->replace(at, placeholder.size(), lines.substr(0, lines.size() - (lines.empty() ? 0 : 1)));
    }
    if (auto written = replaceFile(argv[3], *text); !written) {
        std::cerr << "kaleon_make_hack_xml: " << written.error().message << "\n";
        return 1;
    }
    return 0;
}
