// The widget set's strings are Windows-1252 bytes (what the Windows editor hands DrawTextA):
// the characters they stand for, as Unicode code points.
#pragma once

#include <string>

namespace VSTGUI {

// 0x80 to 0x9F are the code page's own characters (0x80 is the euro sign); its five unassigned
// bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their own values, as Windows converts them. Every
// other byte is the Latin-1 character of the same value.
char32_t windows1252ToUnicode(unsigned char byte);
// The byte of the code page that stands for the character, or -1 when it has none. Control
// characters (below 0x20, and 0x7F) have none: nothing typed or pasted is one.
int unicodeToWindows1252(char32_t character);
// The characters of UTF-8 text; a byte that starts no valid sequence (an overlong or cut one, a
// surrogate, beyond U+10FFFF) stands for U+FFFD.
std::u32string decodeUtf8(const std::string& text);
// And back: characters beyond U+10FFFF and surrogates become U+FFFD.
std::string encodeUtf8(const std::u32string& text);

} // namespace VSTGUI
