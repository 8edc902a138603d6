#include "widgets/platform_objects.h"

#include <atomic>

namespace VSTGUI {

namespace {
std::atomic<long> gdiObjects{0};
std::atomic<long> userObjects{0};
} // namespace

PlatformObjectCounts platformObjectsInUse() {
    return {gdiObjects.load(), userObjects.load()};
}

namespace detail {
void countGdiObjects(long delta) {
    gdiObjects += delta;
}
void countUserObjects(long delta) {
    userObjects += delta;
}
} // namespace detail

} // namespace VSTGUI
