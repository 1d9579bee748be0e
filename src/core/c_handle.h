#pragma once

#include <memory>

namespace kaleon {

// Owns a C library handle and frees it with the library's own function.
template<auto FreeFunction>
struct CFree {
    template<class T>
    void operator()(T* handle) const
    {
        FreeFunction(handle);
    }
};

template<class T, auto FreeFunction>
using CHandle = std::unique_ptr<T, CFree<FreeFunction>>;

} // namespace kaleon
