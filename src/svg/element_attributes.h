#pragma once

#include "gfx/path.h"
#include "svg/element_walk.h"
#include "svg/value_types.h"

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kaleon::svg {

// The attributes that apply to one element, by name: text as written, except "fill" and
// "stroke" (colours, with "fill-opacity"/"stroke-opacity" below 1 folded into their alpha)
// and "transform" (the element's transform composed with its groups').
using AttributeDictionary = std::map<std::string, AttributeValue, std::less<>>;

// The paths of a document in order, shared: a path never changes once made.
using PathList = gfx::PathList;

// From a path (by identity, not geometry) to its attributes. Holds its paths strongly.
using PathAttributeMap = std::unordered_map<std::shared_ptr<const gfx::Path>, AttributeDictionary>;

// The attribute dictionary of an element with `attributes`: `inherited` (the innermost open
// group's, or none) overridden by the element's own attributes, with `style` unfolded and
// `transform` composed. Empty (no dictionary) when the result would have no entries, except
// that an element without any attribute gives a copy of `inherited`, possibly empty.
std::optional<AttributeDictionary> readAttributes(
    std::span<const ElementAttribute> attributes, const AttributeDictionary* inherited);

// The properties of a style text, name and value, in order; empty when a name has no value
// (logged as "Parse error in style: '…'"). Names and values keep trailing spaces.
std::optional<std::vector<std::pair<std::string, std::string>>> unfoldStyle(std::string_view style);

// `inherited` followed by the transform functions of `text`, left to right: the inherited
// transform applies to a point first. Unknown functions are the identity; missing numbers
// take the SVG defaults (translate ty = 0, scale sy = sx; matrix needs all six, rotate and
// skew their angle, or they are the identity).
gfx::AffineTransform composeTransform(std::string_view text, const gfx::AffineTransform& inherited);

// The leading decimal number of a text after white space, as a float; 0 when there is none or
// it is not finite.
float floatValue(std::string_view text);

} // namespace kaleon::svg
