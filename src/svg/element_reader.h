#pragma once

#include "svg/element_attributes.h"
#include "svg/element_walk.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaleon::svg {

// Reads the shapes of SVG text as paths, in document order: path, polygon, rect and circle
// (names compared without regard to case, without namespaces), wherever they stand, defs
// included; g elements pass their attributes on. Everything else is passed over. Malformed
// XML ends the read: the shapes before the error are the result. So does a text that passes
// one of the walk's limits, with one line that says so.
//
// With `attributesOut`, a new per-path attribute map is stored through it, and each shape's
// composed transform is applied to its path. Without it, shapes are read without attributes
// and their paths stay untransformed.
PathList CGPathsFromSVGString(std::string_view text, std::shared_ptr<PathAttributeMap>* attributesOut);

// How a read names its text in the line about a read that stopped early, and what it may cost.
struct ReadOptions {
    std::string_view source; // the file the text came from, say
    WalkLimits limits;
};

// Each shape as it is read, with its attributes' transform applied: the path, and the
// attributes (none when the element and its groups have none).
using ShapeVisitor = std::function<void(std::shared_ptr<const gfx::Path> path, AttributeDictionary* attributes)>;

// Reads as CGPathsFromSVGString does with an attribute map, but hands each shape to `visit`
// and keeps nothing: a large drawing is never held twice.
void readSVGShapes(std::string_view text, const ReadOptions& options, const ShapeVisitor& visit);

// The paths CGPathsFromSVGString gives with an attribute map (transforms applied), without
// keeping the map.
PathList readSVGPaths(std::string_view text, const ReadOptions& options = {});

// Element names (as written) of the elements the reader passes over, with their counts. The
// svg root element is not counted.
std::map<std::string, int> passedOverElements(std::string_view text);

// The reader behind CGPathsFromSVGString, for one text and one call of `parse`. The text is
// not copied: it must outlive the call.
class svgParser final : private ElementVisitor {
public:
    explicit svgParser(std::string_view svgString, const ReadOptions& options = {});
    svgParser(const svgParser&) = delete;
    svgParser& operator=(const svgParser&) = delete;

    PathList parse(std::shared_ptr<PathAttributeMap>* attributesOut);
    // Reads with attributes, handing each shape to `visit` as it comes.
    void parse(const ShapeVisitor& visit);

    void pushGroup(const AttributeDictionary* dictionary);
    void popGroup();
    const std::vector<AttributeDictionary>& groupStack() const { return m_groupStack; }

private:
    void elementStarted(std::string_view name, std::span<const ElementAttribute> attributes) override;
    void elementEnded(std::string_view name) override;

    std::optional<gfx::Path> readPathTag();
    std::optional<gfx::Path> readPolygonTag();
    std::optional<gfx::Path> readRectTag();
    std::optional<gfx::Path> readCircleTag();
    float readFloatAttribute(std::string_view name) const;
    // The attribute of the element being read, by its name as written; empty when missing.
    std::optional<std::string_view> readStringAttribute(std::string_view name) const;

    // Walks the text, logging the line about a walk that ended early.
    void walk();

    std::string_view m_svgString;
    const ReadOptions& m_options;
    std::vector<AttributeDictionary> m_groupStack;
    std::span<const ElementAttribute> m_attributes; // of the element being read
    const ShapeVisitor* m_visit = nullptr; // when attributes are read
    PathList m_paths; // when they are not
};

} // namespace kaleon::svg
