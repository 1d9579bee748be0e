#include "host/gpu.h"

#include <filesystem>

namespace kaleon::host {

bool hasRenderNode()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        if (entry.path().filename().string().starts_with("renderD"))
            return true;
    }
    return false;
}

} // namespace kaleon::host
