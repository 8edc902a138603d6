// The owner of the widget set's platform objects: every object is given back once, with the
// context it was made with, by whichever owner holds it last.
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "widgets/platform_handle.h"

namespace {

using VSTGUI::PlatformHandle;

struct Released {
    void* object;
    void* context;
    bool operator==(const Released& other) const {
        return object == other.object && context == other.context;
    }
};

std::vector<Released> releases;

void record(void* object, void* context) {
    releases.push_back({object, context});
}

TEST(PlatformHandle, EachObjectIsGivenBackOnceByItsLastOwner) {
    int a = 0, b = 0, window = 0;
    const struct {
        const char* what;
        std::function<void()> steps;
        std::vector<Released> expected;
    } cases[] = {
        {"an owner going", [&] { PlatformHandle owner(&a, record, &window); }, {{&a, &window}}},
        {"moved on, the new owner going",
         [&] {
             PlatformHandle first(&a, record, &window);
             PlatformHandle second(std::move(first));
             EXPECT_FALSE(first);
             EXPECT_EQ(first.get(), nullptr);
             EXPECT_EQ(second.get(), &a);
             EXPECT_TRUE(releases.empty());
         },
         {{&a, &window}}},
        {"moved over an owner that holds another",
         [&] {
             PlatformHandle moved(&a, record);
             PlatformHandle target(&b, record, &window);
             target = std::move(moved);
             EXPECT_EQ(releases, (std::vector<Released>{{&b, &window}}));
             EXPECT_EQ(target.get(), &a);
         },
         {{&b, &window}, {&a, nullptr}}},
        {"moved into an empty owner",
         [&] {
             PlatformHandle target;
             {
                 PlatformHandle moved(&a, record, &window);
                 target = std::move(moved);
             }
             EXPECT_TRUE(releases.empty());
         },
         {{&a, &window}}},
        {"reset twice",
         [&] {
             PlatformHandle owner(&a, record);
             owner.reset();
             EXPECT_FALSE(owner);
             owner.reset();
         },
         {{&a, nullptr}}},
        {"no release function", [&] { PlatformHandle owner(&a, nullptr); }, {}},
        {"no object", [&] { PlatformHandle owner(nullptr, record, &window); }, {}},
    };
    for (const auto& c : cases) {
        releases.clear();
        c.steps();
        EXPECT_EQ(releases, c.expected) << c.what;
    }
}

} // namespace
