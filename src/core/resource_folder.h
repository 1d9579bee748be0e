#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaleon {

// Where to look for a module's read-only resources, in order: a folder named by an environment
// variable (when set, it is the only place looked at, so a run can be pointed at other data),
// then each candidate folder.
struct ResourceSearch {
    std::string environmentVariable;
    std::vector<std::filesystem::path> candidates;
};

// The first existing folder of the search; empty when none exists.
std::optional<std::filesystem::path> locateResourceFolder(const ResourceSearch& search);

inline constexpr std::string_view kResourcesVariable = "KALEON_RESOURCES";

// Kaleon's own resource folder (palettes, shapes, logo): $KALEON_RESOURCES when set, else
// share/kaleon beside the installed program, else the data folder it was built for, else the
// source tree's resources/ for runs from the build tree.
std::optional<std::filesystem::path> mainResourceFolder();

// The user's own palettes and shapes: $XDG_DATA_HOME/kaleon (~/.local/share/kaleon when the
// variable is unset). Empty when it does not exist, or when $KALEON_RESOURCES names the only
// folder to look at.
std::optional<std::filesystem::path> userResourceFolder();

// The names of the entries directly inside a folder, in the order the file system lists them;
// empty when the folder cannot be read.
std::vector<std::string> directoryEntryNames(const std::filesystem::path& folder);

} // namespace kaleon
