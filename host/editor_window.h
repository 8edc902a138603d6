// The plug-in's editor in a top-level window of our host, shown and idled the way a DAW does.
#pragma once

#include <string>

#include "host/plugin_module.h"

namespace kel::host {

struct EditorOptions {
    bool audio = false;         // process audio on a second thread while the window is open
    bool automate = false;      // automate parameters from a third thread while it is open
    int reopenCount = 0;        // close and reopen the editor this often before it is ready
    std::string screenshotPath; // PNG of the client area, taken 0.3 s after ready; "": none
    double seconds = 0.0;       // > 0: the window closes itself this long after it is ready
    bool placed = false;        // put the client area's top-left corner at (x, y) on the screen
    int x = 0;
    int y = 0;
};

// Opens the editor of a resumed instance in a window whose client area has the editor's size
// and runs the window until it is closed; then the editor is closed (the instance stays open).
// Writes "reopened N", "window X Y W H" and "ready" through hostLogLine. false with a reason
// when the plug-in shows no editor or the screenshot cannot be saved.
bool runEditorWindow(const PluginInstance& plugin, const EditorOptions& options,
                     std::string& error);

} // namespace kel::host
