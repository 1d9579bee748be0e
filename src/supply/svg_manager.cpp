#include "supply/svg_manager.h"

#include "core/file.h"
#include "core/log.h"
#include "core/random.h"
#include "core/resource_folder.h"
#include "core/text.h"
#include "host/screen_saver_defaults.h"
#include "supply/defaults_keys.h"
#include "supply/shape_file.h"
#include "supply/utils.h"

#include <cmath>

#include <algorithm>
#include <span>

namespace kaleon::supply {

namespace {

constexpr size_t kRecentColorCount = 2;
constexpr std::string_view kRandomizingLog = "Randomizing palette";
constexpr std::string_view kShapeSuffix = ".tgshape";
constexpr std::string_view kPlainShapeSuffix = ".svg";
constexpr std::string_view kLogoMarker = "logo";
constexpr std::string_view kLogoFile = "logo.svg";
constexpr double kLogoWidthShare = 0.7;

// A layer frame centred in `bounds`, its origin rounded down to whole points.
gfx::Rect centredFrame(const gfx::Rect& bounds, gfx::Size size)
{
    return { std::floor(bounds.width() * 0.5 - size.width * 0.5), std::floor(bounds.height() * 0.5 - size.height * 0.5),
        size.width, size.height };
}

// Scales a document by `factor` and returns its new size; a document that cannot be scaled to
// a finite size loses its paths instead, so an empty layer (not a non-finite frame) follows.
gfx::Size scaleDocument(svg::TGSVG& document, double factor)
{
    if (std::isfinite(factor) && factor > 0) {
        document.applyTransform(gfx::AffineTransform::scale(factor, factor));
        const gfx::Size size = document.totalSize();
        if (std::isfinite(size.width) && std::isfinite(size.height) && size.width >= 0 && size.height >= 0)
            return size;
    }
    document.setCgPaths({});
    return {};
}

// A user's plain SVG shape; one that cannot be read, or gives no paths, is said once.
std::shared_ptr<svg::TGSVG> plainShape(const std::filesystem::path& path)
{
    const std::string source = path.string();
    const auto text = readFile(path);
    if (!text) {
        logOnce(fileVersion(path), "Shape file unreadable: " + text.error().message);
        return svg::TGSVG::makeWithSVGString("");
    }
    if (!isValidUTF8(*text)) {
        logOnce(fileVersion(path), "Shape file " + source + " is not UTF-8 text");
        return svg::TGSVG::makeWithSVGString("");
    }
    auto document = svg::TGSVG::makeWithSVGString(*text, svg::ParseStyle::No, { source, {} });
    if (document->cgPaths().empty())
        logOnce(fileVersion(path), "Shape file " + source + " holds nothing that can be drawn");
    return document;
}

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
        const auto same = std::find_if(
            palettes.begin(), palettes.end(), [&](const auto& palette) { return palette->name() == current->name(); });
        if (same != palettes.end())
            palettes.erase(same);
    }
    if (palettes.empty())
        return;
    const auto& chosen = palettes[randomUniform(static_cast<std::uint32_t>(palettes.size()))];
    m_allAvailableColors = chosen->colors();
    m_colorsLeft = m_allAvailableColors;

    const auto defaults = moduleDefaults();
    defaults->setValue(TGKaleonColorPaletteDefaultsKey, PlistValue(chosen->filename()));
    if (auto saved = defaults->synchronize(); !saved)
        log("Cannot save the settings: " + saved.error().message);
}

} // namespace kaleon::supply

namespace kaleon::supply {

void TGSVGManager::setSvgPath(std::optional<std::filesystem::path> folder)
{
    m_svgPath = std::move(folder);
    setAllSVGNames(std::nullopt);
}

void TGSVGManager::setAllSVGNames(std::optional<std::vector<std::filesystem::path>> names)
{
    m_allSVGNames = std::move(names);
    m_svgNamesLeft.reset();
}

const std::vector<std::filesystem::path>& TGSVGManager::allSVGs()
{
    if (m_allSVGNames)
        return *m_allSVGNames;
    std::vector<std::filesystem::path> names;
    const auto folder = m_svgPath ? m_svgPath : TGUtils::bundlePath();
    if (folder) {
        for (const auto& name : directoryEntryNames(*folder)) {
            if (name.ends_with(kShapeSuffix) && name.find(kLogoMarker) == std::string::npos)
                names.push_back(*folder / name);
        }
    }
    // The user's own shapes, packed or as plain SVG files.
    if (const auto own = m_svgPath ? std::nullopt : userResourceFolder()) {
        for (const auto& name : directoryEntryNames(*own)) {
            if (name.ends_with(kShapeSuffix) || name.ends_with(kPlainShapeSuffix))
                names.push_back(*own / name);
        }
    }
    m_allSVGNames = std::move(names);
    return *m_allSVGNames;
}

std::vector<std::filesystem::path>& TGSVGManager::svgNamesLeft()
{
    if (!m_svgNamesLeft || m_svgNamesLeft->empty())
        m_svgNamesLeft = allSVGs();
    return *m_svgNamesLeft;
}

std::shared_ptr<svg::TGSVG> TGSVGManager::randomSVG()
{
    auto& pool = svgNamesLeft();
    if (pool.empty())
        return nullptr;
    const auto index = randomUniform(static_cast<std::uint32_t>(pool.size()));
    const auto path = pool[index];
    pool.erase(pool.begin() + index);
    // What reading a bad file says is said once, until the file changes.
    const ScopedLogOnce once(fileVersion(path));
    if (path.extension() == kPlainShapeSuffix)
        return plainShape(path);
    return makeSVGWithTGShapePath(path);
}

std::shared_ptr<layers::TGFlattenedPathLayer> TGSVGManager::randomSVGLayerWithBounds(
    const gfx::Rect& bounds, double scale)
{
    const double width = bounds.width();
    const double height = bounds.height();
    auto document = randomSVG();
    gfx::Size size;
    if (document) {
        const gfx::Size natural = document->totalSize();
        const double factor = width > height ? width / natural.width : height / natural.height;
        size = scaleDocument(*document, factor);
    }
    auto layer = layers::TGFlattenedPathLayer::makeWithSVG(document.get());
    layer->setContentsScale(scale);
    const gfx::Color color = randomColor();
    layer->setFrame(centredFrame(bounds, size));
    layer->setDrawsAsynchronously(true);
    layer->setFillColors(color);
    layer->setNeedsDisplay();
    return layer;
}

std::shared_ptr<layers::TGPathLayer> TGSVGManager::logoSVGWithBounds(const gfx::Rect& bounds)
{
    const auto folder = TGUtils::bundlePath();
    auto document = svg::TGSVG::makeWithSVGFileAtPath(folder ? *folder / kLogoFile : std::filesystem::path(kLogoFile));
    const gfx::Size natural = document->totalSize();
    const gfx::Size size = scaleDocument(*document, bounds.width() / natural.width * kLogoWidthShare);
    auto layer = layers::TGPathLayer::makeWithSVG(document.get());
    layer->setFrame(centredFrame(bounds, size));
    layer->setFillColors(gfx::Color::white());
    return layer;
}

} // namespace kaleon::supply
