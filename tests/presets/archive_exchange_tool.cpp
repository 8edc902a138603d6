// Works the user presets of one plug-in through the preset bank from the command line, on the
// platform's own store, so that a script can move archives between the Linux and the Windows
// build as a user would with the options menu's Export and Import. One command a run:
//
//   archive_exchange_tool STORE store PLUGIN NAME GAIN TONE OUTPUT
//   archive_exchange_tool STORE export PLUGIN FILE
//   archive_exchange_tool STORE import PLUGIN FILE [--answer yes|no]
//   archive_exchange_tool STORE list PLUGIN
//   archive_exchange_tool STORE clear PLUGIN
//   archive_exchange_tool STORE discard
//
// STORE is, on Linux, the folder of the user's files (absolute); on Windows the name of a scratch
// key under HKEY_CURRENT_USER\Software\SonadrixTests that stands in for HKEY_CURRENT_USER itself,
// so that the user's own presets are never touched. It lasts from one run to the next until
// `discard` removes it (on Linux, the folder). PLUGIN is hn6 or kr6. NAME is given in hex, the
// bytes as the store keeps them (Windows-1252), so that no command line conversion can change
// them.
//
// `store` sets the settings on the effect as a host would and saves them as a new preset into
// P1. The file dialogs answer FILE; the questions are answered as --answer says (yes when it is
// not given). Every message box shown prints a line "message KIND TEXT_IN_HEX" and every file
// dialog "dialog save|open PROPOSED_NAME_IN_HEX". `list` prints "NAME_IN_HEX DATA_IN_HEX" for
// each user preset of the plug-in, in the order of its list.
//
// Exit status: 0 when the bank did what was asked, 1 when it refused or failed, 2 for a command
// line it does not know.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#include <system_error>

#include "presets/file_preset_store.h"
#endif

#include "model/effect_link.h"
#include "model/parameter_values.h"
#include "model/parameters.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "presets/kel_preset_bank.h"
#include "presets/preset_user_interface.h"
#include "presets/user_preset_store.h"

