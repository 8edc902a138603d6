#include "tests/presets/preset_test_support.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

using namespace kel::host;
using namespace kel::presets;

bool writeStoredPreset(const std::string& name, const PresetValues& values, int recordSize) {
    return writeValue(kUserPresetKey, name, REG_BINARY, encodeStoredPreset(values, recordSize));
}

bool readStoredPresetValues(const std::string& name, PresetValues& values) {
    const RegistryValue value = readValue(kUserPresetKey, name);
    return value.exists && value.type == REG_BINARY &&
           decodeStoredPreset(value.data.data(), value.data.size(), 48, values);
}

bool writeSlotName(int slot, const std::string& name) {
    const auto field = encodeSlotName(name);
    return writeValue(kQuickSlotKey, "P" + std::to_string(slot), REG_SZ,
                      Bytes(field.begin(), field.end()));
}

std::string readSlotName(int slot) {
    const RegistryValue value = readValue(kQuickSlotKey, "P" + std::to_string(slot));
    return value.exists ? decodeSlotName(value.data.data(), value.data.size()) : "<missing>";
}

std::vector<std::string> listedPresets(KelPresetBank& bank) {
    std::vector<std::string> names;
    const int count = bank.userPresetCount();
    for (int k = 0; k < count; ++k) {
        char name[kPresetNameBufferSize] = {};
        if (bank.getPresetName(KelPresetBank::kFirstUserPreset + k, name)) {
            names.emplace_back(name);
        }
    }
    return names;
}

std::string slotName(KelPresetBank& bank, int slot) {
    char name[kPresetNameBufferSize] = {};
    return bank.getSlotName(slot, name) ? std::string(name) : std::string("<refused>");
}

bool waitForRefreshNeed(KelPresetBank& bank, int timeoutMs) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    while (!bank.needsRefresh()) {
        if (static_cast<LONG>(GetTickCount() - end) > 0) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

std::vector<HostEvent> automationOf(AEffect* effect) {
    std::vector<HostEvent> calls;
    for (const HostEvent& call : hostState().events) {
        if (call.effect == effect && call.opcode == audioMasterAutomate) {
            calls.push_back(call);
        }
    }
    return calls;
}

bool ScriptedUserInterface::chooseSaveFile(OPENFILENAMEA& request) {
    return choose(request, true);
}

bool ScriptedUserInterface::chooseOpenFile(OPENFILENAMEA& request) {
    return choose(request, false);
}

bool ScriptedUserInterface::choose(OPENFILENAMEA& request, bool save) {
    FileRequest seen{};
    seen.save = save;
    seen.owner = request.hwndOwner;
    seen.proposed = request.lpstrFile ? request.lpstrFile : "";
    seen.title = request.lpstrTitle ? request.lpstrTitle : "";
    for (const char* part = request.lpstrFilter; part && *part; part += std::strlen(part) + 1) {
        seen.filter += (seen.filter.empty() ? "" : "|") + std::string(part);
    }
    seen.defaultExtension = request.lpstrDefExt ? request.lpstrDefExt : "";
    seen.filterIndex = request.nFilterIndex;
    seen.flags = request.Flags;
    seen.hasInitialFolder = request.lpstrInitialDir != nullptr;
    requests.push_back(seen);
    if (whileChoosing) {
        whileChoosing();
    }
    if (cancel || file.size() + 1 > request.nMaxFile) {
        return false;
    }
    std::memcpy(request.lpstrFile, file.c_str(), file.size() + 1);
    return true;
}

int ScriptedUserInterface::showMessage(HWND owner, const char* text, const char* caption,
                                       UINT style) {
    messages.push_back({owner, text ? text : "", caption ? caption : "", style});
    if (answers.empty()) {
        return defaultAnswer;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}
