#include "ui/message_box_layout.h"

#include <algorithm>

namespace kel::ui {

using VSTGUI::CPoint;
using VSTGUI::CRect;

namespace {

// One paragraph (no line breaks in it) into lines.
void wrapParagraph(const std::string& paragraph, int maxWidth,
                   const std::function<int(const std::string&)>& width,
                   std::vector<std::string>& lines) {
    std::string line;
    std::size_t at = 0;
    while (at < paragraph.size()) {
        // The next word with the spaces before it.
        std::size_t end = at;
        while (end < paragraph.size() && paragraph[end] == ' ') {
            ++end;
        }
        while (end < paragraph.size() && paragraph[end] != ' ') {
            ++end;
        }
        const std::string piece = paragraph.substr(at, end - at);
        if (width(line + piece) <= maxWidth || line.empty()) {
            line += piece;
        } else {
            lines.push_back(line);
            const std::size_t word = piece.find_first_not_of(' ');
            line = word == std::string::npos ? std::string() : piece.substr(word);
        }
        // A word wider than the line alone is broken where it passes the width.
        while (width(line) > maxWidth && line.size() > 1) {
            std::size_t fits = 1;
            while (fits < line.size() && width(line.substr(0, fits + 1)) <= maxWidth) {
                ++fits;
            }
            lines.push_back(line.substr(0, fits));
            line = line.substr(fits);
        }
        at = end;
    }
    lines.push_back(line);
}

} // namespace

std::vector<std::string> wrapText(const std::string& text, int maxWidth,
                                  const std::function<int(const std::string&)>& width) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lineBreak = text.find('\n', start);
        std::string paragraph = text.substr(
            start, lineBreak == std::string::npos ? std::string::npos : lineBreak - start);
        if (!paragraph.empty() && paragraph.back() == '\r') {
            paragraph.pop_back();
        }
        wrapParagraph(paragraph, maxWidth, width, lines);
        if (lineBreak == std::string::npos) {
            break;
        }
        start = lineBreak + 1;
    }
    return lines;
}

MessageBoxLayout layoutMessageBox(const std::string& text, bool withIcon, int buttonCount,
                                  int lineHeight,
                                  const std::function<int(const std::string&)>& width,
                                  const MessageBoxMeasures& m) {
    MessageBoxLayout layout;
    layout.lines = wrapText(text, m.maxTextWidth, width);
    int textWidth = 0;
    for (const std::string& line : layout.lines) {
        textWidth = std::max(textWidth, width(line));
    }
    const int textHeight = lineHeight * static_cast<int>(layout.lines.size());
    int textLeft = m.margin;
    int contentHeight = textHeight;
    if (withIcon) {
        layout.icon = CRect::fromSize({m.margin, m.margin}, m.iconSize, m.iconSize);
        textLeft += m.iconSize + m.iconGap;
        contentHeight = std::max(textHeight, m.iconSize);
    }
    // Text shorter than the icon sits level with its middle.
    const int textTop = m.margin + (contentHeight - textHeight) / 2;
    layout.text = CPoint(textLeft, textTop);
    const int buttonsWidth =
        buttonCount * m.buttonWidth + std::max(0, buttonCount - 1) * m.buttonGap;
    layout.width =
        std::max({textLeft + textWidth + m.margin, buttonsWidth + 2 * m.margin, m.minimumWidth});
    const int buttonsTop = m.margin + contentHeight + m.buttonsAbove;
    int left = (layout.width - buttonsWidth) / 2;
    for (int i = 0; i < buttonCount; ++i) {
        layout.buttons.push_back(
            CRect::fromSize({left, buttonsTop}, m.buttonWidth, m.buttonHeight));
        left += m.buttonWidth + m.buttonGap;
    }
    layout.height = buttonsTop + m.buttonHeight + m.margin;
    return layout;
}

} // namespace kel::ui
