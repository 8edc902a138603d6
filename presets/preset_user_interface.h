// The modal pieces the preset bank shows: the archive file dialogs, message boxes, the name
// dialog and the help. The bank uses its platform's; tests may put scripted answers in their
// place. Owners are the platform's windows (the editor's), passed through as they come.
#pragma once

#include <string>

namespace kel::presets {

class KelPresetBank;

inline constexpr const char* kPresetMessageCaption = "Sonadrix Plug-In";

// What a message box asks and shows.
enum class MessageKind {
    Error,               // an error sign and OK
    YesNoQuestion,       // a question sign, Yes and No
    YesNoCancelQuestion, // a question sign, Yes, No and Cancel
    Information,         // an information sign and OK
};
enum class MessageAnswer { Ok, Yes, No, Cancel };

class PresetUserInterface {
public:
    virtual ~PresetUserInterface() = default;
    // The archive file to write or to read. `path` comes in as the name to propose and leaves as
    // the file chosen; false when the user cancelled.
    virtual bool chooseArchiveToSave(void* owner, std::string& path) = 0;
    virtual bool chooseArchiveToOpen(void* owner, std::string& path) = 0;
    virtual MessageAnswer message(void* owner, const char* text, const char* caption,
                                  MessageKind kind) = 0;
    // The name dialog over the owner for the bank's name-dialog slot: 1 when a preset was stored
    // under the name given, 0 when the name was refused, -1 when cancelled.
    virtual int askPresetName(void* owner, KelPresetBank& bank) = 0;
    // Opens the help; false when it cannot be shown.
    virtual bool openHelp(void* owner) = 0;
};

// This platform's dialogs and message boxes.
PresetUserInterface& systemPresetUserInterface();

} // namespace kel::presets
