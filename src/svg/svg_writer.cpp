#include "svg/svg_writer.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace kaleon::svg {

namespace {

constexpr std::string_view kSVGNamespace = "http://www.w3.org/2000/svg";
constexpr std::string_view kXLinkNamespace = "http://www.w3.org/1999/xlink";

void appendEscaped(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
}

void appendAttribute(std::string& out, std::string_view name, std::string_view value)
{
    out += ' ';
    appendEscaped(out, name);
    out += "=\"";
    appendEscaped(out, value);
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
        switch (element.type) {
        case gfx::PathElementType::MoveTo:
            appendNumbers(out, 'M', element.points);
            break;
        case gfx::PathElementType::LineTo:
            appendNumbers(out, 'L', element.points);
            break;
        case gfx::PathElementType::QuadCurveTo:
            appendNumbers(out, 'Q', element.points);
            break;
        case gfx::PathElementType::CubicCurveTo:
            appendNumbers(out, 'C', element.points);
            break;
        case gfx::PathElementType::CloseSubpath:
            out += 'Z';
            break;
        }
    });
    return out;
}

std::string SVGStringFromCGPaths(const PathList& paths, const PathAttributeMap* attributes)
{
    double minX = 0;
    double minY = 0;
    double maxX = 0;
    double maxY = 0;
    std::string body;
    for (const auto& path : paths) {
        if (const auto box = path->boundingBox()) {
            minX = std::min(minX, box->minX());
            minY = std::min(minY, box->minY());
            maxX = std::max(maxX, box->maxX());
            maxY = std::max(maxY, box->maxY());
        }
        body += "  <path";
        if (attributes) {
            if (const auto entry = attributes->find(path); entry != attributes->end()) {
                for (const auto& [name, value] : entry->second) {
                    if (const auto* text = std::get_if<std::string>(&value)) {
                        if (name != "d")
                            appendAttribute(body, name, *text);
                    } else if (const auto* color = std::get_if<gfx::Color>(&value)) {
                        appendAttribute(body, name, hexTriplet(*color).string());
                        if (static_cast<float>(color->alpha) < 1.0f)
                            appendAttribute(body, name + "-opacity",
                                formatted(static_cast<float>(color->alpha), std::chars_format::general, 2));
                    }
                }
            }
        }
        body += " d=\"";
        body += SVGPathData(*path);
        body += "\"/>\n";
    }
    std::string document = "<svg xmlns=\"";
    document.append(kSVGNamespace).append("\" xmlns:xlink=\"").append(kXLinkNamespace);
    document.append("\" width=\"").append(formatted(maxX - minX, std::chars_format::fixed, 0));
    document.append("\" height=\"").append(formatted(maxY - minY, std::chars_format::fixed, 0)).append("\">\n");
    document += body;
    document += "\n</svg>\n";
    return document;
}

} // namespace kaleon::svg
