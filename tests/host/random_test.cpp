// The host's pseudo-random numbers: the same seed gives the same numbers, and every draw stays in
// its range and reaches both of its ends.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "host/random.h"

using namespace kel::host;

namespace {

TEST(Rng, TheSameSeedGivesTheSameNumbers) {
    for (std::uint64_t seed : {0ull, 1ull, 7ull, 0xFFFFFFFFFFFFFFFFull}) {
        Rng a(seed), b(seed), other(seed + 1);
        int sameAsOther = 0;
        for (int i = 0; i < 1000; ++i) {
            const std::uint64_t x = a.next();
            ASSERT_EQ(x, b.next()) << seed;
            sameAsOther += x == other.next() ? 1 : 0;
        }
        EXPECT_EQ(sameAsOther, 0) << seed;
    }
}

TEST(Rng, DrawsStayInTheirRangeAndReachBothEnds) {
    const struct {
        int low, high; // range(low, high); below(high + 1) when low is 0
    } cases[] = {{-3, 3}, {0, 0}, {0, 1}, {1, 16}, {17, 600}, {601, 4096}, {0, 36}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.low) + ".." + std::to_string(c.high));
        Rng r(7);
        const int draws = 200 * (c.high - c.low + 1);
        int low = 0, high = 0;
        for (int i = 0; i < draws; ++i) {
            const int v = c.low == 0 ? r.below(c.high + 1) : r.range(c.low, c.high);
            ASSERT_GE(v, c.low);
            ASSERT_LE(v, c.high);
            low += v == c.low ? 1 : 0;
            high += v == c.high ? 1 : 0;
        }
        // Each end about 200 times.
        EXPECT_GT(low, 100);
        EXPECT_GT(high, 100);
    }
    Rng r(11);
    for (int i = 0; i < 10000; ++i) {
        const double u = r.uniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        const float v = r.value();
        ASSERT_GE(v, 0.0f);
        ASSERT_LE(v, 1.0f);
    }
    EXPECT_EQ(r.below(0), 0);
    EXPECT_EQ(r.below(-5), 0);
}

} // namespace
