#include "svg/element_reader.h"

#include "core/c_handle.h"
#include "core/log.h"
#include "core/text.h"
#include "svg/path_data_parser.h"

#include <libxml/xmlreader.h>
#include <limits>

namespace kaleon::svg {

namespace {

using XmlReader = CHandle<xmlTextReader, xmlFreeTextReader>;

constexpr int kElementStart = XML_READER_TYPE_ELEMENT;
constexpr int kElementEnd = XML_READER_TYPE_END_ELEMENT;

constexpr std::string_view kMissingDLog = "*** Error: Invalid/missing d attribute in <path>";
constexpr std::string_view kTooFewPointsLog = "*** Error: Too few points in <polygon>";
constexpr std::string_view kInvalidCircleLog = "*** Error: Invalid circle attribute";

enum class Shape { None, Path, Polygon, Rect, Circle };

bool named(const xmlChar* name, const char* expected)
{
    return name && equalsIgnoringCase(reinterpret_cast<const char*>(name), expected);
}

Shape shapeNamed(const xmlChar* name)
{
    if (named(name, "path"))
        return Shape::Path;
    if (named(name, "polygon"))
        return Shape::Polygon;
    if (named(name, "rect"))
        return Shape::Rect;
    if (named(name, "circle"))
        return Shape::Circle;
    return Shape::None;
}

// libxml2 checks each attribute of an element against all before it, so an element with tens
// of thousands takes seconds. No drawing needs more than a few dozen.
constexpr int kMostAttributes = 256;

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

// libxml2 would print its diagnostics on stderr; the early stop is all we need of them.
void ignoreError(void*, xmlErrorPtr)
{
}

XmlReader openReader(std::string_view text)
{
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    (void)initialised;
    // The text ends at its first NUL, as it would for a C string.
    text = text.substr(0, text.find('\0'));
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        return XmlReader();
    XmlReader reader(xmlReaderForMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET));
    if (reader)
        xmlTextReaderSetStructuredErrorHandler(reader.get(), ignoreError, nullptr);
    return reader;
}

} // namespace

svgParser::svgParser(std::string_view svgString)
    : m_svgString(svgString)
{
}

svgParser::~svgParser() = default;

void svgParser::pushGroup(const AttributeDictionary* dictionary)
{
    AttributeDictionary group = m_groupStack.empty() ? AttributeDictionary() : m_groupStack.back();
    if (dictionary) {
        for (const auto& [key, value] : *dictionary)
            group.insert_or_assign(key, value);
    }
    m_groupStack.push_back(std::move(group));
}

void svgParser::popGroup()
{
    if (!m_groupStack.empty())
        m_groupStack.pop_back();
}

std::optional<std::string_view> svgParser::readStringAttribute(const char* name)
{
    // The value stays in the reader's own buffers (no copy) until the reader moves on.
    if (xmlTextReaderMoveToAttribute(m_reader, reinterpret_cast<const xmlChar*>(name)) != 1)
        return std::nullopt;
    const xmlChar* value = xmlTextReaderConstValue(m_reader);
    xmlTextReaderMoveToElement(m_reader);
    if (!value)
        return std::string_view();
    return std::string_view(reinterpret_cast<const char*>(value));
}

float svgParser::readFloatAttribute(const char* name)
{
    const auto value = readStringAttribute(name);
    return value ? floatValue(*value) : 0.0f;
}

std::optional<gfx::Path> svgParser::readPathTag()
{
    const auto definition = readStringAttribute("d");
    if (!definition) {
        log(kMissingDLog);
        return std::nullopt;
    }
    return pathDefinitionParser(*definition).parse();
}

std::optional<gfx::Path> svgParser::readPolygonTag()
{
    const auto points = readStringAttribute("points");
    std::vector<std::string_view> pieces;
    if (points) {
        std::string_view rest = *points;
        for (;;) {
            const size_t separator = rest.find_first_of(", ");
            pieces.push_back(rest.substr(0, separator));
            if (separator == std::string_view::npos)
                break;
            rest.remove_prefix(separator + 1);
        }
    }
    if (pieces.size() < 2) {
        log(kTooFewPointsLog);
        return std::nullopt;
    }
    std::string definition = "M";
    definition.append(pieces[0]).append(",").append(pieces[1]).append("L");
    for (size_t i = 2; i < pieces.size(); ++i) {
        if (i > 2)
            definition += ' ';
        definition.append(pieces[i]);
    }
    definition += 'Z';
    return pathDefinitionParser(definition).parse();
}

