#include <cstdio>

#include "presets/preset_user_interface_win32.h"
#include "ui/help.h"

namespace kel::presets {

namespace {

constexpr const char* kArchiveFilter = "Sonadrix presets archive\0*.kpa\0";
constexpr const char* kArchiveExtension = "kpa";
constexpr const char* kSaveTitle = "Save User Presets As...";
constexpr const char* kOpenTitle = "Load Presets From...";

OPENFILENAMEA fileRequest(char* file, const char* title, DWORD flags) {
    OPENFILENAMEA request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = nullptr;
    request.lpstrFilter = kArchiveFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.lpstrInitialDir = nullptr;
    request.lpstrTitle = title;
    request.lpstrDefExt = kArchiveExtension;
    request.Flags = flags;
    return request;
}

UINT styleOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return MB_OK | MB_ICONERROR;
    case MessageKind::YesNoQuestion:
        return MB_YESNO | MB_ICONQUESTION;
    case MessageKind::YesNoCancelQuestion:
        return MB_YESNOCANCEL | MB_ICONQUESTION;
    case MessageKind::Information:
        return MB_ICONINFORMATION | MB_OK;
    }
    return MB_OK;
}

MessageAnswer answerOf(int button) {
    switch (button) {
    case IDYES:
        return MessageAnswer::Yes;
    case IDNO:
        return MessageAnswer::No;
    case IDOK:
        return MessageAnswer::Ok;
    default:
        return MessageAnswer::Cancel;
    }
}

} // namespace

bool Win32PresetUserInterface::chooseArchiveToSave(void*, std::string& path) {
    char file[MAX_PATH] = {};
    std::snprintf(file, sizeof(file), "%s", path.c_str());
    // The user names a new file here as often as an old one: no "file must exist".
    OPENFILENAMEA request =
        fileRequest(file, kSaveTitle, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST);
    if (!chooseSaveFile(request)) {
        return false;
    }
    file[MAX_PATH - 1] = 0;
    path = file;
    return true;
}

bool Win32PresetUserInterface::chooseArchiveToOpen(void*, std::string& path) {
    char file[MAX_PATH] = {};
    std::snprintf(file, sizeof(file), "%s", path.c_str());
    OPENFILENAMEA request =
        fileRequest(file, kOpenTitle, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    if (!chooseOpenFile(request)) {
        return false;
    }
    file[MAX_PATH - 1] = 0;
    path = file;
    return true;
}

MessageAnswer Win32PresetUserInterface::message(void* owner, const char* text, const char* caption,
                                                MessageKind kind) {
    return answerOf(showMessage(static_cast<HWND>(owner), text, caption, styleOf(kind)));
}

int Win32PresetUserInterface::askPresetName(void* owner, KelPresetBank& bank) {
    return runNameDialog(static_cast<HWND>(owner), bank, *this);
}

bool Win32PresetUserInterface::openHelp(void* owner) {
    return ui::openHelp(static_cast<HWND>(owner));
}

bool Win32PresetUserInterface::chooseSaveFile(OPENFILENAMEA& request) {
    return GetSaveFileNameA(&request) != FALSE;
}

bool Win32PresetUserInterface::chooseOpenFile(OPENFILENAMEA& request) {
    return GetOpenFileNameA(&request) != FALSE;
}

int Win32PresetUserInterface::showMessage(HWND owner, const char* text, const char* caption,
                                          UINT style) {
    return MessageBoxA(owner, text, caption, style);
}

PresetUserInterface& systemPresetUserInterface() {
    static Win32PresetUserInterface system;
    return system;
}

} // namespace kel::presets
