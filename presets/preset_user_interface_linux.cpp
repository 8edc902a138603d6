// The bank's modal pieces on Linux: our own message boxes and name dialog over the editor's
// window, the archive file chooser and the help in the user's browser.
#include "presets/file_preset_store.h"
#include "presets/name_dialog_linux.h"
#include "presets/preset_user_interface.h"
#include "ui/file_chooser_linux.h"
#include "ui/help_linux.h"
#include "ui/message_box_linux.h"

namespace kel::presets {

namespace {

ui::MessageButtons buttonsOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::YesNoQuestion:
        return ui::MessageButtons::YesNo;
    case MessageKind::YesNoCancelQuestion:
        return ui::MessageButtons::YesNoCancel;
    case MessageKind::Error:
    case MessageKind::Information:
        return ui::MessageButtons::Ok;
    }
    return ui::MessageButtons::Ok;
}

ui::MessageIcon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return ui::MessageIcon::Error;
    case MessageKind::YesNoQuestion:
    case MessageKind::YesNoCancelQuestion:
        return ui::MessageIcon::Question;
    case MessageKind::Information:
        return ui::MessageIcon::Information;
    }
    return ui::MessageIcon::None;
}

// The folder of the last archive chosen is kept beside the settings file.
std::string archiveFolderFile() {
    return defaultPresetFolder() + "/" + ui::kArchiveFolderFileName;
}

MessageAnswer answerOf(ui::MessageButton button) {
    switch (button) {
    case ui::MessageButton::Ok:
        return MessageAnswer::Ok;
    case ui::MessageButton::Yes:
        return MessageAnswer::Yes;
    case ui::MessageButton::No:
        return MessageAnswer::No;
    case ui::MessageButton::Cancel:
        return MessageAnswer::Cancel;
    }
    return MessageAnswer::Cancel;
}

class LinuxPresetUserInterface : public PresetUserInterface {
public:
    bool chooseArchiveToSave(void* owner, std::string& path) override {
        return ui::chooseArchiveFile(owner, ui::ChooserMode::Save, path, archiveFolderFile());
    }
    bool chooseArchiveToOpen(void* owner, std::string& path) override {
        return ui::chooseArchiveFile(owner, ui::ChooserMode::Open, path, archiveFolderFile());
    }
    MessageAnswer message(void* owner, const char* text, const char* caption,
                          MessageKind kind) override {
        return answerOf(ui::showMessageBox(owner, text ? text : "", caption ? caption : "",
                                           buttonsOf(kind), iconOf(kind)));
    }
    int askPresetName(void* owner, KelPresetBank& bank) override {
        return runNameDialog(owner, bank);
    }
    bool openHelp(void*) override { return ui::openHelp(); }
};

} // namespace

PresetUserInterface& systemPresetUserInterface() {
    static LinuxPresetUserInterface dialogs;
    return dialogs;
}

} // namespace kel::presets
