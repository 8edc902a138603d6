// The host callback called from several plug-in threads at once: every event is counted, the
// record keeps only the most recent ones and each thread's events stay in their order.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/host_callback.h"

using namespace kel::host;

namespace {

TEST(HostCallback, KeepsTheLatestEventsOfManyThreadsInOrder) {
    hostState() = HostState{};
    constexpr int kThreads = 4;
    constexpr int kEventsPerThread = 3 * static_cast<int>(kMaxHostEvents);
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &waiting] {
            // All threads start together, so that their calls overlap.
            --waiting;
            while (waiting > 0) {
                std::this_thread::yield();
            }
            for (int i = 0; i < kEventsPerThread; ++i) {
                // The thread in the index, the running count in the value (exact in a float).
                hostCallback(nullptr, i % 2 ? audioMasterAutomate : audioMasterBeginEdit, t, 0,
                             nullptr, static_cast<float>(i));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::vector<HostEvent> events = recordedEvents();
    EXPECT_LE(events.size(), kMaxHostEvents);
    EXPECT_GE(events.size(), kMaxHostEvents / 2);
    EXPECT_EQ(events.size() + hostState().droppedEvents,
              static_cast<std::size_t>(kThreads) * kEventsPerThread);
    std::vector<float> last(kThreads, -1.0f);
    for (const HostEvent& event : events) {
        ASSERT_GE(event.index, 0);
        ASSERT_LT(event.index, kThreads);
        EXPECT_GT(event.value, last[static_cast<std::size_t>(event.index)]);
        last[static_cast<std::size_t>(event.index)] = event.value;
    }
    // The newest event of all is kept: the last one of the thread that finished last.
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().value, static_cast<float>(kEventsPerThread - 1));
    hostState() = HostState{};
}

} // namespace
