#include "core/random.h"

#include <mutex>
#include <random>

namespace kaleon {

namespace {

struct Source {
    std::mutex mutex;
    std::mt19937 engine { std::random_device {}() };
};

Source& source()
{
    static Source instance;
    return instance;
}

} // namespace

std::uint32_t randomUniform(std::uint32_t upperBound)
{
    if (upperBound < 2)
        return 0;
    // Reject the lowest (2^32 mod n) raw values: what remains is a whole number of copies of [0, n).
    const std::uint32_t threshold = static_cast<std::uint32_t>(-upperBound) % upperBound;
    auto& s = source();
    std::lock_guard lock(s.mutex);
    for (;;) {
        const std::uint32_t raw = static_cast<std::uint32_t>(s.engine());
        if (raw >= threshold)
            return raw % upperBound;
    }
}

void seedRandom(std::uint64_t seed)
{
    auto& s = source();
    std::lock_guard lock(s.mutex);
    std::seed_seq sequence { static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32) };
    s.engine.seed(sequence);
}

} // namespace kaleon
