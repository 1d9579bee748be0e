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
    std::vector<std::filesystem::path> candidates;
    // Beside an installed program, wherever it was installed: PREFIX/bin → PREFIX/share/kaleon.
    std::error_code error;
    if (const auto program = std::filesystem::read_symlink("/proc/self/exe", error); !error)
        candidates.push_back(program.parent_path().parent_path() / "share" / "kaleon");
    candidates.emplace_back(KALEON_INSTALL_DATA_DIR);
    candidates.emplace_back(KALEON_SOURCE_RESOURCES_DIR);
    return locateResourceFolder({ std::string(kResourcesVariable), std::move(candidates) });
}

std::optional<std::filesystem::path> userResourceFolder()
{
    if (const char* overridden = std::getenv(kResourcesVariable.data()); overridden && *overridden)
        return std::nullopt;
    std::filesystem::path folder;
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome == '/')
        folder = std::filesystem::path(dataHome) / "kaleon";
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::filesystem::path(home) / ".local" / "share" / "kaleon";
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error))
        return std::nullopt;
    return folder;
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
