// A second host process for the two-process tests. It works in the registry of the test that
// started it, creates one instance of a plug-in and does one thing:
//   preset_peer <registry key> <hn6|kr6> store <slot> <name> <gain> <tone> <output>
//   preset_peer <registry key> <hn6|kr6> await <ready event> <name> <1: listed | 0: not listed>
// "await" sets the event once its instance exists, waits for a change of the user presets and
// checks whether the name is listed then. Exit code 0 when everything went as asked.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/presets/preset_test_support.h"

using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::presets;

namespace {

enum Exit { kDone = 0, kUsage = 1, kFailed = 2, kTimedOut = 3, kUnexpected = 4 };

template <class Model>
int run(int argc, char** argv) {
    resetTestHost();
    Instance<Model> plugin;
    if (!plugin.valid()) {
        return kFailed;
    }
    KelPresetBank& bank = plugin.bank();
    const std::string command = argv[3];
    if (command == "store" && argc == 9) {
        plugin.setSettings({std::atoi(argv[6]), std::atoi(argv[7]), std::atoi(argv[8])});
        return bank.storeNewPreset(std::atoi(argv[4]), argv[5]) ? kDone : kFailed;
    }
    if (command == "await" && argc == 7) {
        HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[4]);
        if (!ready) {
            return kFailed;
        }
        SetEvent(ready);
        CloseHandle(ready);
        if (!waitForRefreshNeed(bank, 15000)) {
            return kTimedOut;
        }
        const std::string name = argv[5];
        bool listed = false;
        for (const std::string& preset : listedPresets(bank)) {
            listed = listed || preset == name;
        }
        return listed == (std::strcmp(argv[6], "1") == 0) ? kDone : kUnexpected;
    }
    return kUsage;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: preset_peer <registry key> <hn6|kr6> <command> ...\n");
        return kUsage;
    }
    HKEY user = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, argv[1], 0, KEY_ALL_ACCESS, &user) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, user) != ERROR_SUCCESS) {
        return kFailed;
    }
    const std::string plugin = argv[2];
    int result = kUsage;
    if (plugin == "hn6") {
        result = run<CleanModel>(argc, argv);
    } else if (plugin == "kr6") {
        result = run<CrunchModel>(argc, argv);
    }
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(user);
    return result;
}
