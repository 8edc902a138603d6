// The settings file on Linux: $XDG_CONFIG_HOME/Sonadrix/Orvalle Vol.2/settings (~/.config/...
// when that is unset, empty or not an absolute path), the folder of the user presets. Each line
// "Name=value"; names match whatever their case, spaces round names and values and a line's
// CR (a file written on Windows) do not count. The last line naming a setting decides; an empty
// value there, one holding a zero byte or one that does not fit the caller's buffer gives the
// default, as a registry value that is no string or too long does on Windows. Lines without
// "=" and unknown names are skipped (the LV2 editor's Layout and Knobs live in the same file).
#pragma once

#include <cstddef>
#include <string>

namespace kel::ui {

inline constexpr const char* kSettingsFileName = "settings";
// A settings file is a few lines; of a larger one, about this many bytes are read.
inline constexpr std::size_t kMaxSettingsFileSize = 65536;

// Pure: readSetting's answer and text for a settings file holding fileText.
int parseSetting(const std::string& fileText, const char* name, char* text, int size,
                 const char* defaultText);

// The text of the settings file at path, at most kMaxSettingsFileSize bytes of it; empty when it
// is missing, a folder or cannot be read.
std::string readSettingsText(const std::string& path);

// readSetting on the file at path; a file that is missing or cannot be read holds no settings.
int readSettingFile(const std::string& path, const char* name, char* text, int size,
                    const char* defaultText);

// Pure: the settings file for these values of XDG_CONFIG_HOME and HOME (either may be
// nullptr); empty when neither is an absolute path.
std::string settingsFileFor(const char* xdgConfigHome, const char* home);

// The user's settings file, from the environment now (the password database's home folder when
// HOME is unset or not absolute); empty when no home folder is known.
std::string userSettingsFile();

} // namespace kel::ui
