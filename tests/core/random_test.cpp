#include "core/random.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace kaleon;

TEST(RandomUniform, DegenerateBoundsGiveZero)
{
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(randomUniform(0), 0u);
        EXPECT_EQ(randomUniform(1), 0u);
    }
}

TEST(RandomUniform, StaysBelowTheBound)
{
    seedRandom(1);
    for (std::uint32_t bound : { 2u, 3u, 7u, 1000u, 0x80000001u, 0xffffffffu }) {
        for (int i = 0; i < 2000; ++i)
            ASSERT_LT(randomUniform(bound), bound) << bound;
    }
}

TEST(RandomUniform, SeedRepeatsTheSequence)
{
    const auto picks = [](std::uint64_t seed) {
        seedRandom(seed);
        std::vector<std::uint32_t> picked(50);
        for (auto& pick : picked)
            pick = randomUniform(1000);
        return picked;
    };
    const auto first = picks(42);
    EXPECT_EQ(first, picks(42));
    EXPECT_NE(first, picks(43));
}

// A modulo-biased generator fails this: with bound 3·2^30, values below 2^30 would come up
// twice as often as the others (2/4 of draws instead of 1/3).
TEST(RandomUniform, HasNoModuloBias)
{
    seedRandom(7);
    const std::uint32_t bound = 3u << 30;
    const int draws = 30000;
    int low = 0;
    for (int i = 0; i < draws; ++i)
        low += randomUniform(bound) < (1u << 30) ? 1 : 0;
    const double expected = draws / 3.0;
    const double sigma = std::sqrt(draws * (1.0 / 3) * (2.0 / 3));
    EXPECT_NEAR(low, expected, 5 * sigma);
}

TEST(RandomUniform, SmallBoundsAreUniform)
{
    seedRandom(11);
    std::array<int, 5> counts {};
    const int draws = 50000;
    for (int i = 0; i < draws; ++i)
        ++counts[randomUniform(5)];
    // Chi-square with 4 degrees of freedom; 18.47 is the 0.999 quantile.
    double chiSquare = 0;
    for (int count : counts)
        chiSquare += std::pow(count - draws / 5.0, 2) / (draws / 5.0);
    EXPECT_LT(chiSquare, 18.47);
}
