// The SVG number scanner against std::from_chars: the same extent and the same float.
#include "fuzz_support.h"
#include "support/decimal_reference.h"
#include "svg/scanner.h"

#include <bit>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = textOf(data, size);
    const auto expected = kaleon::testing::referenceDecimal(text);
    float value = 0;
    const char* end = kaleon::svg::readDecimal(text.data(), text.data() + text.size(), value);
    if (!expected != !end)
        __builtin_trap();
    if (end
        && (static_cast<std::size_t>(end - text.data()) != expected->length
            || std::bit_cast<std::uint32_t>(value) != std::bit_cast<std::uint32_t>(expected->value)))
        __builtin_trap();
    return 0;
}
