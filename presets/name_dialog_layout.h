// The name dialog's measures, texts and colours, the same on every platform: a drop-down name
// field over the editor's status display.
#pragma once

namespace kel::presets::name_dialog {

inline constexpr int kFieldWidth = 167;   // pixels
inline constexpr int kFieldHeight = 15;   // the field with no list to drop down
inline constexpr int kDroppedHeight = 75; // the field with its list of user presets
inline constexpr int kItemHeight = 15;    // of the selection field and of each list item
inline constexpr int kFontHeight = 14;    // pixels
inline constexpr int kDialogHeight = 21;  // pixels
// The dialog's top-left corner from the editor window's, over the status display.
inline constexpr int kLeftInOwner = 17;
inline constexpr int kTopInOwner = 110;
// White text on this grey, in the field and in its list.
inline constexpr unsigned char kFieldGrey[3] = {160, 160, 164};
// The "FontName" setting names the field's face; this many bytes of it are read.
inline constexpr int kFontNameSize = 32;
inline constexpr const char* kTooLong = "Max. 64 characters!";

} // namespace kel::presets::name_dialog
