// Read-only settings of the plug-ins. On Windows: string values under HKEY_LOCAL_MACHINE
// "Software\Sonadrix". On Linux: lines "Name=value" of the user's settings file
// (ui/settings_file.h), the file the LV2 editor reads its layout from.
#pragma once

namespace kel::ui {

#ifdef _WIN32
inline constexpr const char* kSettingsKey = "Software\\Sonadrix";
#endif

// The font face of the name dialog's field, and its default.
inline constexpr const char* kFontNameSetting = "FontName";
inline constexpr const char* kDefaultFontName = "Arial";
// The folder of the help: on Windows of Orvalle1.chm, on Linux of the HTML pages. The registry
// value's name has a space; a key of the Linux file has none.
#ifdef _WIN32
inline constexpr const char* kHelpPathSetting = "Help Path";
#else
inline constexpr const char* kHelpPathSetting = "HelpPath";
#endif

// Reads the string value `name` into text (size bytes, always terminated) and answers 1. When
// the key or the value is missing, the value is no string or does not fit, copies the default
// (cut to fit) and answers -1.
int readSetting(const char* name, char* text, int size, const char* defaultText);

} // namespace kel::ui
