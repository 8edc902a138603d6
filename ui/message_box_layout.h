// Where the parts of a message box go: its text broken into lines, the icon and the buttons, and
// the box's size, as a desktop message box lays them out. Pure: the Linux message box draws it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "widgets/geometry.h"

namespace kel::ui {

// Text broken into lines no wider than maxWidth where it can be: at its line breaks ("\n",
// "\r\n"), then before words that would pass the width (the space at a break goes; spaces that
// begin a line stay, as the Windows message box keeps them); a word wider than the width alone
// is broken inside. width(text): the pixel width of a piece of text.
std::vector<std::string> wrapText(const std::string& text, int maxWidth,
                                  const std::function<int(const std::string&)>& width);

struct MessageBoxLayout {
    int width = 0; // the box's inside
    int height = 0;
    VSTGUI::CRect icon;  // empty without an icon
    VSTGUI::CPoint text; // the first line's top-left corner
    std::vector<std::string> lines;
    std::vector<VSTGUI::CRect> buttons; // left to right
};

struct MessageBoxMeasures {
    int margin = 11;
    int iconSize = 32;
    int iconGap = 12; // between the icon and the text
    int maxTextWidth = 420;
    int buttonWidth = 75;
    int buttonHeight = 23;
    int buttonGap = 6;
    int buttonsAbove = 14; // between the text (or icon) and the buttons
    int minimumWidth = 160;
};

MessageBoxLayout layoutMessageBox(const std::string& text, bool withIcon, int buttonCount,
                                  int lineHeight,
                                  const std::function<int(const std::string&)>& width,
                                  const MessageBoxMeasures& measures = {});

} // namespace kel::ui
