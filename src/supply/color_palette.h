#pragma once

#include "core/plist.h"
#include "gfx/color.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kaleon::supply {

// A named, ordered list of colours read from a property-list file in the resource folder:
// a dictionary with "name" (text) and "colors" (texts RRGGBB). A palette is identified by its
// file name; palettes are never written and never change after loading.
class TGColorPalette {
public:
    // Never empty: a file that cannot be read gives a palette named "Default" with no colours.
    static std::shared_ptr<TGColorPalette> makeWithPlistAtPath(const std::filesystem::path& path);
    static std::shared_ptr<TGColorPalette> make(std::string name, std::string filename, std::vector<gfx::Color> colors);

    const std::string& name() const { return m_name; }
    const std::string& filename() const { return m_filename; }
    const std::vector<gfx::Color>& colors() const { return m_colors; }

    // Fills `colors` from the dictionary's "colors" entry; no dictionary or entry gives none.
    void setupColorsFromDictionary(const PlistValue* dictionary);

    // "Name: <name> - Colors: <count>"
    std::string description() const;

    // Every ".plist" file directly in the resource folder, in the folder's listing order,
    // read afresh on each call. Empty when there is no resource folder.
    static std::vector<std::shared_ptr<TGColorPalette>> allColorPalettes();
    static std::shared_ptr<TGColorPalette> paletteWithFilename(std::string_view filename);
    // The palette the settings name, else "KaleonColors.plist"; empty when neither exists.
    static std::shared_ptr<TGColorPalette> currentPalette();
    // The order a user picks them from: the default palette's file first, then by display name
    // (letters compared without their case); palettes that tie keep their order.
    static void sortForDisplay(std::vector<std::shared_ptr<TGColorPalette>>& palettes);

private:
    TGColorPalette() = default;

    std::string m_name;
    std::string m_filename;
    std::vector<gfx::Color> m_colors;
};

} // namespace kaleon::supply
