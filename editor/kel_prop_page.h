// The plug-in's editor: the window with three knobs, the status display, the quick-preset
// buttons P1 to P4, the compare button, the options button, the footswitch and its LED, in the
// tall or the wide skin. It is the listener of all its controls, and it owns the instance's
// preset bank for as long as the instance lives.
//
// Threads: everything runs on the host's user-interface thread, except setParameter, which the
// effect calls from whatever thread the host automates from; off the window's thread it only
// hands the change over, and the window's thread applies it at its next idle.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "editor/aeff_gui_editor.h"
#include "editor/editor_layout.h"
#include "model/plugin_description.h"
#include "presets/kel_preset_bank.h"
#include "shell/audio_effect_x.h"
#include "widgets/control.h"

namespace VSTGUI {
class CBitmap;
class CTextEdit;
} // namespace VSTGUI
namespace kel::editor {

// Status codes of failures; the others are control tags and parameter indices.
enum StatusCode : int {
    kCantDeleteStatus = -9,
    kCantSaveStatus = -7,
    kCantLoadStatus = -1,
};

class KelPropPage : public AEffGUIEditor, public VSTGUI::CControlListener {
public:
    // Creates the bank and hands it the effect; bank() stays empty when that fails.
    KelPropPage(shell::AudioEffectX* effect, const model::PluginDescription& description);
    // The same editor reaching its effect through `link` alone (an LV2 UI); link outlives it.
    KelPropPage(model::EffectLink& link, const model::PluginDescription& description);
    // Destroys the bank, which saves the quick slots.
    ~KelPropPage() override;

    // The size of the instance's layout, also before the first open.
    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;
    // Saves the quick slots and destroys the window with its widgets and bitmaps.
    void close() override;
    // Applies parameter changes handed over from other threads, then idles the base.
    void idle() override;
    // Darkens the P buttons whose slot no longer matches the effect's program.
    void update() override;
    // Every parameter change of the effect and the program marker (index 7). Any thread.
    void setParameter(VstInt32 index, float value) override;
    // The effect's values an LV2 host reports as the window opens (its first port events): the
    // knobs and the LED take them as the window takes the effect's values when it opens, with
    // no status message and nothing counted as a change for compare. Any thread.
    void setOpeningParameter(VstInt32 index, float value);

    void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;
    void controlRightClicked(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;

    // nullptr when it could not be created.
    presets::KelPresetBank* bank() const { return presetBank.get(); }
    // A widget of the open window, nullptr while it is closed.
    VSTGUI::CControl* widget(EditorWidget which) const;
    // The text and colour the status display shows now.
    const char* statusText() const;
    bool statusIsError() const;

    int currentSlot() const { return slot; }
    bool isComparing() const { return comparing; }
    bool isCompareShown() const { return compareShown; }

private:
    // Changes of parameters and of the program marker made on other threads, latest per index,
    // each with the order in which they came. Lock-free: the window's thread takes them at idle.
    struct HandedOver {
        std::atomic<float> value{0.0f};
        std::atomic<std::uint32_t> order{0}; // 0: nothing waiting
        std::atomic<bool> announced{true};   // false for a value of the window's opening
    };
    static constexpr int kHandOverSlots = 8; // indices 0 to 7

    void handOver(VstInt32 index, float value, bool announced);
    // `announced`: the status display says the change and compare counts it.
    void applyParameter(VstInt32 index, float value, bool announced = true);
    void applyHandedOver();
    void showStatus(int code, float x);
    int showSlotMenu(int slotNumber, int x, int y);
    void showOptionsMenu(int x, int y);
    void clickSlot(int slotNumber, long buttons, const VSTGUI::CPoint& where);
    void switchCompare();
    void updateCompareButton(int tag, VSTGUI::CDrawContext* context);
    void refreshSlotButtons(VSTGUI::CDrawContext* context);
    // Draws the control now when there is a context, else at the next idle.
    void redraw(VSTGUI::CControl* control, VSTGUI::CDrawContext* context);
    void releaseWindow();
    VSTGUI::CControl* slotButton(int slotNumber) const;
    void messageBox(const char* text) const;

    const model::PluginDescription& plugin;
    std::unique_ptr<presets::KelPresetBank> presetBank;
    int rememberedSlot = 0;
    void* parent = nullptr; // the host's window
    // The thirteen bitmaps of the window, by resource number: background, footswitch, LED,
    // compare, P1 to P4, options, the tone knob's body and handle, the large knobs' body and
    // handle.
    static constexpr int kWindowBitmaps = 13;
    VSTGUI::CBitmap* loadedBitmap(int id) const;
    int bitmapIds[kWindowBitmaps] = {};
    VSTGUI::CBitmap* bitmaps[kWindowBitmaps] = {};
    VSTGUI::CControl* widgets[kEditorWidgetCount] = {};
    VSTGUI::CTextEdit* statusDisplay = nullptr;
    bool comparing = false;
    bool compareShown = false;
    int slot = 0; // the current slot
    bool modified = false;
    const EditorLayout* layout = &kWideLayout;

    std::atomic<bool> windowOpen{false};
    std::atomic<unsigned long> windowThread{0};
    HandedOver handedOver[kHandOverSlots];
    std::atomic<std::uint32_t> handOverCount{0};
};

} // namespace kel::editor
