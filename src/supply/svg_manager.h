#pragma once

#include "gfx/color.h"
#include "layers/path_layers.h"
#include "supply/color_palette.h"
#include "svg/document.h"

#include <filesystem>

#include <memory>
#include <optional>
#include <vector>

namespace kaleon::supply {

// The one process-wide supplier of colours (and shapes) that every view shares. It owns the
// palette in use, the pool of colours not yet picked in this pass and the last two picks.
// No colour comes back before the pool is used up, and none equals either of the two before it.
// Main thread only, apart from the creation of the shared instance.
class TGSVGManager {
public:
    static std::shared_ptr<TGSVGManager> instance();
    // A fresh supplier over the current palette; the program uses `instance`, tests make their own.
    static std::shared_ptr<TGSVGManager> make();

    TGSVGManager(const TGSVGManager&) = delete;
    TGSVGManager& operator=(const TGSVGManager&) = delete;

    // Makes `palette` current and starts a full pool of its colours; the recent picks stay.
    void setCurrentColorPalette(std::shared_ptr<TGColorPalette> palette);
    // Makes the palette the settings select current again.
    void updateColorPalette();
    const std::shared_ptr<TGColorPalette>& currentColorPalette() const { return m_currentColorPalette; }

    gfx::Color randomColor();
    const std::vector<gfx::Color>& availableColors();
    // The colours of this pass not picked yet, in palette order; refilled when empty.
    std::vector<gfx::Color>& colorsLeft();
    std::optional<std::vector<gfx::Color>> colorsFromPlist() const;
    const std::vector<gfx::Color>& recentColors() const { return m_recentColors; }

    // Switches the colours (not `currentColorPalette`) to a random other palette and stores its
    // file name in the settings, without announcing the change.
    void randomizePalette();

    // The colours used while the palette in use has none.
    static const std::vector<gfx::Color>& fallbackColors();

    // Shapes: every ".tgshape" file directly in the shape folder (`svgPath`, else the resource
    // folder) whose name does not contain "logo", listed once per process.
    const std::vector<std::filesystem::path>& allSVGs();
    // The shapes of this pass not shown yet; refilled when empty.
    std::vector<std::filesystem::path>& svgNamesLeft();
    // The next shape, picked without repeats within a pass; empty when there are no shapes.
    std::shared_ptr<svg::TGSVG> randomSVG();
    // The next shape scaled to fill the width of a landscape `bounds` (the height of a portrait
    // or square one), centred, in the next palette colour, marked to draw asynchronously at
    // `scale`. A shape that cannot be read gives a layer without paths.
    std::shared_ptr<layers::TGFlattenedPathLayer> randomSVGLayerWithBounds(const gfx::Rect& bounds, double scale);
    // The white logo, 0.7 of the width of `bounds`, centred.
    std::shared_ptr<layers::TGPathLayer> logoSVGWithBounds(const gfx::Rect& bounds);

    const std::optional<std::filesystem::path>& svgPath() const { return m_svgPath; }
    // Another shape folder: its shapes are listed afresh and a new pass begins.
    void setSvgPath(std::optional<std::filesystem::path> folder);
    const std::optional<std::vector<std::filesystem::path>>& allSVGNames() const { return m_allSVGNames; }
    // Other shapes (empty: list the folder again); a new pass begins.
    void setAllSVGNames(std::optional<std::vector<std::filesystem::path>> names);

private:
    TGSVGManager() = default;

    std::shared_ptr<TGColorPalette> m_currentColorPalette;
    std::optional<std::vector<gfx::Color>> m_allAvailableColors;
    std::optional<std::vector<gfx::Color>> m_colorsLeft;
    std::vector<gfx::Color> m_recentColors;
    bool m_loggedFallback = false;
    std::optional<std::filesystem::path> m_svgPath;
    std::optional<std::vector<std::filesystem::path>> m_allSVGNames;
    std::optional<std::vector<std::filesystem::path>> m_svgNamesLeft;
};

} // namespace kaleon::supply
