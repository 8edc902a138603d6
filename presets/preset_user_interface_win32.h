// The Windows dialogs and message boxes of the preset bank: the common file dialogs, MessageBoxA,
// the name dialog, HTML Help. The Win32 calls themselves are virtual, so that tests can answer
// them from a script and see exactly what the system would have been asked.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include "presets/preset_user_interface.h"

namespace kel::presets {

class Win32PresetUserInterface : public PresetUserInterface {
public:
    bool chooseArchiveToSave(void* owner, std::string& path) override;
    bool chooseArchiveToOpen(void* owner, std::string& path) override;
    MessageAnswer message(void* owner, const char* text, const char* caption,
                          MessageKind kind) override;
    int askPresetName(void* owner, KelPresetBank& bank) override;
    bool openHelp(void* owner) override;

    // GetSaveFileNameA, GetOpenFileNameA and MessageBoxA (an answer such as IDYES).
    virtual bool chooseSaveFile(OPENFILENAMEA& request);
    virtual bool chooseOpenFile(OPENFILENAMEA& request);
    virtual int showMessage(HWND owner, const char* text, const char* caption, UINT style);
};

// The name dialog (name_dialog.cpp), its own message boxes shown through `ui`.
int runNameDialog(HWND owner, KelPresetBank& bank, Win32PresetUserInterface& ui);

} // namespace kel::presets
