// Texts written into host buffers: cut to the capacity, always terminated, nothing written past it.
#include "shell/host_text.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

using namespace kel::shell;

namespace {

constexpr char kGuard = '\x7e';

struct Buffer {
    char bytes[40];
    Buffer() { std::memset(bytes, kGuard, sizeof(bytes)); }
    // Bytes past the first `used` that are no longer the guard.
    int touchedPast(std::size_t used) const {
        int touched = 0;
        for (std::size_t i = used; i < sizeof(bytes); ++i) {
            touched += bytes[i] != kGuard ? 1 : 0;
        }
        return touched;
    }
};

TEST(HostText, CopiesAreCutToTheCapacityAndTerminated) {
    const struct {
        const char* text;
        std::size_t capacity;
        const char* expected;
    } cases[] = {
        {"Mid Boost", kParameterTextCapacity, "Mid Boost"},
        {"Mid Boost", 8, "Mid Boo"},
        {"Mid Boost", 10, "Mid Boost"},
        {"Mid Boost", 9, "Mid Boos"},
        {"", 8, ""},
        {nullptr, 8, ""},
        {"x", 1, ""},
        {"KR-6 Crunch Preamp", kEffectNameCapacity, "KR-6 Crunch Preamp"},
        {"a name of exactly thirty-one ch", kProgramNameCapacity,
         "a name of exactly thirty-one ch"},
        {"a name of exactly thirty-two cha", kProgramNameCapacity,
         "a name of exactly thirty-two ch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text ? c.text : "(null)") + " into " +
                     std::to_string(c.capacity));
        Buffer buffer;
        copyHostText(buffer.bytes, c.capacity, c.text);
        EXPECT_STREQ(buffer.bytes, c.expected);
        EXPECT_EQ(buffer.touchedPast(std::strlen(c.expected) + 1), 0);
    }
    Buffer untouched;
    copyHostText(untouched.bytes, 0, "text");
    EXPECT_EQ(untouched.touchedPast(0), 0);
    copyHostText(nullptr, 8, "text"); // no buffer: nothing to write, no crash
}

TEST(HostText, FormattedTextsKeepTheSameBounds) {
    const struct {
        std::size_t capacity;
        int value;
        const char* expected;
    } cases[] = {
        {kParameterTextCapacity, 100, "[100]"},
        {4, 100, "[10"},
        {2, -5, "["},
        {1, 7, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        Buffer buffer;
        formatHostText(buffer.bytes, c.capacity, "[%d]", c.value);
        EXPECT_STREQ(buffer.bytes, c.expected);
        EXPECT_EQ(buffer.touchedPast(c.capacity), 0);
    }
}

} // namespace
