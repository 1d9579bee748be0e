#include "svg/element_reader.h"

#include "core/log.h"
#include "core/text.h"
#include "svg/path_data_parser.h"

namespace kaleon::svg {

namespace {

constexpr std::string_view kMissingDLog = "*** Error: Invalid/missing d attribute in <path>";
constexpr std::string_view kTooFewPointsLog = "*** Error: Too few points in <polygon>";
constexpr std::string_view kInvalidCircleLog = "*** Error: Invalid circle attribute";

enum class Shape { None, Path, Polygon, Rect, Circle };

bool named(std::string_view name, std::string_view expected)
{
    return equalsIgnoringCase(name, expected);
}

Shape shapeNamed(std::string_view name)
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

} // namespace

svgParser::svgParser(std::string_view svgString, const ReadOptions& options)
    : m_svgString(svgString)
    , m_options(options)
{
}

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

std::optional<std::string_view> svgParser::readStringAttribute(std::string_view name) const
{
    for (const auto& attribute : m_attributes) {
        if (attribute.name == name)
            return attribute.value;
    }
    return std::nullopt;
}

float svgParser::readFloatAttribute(std::string_view name) const
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

void svgParser::walk()
{
    const WalkResult result = walkElements(m_svgString, *this, m_options.limits);
    if (result != WalkResult::Read)
        log(describeWalkResult(result, m_options.source, m_options.limits));
}

PathList svgParser::parse(std::shared_ptr<PathAttributeMap>* attributesOut)
{
    m_paths.clear();
    if (!attributesOut) {
        m_visit = nullptr;
        walk();
        return std::move(m_paths);
    }
    auto attributeMap = std::make_shared<PathAttributeMap>();
    *attributesOut = attributeMap;
    PathList paths;
    parse([&](std::shared_ptr<const gfx::Path> path, AttributeDictionary* attributes) {
        if (attributes)
            attributeMap->emplace(path, std::move(*attributes));
        paths.push_back(std::move(path));
    });
    return paths;
}

void svgParser::parse(const ShapeVisitor& visit)
{
    m_visit = &visit;
    walk();
    m_visit = nullptr;
}

void svgParser::elementStarted(std::string_view name, std::span<const ElementAttribute> attributes)
{
    m_attributes = attributes;
    const auto inherited = [this] { return m_groupStack.empty() ? nullptr : &m_groupStack.back(); };
    if (named(name, "g")) {
        const auto dictionary = readAttributes(attributes, inherited());
        pushGroup(dictionary ? &*dictionary : nullptr);
        return;
    }
    const Shape shape = shapeNamed(name);
    if (shape == Shape::None)
        return;
    // The reader of each shape, in the order of Shape after None.
    static constexpr std::optional<gfx::Path> (svgParser::*kReaders[])()
        = { &svgParser::readPathTag, &svgParser::readPolygonTag, &svgParser::readRectTag, &svgParser::readCircleTag };
    std::optional<gfx::Path> path = (this->*kReaders[static_cast<size_t>(shape) - 1])();
    if (!path)
        return;
    path->shrinkToFit();
    if (!m_visit) {
        m_paths.push_back(std::make_shared<const gfx::Path>(std::move(*path)));
        return;
    }
    auto dictionary = readAttributes(attributes, inherited());
    if (dictionary) {
        if (const auto it = dictionary->find("transform"); it != dictionary->end())
            path = path->transformed(svg_CGAffineTransformValue(it->second));
    }
    (*m_visit)(std::make_shared<const gfx::Path>(std::move(*path)), dictionary ? &*dictionary : nullptr);
}

void svgParser::elementEnded(std::string_view name)
{
    if (named(name, "g"))
        popGroup();
}

PathList CGPathsFromSVGString(std::string_view text, std::shared_ptr<PathAttributeMap>* attributesOut)
{
    return svgParser(text).parse(attributesOut);
}

void readSVGShapes(std::string_view text, const ReadOptions& options, const ShapeVisitor& visit)
{
    svgParser(text, options).parse(visit);
}

PathList readSVGPaths(std::string_view text, const ReadOptions& options)
{
    PathList paths;
    readSVGShapes(text, options,
        [&](std::shared_ptr<const gfx::Path> path, AttributeDictionary*) { paths.push_back(std::move(path)); });
    return paths;
}

std::map<std::string, int> passedOverElements(std::string_view text)
{
    class Counter final : public ElementVisitor {
    public:
        void elementStarted(std::string_view name, std::span<const ElementAttribute>) override
        {
            if (shapeNamed(name) == Shape::None && !named(name, "g") && !named(name, "svg"))
                ++counts[std::string(name)];
        }
        void elementEnded(std::string_view) override { }

        std::map<std::string, int> counts;
    };
    Counter counter;
    walkElements(text, counter);
    return std::move(counter.counts);
}

} // namespace kaleon::svg
