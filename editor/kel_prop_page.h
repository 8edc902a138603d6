// The plug-in's editor object. It owns the instance's preset bank for as long as the instance
// lives. For now it has a size and a layout but no window: it refuses to open, so hosts fall back
// to their own parameter view.
#pragma once

#include <memory>

#include "editor/aeff_gui_editor.h"
#include "editor/editor_layout.h"
#include "presets/kel_preset_bank.h"
#include "shell/audio_effect_x.h"
#include "shell/plugin_description.h"

class KelPropPage : public AEffGUIEditor {
public:
    // Creates the bank and hands it the effect; bank() stays empty when that fails.
    KelPropPage(AudioEffectX* effect, const PluginDescription& description);
    // Destroys the bank, which saves the quick slots.
    ~KelPropPage() override;

    // The size of the bank's layout.
    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;
    // Saves the quick slots.
    void close() override;

    // nullptr when it could not be created.
    KelPresetBank* bank() const { return presetBank.get(); }

private:
    const PluginDescription& plugin;
    std::unique_ptr<KelPresetBank> presetBank;
};
