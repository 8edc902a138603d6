// What the preset tests share: a private registry for each test, plug-in instances created the
// way a host creates them, direct access to the registry values, and scripted file dialogs and
// message boxes.
#pragma once

#include <windows.h>

#include <cmath>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "editor/kel_prop_page.h"
#include "model/parameter_values.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "plugins/kel_plug_edit.h"
#include "presets/kel_preset_bank.h"
#include "presets/preset_user_interface_win32.h"
#include "presets/registry_preset_store.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_host.h"

using namespace kel::editor;
using namespace kel::host;
using namespace kel::plugins;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::presets;
using namespace kel::model;
using namespace kel::shell;

// One plug-in instance as a host creates it through the entry point, with the editor object and
// its bank. Closed (effClose) when it goes.
template <class Model>
class Instance {
public:
    Instance() : record(createEffectInstance<KelPlugEdit<Model>>(hostCallback)) {}
    ~Instance() { close(); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool valid() const { return record != nullptr; }
    AudioEffectX& effect() const { return *static_cast<AudioEffectX*>(record->object); }
    KelPresetBank& bank() const { return *static_cast<KelPropPage*>(effect().getEditor())->bank(); }
    AEffect* aeffect() const { return record; }
    // Sets parameters 1 to 3 from preset values, as a host would.
    void setSettings(const PresetValues& values) const;
    // The preset values that parameters 1 to 3 were set to (nearest whole numbers: a value that
    // is stored and read back again loses what truncation takes, 70 becoming 69).
    PresetValues settings() const;
    void close();

private:
    AEffect* record;
};

// Traits of the two plug-ins for typed tests.
template <class Model>
struct PluginTraits;

template <>
struct PluginTraits<CleanModel> {
    using Other = CrunchModel;
    static constexpr int recordSize = 48;
    static constexpr const char* effectName = "HN-6 Clean Preamp";
};

template <>
struct PluginTraits<CrunchModel> {
    using Other = CleanModel;
    static constexpr int recordSize = 32;
    static constexpr const char* effectName = "KR-6 Crunch Preamp";
};

// Stored presets written directly, as another plug-in, an import or any other program would.
bool writeStoredPreset(const std::string& name, const PresetValues& values, int recordSize);
// The values of a stored preset in the registry; false when it is missing or no preset.
bool readStoredPresetValues(const std::string& name, PresetValues& values);
// A slot name as the plug-ins write it (65 bytes).
bool writeSlotName(int slot, const std::string& name);
std::string readSlotName(int slot);

// The names of user presets a bank lists, in its order.
std::vector<std::string> listedPresets(KelPresetBank& bank);
// The name a bank gives a slot, "<refused>" when it refuses.
std::string slotName(KelPresetBank& bank, int slot);

// Waits up to timeoutMs for the bank to notice a change of the user presets.
bool waitForRefreshNeed(KelPresetBank& bank, int timeoutMs = 5000);

// Host calls that told the host of automated parameter changes, for one instance.
std::vector<HostEvent> automationOf(AEffect* effect);

// Answers the bank's file dialogs and message boxes from a script, and records what it was asked.
class ScriptedUserInterface : public Win32PresetUserInterface {
public:
    struct FileRequest {
        bool save;
        HWND owner;
        std::string proposed; // the file name the dialog was opened with
        std::string title;
        std::string filter; // "\0" separated parts joined with "|"
        std::string defaultExtension;
        DWORD filterIndex;
        DWORD flags;
        bool hasInitialFolder;
    };
    struct Message {
        HWND owner;
        std::string text;
        std::string caption;
        UINT style;
    };

    bool chooseSaveFile(OPENFILENAMEA& request) override;
    bool chooseOpenFile(OPENFILENAMEA& request) override;
    int showMessage(HWND owner, const char* text, const char* caption, UINT style) override;

    std::string file;                    // the file the "user" picks
    bool cancel = false;                 // the "user" cancels the dialog instead
    std::function<void()> whileChoosing; // runs while the dialog would be open
    std::deque<int> answers;             // message box answers in turn; then defaultAnswer
    int defaultAnswer = IDOK;
    std::vector<FileRequest> requests;
    std::vector<Message> messages;

private:
    bool choose(OPENFILENAMEA& request, bool save);
};

template <class Model>
void Instance<Model>::setSettings(const PresetValues& values) const {
    for (int i = 0; i < kPresetValueCount; ++i) {
        const int parameter = kGainParameter + i;
        record->setParameter(record, parameter,
                             toParameterValue(values[i], 0, kParameterTable[parameter].span));
    }
}

template <class Model>
PresetValues Instance<Model>::settings() const {
    PresetValues values{};
    for (int i = 0; i < kPresetValueCount; ++i) {
        const int parameter = kGainParameter + i;
        values[i] = static_cast<int>(
            std::lround(record->getParameter(record, parameter) * kParameterTable[parameter].span));
    }
    return values;
}

template <class Model>
void Instance<Model>::close() {
    if (record) {
        record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
        record = nullptr;
    }
}

// The values of a built-in preset.
template <class Model>
PresetValues builtInValues(int index) {
    const int* values = Model::description.builtIns[index].values;
    return {values[0], values[1], values[2]};
}

template <class Model>
const char* builtInName(int index) {
    return Model::description.builtIns[index].name;
}
