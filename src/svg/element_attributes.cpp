#include "svg/element_attributes.h"

#include "core/log.h"
#include "svg/scanner.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kaleon::svg {

namespace {

constexpr CharacterSet kStyleSkip = CharacterSet(":;").united(CharacterSet::whitespaceAndNewlines());
constexpr CharacterSet kTransformSkip = CharacterSet("(),").united(CharacterSet::whitespaceAndNewlines());

constexpr std::string_view kTransformKey = "transform";
// "none" as a colour: white, fully transparent.
constexpr gfx::Color kNoColor { 1, 1, 1, 0 };

float angleInRadians(float degrees)
{
    return static_cast<float>(static_cast<double>(degrees) * std::numbers::pi / 180.0);
}

gfx::AffineTransform functionMatrix(std::string_view name, const std::vector<float>& p)
{
    const size_t n = p.size();
    if (name == "matrix" && n >= 6)
        return { p[0], p[1], p[2], p[3], p[4], p[5] };
    if (name == "rotate" && n >= 1)
        return gfx::AffineTransform::rotation(angleInRadians(p[0]));
    if (name == "translate" && n >= 1)
        return { 1, 0, 0, 1, p[0], n >= 2 ? p[1] : 0.0f };
    if (name == "scale" && n >= 1)
        return { p[0], 0, 0, n >= 2 ? p[1] : p[0], 0, 0 };
    if (name == "skewX" && n >= 1)
        return { 1, 0, std::tan(angleInRadians(p[0])), 1, 0, 0 };
    if (name == "skewY" && n >= 1)
        return { 1, std::tan(angleInRadians(p[0])), 0, 1, 0, 0 };
    return {};
}

void turnColour(AttributeDictionary& dictionary, std::string_view key)
{
    const auto it = dictionary.find(key);
    if (it == dictionary.end())
        return;
    if (const auto* value = std::get_if<std::string>(&it->second))
        it->second = *value == "none" ? kNoColor : hexTriplet(*value).CGColor();
}

void foldOpacity(AttributeDictionary& dictionary, std::string_view colourKey, std::string_view opacityKey)
{
    const auto colour = dictionary.find(colourKey);
    const auto opacity = dictionary.find(opacityKey);
    if (colour == dictionary.end() || opacity == dictionary.end())
        return;
    auto* colourValue = std::get_if<gfx::Color>(&colour->second);
    const auto* opacityText = std::get_if<std::string>(&opacity->second);
    if (!colourValue || !opacityText)
        return;
    const float alpha = floatValue(*opacityText);
    if (!(alpha < 1.0f))
        return;
    colourValue->alpha = alpha;
    dictionary.erase(opacity);
}

// Whether `text` is a transform list of SVG 1.1's grammar: functions with plain numbers (no
// units), in the counts each function takes, apart by white space or commas.
bool isTransformList(std::string_view text)
{
    const auto skipWhitespace = [&] {
        while (!text.empty() && isWhitespace(text.front()))
            text.remove_prefix(1);
    };
    const auto skipSeparator = [&] {
        skipWhitespace();
        if (!text.empty() && text.front() == ',')
            text.remove_prefix(1);
        skipWhitespace();
    };
    constexpr std::pair<std::string_view, std::pair<int, int>> kFunctions[]
        = { { "matrix", { 6, 6 } }, { "translate", { 1, 2 } }, { "scale", { 1, 2 } }, { "rotate", { 1, 3 } },
              { "skewX", { 1, 1 } }, { "skewY", { 1, 1 } } };
    skipWhitespace();
    while (!text.empty()) {
        const auto* function = std::find_if(std::begin(kFunctions), std::end(kFunctions),
            [&](const auto& entry) { return text.starts_with(entry.first); });
        if (function == std::end(kFunctions))
            return false;
        text.remove_prefix(function->first.size());
        skipWhitespace();
        if (text.empty() || text.front() != '(')
            return false;
        text.remove_prefix(1);
        int count = 0;
        for (skipWhitespace(); !text.empty() && text.front() != ')'; skipSeparator()) {
            const size_t length = decimalNumberLength(text);
            if (length == 0)
                return false;
            text.remove_prefix(length);
            ++count;
        }
        const auto [fewest, most] = function->second;
        if (text.empty() || count < fewest || count > most || (function->first == "rotate" && count == 2))
            return false;
        text.remove_prefix(1);
        skipSeparator();
    }
    return true;
}

} // namespace

