#include "svg/svg_writer.h"

#include "core/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <set>

namespace kaleon::svg {

namespace {

constexpr std::string_view kSVGNamespace = "http://www.w3.org/2000/svg";
constexpr std::string_view kXLinkNamespace = "http://www.w3.org/1999/xlink";

// Whether `name` can stand as an attribute name (ASCII rules; other UTF-8 bytes pass).
bool isAttributeName(std::string_view name)
{
    if (name.empty())
        return false;
    const auto isStart = [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
    };
    const auto isPart = [&](unsigned char c) { return isStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; };
    if (!isStart(static_cast<unsigned char>(name.front())))
        return false;
    return std::all_of(name.begin(), name.end(), [&](char c) { return isPart(static_cast<unsigned char>(c)); });
}

void appendAttribute(std::string& out, std::string_view name, std::string_view value)
{
    out += ' ';
    out += name;
    out += "=\"";
    appendXmlEscaped(out, value);
    out += '"';
}

// printf's "%.2g" and "%.0f", without its locale.
std::string formatted(double value, std::chars_format format, int precision)
{
    std::array<char, 400> buffer;
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
    return std::string(buffer.data(), written.ptr);
}

void appendNumbers(std::string& out, char command, std::span<const gfx::Point> points)
{
    out += command;
    bool first = true;
    for (const auto& p : points) {
        if (!first)
            out += ',';
        first = false;
        out += SVGStringFromNumber(p.x);
        out += ',';
        out += SVGStringFromNumber(p.y);
    }
}

} // namespace

std::string SVGPathData(const gfx::Path& path)
{
    std::string out;
    path.forEachElement([&](const gfx::PathElement& element) {
        // The command letter of each element type, in the order of PathElementType.
        constexpr std::array kLetters { 'M', 'L', 'Q', 'C', 'Z' };
        const char letter = kLetters[static_cast<size_t>(element.type)];
        if (element.type == gfx::PathElementType::CloseSubpath)
            out += letter;
        else
            appendNumbers(out, letter, element.points);
    });
    return out;
}

std::string SVGPathElement(const gfx::Path& path, const AttributeDictionary* attributes)
{
    std::string element = "  <path";
    if (attributes) {
        // A colour writes its opacity beside it; a text entry of that name then stays out,
        // since an element cannot hold one attribute twice.
        std::set<std::string, std::less<>> written { "d" };
        const auto emit = [&](const std::string& name, std::string_view value) {
            if (isAttributeName(name) && written.insert(name).second)
                appendAttribute(element, name, value);
        };
        for (const auto& [name, value] : *attributes) {
            if (const auto* color = std::get_if<gfx::Color>(&value)) {
                emit(name, hexTriplet(*color).string());
                if (static_cast<float>(color->alpha) < 1.0f)
                    emit(name + "-opacity", formatted(static_cast<float>(color->alpha), std::chars_format::general, 2));
            }
        }
        for (const auto& [name, value] : *attributes) {
            if (const auto* text = std::get_if<std::string>(&value))
                emit(name, *text);
        }
    }
    element += " d=\"";
    element += SVGPathData(path);
    element += "\"/>\n";
    return element;
}

std::string SVGDocumentWithBody(std::string_view body, const std::optional<gfx::Rect>& box)
{
    // The paths' box, with the origin always inside it.
    const gfx::Rect size = gfx::Rect().united(box.value_or(gfx::Rect()));
    std::string document = "<svg xmlns=\"";
    document.append(kSVGNamespace).append("\" xmlns:xlink=\"").append(kXLinkNamespace);
    document.append("\" width=\"").append(formatted(size.width(), std::chars_format::fixed, 0));
    document.append("\" height=\"").append(formatted(size.height(), std::chars_format::fixed, 0)).append("\">\n");
    document += body;
    document += "\n</svg>\n";
    return document;
}

std::string SVGStringFromCGPaths(const PathList& paths, const PathAttributeMap* attributes)
{
    std::string body;
    for (const auto& path : paths) {
        const AttributeDictionary* dictionary = nullptr;
        if (attributes) {
            if (const auto entry = attributes->find(path); entry != attributes->end())
                dictionary = &entry->second;
        }
        body += SVGPathElement(*path, dictionary);
    }
    return SVGDocumentWithBody(body, gfx::boundingBox(paths));
}

} // namespace kaleon::svg
