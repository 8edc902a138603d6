// Read-only settings of the plug-ins: string values under HKEY_LOCAL_MACHINE "Software\Sonadrix".
#pragma once

#include <windows.h>

namespace kel::ui {

inline constexpr const char* kSettingsKey = "Software\\Sonadrix";

// Reads the string value `name` into text (size bytes, always terminated) and answers 1. When
// the key or the value is missing, the value is no string or does not fit, copies the default
// (cut to fit) and answers -1.
int readSetting(const char* name, char* text, int size, const char* defaultText);

} // namespace kel::ui
