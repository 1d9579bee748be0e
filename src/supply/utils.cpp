#include "supply/utils.h"

#include "core/resource_folder.h"

namespace kaleon::supply {

std::optional<std::filesystem::path> TGUtils::bundlePath()
{
    const ResourceSearch search { "KALEON_RESOURCES", { KALEON_INSTALL_DATA_DIR, KALEON_SOURCE_RESOURCES_DIR } };
    return locateResourceFolder(search);
}

} // namespace kaleon::supply
