#pragma once

#include "container/settings.h"
#include "core/text.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace kaleon::test {

// Blocks of `name = hex` lines separated by blank lines; `#` starts a comment.
using VectorBlock = std::map<std::string, container::Bytes>;

inline container::Bytes fromHex(const std::string& hex)
{
    return parseHexBytes(hex).value();
}

inline std::vector<VectorBlock> readVectors(const std::filesystem::path& file)
{
    std::vector<VectorBlock> blocks(1);
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            if (!blocks.back().empty())
                blocks.emplace_back();
            continue;
        }
        if (line[0] == '#')
            continue;
        const auto equals = line.find(" = ");
        const auto rest = equals == std::string::npos ? std::string() : line.substr(equals + 3);
        blocks.back()[line.substr(0, equals)] = fromHex(rest);
    }
    if (blocks.back().empty())
        blocks.pop_back();
    return blocks;
}

inline std::string text(const container::Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

} // namespace kaleon::test
