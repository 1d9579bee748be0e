#pragma once

#include <span>
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
};

// libxml2 checks each attribute of an element against all before it, so an element with tens
// of thousands takes seconds. No drawing needs more than a few dozen.
constexpr int kMostAttributes = 256;

// Hands `visitor` the elements of the XML text in document order, with libxml2's SAX2
// interface: no tree of the document is built. The text ends at its first NUL, as it would
// for a C string. Nothing is loaded from outside it, and elements inside entity definitions
// are not visited.
WalkResult walkElements(std::string_view text, ElementVisitor& visitor);

} // namespace kaleon::svg
