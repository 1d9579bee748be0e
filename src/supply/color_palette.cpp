#include "supply/color_palette.h"

#include "core/file.h"
#include "core/log.h"
#include "core/resource_folder.h"
#include "core/text.h"
#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"
#include "supply/hex_color.h"
#include "supply/utils.h"

#include <algorithm>

namespace kaleon::supply {

namespace {

constexpr std::string_view kNameKey = "name";
constexpr std::string_view kColorsKey = "colors";
constexpr std::string_view kPaletteSuffix = ".plist";
constexpr std::string_view kUnnamedPalette = "Default";

} // namespace

std::shared_ptr<TGColorPalette> TGColorPalette::makeWithPlistAtPath(const std::filesystem::path& path)
{
    auto palette = std::shared_ptr<TGColorPalette>(new TGColorPalette());
    const auto contents = readPlistFile(path);
    const PlistValue* dictionary = contents && contents->asDictionary() ? &*contents : nullptr;
    palette->m_filename = path.filename().string();
    const PlistValue* name = dictionary ? dictionary->find(kNameKey) : nullptr;
    palette->m_name = name && name->asString() ? *name->asString() : std::string(kUnnamedPalette);
    palette->setupColorsFromDictionary(dictionary);
    return palette;
}

std::shared_ptr<TGColorPalette> TGColorPalette::make(
    std::string name, std::string filename, std::vector<gfx::Color> colors)
{
    auto palette = std::shared_ptr<TGColorPalette>(new TGColorPalette());
    palette->m_name = std::move(name);
    palette->m_filename = std::move(filename);
    palette->m_colors = std::move(colors);
    return palette;
}

void TGColorPalette::setupColorsFromDictionary(const PlistValue* dictionary)
{
    m_colors.clear();
    const PlistValue* entry = dictionary ? dictionary->find(kColorsKey) : nullptr;
    const auto* texts = entry ? entry->asArray() : nullptr;
    if (!texts)
        return;
    for (const auto& text : *texts) {
        // Anything but text reads as no text, which is black.
        m_colors.push_back(colorWithHexColorString(text.asString() ? std::string_view(*text.asString()) : ""));
    }
}

std::string TGColorPalette::description() const
{
    return "Name: " + m_name + " - Colors: " + std::to_string(m_colors.size());
}

std::vector<std::shared_ptr<TGColorPalette>> TGColorPalette::allColorPalettes()
{
    std::vector<std::shared_ptr<TGColorPalette>> palettes;
    if (const auto folder = TGUtils::bundlePath()) {
        for (const auto& name : directoryEntryNames(*folder)) {
            if (name.ends_with(kPaletteSuffix))
                palettes.push_back(makeWithPlistAtPath(*folder / name));
        }
    }
    // The user's own palettes come after Kaleon's; one that gives no colours is left out.
    if (const auto folder = userResourceFolder()) {
        for (const auto& name : directoryEntryNames(*folder)) {
            if (!name.ends_with(kPaletteSuffix))
                continue;
            const auto path = *folder / name;
            auto palette = makeWithPlistAtPath(path);
            if (palette->colors().empty()) {
                logOnce(
                    fileVersion(path), "Palette file " + path.string() + " has no colours that can be read; skipped");
                continue;
            }
            palettes.push_back(std::move(palette));
        }
    }
    return palettes;
}

std::shared_ptr<TGColorPalette> TGColorPalette::paletteWithFilename(std::string_view filename)
{
    for (auto& palette : allColorPalettes()) {
        if (palette->filename() == filename)
            return palette;
    }
    return nullptr;
}

std::shared_ptr<TGColorPalette> TGColorPalette::currentPalette()
{
    const auto defaults = moduleDefaults();
    auto stored = defaults->stringForKey(TGKaleonColorPaletteDefaultsKey).value_or("");
    if (stored.empty() || stored == kDefaultPaletteFilename)
        return paletteWithFilename(kDefaultPaletteFilename);
    if (auto palette = paletteWithFilename(stored))
        return palette;
    // Only the palettes of the folders are ever read: a stored "../x" or "/x" names none.
    logOnce("stored palette " + stored,
        "The settings name a palette that is not there, \"" + printable(stored) + "\"; using "
            + std::string(kDefaultPaletteFilename));
    return paletteWithFilename(kDefaultPaletteFilename);
}

void TGColorPalette::sortForDisplay(std::vector<std::shared_ptr<TGColorPalette>>& palettes)
{
    const auto key = [](const std::shared_ptr<TGColorPalette>& palette) {
        std::string name = palette->name();
        std::transform(name.begin(), name.end(), name.begin(),
            [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        return std::pair(palette->filename() != kDefaultPaletteFilename, std::move(name));
    };
    std::stable_sort(palettes.begin(), palettes.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
}

} // namespace kaleon::supply
