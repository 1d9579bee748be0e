#pragma once

#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace kaleon::svg {

// One attribute of an element as the walk hands it over: the name as written ("xlink:href"),
// the value with character and entity references replaced and white space normalised as XML
// says. Both stay valid until the call that hands them over returns.
struct ElementAttribute {
    std::string_view name;
    std::string_view value;
};

class ElementVisitor {
public:
    // An element start, with its attributes in document order: namespace declarations first
    // ("xmlns", "xmlns:prefix"), then the others. Defaults a DTD declares are not added.
    virtual void elementStarted(std::string_view name, std::span<const ElementAttribute> attributes) = 0;
    // The end of an element, self-closing ones included.
    virtual void elementEnded(std::string_view name) = 0;

protected:
    ~ElementVisitor() = default;
};

enum class WalkResult {
    Read, // to the end or to the first error; an error ends the walk quietly
    TooManyAttributes, // refused before reading: an element has more than kMostAttributes
    // Stopped early, by one of the walk's limits; the elements before were handed over.
    TooManyElements,
    EntitiesTooLarge,
    TooSlow,
};

// libxml2 checks each attribute of an element against all before it, so an element with tens
// of thousands takes seconds. No drawing needs more than a few dozen.
constexpr int kMostAttributes = 256;

// What one walk may cost, so that no text (however hostile) makes its reader hang or take
// the machine's memory. Real drawings stay far below every limit.
struct WalkLimits {
    size_t mostElements = 1'000'000;
    // Attribute values that use entity references may come to the text's own size in all plus
    // this much, but never to more than `mostResolvedBytes`.
    size_t resolvedAllowance = 64 * 1024;
    size_t mostResolvedBytes = 8 * 1024 * 1024;
    std::chrono::milliseconds mostTime { 3000 };
};

// Hands `visitor` the elements of the XML text in document order, with libxml2's SAX2
// interface: no tree of the document is built. The text ends at its first NUL, as it would
// for a C string. Nothing is loaded from outside it, and elements inside entity definitions
// are not visited.
WalkResult walkElements(std::string_view text, ElementVisitor& visitor, const WalkLimits& limits = {});

// The one line that says why a walk ended early, naming its text by `source` ("the SVG text"
// when empty); empty for WalkResult::Read.
std::string describeWalkResult(WalkResult result, std::string_view source, const WalkLimits& limits = {});

} // namespace kaleon::svg
