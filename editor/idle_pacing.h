// How often the editor's idle step does its work while a control holds the mouse: a full pass
// at most about every 100 ms. Ticks are the system's 32-bit millisecond counter, which wraps
// every 49.7 days; only tick differences are compared, so the pacing holds across the wrap.
#pragma once

#include <cstdint>

namespace kel::editor {

inline constexpr std::uint32_t kIdlePassInterval = 100; // ms from one full pass to the next
inline constexpr std::uint32_t kIdleEarlyWait = 4;      // ms an early call sleeps
inline constexpr std::int32_t kIdleEarlyTolerance = 50; // ms: still earlier than this, no pass

// Milliseconds from `from` to `to`, negative when `to` lies before `from` (the nearer way round
// the wrapping counter).
constexpr std::int32_t tickDistance(std::uint32_t from, std::uint32_t to) {
    const std::uint32_t forward = to - from;
    return forward <= 0x7fffffffu ? static_cast<std::int32_t>(forward)
                                  : -static_cast<std::int32_t>(~forward) - 1;
}

struct IdleStepPlan {
    bool sleepFirst;     // sleep kIdleEarlyWait before deciding
    bool run;            // do the full pass
    std::uint32_t ticks; // the tick the pass counts as (after the sleep)
};

// One call of the idle step at tick now, with the next full pass planned for nextPass.
constexpr IdleStepPlan planIdleStep(std::uint32_t now, std::uint32_t nextPass) {
    if (tickDistance(now, nextPass) <= 0) {
        return {false, true, now};
    }
    const std::uint32_t later = now + kIdleEarlyWait;
    return {true, tickDistance(later, nextPass) <= kIdleEarlyTolerance, later};
}

} // namespace kel::editor
