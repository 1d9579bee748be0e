// Writes XScreenSaver's description of the kaleon hack from its template, with one palette
// option for each palette in the resource folder, the default palette first (as the option
// without arguments), the others by name.
//
//     kaleon_make_hack_xml TEMPLATE RESOURCES OUT

#include "core/file.h"
#include "supply/color_palette.h"
#include "supply/defaults_keys.h"

#include <algorithm>
#include <iostream>

using namespace kaleon;

namespace {

constexpr std::string_view kPlaceholder = "@PALETTE_OPTIONS@";

std::string escaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

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
    const auto isDefault = [](const auto& palette) { return palette->filename() == supply::kDefaultPaletteFilename; };
    std::sort(palettes.begin(), palettes.end(), [&](const auto& a, const auto& b) {
        return std::pair(!isDefault(a), a->name()) < std::pair(!isDefault(b), b->name());
    });
    std::string options;
    for (const auto& palette : palettes) {
        const std::string id = std::filesystem::path(palette->filename()).stem().string();
        options += "    <option id=\"" + escaped(id) + "\" _label=\"" + escaped(palette->name()) + "\"";
        if (!isDefault(palette))
            options += " arg-set=\"--palette " + escaped(palette->filename()) + "\"";
        options += "/>\n";
    }
    if (!options.empty())
        options.pop_back();
    const auto at = text->find(kPlaceholder);
    if (at == std::string::npos) {
        std::cerr << "kaleon_make_hack_xml: " << argv[1] << " has no " << kPlaceholder << "\n";
        return 1;
    }
    text->replace(at, kPlaceholder.size(), options);
    if (auto written = replaceFile(argv[3], *text); !written) {
        std::cerr << "kaleon_make_hack_xml: " << written.error().message << "\n";
        return 1;
    }
    return 0;
}
