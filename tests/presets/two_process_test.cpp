// Instances in two host processes share user presets and slot names through the registry: a
// preset stored in one process reaches the other through the change notification, and each
// plug-in reads what the other wrote.
#include <gtest/gtest.h>

#include "tests/presets/preset_test_support.h"

using namespace kel::clean;
using namespace kel::presets;

namespace {

class Peer {
public:
    Peer(const RegistrySandbox& sandbox, const std::vector<std::string>& arguments) {
        std::string line =
            "\"" + folderOfProgram() + "preset_peer.exe\" \"" + sandbox.userPath() + "\"";
        for (const std::string& argument : arguments) {
            line += " \"" + argument + "\"";
        }
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process) != FALSE;
        if (started) {
            CloseHandle(process.hThread);
        }
    }
    ~Peer() {
        if (started) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process.hProcess, 99);
            }
            CloseHandle(process.hProcess);
        }
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // The peer's exit code, or -1 when it did not finish in time.
    int wait(DWORD timeoutMs = 30000) const {
        if (!started || WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return static_cast<int>(code);
    }

    bool started = false;

private:
    PROCESS_INFORMATION process{};
};

TEST(TwoProcesses, PresetsReachInstancesOfBothPluginsInAnotherProcess) {
    RegistrySandbox sandbox;
    resetTestHost();
    Instance<CleanModel> clean;

    // Two other processes, an HN-6 and a KR-6, wait for the next change of the presets.
    const std::string cleanReady = "KelPeerReady-hn6-" + std::to_string(GetCurrentProcessId());
    const std::string crunchReady = "KelPeerReady-kr6-" + std::to_string(GetCurrentProcessId());
    HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, cleanReady.c_str()),
                        CreateEventA(nullptr, TRUE, FALSE, crunchReady.c_str())};
    Peer cleanPeer(sandbox, {"hn6", "await", cleanReady, "Shared", "1"});
    Peer crunchPeer(sandbox, {"kr6", "await", crunchReady, "Shared", "0"});
    ASSERT_TRUE(cleanPeer.started && crunchPeer.started);
    ASSERT_EQ(WaitForMultipleObjects(2, events, TRUE, 30000), WAIT_OBJECT_0);

    clean.setSettings({45, 15, 100});
    ASSERT_TRUE(clean.bank().storeNewPreset(1, "Shared"));
    EXPECT_EQ(cleanPeer.wait(), 0);  // listed by the HN-6 over there
    EXPECT_EQ(crunchPeer.wait(), 0); // and not by the KR-6
    for (HANDLE event : events) {
        CloseHandle(event);
    }
    clean.bank().userPresetCount(); // current again

    // The other way round: a KR-6 and an HN-6 in other processes store presets.
    EXPECT_EQ(Peer(sandbox, {"kr6", "store", "2", "Crunchy", "33", "8", "50"}).wait(), 0);
    ASSERT_TRUE(waitForRefreshNeed(clean.bank()));
    EXPECT_EQ(listedPresets(clean.bank()), std::vector<std::string>{"Shared"});
    EXPECT_EQ(readValue(kUserPresetKey, "Crunchy").data.size(), 32u);

    EXPECT_EQ(Peer(sandbox, {"hn6", "store", "3", "Clean Machine", "10", "3", "46"}).wait(), 0);
    ASSERT_TRUE(waitForRefreshNeed(clean.bank()));
    EXPECT_EQ(slotName(clean.bank(), 3), "Clean Machine");
    ASSERT_TRUE(clean.bank().recallSlot(3));
    EXPECT_EQ(clean.settings(), (PresetValues{10, 3, 46}));
    // Slot 2 was saved as "Crunchy" over there: no HN-6 preset, so built-in preset 2 here.
    EXPECT_EQ(slotName(clean.bank(), 2), "Low Bright");
}

} // namespace
