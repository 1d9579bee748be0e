#include "svg/element_walk.h"

#include "core/c_handle.h"
#include "core/text.h"

#include <cstring>
#include <deque>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <limits>
#include <string>
#include <vector>

namespace kaleon::svg {

namespace {

// Whether a start tag of `text` has more than kMostAttributes attributes (counted by their
// '=' outside quotes). Comments, CDATA sections and declarations are skipped.
bool hasTooManyAttributes(std::string_view text)
{
    return anyXmlTag(text, [](std::string_view tag) {
        if (tag.empty() || tag.front() == '!' || tag.front() == '?' || tag.front() == '/')
            return size_t { 0 };
        int count = 0;
        size_t at = 0;
        for (; at < tag.size() && tag[at] != '>'; ++at) {
            const char c = tag[at];
            if (c == '"' || c == '\'') {
                at = tag.find(c, at + 1); // over the value
                if (at == std::string_view::npos)
                    return tag.size();
            } else if (c == '=' && ++count > kMostAttributes) {
                return std::string_view::npos;
            }
        }
        return at;
    });
}

std::string_view text(const xmlChar* value)
{
    return value ? std::string_view(reinterpret_cast<const char*>(value)) : std::string_view();
}

// What the callbacks share; found through the parser context's private pointer.
struct Walk {
    xmlParserCtxt* context;
    ElementVisitor& visitor;
    std::vector<ElementAttribute> attributes;
    // Names and values that had to be made for the element being handed over; a deque, so
    // that views into earlier ones stay valid as more are added.
    std::deque<std::string> made;

    std::string_view keep(std::string value) { return made.emplace_back(std::move(value)); }

    std::string_view qualifiedName(const xmlChar* prefix, const xmlChar* localName)
    {
        if (!prefix)
            return text(localName);
        return keep(std::string(text(prefix)).append(":").append(text(localName)));
    }

    // The value as a tree of the document would hold it. libxml2 hands a value over in place
    // unless it had to change it; only a changed one (ending in a NUL rather than its quote)
    // can still hold references, which it leaves for the tree to resolve.
    std::string_view attributeValue(const xmlChar* value, const xmlChar* valueEnd)
    {
        const auto length = static_cast<size_t>(valueEnd - value);
        const std::string_view asGiven(reinterpret_cast<const char*>(value), length);
        if (*valueEnd != '\0' || !std::memchr(value, '&', length))
            return asGiven;
        using NodeList = CHandle<xmlNode, xmlFreeNodeList>;
        using Text = CHandle<xmlChar, [](xmlChar* p) { xmlFree(p); }>;
        const NodeList nodes(xmlStringLenGetNodeList(context->myDoc, value, static_cast<int>(length)));
        const Text resolved(xmlNodeListGetString(context->myDoc, nodes.get(), 1));
        return keep(std::string(text(resolved.get())));
    }
};

// The walk of an entity's definition runs in a context of its own that shares ours.
Walk* walkOf(void* context)
{
    auto* parserContext = static_cast<xmlParserCtxt*>(context);
    auto* walk = static_cast<Walk*>(parserContext->_private);
    return walk && walk->context == parserContext ? walk : nullptr;
}

void startElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int namespaceCount,
    const xmlChar** namespaces, int attributeCount, int defaultedCount, const xmlChar** attributes)
{
    Walk* walk = walkOf(context);
    if (!walk)
        return;
    walk->made.clear();
    walk->attributes.clear();
    for (int i = 0; i < namespaceCount; ++i) {
        const xmlChar* namespacePrefix = namespaces[2 * i];
        const std::string_view name
            = namespacePrefix ? walk->keep("xmlns:" + std::string(text(namespacePrefix))) : "xmlns";
        walk->attributes.push_back({ name, text(namespaces[2 * i + 1]) });
    }
    // Five pointers each: local name, prefix, namespace, value and its end. The defaulted ones
    // come last; a document tree would not hold them either.
    for (int i = 0; i < attributeCount - defaultedCount; ++i) {
        const xmlChar** attribute = attributes + 5 * i;
        walk->attributes.push_back(
            { walk->qualifiedName(attribute[1], attribute[0]), walk->attributeValue(attribute[3], attribute[4]) });
    }
    walk->visitor.elementStarted(walk->qualifiedName(prefix, localName), walk->attributes);
}

void endElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*)
{
    Walk* walk = walkOf(context);
    if (!walk)
        return;
    walk->made.clear();
    walk->visitor.elementEnded(walk->qualifiedName(prefix, localName));
}

// libxml2 would print its diagnostics on stderr; the early stop is all we need of them.
void ignoreError(void*, xmlErrorPtr)
{
}

// libxml2's own handlers keep the document's declarations (entities, so that references can
// be resolved); ours take the elements, and nothing else is built.
xmlSAXHandler makeHandler()
{
    xmlSAXHandler handler {};
    xmlSAXVersion(&handler, 2);
    handler.startElementNs = startElement;
    handler.endElementNs = endElement;
    handler.startElement = nullptr;
    handler.endElement = nullptr;
    handler.characters = nullptr;
    handler.ignorableWhitespace = nullptr;
    handler.cdataBlock = nullptr;
    handler.comment = nullptr;
    handler.processingInstruction = nullptr;
    handler.reference = nullptr;
    handler.warning = nullptr;
    handler.error = nullptr;
    handler.fatalError = nullptr;
    handler.serror = ignoreError;
    return handler;
}

using ParserContext = CHandle<xmlParserCtxt, xmlFreeParserCtxt>;

} // namespace

WalkResult walkElements(std::string_view text, ElementVisitor& visitor)
{
    static const xmlSAXHandler handler = [] {
        xmlInitParser();
        return makeHandler();
    }();
    text = text.substr(0, text.find('\0'));
    if (hasTooManyAttributes(text))
        return WalkResult::TooManyAttributes;
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        return WalkResult::Read;

    // libxml2 reads its input up to a NUL of its own, so the text is copied once.
    const ParserContext context(xmlCreateMemoryParserCtxt(text.data(), static_cast<int>(text.size())));
    if (!context)
        return WalkResult::Read;
    // The context owns its handler block and frees it with itself.
    std::memcpy(context->sax, &handler, sizeof handler);
    xmlCtxtUseOptions(context.get(), XML_PARSE_NONET);
    Walk walk { context.get(), visitor, {}, {} };
    context->_private = &walk;
    xmlParseDocument(context.get());
    context->_private = nullptr;
    if (context->myDoc) {
        xmlFreeDoc(context->myDoc);
        context->myDoc = nullptr;
    }
    return WalkResult::Read;
}

} // namespace kaleon::svg
