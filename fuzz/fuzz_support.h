#pragma once

#include "core/log.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Log lines are part of what the readers do, but writing them would only slow the fuzzer.
inline void silenceLog()
{
    static const bool silenced = [] {
        kaleon::setLogSink([](std::string_view) {});
        return true;
    }();
    (void)silenced;
}

inline std::string_view textOf(const std::uint8_t* data, std::size_t size)
{
    return { reinterpret_cast<const char*>(data), size };
}
