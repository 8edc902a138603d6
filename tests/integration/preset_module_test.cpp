// The preset bank inside the plug-in modules: each module finds its own menu resource, reads the
// user presets and slot names that anyone wrote into the registry, and leaves its slot names
// there when the host closes it.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "host/host_callback.h"
#include "host/plugin_module.h"
#include "tests/integration/module_paths.h"

using namespace kel::host;

namespace {

constexpr const char* kPresetKey =
    "Software\\DirectShow\\Presets\\{58C1FE36-DD8E-11d3-9057-000000000000}";
constexpr const char* kSlotKey = "Software\\Sonadrix\\VST\\RX4";

// This process gets an empty HKEY_CURRENT_USER of its own while the object lives.
class PrivateUserRegistry {
public:
    PrivateUserRegistry() {
        path = "Software\\SonadrixTests\\modules-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(GetTickCount());
        char noClass[] = "";
        RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, noClass, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, key);
    }
    ~PrivateUserRegistry() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key);
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    }

private:
    std::string path;
    HKEY key = nullptr;
};

bool setValue(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    char noClass[] = "";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, noClass, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool done =
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return done;
}

std::string slotName(int slot) {
    char text[65] = {};
    DWORD size = sizeof(text);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSlotKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return "<no key>";
    }
    const std::string name = "P" + std::to_string(slot);
    const LONG result =
        RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    text[sizeof(text) - 1] = 0;
    return result == ERROR_SUCCESS ? std::string(text) : "<missing>";
}

// Opens and closes one instance of the module, as a host does.
void openAndClose(const char* file) {
    PluginModule module;
    std::string error;
    ASSERT_TRUE(module.load(besideThisProgram(file), error)) << error;
    AEffect* effect = module.createEffect();
    ASSERT_NE(effect, nullptr);
    PluginInstance instance(effect);
    EXPECT_EQ(instance.close(), 1);
}

TEST(PresetModules, EachModuleLeavesItsBuiltInSlotNamesOnAFreshMachine) {
    hostState() = HostState{};
    {
        PrivateUserRegistry registry;
        openAndClose(kCleanModule);
        EXPECT_EQ(slotName(1), "Low Hot");
        EXPECT_EQ(slotName(4), "High Bright");
    }
    {
        PrivateUserRegistry registry;
        openAndClose(kCrunchModule);
        EXPECT_EQ(slotName(1), "Clean");
        EXPECT_EQ(slotName(4), "High Drive");
    }
}

TEST(PresetModules, AUserPresetKeepsItsSlotInItsOwnPluginOnly) {
    hostState() = HostState{};
    PrivateUserRegistry registry;
    // A 48-byte HN-6 preset with Gain 40, Bright 3, Output 91, held by slot 2.
    unsigned char preset[48] = {48};
    preset[20] = 40;
    preset[24] = 3;
    preset[28] = 91;
    ASSERT_TRUE(setValue(kPresetKey, "Shared Tone", REG_BINARY, preset, sizeof(preset)));
    char field[65] = "Shared Tone";
    ASSERT_TRUE(setValue(kSlotKey, "P2", REG_SZ, field, sizeof(field)));

    openAndClose(kCleanModule);
    EXPECT_EQ(slotName(2), "Shared Tone"); // a preset of the HN-6: the slot keeps it
    openAndClose(kCrunchModule);
    EXPECT_EQ(slotName(2), "Low Drive"); // none of the KR-6: its built-in preset 2
}

} // namespace
