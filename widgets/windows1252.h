// The widget set's strings are Windows-1252 bytes (what the Windows editor hands DrawTextA):
// the characters they stand for, as Unicode code points.
#pragma once

namespace VSTGUI {

// 0x80 to 0x9F are the code page's own characters (0x80 is the euro sign); its five unassigned
// bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their own values, as Windows converts them. Every
// other byte is the Latin-1 character of the same value.
char32_t windows1252ToUnicode(unsigned char byte);

} // namespace VSTGUI
