#pragma once

#include <algorithm>

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
    constexpr Rect(Point o, Size s) : origin(o), size(s) { }
    constexpr Rect(double x, double y, double width, double height) : origin { x, y }, size { width, height } { }

    [[nodiscard]] constexpr double width() const { return size.width < 0 ? -size.width : size.width; }
    [[nodiscard]] constexpr double height() const { return size.height < 0 ? -size.height : size.height; }
    [[nodiscard]] constexpr double minX() const { return std::min(origin.x, origin.x + size.width); }
    [[nodiscard]] constexpr double maxX() const { return std::max(origin.x, origin.x + size.width); }
    [[nodiscard]] constexpr double minY() const { return std::min(origin.y, origin.y + size.height); }
    [[nodiscard]] constexpr double maxY() const { return std::max(origin.y, origin.y + size.height); }
    [[nodiscard]] constexpr double midX() const { return (minX() + maxX()) / 2; }
    [[nodiscard]] constexpr double midY() const { return (minY() + maxY()) / 2; }
    [[nodiscard]] constexpr bool isEmpty() const { return size.width == 0 || size.height == 0; }

    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace kaleon::gfx
