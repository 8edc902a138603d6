// Opens the plug-in's compiled HTML help. HTML Help is bound at its first use and stays bound (or
// known to be missing) for the life of the module.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kel::ui {

inline constexpr const char* kHelpFileName = "Orvalle1.chm";
inline constexpr DWORD kHelpContext = 7;
inline constexpr std::size_t kHelpPathSize = MAX_PATH;

// HtmlHelpA of the HTML Help control.
using HtmlHelpFunction = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

// A bound module stays loaded: the module-wide binding lives until the plug-in unloads, when
// freeing libraries is not allowed.
class HtmlHelpBinding {
public:
    using Loader = HMODULE (*)(const char* path);

    // The loader loads the control's module; LoadLibraryA unless a test gives another.
    explicit HtmlHelpBinding(Loader loader = nullptr);
    HtmlHelpBinding(const HtmlHelpBinding&) = delete;
    HtmlHelpBinding& operator=(const HtmlHelpBinding&) = delete;

    // HtmlHelpA, bound at the first call: the module registered for the HTML Help control,
    // failing that "hhctrl.ocx", and its export of ordinal 14. nullptr when that failed, then
    // and at every later call, without a new attempt.
    HtmlHelpFunction function();
    // How many times the binding asked the loader for a module.
    int loadAttempts() const { return attempts; }

private:
    Loader load;
    bool tried = false;
    int attempts = 0;
    HMODULE module = nullptr;
    HtmlHelpFunction htmlHelp = nullptr;
};

// The binding shared by every instance of the plug-in in this module.
HtmlHelpBinding& moduleHtmlHelp();

// With a window: shows the help file at context 7, owned by the window's parent (or the window
// itself), and answers whether HTML Help showed a window. Without a window: closes every help
// window and answers true.
bool openHelp(HWND window);
bool openHelp(HWND window, HtmlHelpBinding& binding);

// The help file's full path in path (kHelpPathSize bytes): in the folder named by the "Help Path"
// setting, or next to this module when there is no such setting.
void helpFilePath(char* path);

// Replaces whatever follows the last colon or backslash of path with fileName, cut to what the
// buffer of size bytes can hold.
void replaceFileName(char* path, std::size_t size, const char* fileName);

// The file registered for the HTML Help control, or false.
bool registeredHtmlHelpModule(char* path, std::size_t size);

} // namespace kel::ui
