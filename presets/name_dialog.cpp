// The name dialog: a drop-down name field over the editor window in which the user types or
// chooses the name under which the current settings become a user preset for a quick slot.
#include <windows.h>

#include <string>

#include "presets/kel_preset_bank.h"
#include "presets/name_dialog_layout.h"
#include "presets/preset_user_interface_win32.h"
#include "ui/menu_commands.h"
#include "ui/settings.h"
#include "ui/win32_handles.h"
#include "win32/module.h"

namespace kel::presets {

using namespace kel::model;
using namespace kel::ui;

namespace {

constexpr int kNameFieldId = 10;
// Besides IDOK (Enter) and IDCANCEL (Escape), commands 20 and 21 confirm and cancel.
constexpr int kConfirmCommand = 20;
constexpr int kCancelCommand = 21;
using namespace name_dialog;
constexpr POINT kPlaceInOwner{kLeftInOwner, kTopInOwner};
constexpr COLORREF kFieldBackground = RGB(kFieldGrey[0], kFieldGrey[1], kFieldGrey[2]);

// What an open dialog works with: the bank, the window it shows over, the message boxes, and the
// font of the name field, which outlives the field and is deleted once the dialog is gone.
struct NameDialog {
    KelPresetBank& bank;
    HWND owner;
    Win32PresetUserInterface& ui;
    GdiObject<HFONT> font;
};

NameDialog* stateOf(HWND dialog) {
    return reinterpret_cast<NameDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void initialise(HWND dialog, NameDialog& state) {
    KelPresetBank& bank = state.bank;
    char face[kFontNameSize];
    readSetting(kFontNameSetting, face, sizeof(face), kDefaultFontName);
    state.font.reset(CreateFontA(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_ROMAN, face));
    const int names = bank.userPresetCount();
    HWND field =
        CreateWindowA("COMBOBOX", "Name",
                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN |
                          CBS_AUTOHSCROLL | CBS_OEMCONVERT,
                      0, 0, kFieldWidth, names == 0 ? kFieldHeight : kDroppedHeight, dialog,
                      reinterpret_cast<HMENU>(kNameFieldId), win32::thisModule(), nullptr);
    SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.get()), FALSE);
    SendMessageA(field, CB_LIMITTEXT, kMaxPresetNameLength, 0);
    SendMessageA(field, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), kItemHeight);
    SendMessageA(field, CB_SETITEMHEIGHT, 0, kItemHeight);
    for (int k = 0; k < bank.userPresetCount(); ++k) {
        char name[kPresetNameBufferSize];
        if (bank.getPresetName(KelPresetBank::kFirstUserPreset + k, name)) {
            SendMessageA(field, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        }
    }
    char current[kPresetNameBufferSize] = {};
    bank.getSlotName(bank.nameDialogSlot(), current);
    SetWindowTextA(field, current);

    RECT owner{};
    GetWindowRect(state.owner, &owner);
    MoveWindow(dialog, owner.left + kPlaceInOwner.x, owner.top + kPlaceInOwner.y, kFieldWidth,
               kDialogHeight, TRUE);
    SetForegroundWindow(dialog);
    SetFocus(field);
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
}

void confirm(HWND dialog, NameDialog& state) {
    KelPresetBank& bank = state.bank;
    HWND field = GetDlgItem(dialog, kNameFieldId);
    // Room for more than a name may hold, to tell a name that is too long.
    char text[4 * kPresetNameBufferSize] = {};
    GetWindowTextA(field, text, sizeof(text));
    if (std::string(text).size() > static_cast<std::size_t>(kMaxPresetNameLength)) {
        state.ui.showMessage(dialog, kTooLong, kPresetMessageCaption,
                             MB_ICONWARNING | MB_SYSTEMMODAL);
        SetFocus(field);
        return;
    }
    EndDialog(dialog, bank.storeNewPreset(bank.nameDialogSlot(), text) ? 1 : 0);
}

INT_PTR CALLBACK nameDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* state = reinterpret_cast<NameDialog*>(lParam);
        if (!state) {
            EndDialog(dialog, -1);
            return TRUE;
        }
        initialise(dialog, *state);
        return FALSE; // the focus is set
    }
    NameDialog* state = stateOf(dialog);
    if (!state) {
        return TRUE;
    }
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != 0) {
            return FALSE;
        }
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == kConfirmCommand) {
            confirm(dialog, *state);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == kCancelCommand) {
            EndDialog(dialog, -1);
            return TRUE;
        }
        return FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            EndDialog(dialog, -1);
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, kFieldBackground);
        SetTextColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<INT_PTR>(GetStockObject(GRAY_BRUSH));
    }
    default:
        return FALSE;
    }
}

} // namespace

int runNameDialog(HWND owner, KelPresetBank& bank, Win32PresetUserInterface& ui) {
    NameDialog state{bank, owner, ui, {}};
    // The field and the dialog are destroyed when this returns; the font goes after them.
    return static_cast<int>(DialogBoxParamA(win32::thisModule(), MAKEINTRESOURCEA(KEL_NAME_DIALOG),
                                            owner, nameDialogProcedure,
                                            reinterpret_cast<LPARAM>(&state)));
}

} // namespace kel::presets
