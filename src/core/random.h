#pragma once

#include <cstdint>

namespace kaleon {

// A uniformly distributed integer in [0, upperBound), without modulo bias; 0 when upperBound is 0.
// Every pick in the saver goes through here. The source is process-wide and thread-safe.
std::uint32_t randomUniform(std::uint32_t upperBound);

// Restarts the process-wide source from a fixed seed, so a sequence of picks can be repeated
// (tests, `kaleon --seed`). Until then the source is seeded from the system's entropy.
void seedRandom(std::uint64_t seed);

} // namespace kaleon