namespace {

using namespace kel;

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;

std::string toHex(const std::uint8_t* bytes, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string toHex(const std::string& text) {
    return toHex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool fromHex(const char* text, std::string& bytes) {
    const std::size_t length = std::strlen(text);
    if (length % 2 != 0) {
        return false;
    }
    bytes.clear();
    for (std::size_t i = 0; i < length; i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

bool toInt(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (!*text || *end || parsed < -1000000 || parsed > 1000000) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// The effect as the bank reaches it: its parameters, held as a host holds them.
class HeldEffect : public model::EffectLink {
public:
    explicit HeldEffect(const model::PluginDescription& description) : plugin(description) {}
    float parameter(int index) override { return valid(index) ? values[index] : 0.0f; }
    void setParameterAutomated(int index, float value) override { setParameter(index, value); }
    void setParameter(int index, float value) override {
        if (valid(index)) {
            values[index] = value;
        }
    }
    void beginEdit(int) override {}
    void endEdit(int) override {}
    void selectProgram(int) override {}
    std::string programName() override { return {}; }
    std::string effectName() override { return plugin.effectName; }
    void idleHost() override {}

private:
    static bool valid(int index) { return index >= 0 && index < model::kNumParameters; }
    const model::PluginDescription& plugin;
    float values[model::kNumParameters] = {};
};

// The user's side of the dialogs: the file given, and the same answer to every question.
class ScriptedAnswers : public presets::PresetUserInterface {
public:
    ScriptedAnswers(std::string chosenFile, bool answerYes)
        : file(std::move(chosenFile)), yes(answerYes) {}

    bool chooseArchiveToSave(void*, std::string& path) override { return choose("save", path); }
    bool chooseArchiveToOpen(void*, std::string& path) override { return choose("open", path); }
    presets::MessageAnswer message(void*, const char* text, const char*,
                                   presets::MessageKind kind) override {
        using presets::MessageAnswer;
        using presets::MessageKind;
        const char* name = "error";
        MessageAnswer answer = MessageAnswer::Ok;
        switch (kind) {
        case MessageKind::Error:
            break;
        case MessageKind::Information:
            name = "information";
            break;
        case MessageKind::YesNoQuestion:
            name = "question";
            answer = yes ? MessageAnswer::Yes : MessageAnswer::No;
            break;
        case MessageKind::YesNoCancelQuestion:
            name = "question-cancel";
            answer = yes ? MessageAnswer::Yes : MessageAnswer::No;
            break;
        }
        std::printf("message %s %s\n", name, toHex(text).c_str());
        return answer;
    }
    int askPresetName(void*, presets::KelPresetBank&) override { return -1; }
    bool openHelp(void*) override { return false; }

private:
    bool choose(const char* kind, std::string& path) {
        std::printf("dialog %s %s\n", kind, toHex(path).c_str());
        path = file;
        return true;
    }
    std::string file;
    bool yes;
};

#ifdef _WIN32
constexpr const char* kScratchRoot = "Software\\SonadrixTests";

// HKEY_CURRENT_USER of this process becomes the scratch key for as long as it lives.
class ScratchRegistry {
public:
    explicit ScratchRegistry(const std::string& name)
        : path(std::string(kScratchRoot) + "\\" + name) {
        char noClass[] = "";
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            key = nullptr;
        } else if (RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) {
            RegCloseKey(key);
            key = nullptr;
        }
    }
    ~ScratchRegistry() {
        if (key) {
            RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
            RegCloseKey(key);
        }
    }
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;
    bool ready() const { return key != nullptr; }

private:
    std::string path;
    HKEY key = nullptr;
};

bool validScratchName(const std::string& name) {
    return !name.empty() && name.find('\\') == std::string::npos;
}

std::unique_ptr<presets::UserPresetStore> openStore(const std::string&) {
    return presets::makeUserPresetStore();
}

bool discardStore(const std::string& name) {
    const std::string path = std::string(kScratchRoot) + "\\" + name;
    const LONG result = RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}
#else
bool validScratchName(const std::string& folder) {
    return !folder.empty() && folder.front() == '/' && folder != "/";
}

std::unique_ptr<presets::UserPresetStore> openStore(const std::string& folder) {
    return std::make_unique<presets::FilePresetStore>(folder);
}

bool discardStore(const std::string& folder) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return !error;
}
#endif

const model::PluginDescription* pluginNamed(const std::string& name) {
    if (name == "hn6") {
        return &clean::CleanModel::description;
    }
    if (name == "kr6") {
        return &crunch::CrunchModel::description;
    }
    return nullptr;
}

int usage() {
    std::fprintf(stderr,
                 "usage: archive_exchange_tool STORE store PLUGIN NAME_HEX GAIN TONE OUTPUT\n"
                 "       archive_exchange_tool STORE export PLUGIN FILE\n"
                 "       archive_exchange_tool STORE import PLUGIN FILE [--answer yes|no]\n"
                 "       archive_exchange_tool STORE list PLUGIN\n"
                 "       archive_exchange_tool STORE clear PLUGIN\n"
                 "       archive_exchange_tool STORE discard\n"
                 "PLUGIN: hn6 or kr6\n");
    return kUsage;
}

int run(const model::PluginDescription& plugin, const std::string& where,
        const std::vector<std::string>& args) {
    const std::string& command = args[0];
    std::string file;
    bool yes = true;
    if (command == "export" || command == "import") {
        if (args.size() < 3) {
            return usage();
        }
        file = args[2];
        if (args.size() == 5 && args[3] == "--answer" && (args[4] == "yes" || args[4] == "no")) {
            yes = args[4] == "yes";
        } else if (args.size() != 3) {
            return usage();
        }
    }
    std::unique_ptr<presets::UserPresetStore> owned = openStore(where);
    presets::UserPresetStore& store = *owned;
    HeldEffect effect(plugin);
    ScriptedAnswers answers(file, yes);
    presets::KelPresetBank bank(plugin, std::move(owned));
    bank.setEffect(&effect);
    bank.setUserInterface(&answers);

    if (command == "store") {
        std::string name;
        int settings[model::kPresetValueCount] = {};
        if (args.size() != 6 || !fromHex(args[2].c_str(), name)) {
            return usage();
        }
        for (int i = 0; i < model::kPresetValueCount; ++i) {
            if (!toInt(args[3 + i].c_str(), settings[i])) {
                return usage();
            }
            const int parameter = model::kGainParameter + i;
            effect.setParameter(
                parameter,
                model::toParameterValue(settings[i], 0, model::kParameterTable[parameter].span));
        }
        return bank.storeNewPreset(1, name.c_str()) ? kDone : kRefused;
    }
    if (command == "export") {
        return bank.exportPresets() ? kDone : kRefused;
    }
    if (command == "import") {
        return bank.importPresets() ? kDone : kRefused;
    }
    if (command == "list" && args.size() == 2) {
        const int count = bank.userPresetCount();
        for (int k = 0; k < count; ++k) {
            char name[presets::kPresetNameBufferSize] = {};
            std::vector<std::uint8_t> data;
            if (!bank.getPresetName(presets::KelPresetBank::kFirstUserPreset + k, name) ||
                !store.readPreset(name, static_cast<std::size_t>(plugin.storedPresetSize), data)) {
                return kRefused;
            }
            std::printf("%s %s\n", toHex(name).c_str(), toHex(data.data(), data.size()).c_str());
        }
        return kDone;
    }
    if (command == "clear" && args.size() == 2) {
        return bank.deleteAllUserPresets() && bank.userPresetCount() == 0 ? kDone : kRefused;
    }
    return usage();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || !validScratchName(argv[1])) {
        return usage();
    }
    const std::string where = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (args[0] == "discard") {
        return args.size() == 1 ? (discardStore(where) ? kDone : kRefused) : usage();
    }
    if (args.size() < 2) {
        return usage();
    }
    const model::PluginDescription* plugin = pluginNamed(args[1]);
    if (!plugin) {
        return usage();
    }
#ifdef _WIN32
    ScratchRegistry registry(where);
    if (!registry.ready()) {
        std::fprintf(stderr, "archive_exchange_tool: no scratch registry key %s\n", where.c_str());
        return kRefused;
    }
#endif
    const int status = run(*plugin, where, args);
    std::fflush(stdout);
    return status;
}
