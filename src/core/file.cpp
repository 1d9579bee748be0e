#include "core/file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kaleon {

Result<std::string> readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Error { std::string(kFileErrorDomain), errno,
            "cannot open " + path.string() + ": " + std::strerror(errno) };
    std::string contents { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
    if (file.bad())
        return Error { std::string(kFileErrorDomain), EIO, "cannot read " + path.string() };
    return contents;
}

} // namespace kaleon
