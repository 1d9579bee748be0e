#include "core/resource_folder.h"

#include <cstdlib>
#include <system_error>

namespace kaleon {

std::optional<std::filesystem::path> locateResourceFolder(const ResourceSearch& search)
{
    std::error_code error;
    if (!search.environmentVariable.empty()) {
        if (const char* overridden = std::getenv(search.environmentVariable.c_str()); overridden && *overridden) {
            const std::filesystem::path folder(overridden);
            if (std::filesystem::is_directory(folder, error))
                return folder;
            return std::nullopt;
        }
    }
    for (const auto& candidate : search.candidates) {
        if (std::filesystem::is_directory(candidate, error))
            return candidate;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> mainResourceFolder()
{
    return locateResourceFolder({ "KALEON_RESOURCES", { KALEON_INSTALL_DATA_DIR, KALEON_SOURCE_RESOURCES_DIR } });
}

std::vector<std::string> directoryEntryNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    if (error)
        return {};
    return names;
}

} // namespace kaleon
