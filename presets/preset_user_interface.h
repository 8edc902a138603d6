// The modal pieces the preset bank shows: the common file dialogs and message boxes. The bank
// uses the system's; tests may put scripted answers in their place.
#pragma once

#include <windows.h>

#include <commdlg.h>

namespace kel::presets {

inline constexpr const char* kPresetMessageCaption = "Sonadrix Plug-In";

class PresetUserInterface {
public:
    virtual ~PresetUserInterface() = default;
    // The save and open dialogs; false when the user cancelled.
    virtual bool chooseSaveFile(OPENFILENAMEA& request) = 0;
    virtual bool chooseOpenFile(OPENFILENAMEA& request) = 0;
    // A message box; answers the button pressed (IDYES, IDNO, IDOK, ...).
    virtual int showMessage(HWND owner, const char* text, const char* caption, UINT style) = 0;
};

// GetSaveFileNameA, GetOpenFileNameA and MessageBoxA.
PresetUserInterface& systemPresetUserInterface();

} // namespace kel::presets
