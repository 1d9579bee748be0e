#include "supply/utils.h"

#include "core/resource_folder.h"

namespace kaleon::supply {

std::optional<std::filesystem::path> TGUtils::bundlePath()
{
    return mainResourceFolder();
}

} // namespace kaleon::supply
