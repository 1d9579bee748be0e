#pragma once

#include "core/result.h"

#include <filesystem>
#include <string>

namespace kaleon {

inline constexpr std::string_view kFileErrorDomain = "File";

// The whole contents of a file, or why it could not be read.
Result<std::string> readFile(const std::filesystem::path& path);

} // namespace kaleon
