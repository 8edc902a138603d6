// Message boxes on Linux: a dialog window of our own over the editor, titled with the caption,
// modal to the editor, answered with the mouse or the keyboard (Enter the focused button, Tab
// and the arrow keys move the focus, Escape cancels where there is a way to cancel, the
// underlined letters choose). Texts are Windows-1252, as on Windows.
#pragma once

#include <string>

#include "ui/dialog_drawing_linux.h"

namespace kel::ui {

enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageButton { Ok, Yes, No, Cancel };

// Over the editor's frame window `owner` (or, inside a dialog of ours, over the editor all the
// same), centred on it. A box that cannot be shown, or that the editor's closing ends, answers
// the safe way out: Cancel, No, or OK.
MessageButton showMessageBox(void* owner, const std::string& text, const std::string& caption,
                             MessageButtons buttons, MessageIcon icon);

} // namespace kel::ui