std::optional<gfx::Path> svgParser::readRectTag()
{
    const gfx::Rect rect { readFloatAttribute("x"), readFloatAttribute("y"), readFloatAttribute("width"),
        readFloatAttribute("height") };
    const std::string minX = SVGStringFromNumber(rect.minX());
    const std::string minY = SVGStringFromNumber(rect.minY());
    const std::string definition = "M" + minX + "," + minY + "H" + SVGStringFromNumber(rect.maxX()) + "V"
        + SVGStringFromNumber(rect.maxY()) + "H" + minX + "V" + minY + "Z";
    return pathDefinitionParser(definition).parse();
}

std::optional<gfx::Path> svgParser::readCircleTag()
{
    const double cx = readFloatAttribute("cx");
    const double cy = readFloatAttribute("cy");
    const double r = readFloatAttribute("r");
    gfx::Path path;
    path.addEllipseInRect({ cx - r, cy - r, 2 * r, 2 * r });
    if (path.isEmpty()) {
        log(kInvalidCircleLog);
        return std::nullopt;
    }
    return path;
}

PathList svgParser::parse(std::shared_ptr<PathAttributeMap>* attributesOut)
{
    PathList paths;
    std::shared_ptr<PathAttributeMap> attributes;
    if (attributesOut) {
        attributes = std::make_shared<PathAttributeMap>();
        *attributesOut = attributes;
    }
    if (hasTooManyAttributes(m_svgString)) {
        log("*** Error: An element has more than " + std::to_string(kMostAttributes)
            + " attributes; the document is not read");
        return paths;
    }
    const XmlReader reader = openReader(m_svgString);
    if (!reader)
        return paths;
    m_reader = reader.get();

    while (xmlTextReaderRead(m_reader) == 1) {
        const int type = xmlTextReaderNodeType(m_reader);
        const xmlChar* name = xmlTextReaderConstName(m_reader);
        if (named(name, "g")) {
            if (type == kElementStart) {
                const auto dictionary = readAttributes(m_reader, m_groupStack.empty() ? nullptr : &m_groupStack.back());
                pushGroup(dictionary ? &*dictionary : nullptr);
                if (xmlTextReaderIsEmptyElement(m_reader) == 1)
                    popGroup();
            } else if (type == kElementEnd) {
                popGroup();
            }
            continue;
        }
        if (type != kElementStart)
            continue;
        std::optional<gfx::Path> path;
        switch (shapeNamed(name)) {
        case Shape::Path:
            path = readPathTag();
            break;
        case Shape::Polygon:
            path = readPolygonTag();
            break;
        case Shape::Rect:
            path = readRectTag();
            break;
        case Shape::Circle:
            path = readCircleTag();
            break;
        case Shape::None:
            continue;
        }
        if (!path)
            continue;
        std::optional<AttributeDictionary> dictionary;
        if (attributes) {
            dictionary = readAttributes(m_reader, m_groupStack.empty() ? nullptr : &m_groupStack.back());
            if (dictionary) {
                if (const auto it = dictionary->find("transform"); it != dictionary->end())
                    path = path->transformed(svg_CGAffineTransformValue(it->second));
            }
        }
        auto shared = std::make_shared<const gfx::Path>(std::move(*path));
        if (dictionary)
            attributes->emplace(shared, std::move(*dictionary));
        paths.push_back(std::move(shared));
    }
    m_reader = nullptr;
    return paths;
}

PathList CGPathsFromSVGString(std::string_view text, std::shared_ptr<PathAttributeMap>* attributesOut)
{
    return svgParser(text).parse(attributesOut);
}

std::map<std::string, int> passedOverElements(std::string_view text)
{
    std::map<std::string, int> counts;
    const XmlReader reader = hasTooManyAttributes(text) ? XmlReader() : openReader(text);
    if (!reader)
        return counts;
    while (xmlTextReaderRead(reader.get()) == 1) {
        if (xmlTextReaderNodeType(reader.get()) != kElementStart)
            continue;
        const xmlChar* name = xmlTextReaderConstName(reader.get());
        if (!name || shapeNamed(name) != Shape::None || named(name, "g") || named(name, "svg"))
            continue;
        ++counts[reinterpret_cast<const char*>(name)];
    }
    return counts;
}

} // namespace kaleon::svg
