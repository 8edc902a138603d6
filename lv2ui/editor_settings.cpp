#include "lv2ui/editor_settings.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

#include "presets/file_preset_store.h"

namespace kel::lv2ui {

namespace {

std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

EditorSettings parseEditorSettings(const std::string& text) {
    EditorSettings settings;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string name = lowerCase(trimmed(line.substr(0, equals)));
        const std::string value = lowerCase(trimmed(line.substr(equals + 1)));
        if (name == "layout" && (value == "tall" || value == "wide")) {
            settings.tallLayout = value == "tall";
        } else if (name == "knobs" && (value == "linear" || value == "circular")) {
            settings.linearKnobs = value == "linear";
        }
    }
    return settings;
}

EditorSettings readEditorSettings() {
    const std::string folder = presets::defaultPresetFolder();
    if (folder.empty()) {
        return {};
    }
    std::ifstream file(folder + "/settings", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    return parseEditorSettings(text);
}

} // namespace kel::lv2ui
