// The LV2 editor's settings, in the file "settings" beside the user presets
// ($XDG_CONFIG_HOME/Sonadrix/Orvalle Vol.2/settings): lines of "Name=value". Layout=tall opens
// the tall pedal layout, Layout=wide (the default) the wide one; Knobs=linear turns the knobs by
// dragging up and right, Knobs=circular (the default) by dragging round their faces. Unknown
// names, malformed lines, a missing file (or a folder in its place) leave the defaults; the last
// line naming a setting decides.
#pragma once

#include <string>

namespace kel::lv2ui {

struct EditorSettings {
    bool tallLayout = false;
    bool linearKnobs = false;
};

// Pure: the settings a file's text gives.
EditorSettings parseEditorSettings(const std::string& text);
// The user's settings file, read now.
EditorSettings readEditorSettings();

} // namespace kel::lv2ui
