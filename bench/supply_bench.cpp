// How a colour pick scales with the palette: it must stay linear in the palette's size.
// Reference: copying the palette's colours once, the least any pick over the pool could cost.

#include "core/random.h"
#include "supply/svg_manager.h"

#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace kaleon;

namespace {

std::vector<gfx::Color> paletteOf(int64_t size)
{
    std::vector<gfx::Color> colors;
    for (int64_t i = 0; i < size; ++i)
        colors.push_back(gfx::Color::fromRGB8(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 7));
    return colors;
}

void BM_RandomColor(benchmark::State& state)
{
    ::setenv("KALEON_RESOURCES", "/nonexistent", 1);
    seedRandom(1);
    auto manager = supply::TGSVGManager::make();
    manager->setCurrentColorPalette(supply::TGColorPalette::make("Bench", "Bench.plist", paletteOf(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(manager->randomColor());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RandomColor)->RangeMultiplier(4)->Range(4, 4096)->Complexity(benchmark::oN);

void BM_CopyPaletteReference(benchmark::State& state)
{
    const auto colors = paletteOf(state.range(0));
    for (auto _ : state) {
        auto copy = colors;
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CopyPaletteReference)->RangeMultiplier(4)->Range(4, 4096)->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
