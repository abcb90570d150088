// Repeated float sums taken in one go land on the very float the single
// steps give: across binades, on ties, through zero, and where a sum stops
// moving.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "storage/RepeatedSum.h"

namespace morvane {
namespace {

float StepByStep(float x, float step, int64_t count)
{
    for (int64_t i = 0; i < count; ++i)
        x += step;
    return x;
}

void ExpectSame(float x, float step, int64_t count)
{
    const float fast = RepeatedSum(x, step, count), slow = StepByStep(x, step, count);
    if (std::isnan(slow))
        EXPECT_TRUE(std::isnan(fast)) << std::hexfloat << x << " + " << step << " x " << count;
    else
        EXPECT_EQ(std::bit_cast<uint32_t>(fast), std::bit_cast<uint32_t>(slow))
            << std::hexfloat << x << " + " << step << " x " << count << ": " << fast << " for " << slow;
}

TEST(RepeatedSum, FarWalksAndTheirEdgesAgreeBitForBit)
{
    const struct {
        float x, step;
        int64_t count;
    } cases[] = {
        {-1048576.25f, 1.0f, 2200000},        // from 2^20 off, through zero and out again
        {1048576.25f, -0.99951172f, 2200000}, // a slope: rounded differently in every binade
        {-1048576.25f, 0.0625f, 300000},      // ties on the grid of 2^20 (ulp 1/8)
        {1048580.0f, 0.1875f, 300000},        // ties again, an odd number of half units
        {-3.0f, 1e-7f, 1000000},              // fine steps near small values
        {1048576.0f, 0.03f, 1000},            // below half a unit: the sum never moves
        {0.0f, 0.1f, 100000},
        {-0.0f, 0.0f, 5},
        {1e38f, 1e37f, 100}, // runs into infinity and stays there
        {std::numeric_limits<float>::quiet_NaN(), 1.0f, 10},
        {5.0f, 1.0f, 0},
    };
    for (const auto& c : cases)
        ExpectSame(c.x, c.step, c.count);
}

TEST(RepeatedSum, RandomWalksAgreeBitForBit)
{
    std::mt19937_64 rng(5);
    for (int i = 0; i < 3000; ++i) {
        const float x = std::ldexp(float(rng() % 2000000) / 1e6f - 1.0f, int(rng() % 22));
        float step = 0;
        switch (rng() % 4) {
        case 0: step = float(rng() % 2000) / 1000.0f - 1.0f; break;
        case 1: step = std::ldexp(float(int(rng() % 16) - 8), -int(rng() % 12)); break; // ties
        case 2: step = float(double(rng() % 1000000) / 3e6) * (rng() % 2 ? 1.0f : -1.0f); break;
        default: step = std::ldexp(1.5f, -int(rng() % 30)); break;
        }
        ExpectSame(x, step, int64_t(rng() % 30000));
    }
}

} // namespace
} // namespace morvane
