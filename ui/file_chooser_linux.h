// Choosing the archive file on Linux: the desktop's own chooser (zenity) where there is one and
// the user did not ask for ours, else our own chooser window over the editor, drawn with the
// dialog kit, titled, worded and answered as the Windows build's common dialogs. Both run on the
// editor's thread and keep the editor painted (but deaf to input) while they are open.
#pragma once

#include <string>

#include "ui/file_chooser_model.h"

namespace kel::ui {

struct FileChooserRequest {
    ChooserMode mode = ChooserMode::Open;
    std::string title;  // UTF-8
    std::string folder; // where to start, absolute
    std::string name;   // the name to propose ("Name.kpa"), or a pattern ("*.kpa")
};

// Our own chooser over the editor's frame window `owner`: true with the file chosen, false when
// cancelled, closed, interrupted by the editor's closing or not shown at all.
bool runFileChooser(void* owner, const FileChooserRequest& request, std::string& chosen);

// zenity at `program`, the editor kept painted meanwhile. Failed when it could not run or ended
// in any way but a choice or a cancel (the caller then shows ours); Cancelled also when the
// editor closed meanwhile (zenity is then ended).
DesktopOutcome runDesktopChooser(void* owner, const std::string& program,
                                 const FileChooserRequest& request, std::string& chosen);

// What the preset bank's archive dialogs call: `path` comes in as the name to propose and leaves
// as the file chosen; false when cancelled. `memoryFile` keeps the last archive's folder between
// sessions (the settings folder's archive-folder); the settings file's FileDialog chooses.
bool chooseArchiveFile(void* owner, ChooserMode mode, std::string& path,
                       const std::string& memoryFile);

} // namespace kel::ui
