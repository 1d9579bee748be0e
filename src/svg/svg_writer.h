#pragma once

#include "svg/element_attributes.h"

#include <optional>
#include <string>
#include <string_view>

namespace kaleon::svg {

// Writes paths as a complete SVG document, one path element per path in order, with the
// attributes the map holds for it (colours as hex text plus an opacity when their alpha is
// below 1). The size is that of the union of the path boxes with the origin. Attribute text is
// escaped; entries named "d" (the path's own text is written from the path) and transforms
// (already applied to the path) are left out. `attributes` may be null.
std::string SVGStringFromCGPaths(const PathList& paths, const PathAttributeMap* attributes);

// What SVGStringFromCGPaths writes, in pieces, for a drawing written as it is read: the path
// element of one path, and the document around path elements whose paths' boxes unite to
// `box` (empty when none has an element).
std::string SVGPathElement(const gfx::Path& path, const AttributeDictionary* attributes);
std::string SVGDocumentWithBody(std::string_view body, const std::optional<gfx::Rect>& box);

// The path data of one path: "M0,0L10,2.5Z".
std::string SVGPathData(const gfx::Path& path);

} // namespace kaleon::svg
