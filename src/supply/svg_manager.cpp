#include "supply/svg_manager.h"

#include "core/log.h"
#include "core/random.h"
#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"

#include <algorithm>
#include <span>

namespace kaleon::supply {

namespace {

constexpr size_t kRecentColorCount = 2;
constexpr std::string_view kRandomizingLog = "Randomizing palette";
constexpr std::string_view kFallbackLog = "The colour palette in use has no colours; using the built-in colours";

std::vector<gfx::Color> without(const std::vector<gfx::Color>& colors, std::span<const gfx::Color> excluded)
{
    std::vector<gfx::Color> remaining;
    for (const auto& color : colors) {
        if (std::find(excluded.begin(), excluded.end(), color) == excluded.end())
            remaining.push_back(color);
    }
    return remaining;
}

} // namespace

std::shared_ptr<TGSVGManager> TGSVGManager::instance()
{
    static const std::shared_ptr<TGSVGManager> shared = make();
    return shared;
}

std::shared_ptr<TGSVGManager> TGSVGManager::make()
{
    auto manager = std::shared_ptr<TGSVGManager>(new TGSVGManager());
    manager->setCurrentColorPalette(TGColorPalette::currentPalette());
    return manager;
}

const std::vector<gfx::Color>& TGSVGManager::fallbackColors()
{
    static const std::vector<gfx::Color> colors {
        gfx::Color::fromRGB8(0x26, 0x46, 0x53),
        gfx::Color::fromRGB8(0x2a, 0x9d, 0x8f),
        gfx::Color::fromRGB8(0xe9, 0xc4, 0x6a),
        gfx::Color::fromRGB8(0xf4, 0xa2, 0x61),
        gfx::Color::fromRGB8(0xe7, 0x6f, 0x51),
    };
    return colors;
}

void TGSVGManager::setCurrentColorPalette(std::shared_ptr<TGColorPalette> palette)
{
    m_currentColorPalette = std::move(palette);
    if (m_currentColorPalette)
        m_allAvailableColors = m_currentColorPalette->colors();
    else
        m_allAvailableColors.reset();
    m_colorsLeft = m_allAvailableColors;
}

void TGSVGManager::updateColorPalette()
{
    setCurrentColorPalette(TGColorPalette::currentPalette());
}

std::optional<std::vector<gfx::Color>> TGSVGManager::colorsFromPlist() const
{
    if (!m_currentColorPalette)
        return std::nullopt;
    return m_currentColorPalette->colors();
}

const std::vector<gfx::Color>& TGSVGManager::availableColors()
{
    if (!m_allAvailableColors) {
        m_allAvailableColors = colorsFromPlist().value_or(std::vector<gfx::Color>());
        m_colorsLeft = m_allAvailableColors;
    }
    return *m_allAvailableColors;
}

std::vector<gfx::Color>& TGSVGManager::colorsLeft()
{
    if (!m_colorsLeft || m_colorsLeft->empty())
        m_colorsLeft = availableColors();
    return *m_colorsLeft;
}

gfx::Color TGSVGManager::randomColor()
{
    if (availableColors().empty()) {
        // No palette, or one without colours: the views still need a colour on every request.
        if (!m_loggedFallback) {
            log(kFallbackLog);
            m_loggedFallback = true;
        }
        m_allAvailableColors = fallbackColors();
        m_colorsLeft = m_allAvailableColors;
    }
    auto& pool = colorsLeft();

    // Avoid both recent picks; when that leaves nothing (fewer than three distinct colours),
    // avoid only the newest, and when even that leaves nothing, take any colour of the pool.
    auto candidates = without(pool, m_recentColors);
    if (candidates.empty() && !m_recentColors.empty())
        candidates = without(pool, std::span(m_recentColors).last(1));
    if (candidates.empty())
        candidates = pool;

    const gfx::Color picked = candidates[randomUniform(static_cast<std::uint32_t>(candidates.size()))];
    std::erase(pool, picked);
    m_recentColors.push_back(picked);
    if (m_recentColors.size() > kRecentColorCount)
        m_recentColors.erase(m_recentColors.begin());
    return picked;
}

void TGSVGManager::randomizePalette()
{
    log(kRandomizingLog);
    auto palettes = TGColorPalette::allColorPalettes();
    if (const auto current = TGColorPalette::currentPalette()) {
        const auto same = std::find_if(palettes.begin(), palettes.end(),
            [&](const auto& palette) { return palette->name() == current->name(); });
        if (same != palettes.end())
            palettes.erase(same);
    }
    if (palettes.empty())
        return;
    const auto& chosen = palettes[randomUniform(static_cast<std::uint32_t>(palettes.size()))];
    m_allAvailableColors = chosen->colors();
    m_colorsLeft = m_allAvailableColors;

    const auto defaults = host::ScreenSaverDefaults::defaultsForModuleWithName(TGKaleonDefaultsModuleName);
    defaults->setValue(TGKaleonColorPaletteDefaultsKey, PlistValue(chosen->filename()));
    if (auto saved = defaults->synchronize(); !saved)
        log("Cannot save the settings: " + saved.error().message);
}

} // namespace kaleon::supply
