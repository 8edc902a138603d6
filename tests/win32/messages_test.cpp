// The message pump and window classes of the calling module, on a message-only window: what is
// waiting is dispatched, a WM_QUIT is taken out and reported, the pump lasts its time and no
// longer than it must; a class registered again is still there; and the clock under the pump.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "win32/clock.h"
#include "win32/messages.h"
#include "win32/module.h"

using namespace kel::win32;

namespace {

constexpr UINT kTestMessage = WM_APP + 7;
const char* const kClassName = "KelWin32TestWindow";

std::vector<WPARAM> received;
int timerTicks = 0;

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTestMessage) {
        received.push_back(wParam);
        return 0;
    }
    if (message == WM_TIMER) {
        ++timerTicks;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class MessagePump : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(registerWindowClass(kClassName, recordingProcedure));
        window = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 thisModule(), nullptr);
        ASSERT_NE(window, nullptr);
        dispatchWaitingMessages();
        received.clear();
    }
    void TearDown() override { DestroyWindow(window); }

    HWND window = nullptr;
};

TEST_F(MessagePump, DispatchesWhatIsWaitingAndReportsAQuit) {
    const struct {
        const char* what;
        std::vector<WPARAM> posted; // to the window, in this order
        bool quit;                  // a WM_QUIT after them
        double seconds;             // -1: dispatchWaitingMessages, else pumpMessagesFor
    } cases[] = {
        {"nothing waiting", {}, false, -1.0},
        {"three messages", {1, 2, 3}, false, -1.0},
        {"messages and a quit", {4, 5}, true, -1.0},
        {"a quit alone", {}, true, 0.0},
        {"messages, pumped for no time", {6, 7}, false, 0.0},
        {"messages and a quit, pumped a while", {8}, true, 0.05},
    };
    for (const auto& c : cases) {
        received.clear();
        for (WPARAM value : c.posted) {
            ASSERT_TRUE(PostMessageA(window, kTestMessage, value, 0));
        }
        if (c.quit) {
            PostQuitMessage(0);
        }
        const bool noQuit =
            c.seconds < 0.0 ? dispatchWaitingMessages() : pumpMessagesFor(c.seconds);
        EXPECT_EQ(received, c.posted) << c.what;
        EXPECT_EQ(noQuit, !c.quit) << c.what;
        MSG left;
        EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE)) << c.what;
    }
}

TEST_F(MessagePump, PumpsForItsTimeAndDispatchesWhatComesMeanwhile) {
    // A timer posts to the queue every 10 ms while the pump waits: each wakes the pump, which
    // dispatches it and waits on until its time is up.
    ASSERT_NE(SetTimer(window, 1, 10, nullptr), 0u);
    timerTicks = 0;
    for (double seconds : {0.0, 0.05, 0.2}) {
        const double before = secondsNow();
        EXPECT_TRUE(pumpMessagesFor(seconds));
        const double took = secondsNow() - before;
        EXPECT_GE(took, seconds);
        EXPECT_LT(took, seconds + 0.5);
    }
    KillTimer(window, 1);
    // 0.25 s of 10 ms ticks; the system may merge some.
    EXPECT_GE(timerTicks, 5);
}

TEST(WindowClass, RegisteringAgainKeepsTheClassOfThisModule) {
    const std::string name = "KelWin32TestAgain";
    ASSERT_TRUE(registerWindowClass(name.c_str(), DefWindowProcA));
    EXPECT_TRUE(registerWindowClass(name.c_str(), DefWindowProcA,
                                    static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
    WNDCLASSEXA found{};
    found.cbSize = sizeof(found);
    ASSERT_TRUE(GetClassInfoExA(thisModule(), name.c_str(), &found));
    EXPECT_EQ(found.hCursor, LoadCursor(nullptr, IDC_ARROW));
    EXPECT_EQ(found.hbrBackground, nullptr) << "the first registration stays";
    EXPECT_TRUE(UnregisterClassA(name.c_str(), thisModule()));
    EXPECT_FALSE(GetClassInfoExA(thisModule(), name.c_str(), &found));
}

TEST(Clock, GoesOnAtTheSystemsPace) {
    const double first = secondsNow();
    const DWORD ticks = GetTickCount();
    Sleep(50);
    const double second = secondsNow();
    const DWORD elapsedTicks = GetTickCount() - ticks;
    EXPECT_GT(second, first);
    // The tick count moves in steps of up to about 16 ms.
    EXPECT_NEAR((second - first) * 1000.0, static_cast<double>(elapsedTicks), 20.0);
    double last = secondsNow();
    for (int i = 0; i < 10000; ++i) {
        const double now = secondsNow();
        ASSERT_GE(now, last);
        last = now;
    }
}

} // namespace
