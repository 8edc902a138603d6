#include "presets/preset_user_interface.h"

namespace kel::presets {

namespace {

class SystemUserInterface : public PresetUserInterface {
public:
    bool chooseSaveFile(OPENFILENAMEA& request) override {
        return GetSaveFileNameA(&request) != FALSE;
    }
    bool chooseOpenFile(OPENFILENAMEA& request) override {
        return GetOpenFileNameA(&request) != FALSE;
    }
    int showMessage(HWND owner, const char* text, const char* caption, UINT style) override {
        return MessageBoxA(owner, text, caption, style);
    }
};

} // namespace

PresetUserInterface& systemPresetUserInterface() {
    static SystemUserInterface system;
    return system;
}

} // namespace kel::presets
