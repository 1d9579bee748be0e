#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kaleon::supply {

// Where shapes come in from, as the settings store it: TGKaleonAnimationDirectionDefaultsKey
// holds the number. A stored number that is none of these means no motion at all.
enum class Direction : std::int64_t {
    Cycle = 0, // below, above, left, right, and round again
    LeftRight = 1, // left, then right, and again
    FromLeft = 2,
    FromRight = 3,
    FromAbove = 4,
    FromBelow = 5,
};

inline constexpr Direction kDefaultDirection = Direction::Cycle;

struct DirectionTitle {
    Direction direction;
    std::string_view title; // as the settings window, XScreenSaver's dialog and --help show it
};

// Every direction in the order of its number: the one place their titles are written.
inline constexpr std::array<DirectionTitle, 6> kDirections { {
    { Direction::Cycle, "Round the edges" },
    { Direction::LeftRight, "Left, then right" },
    { Direction::FromLeft, "From the left" },
    { Direction::FromRight, "From the right" },
    { Direction::FromAbove, "From above" },
    { Direction::FromBelow, "From below" },
} };

// The direction a stored number stands for; empty for any other number (no motion).
constexpr std::optional<Direction> directionFromStored(std::int64_t stored)
{
    for (const auto& entry : kDirections) {
        if (static_cast<std::int64_t>(entry.direction) == stored)
            return entry.direction;
    }
    return std::nullopt;
}

} // namespace kaleon::supply
