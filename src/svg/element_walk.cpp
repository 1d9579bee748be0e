#include "svg/element_walk.h"

#include "core/c_handle.h"
#include "core/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <limits>
#include <optional>
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

// libxml2 allows entities to nest this deep.
constexpr int kDeepestEntity = 40;

// What the callbacks share; found through the parser context's private pointer.
struct Walk {
    xmlParserCtxt* context;
    ElementVisitor& visitor;
    const WalkLimits& limits;
    std::chrono::steady_clock::time_point deadline;
    size_t elementsLeft;
    size_t resolvedLeft; // bytes that resolving references may still make
    WalkResult result = WalkResult::Read;
    std::vector<ElementAttribute> attributes;
    // Names and values that had to be made for the element being handed over; a deque, so
    // that views into earlier ones stay valid as more are added.
    std::deque<std::string> made;

    std::string_view keep(std::string value) { return made.emplace_back(std::move(value)); }

    void stop(WalkResult why)
    {
        result = why;
        xmlStopParser(context);
    }

    std::string_view qualifiedName(const xmlChar* prefix, const xmlChar* localName)
    {
        if (!prefix)
            return text(localName);
        return keep(std::string(text(prefix)).append(":").append(text(localName)));
    }

    // Appends the text of `nodes` with their entity references resolved, as
    // xmlNodeListGetString(document, nodes, 1) makes it, while the budget lasts; false (with
    // `out` incomplete) when it would run out. An entity repeated many times can make a text
    // thousands of times the size of the document, which libxml2 would build by copying it
    // over and over.
    bool appendResolved(const xmlNode* nodes, std::string& out, int depth)
    {
        for (const xmlNode* node = nodes; node; node = node->next) {
            if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
                const std::string_view content = text(node->content);
                if (content.size() > resolvedLeft)
                    return false;
                resolvedLeft -= content.size();
                out += content;
            } else if (node->type == XML_ENTITY_REF_NODE) {
                const xmlEntity* entity = xmlGetDocEntity(context->myDoc, node->name);
                if (!entity) {
                    const std::string_view content = text(node->content);
                    if (content.size() > resolvedLeft)
                        return false;
                    resolvedLeft -= content.size();
                    out += content;
                } else if (depth >= kDeepestEntity || !appendResolved(entity->children, out, depth + 1)) {
                    return false;
                }
            }
        }
        return true;
    }

    // The value as a tree of the document would hold it. libxml2 hands a value over in place
    // unless it had to change it; only a changed one (ending in a NUL rather than its quote)
    // can still hold references, which it leaves for the tree to resolve. Empty when resolving
    // them would pass the walk's budget.
    std::optional<std::string_view> attributeValue(const xmlChar* value, const xmlChar* valueEnd)
    {
        const auto length = static_cast<size_t>(valueEnd - value);
        const std::string_view asGiven(reinterpret_cast<const char*>(value), length);
        if (*valueEnd != '\0' || !std::memchr(value, '&', length))
            return asGiven;
        using NodeList = CHandle<xmlNode, xmlFreeNodeList>;
        const NodeList nodes(xmlStringLenGetNodeList(context->myDoc, value, static_cast<int>(length)));
        std::string resolved;
        if (!appendResolved(nodes.get(), resolved, 0))
            return std::nullopt;
        return keep(std::move(resolved));
    }

    // Whether the walk may go on to another element.
    bool mayContinue()
    {
        if (elementsLeft == 0) {
            stop(WalkResult::TooManyElements);
            return false;
        }
        --elementsLeft;
        if (std::chrono::steady_clock::now() > deadline) {
            stop(WalkResult::TooSlow);
            return false;
        }
        return true;
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
    if (!walk || !walk->mayContinue())
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
        const auto value = walk->attributeValue(attribute[3], attribute[4]);
        if (!value) {
            walk->stop(WalkResult::EntitiesTooLarge);
            return;
        }
        walk->attributes.push_back({ walk->qualifiedName(attribute[1], attribute[0]), *value });
    }
    walk->visitor.elementStarted(walk->qualifiedName(prefix, localName), walk->attributes);
}

void endElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*)
{
    Walk* walk = walkOf(context);
    if (!walk || walk->result != WalkResult::Read)
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

WalkResult walkElements(std::string_view text, ElementVisitor& visitor, const WalkLimits& limits)
{
    static const xmlSAXHandler handler = [] {
        xmlInitParser();
        return makeHandler();
    }();
    const auto started = std::chrono::steady_clock::now();
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
    Walk walk { context.get(), visitor, limits, started + limits.mostTime, limits.mostElements,
        std::min(limits.mostResolvedBytes, text.size() + limits.resolvedAllowance), WalkResult::Read, {}, {} };
    context->_private = &walk;
    xmlParseDocument(context.get());
    context->_private = nullptr;
    if (context->myDoc) {
        xmlFreeDoc(context->myDoc);
        context->myDoc = nullptr;
    }
    return walk.result;
}

std::string describeWalkResult(WalkResult result, std::string_view source, const WalkLimits& limits)
{
    const std::string name = source.empty() ? std::string("the SVG text") : std::string(source);
    switch (result) {
    case WalkResult::Read:
        return {};
    case WalkResult::TooManyAttributes:
        return "Not reading " + name + ": an element has more than " + std::to_string(kMostAttributes) + " attributes";
    case WalkResult::TooManyElements:
        return "Stopped reading " + name + ": it has more than " + std::to_string(limits.mostElements) + " elements";
    case WalkResult::EntitiesTooLarge:
        return "Stopped reading " + name + ": its entity references expand to more text than it may hold";
    case WalkResult::TooSlow: {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(limits.mostTime.count()) / 1000);
        return "Stopped reading " + name + ": still not read after " + seconds + " s";
    }
    }
    return {};
}

} // namespace kaleon::svg
