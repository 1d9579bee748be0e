#pragma once

#include "gfx/affine_transform.h"
#include "gfx/geometry.h"
#include "svg/element_attributes.h"
#include "svg/element_reader.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace kaleon::svg {

// Recorded with a document; it does not change what is read (attributes and transforms are
// always read).
enum class ParseStyle : bool { No = false, Yes = true };

// One SVG drawing: its paths in document order, their attributes, and the file it came from.
// Paths never change in place: `applyTransform` replaces the list with transformed copies.
class TGSVG {
public:
    // A file that cannot be read (missing, unreadable, not UTF-8) gives no paths and an empty map.
    static std::shared_ptr<TGSVG> makeWithSVGFileAtPath(
        const std::filesystem::path& path, ParseStyle parseStyle = ParseStyle::No);
    // "NAME.svg" in the resource folder; empty (and logged) when there is no such file.
    static std::shared_ptr<TGSVG> makeWithSVGFileNamed(std::string_view name, ParseStyle parseStyle = ParseStyle::No);
    // From text: the attribute map is not kept. `options` name the text in the reader's lines.
    static std::shared_ptr<TGSVG> makeWithSVGString(
        std::string_view text, ParseStyle parseStyle = ParseStyle::No, const ReadOptions& options = {});
    static std::shared_ptr<TGSVG> make() { return std::shared_ptr<TGSVG>(new TGSVG()); }

    // A new document with the same file names and the same (shared) attribute map, and its own
    // list of the same paths. The copy's parse-style flag is off.
    std::shared_ptr<TGSVG> copy() const;

    void applyTransform(const gfx::AffineTransform& transform);

    // From the smallest box minimum to the largest box maximum over all paths, where the
    // maxima start at 0: a drawing wholly at negative coordinates measures up to 0. With no
    // paths it is (−DBL_MAX, −DBL_MAX).
    gfx::Size totalSize() const;
    // Origin: the smallest box minimum (DBL_MAX with no paths); size: `totalSize`.
    gfx::Rect bounds() const;

    const std::optional<std::string>& filename() const { return m_filename; }
    const std::optional<std::string>& filePath() const { return m_filePath; }
    const std::shared_ptr<PathAttributeMap>& attributes() const { return m_attributes; }
    const PathList& cgPaths() const { return m_cgPaths; }
    ParseStyle parseStyle() const { return m_parseStyle; }
    void setCgPaths(PathList paths) { m_cgPaths = std::move(paths); }

private:
    TGSVG() = default;

    std::optional<std::string> m_filename;
    std::shared_ptr<PathAttributeMap> m_attributes;
    PathList m_cgPaths;
    std::optional<std::string> m_filePath;
    ParseStyle m_parseStyle = ParseStyle::No;
};

} // namespace kaleon::svg
