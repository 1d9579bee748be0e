#pragma once

#include "core/result.h"
#include "svg/document.h"

#include <cstdint>
#include <string>
#include <vector>

#include <filesystem>
#include <memory>
#include <string_view>

namespace kaleon::supply {

// The password of every shape file.
inline constexpr std::string_view TGSecret = "9d41c07be35a86f2d0b7e4196ac3f528";

// A document read from an encrypted shape file (a container of UTF-8 SVG text under the default
// settings and TGSecret). A file that cannot be read, decrypted or decoded gives a document
// without paths, and one log line naming the file.
std::shared_ptr<svg::TGSVG> makeSVGWithTGShapePath(const std::filesystem::path& path);

// The SVG text of a shape file, or why it could not be had.
Result<std::string> readTGShape(const std::filesystem::path& path);

// A shape file's bytes from SVG text.
Result<std::vector<std::uint8_t>> packTGShape(std::string_view svgText);

} // namespace kaleon::supply
