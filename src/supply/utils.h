#pragma once

#include <filesystem>
#include <optional>

namespace kaleon::supply {

// Finds the module's read-only resource folder (palettes, shapes, logo): the folder named by
// $KALEON_RESOURCES when set, else the installed data folder, else the source tree's
// resources/ for runs from the build tree. Empty when none exists.
class TGUtils {
public:
    static std::optional<std::filesystem::path> bundlePath();
};

} // namespace kaleon::supply
