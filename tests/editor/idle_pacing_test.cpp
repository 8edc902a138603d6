// The pacing of the editor's idle step, also across the wrap of the 32-bit tick counter.
#include "editor/idle_pacing.h"

#include <cstdint>

#include <gtest/gtest.h>

using namespace kel::editor;

namespace {

TEST(IdlePacing, TickDistanceIsSignedAcrossTheWrap) {
    EXPECT_EQ(tickDistance(100, 250), 150);
    EXPECT_EQ(tickDistance(250, 100), -150);
    EXPECT_EQ(tickDistance(0xFFFFFFF0u, 0x10u), 0x20);
    EXPECT_EQ(tickDistance(0x10u, 0xFFFFFFF0u), -0x20);
    EXPECT_EQ(tickDistance(0u, 0x7FFFFFFFu), 0x7FFFFFFF);
    EXPECT_EQ(tickDistance(0u, 0x80000000u), INT32_MIN);
}

TEST(IdlePacing, FullPassesAtMostEvery100MillisecondsAlsoAcrossTheWrap) {
    struct Case {
        std::uint32_t now;
        std::uint32_t next;
        bool sleepFirst;
        bool run;
    };
    for (std::uint32_t base : {1000u, 0xFFFFFFC0u, 0xFFFFFFFFu, 0x7FFFFFF0u}) {
        const Case cases[] = {
            {base, base, false, true},        // on time
            {base + 30, base, false, true},   // late
            {base + 5000, base, false, true}, // long after
            {base, base + 100, true, false},  // just after a pass: 96 ms early after the sleep
            {base, base + 55, true, false},   // 51 ms early after the sleep
            {base, base + 54, true, true},    // 50 ms early after the sleep: runs
            {base, base + 3, true, true},     // on time after the sleep
        };
        for (const Case& c : cases) {
            const IdleStepPlan plan = planIdleStep(c.now, c.next);
            EXPECT_EQ(plan.sleepFirst, c.sleepFirst) << std::hex << c.now << " " << c.next;
            EXPECT_EQ(plan.run, c.run) << std::hex << c.now << " " << c.next;
            EXPECT_EQ(plan.ticks, c.now + (c.sleepFirst ? 4u : 0u));
        }
    }
}

TEST(IdlePacing, ADragThatOutlastsTheWrapKeepsGettingPasses) {
    // 30 ms between calls, as a tracking loop polls, from 2 s before the wrap to 2 s after.
    std::uint32_t now = 0xFFFFFFFFu - 2000u;
    std::uint32_t next = now;
    int passes = 0;
    std::uint32_t lastPass = now;
    for (int call = 0; call < 4000 / 30; ++call) {
        const IdleStepPlan plan = planIdleStep(now, next);
        now = plan.ticks;
        if (plan.run) {
            // A pass may come up to 54 ms before the planned time, and waits for a call after it.
            if (passes > 0) {
                EXPECT_GE(tickDistance(lastPass, now), 46) << std::hex << now;
                EXPECT_LE(tickDistance(lastPass, now), 100 + 30 + 4) << std::hex << now;
            }
            ++passes;
            lastPass = now;
            next = plan.ticks + kIdlePassInterval;
        }
        now += 30;
    }
    EXPECT_GE(passes, 4000 / 134);
}

} // namespace
