#include "lv2ui/editor_settings.h"

#include <cstring>

#include "ui/settings_file.h"

namespace kel::lv2ui {

namespace {

// The setting's value in lower case, empty when the file does not give it.
std::string valueOf(const std::string& text, const char* name) {
    char value[16] = {};
    if (ui::parseSetting(text, name, value, sizeof value, "") != 1) {
        return {};
    }
    for (char* c = value; *c; ++c) {
        *c = (*c >= 'A' && *c <= 'Z') ? static_cast<char>(*c + 32) : *c;
    }
    return value;
}

} // namespace

EditorSettings parseEditorSettings(const std::string& text) {
    EditorSettings settings;
    settings.tallLayout = valueOf(text, "Layout") == "tall";
    settings.linearKnobs = valueOf(text, "Knobs") == "linear";
    return settings;
}

EditorSettings readEditorSettings() {
    // Read without streams: a folder in the file's place reads as no settings.
    return parseEditorSettings(ui::readSettingsText(ui::userSettingsFile()));
}

} // namespace kel::lv2ui
