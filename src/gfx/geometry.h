#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace kaleon::gfx {

struct Point {
    double x = 0;
    double y = 0;
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend constexpr bool operator==(const Size&, const Size&) = default;
};

// An origin and a size. The size may be negative; the min/max getters fold that, so a rect
// of width -10 at x = 5 spans x from -5 to 5.
struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s)
        : origin(o)
        , size(s)
    {
    }
    constexpr Rect(double x, double y, double width, double height)
        : origin { x, y }
        , size { width, height }
    {
    }

    [[nodiscard]] constexpr double width() const { return size.width < 0 ? -size.width : size.width; }
    [[nodiscard]] constexpr double height() const { return size.height < 0 ? -size.height : size.height; }
    [[nodiscard]] constexpr double minX() const { return std::min(origin.x, origin.x + size.width); }
    [[nodiscard]] constexpr double maxX() const { return std::max(origin.x, origin.x + size.width); }
    [[nodiscard]] constexpr double minY() const { return std::min(origin.y, origin.y + size.height); }
    [[nodiscard]] constexpr double maxY() const { return std::max(origin.y, origin.y + size.height); }
    [[nodiscard]] constexpr double midX() const { return (minX() + maxX()) / 2; }
    [[nodiscard]] constexpr double midY() const { return (minY() + maxY()) / 2; }
    [[nodiscard]] constexpr bool isEmpty() const { return size.width == 0 || size.height == 0; }
    // The smallest rectangle holding both (empty ones included, as points).
    [[nodiscard]] constexpr Rect united(const Rect& other) const
    {
        const double x = std::min(minX(), other.minX());
        const double y = std::min(minY(), other.minY());
        return { x, y, std::max(maxX(), other.maxX()) - x, std::max(maxY(), other.maxY()) - y };
    }

    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// "X<separator>Y", two finite numbers and nothing else, such as "10,-5".
inline std::optional<Point> parsePoint(std::string_view text, char separator = ',')
{
    const auto split = text.find(separator);
    if (split == std::string_view::npos)
        return std::nullopt;
    double x = 0;
    double y = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    const auto first = std::from_chars(begin, begin + split, x);
    const auto second = std::from_chars(begin + split + 1, end, y);
    if (first.ec != std::errc() || first.ptr != begin + split || second.ec != std::errc() || second.ptr != end
        || !std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    return Point { x, y };
}

// A rectangle of whole pixels: columns x to x + width − 1, rows y to y + height − 1.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    [[nodiscard]] constexpr bool isEmpty() const { return width <= 0 || height <= 0; }
    [[nodiscard]] constexpr int maxX() const { return x + width; }
    [[nodiscard]] constexpr int maxY() const { return y + height; }
    // The smallest rectangle holding both; an empty one adds nothing.
    [[nodiscard]] constexpr PixelRect united(const PixelRect& other) const
    {
        if (isEmpty())
            return other;
        if (other.isEmpty())
            return *this;
        const int left = std::min(x, other.x);
        const int top = std::min(y, other.y);
        return { left, top, std::max(maxX(), other.maxX()) - left, std::max(maxY(), other.maxY()) - top };
    }
    // The part inside both; empty when they do not meet.
    [[nodiscard]] constexpr PixelRect intersected(const PixelRect& other) const
    {
        const int left = std::max(x, other.x);
        const int top = std::max(y, other.y);
        const int right = std::min(maxX(), other.maxX());
        const int bottom = std::min(maxY(), other.maxY());
        if (right <= left || bottom <= top)
            return {};
        return { left, top, right - left, bottom - top };
    }
    // The pixels a rectangle touches, wholly or in part.
    static PixelRect enclosing(const Rect& rect)
    {
        const double left = std::floor(rect.minX());
        const double top = std::floor(rect.minY());
        const auto clamp = [](double value) { return std::clamp(value, -1e9, 1e9); };
        return { static_cast<int>(clamp(left)), static_cast<int>(clamp(top)),
            static_cast<int>(clamp(std::ceil(rect.maxX()) - left)),
            static_cast<int>(clamp(std::ceil(rect.maxY()) - top)) };
    }

    friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The largest side of a bitmap (Cairo's limit for image surfaces).
inline constexpr int kLargestBitmapSide = 32767;

// "WIDTHxHEIGHT", each a number from 1 to the largest bitmap side.
inline std::optional<Size> parseSize(std::string_view text)
{
    const auto size = parsePoint(text, 'x');
    if (!size || !(size->x >= 1 && size->y >= 1 && size->x <= kLargestBitmapSide && size->y <= kLargestBitmapSide))
        return std::nullopt;
    return Size { size->x, size->y };
}

} // namespace kaleon::gfx