float floatValue(std::string_view value)
{
    value = trimmed(value);
    const size_t length = decimalNumberLength(value);
    if (length == 0)
        return 0;
    const float number = decimalToFloat(value.substr(0, length));
    return std::isfinite(number) ? number : 0.0f;
}

std::optional<std::vector<std::pair<std::string, std::string>>> unfoldStyle(std::string_view style)
{
    std::vector<std::pair<std::string, std::string>> properties;
    Scanner scanner(style, kStyleSkip);
    for (;;) {
        std::string_view name;
        if (!scanner.scanUpTo(':', name))
            return properties;
        std::string_view value;
        if (!scanner.scanUpTo(';', value)) {
            log("Parse error in style: '" + std::string(style) + "'");
            return std::nullopt;
        }
        properties.emplace_back(name, value);
    }
}

gfx::AffineTransform composeTransform(std::string_view value, const gfx::AffineTransform& inherited)
{
    gfx::AffineTransform transform = inherited;
    Scanner scanner(value, kTransformSkip);
    std::vector<float> numbers;
    for (;;) {
        std::string_view name;
        if (!scanner.scanUpTo('(', name))
            return transform;
        numbers.clear();
        scanner.scanFloats(numbers);
        transform = transform.then(functionMatrix(name, numbers));
    }
}

std::optional<AttributeDictionary> readAttributes(
    std::span<const ElementAttribute> attributes, const AttributeDictionary* inherited)
{
    AttributeDictionary dictionary = inherited ? *inherited : AttributeDictionary();
    if (attributes.empty())
        return dictionary;

    // The "transform" entry always holds a transform: the inherited one composed with this one.
    const auto compose = [&dictionary](std::string_view value) {
        const auto entry = dictionary.find(kTransformKey);
        const gfx::AffineTransform start
            = entry == dictionary.end() ? gfx::AffineTransform() : svg_CGAffineTransformValue(entry->second);
        const gfx::AffineTransform composed = composeTransform(value, start);
        if (composed.isIdentity())
            dictionary.erase(std::string(kTransformKey));
        else
            dictionary.insert_or_assign(std::string(kTransformKey), svg_valueWithCGAffineTransform(composed));
    };
    for (const auto& [name, value] : attributes) {
        if (equalsIgnoringCase(name, "style")) {
            if (const auto properties = unfoldStyle(value)) {
                for (const auto& [property, propertyValue] : *properties) {
                    // A style transform counts as the attribute would, and only when it is one
                    // in the attribute's syntax ("rotate(45deg)" is not): as text it would stand
                    // in for the composed transform and collapse the shape.
                    if (property == kTransformKey) {
                        if (isTransformList(propertyValue))
                            compose(propertyValue);
                    } else {
                        dictionary.insert_or_assign(property, propertyValue);
                    }
                }
            }
        } else if (equalsIgnoringCase(name, kTransformKey)) {
            compose(value);
        } else {
            dictionary.insert_or_assign(std::string(name), std::string(value));
        }
    }
    turnColour(dictionary, "fill");
    turnColour(dictionary, "stroke");
    foldOpacity(dictionary, "fill", "fill-opacity");
    foldOpacity(dictionary, "stroke", "stroke-opacity");
    if (dictionary.empty())
        return std::nullopt;
    return dictionary;
}

} // namespace kaleon::svg
