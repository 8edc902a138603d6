// The message box's text broken into lines and its parts placed, with a font of five pixels a
// character.
#include "ui/message_box_layout.h"

#include <gtest/gtest.h>

namespace kel::ui {
namespace {

int fiveEach(const std::string& text) {
    return 5 * static_cast<int>(text.size());
}

TEST(MessageBoxText, LinesBreakAtLineBreaksAndBeforeWordsPastTheWidth) {
    struct Case {
        const char* text;
        int width;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"Read error!", 100, {"Read error!"}},
        {"", 100, {""}},
        {"one\ntwo", 100, {"one", "two"}},
        {"one\r\ntwo\n", 100, {"one", "two", ""}},
        {"aaa bbb ccc", 35, {"aaa bbb", "ccc"}}, // the space at the break goes
        {"aaa  bbb", 20, {"aaa", "bbb"}},
        {"   lead", 100, {"   lead"}},          // leading spaces stay
        {"abcdefghij", 25, {"abcde", "fghij"}}, // a word wider than the line is cut
        {"x abcdefghij", 25, {"x", "abcde", "fghij"}},
        // The help message's own line break and its indent under it.
        {"more \n           about", 200, {"more ", "           about"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wrapText(c.text, c.width, fiveEach), c.lines) << c.text;
    }
}

TEST(MessageBoxText, TheReplaceQuestionKeepsItsTwoLines) {
    const std::vector<std::string> lines =
        wrapText("'Lead' preset already exists.\nDo you want to replace it?", 420, fiveEach);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "'Lead' preset already exists.");
    EXPECT_EQ(lines[1], "Do you want to replace it?");
}

TEST(MessageBoxLayout, IconTextAndButtonsFitInTheBox) {
    const MessageBoxMeasures m;
    static const std::string longWord(300, 'w');
    struct Case {
        const char* text;
        bool icon;
        int buttons;
    };
    const Case cases[] = {
        {"Read error!", true, 1},
        {"Are You sure you want to delete all user presets?", true, 3},
        {"line one\nline two\nline three\nline four", true, 2},
        {"x", false, 1},
        {longWord.c_str(), true, 1},
    };
    for (const Case& c : cases) {
        const MessageBoxLayout layout = layoutMessageBox(c.text, c.icon, c.buttons, 13, fiveEach);
        const VSTGUI::CRect box(0, 0, layout.width, layout.height);
        ASSERT_EQ(static_cast<int>(layout.buttons.size()), c.buttons) << c.text;
        EXPECT_GE(layout.width, m.minimumWidth);
        int textBottom = layout.text.v + 13 * static_cast<int>(layout.lines.size());
        for (const std::string& line : layout.lines) {
            EXPECT_LE(layout.text.h + fiveEach(line), layout.width - m.margin) << c.text;
            EXPECT_LE(fiveEach(line), m.maxTextWidth) << c.text;
        }
        if (c.icon) {
            EXPECT_TRUE(box.contains(layout.icon));
            EXPECT_GE(layout.text.h, layout.icon.right) << "the text is right of the icon";
            textBottom = std::max(textBottom, static_cast<int>(layout.icon.bottom));
        }
        for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
            EXPECT_TRUE(box.contains(layout.buttons[i])) << c.text;
            EXPECT_GE(layout.buttons[i].top, textBottom) << "buttons below the text";
            if (i > 0) {
                EXPECT_EQ(layout.buttons[i].left, layout.buttons[i - 1].right + m.buttonGap);
            }
        }
        // The buttons are centred.
        EXPECT_LE(
            std::abs(layout.buttons.front().left - (layout.width - layout.buttons.back().right)), 1)
            << c.text;
    }
}

TEST(MessageBoxLayout, ShortTextSitsLevelWithTheIconsMiddle) {
    const MessageBoxLayout one = layoutMessageBox("Read error!", true, 1, 13, fiveEach);
    EXPECT_EQ(one.text.v, one.icon.top + (32 - 13) / 2);
    const MessageBoxLayout many = layoutMessageBox("1\n2\n3\n4", true, 1, 13, fiveEach);
    EXPECT_EQ(many.text.v, many.icon.top);
}

} // namespace
} // namespace kel::ui
