// The edit field's text under the keys a user presses, as a table of key sequences and what
// the field then holds; the preset name's limit and code page; scrolling to the caret.
#include "ui/text_field.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace kel::ui {
namespace {

bool windows1252(char32_t c) {
    return c >= 0x20 && c != 0x7f && (c <= 0xff || c == 0x20ac || c == 0x2122);
}

// Steps: "t:TEXT" types each character, "p:TEXT" pastes, and the keys "bs", "del", "left",
// "right", "home", "end", "wl", "wr", "all", each with "s+" in front for Shift; "c:N" clicks
// before character N, "sc:N" with Shift.
void run(TextField& field, const std::string& steps) {
    std::istringstream words(steps);
    for (std::string step; words >> step;) {
        const bool shift = step.rfind("s+", 0) == 0;
        const std::string key = shift ? step.substr(2) : step;
        using Move = TextField::Move;
        if (key.rfind("t:", 0) == 0) {
            for (const char c : key.substr(2)) {
                field.type(c == '_' ? U' ' : static_cast<char32_t>(c));
            }
        } else if (key.rfind("p:", 0) == 0) {
            const std::string text = key.substr(2);
            field.paste(std::u32string(text.begin(), text.end()));
        } else if (key.rfind("c:", 0) == 0 || key.rfind("sc:", 0) == 0) {
            field.placeCaret(std::stoul(key.substr(key.find(':') + 1)), key[0] == 's');
        } else if (key == "bs") {
            field.backspace();
        } else if (key == "del") {
            field.deleteForward();
        } else if (key == "all") {
            field.selectAll();
        } else {
            const Move move = key == "left"    ? Move::Left
                              : key == "right" ? Move::Right
                              : key == "home"  ? Move::Home
                              : key == "end"   ? Move::End
                              : key == "wl"    ? Move::WordLeft
                                               : Move::WordRight;
            field.move(move, shift);
        }
    }
}

std::string shown(const TextField& field) {
    // The text with [ and ] round the selection and | at the caret where nothing is selected.
    std::string out;
    const std::u32string& text = field.text();
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (field.hasSelection() && i == field.selectionStart()) {
            out += '[';
        }
        if (field.hasSelection() && i == field.selectionEnd()) {
            out += ']';
        }
        if (!field.hasSelection() && i == field.caret()) {
            out += '|';
        }
        if (i < text.size()) {
            out += static_cast<char>(text[i]);
        }
    }
    return out;
}

TEST(TextField, KeysEditTheTextAsADesktopFieldDoes) {
    struct Case {
        const char* steps;
        const char* expected;
    };
    const Case cases[] = {
        {"t:Lead", "Lead|"},
        {"t:Lead bs bs", "Le|"},
        {"t:Lead home del", "|ead"},
        {"t:Lead left left t:x", "Lex|ad"},
        {"t:Lead home right t:x end", "Lxead|"},
        {"t:Lead s+left s+left", "Le[ad]"},
        {"t:Lead s+home t:X", "X|"},
        {"t:Lead s+home bs", "|"},
        {"t:Lead s+left s+left left", "Le|ad"},         // a selection collapses to its start
        {"t:Lead home s+right s+right right", "Le|ad"}, // ... or its end
        {"t:Lead home s+end del", "|"},
        {"t:My_Lead_Tone wl", "My Lead |Tone"},
        {"t:My_Lead_Tone wl wl s+wr", "My [Lead ]Tone"},
        {"t:My_Lead_Tone home wr wr", "My Lead |Tone"},
        {"t:Lead c:2 t:-", "Le-|ad"},
        {"t:Lead c:1 sc:3", "L[ea]d"},
        {"t:ab all t:c", "c|"},
        {"bs del left home", "|"}, // nothing to take in an empty field
        {"t:ab end right right del", "ab|"},
        {"t:Lead s+home p:Solo", "Solo|"},
        {"t:ab left p:XY", "aXY|b"},
    };
    for (const Case& c : cases) {
        TextField field(windows1252, 64);
        run(field, c.steps);
        EXPECT_EQ(shown(field), c.expected) << c.steps;
    }
}

TEST(TextField, TypingStopsAtTheLimitButPastingTakesAllToBeToldTooLong) {
    TextField field(windows1252, 64);
    for (int i = 0; i < 64; ++i) {
        EXPECT_TRUE(field.type(U'a' + (i % 26)));
    }
    EXPECT_FALSE(field.type(U'x')) << "a 65th character cannot be typed";
    EXPECT_EQ(field.text().size(), 64u);
    // Over a selection a character may replace one.
    field.move(TextField::Move::Left, true);
    EXPECT_TRUE(field.type(U'Z'));
    EXPECT_EQ(field.text().size(), 64u);
    EXPECT_EQ(field.text().back(), U'Z');
    // Pasting goes beyond: the dialog then says the name is too long.
    EXPECT_TRUE(field.paste(U"more"));
    EXPECT_EQ(field.text().size(), 68u);
}

TEST(TextField, CharactersTheCodePageCannotHoldAreRefusedWithoutHarm) {
    TextField field(windows1252, 64);
    EXPECT_TRUE(field.type(U'\u00e9'));  // é
    EXPECT_TRUE(field.type(U'\u20ac'));  // the euro sign, 0x80 in the code page
    EXPECT_FALSE(field.type(U'\u4e2d')); // a CJK character
    EXPECT_FALSE(field.type(U'\u0007')); // a control character
    EXPECT_FALSE(field.type(U'\U0001f3b8'));
    EXPECT_EQ(field.text(), U"\u00e9\u20ac");
    // A paste keeps what can be held and says that not all could be.
    EXPECT_FALSE(field.paste(U"a\u4e2db"));
    EXPECT_EQ(field.text(), U"\u00e9\u20acab");
    // One line only; the line break a copied line ends with is no part of it.
    EXPECT_TRUE(field.paste(U"cd\n"));
    EXPECT_FALSE(field.paste(U"ef\r\ngh"));
    EXPECT_EQ(field.text(), U"\u00e9\u20acabcdef");
    // Setting the text keeps only what the field holds and selects it.
    field.setText(U"Lead\u4e2d Tone");
    EXPECT_EQ(field.text(), U"Lead Tone");
    EXPECT_EQ(field.selectionStart(), 0u);
    EXPECT_EQ(field.selectionEnd(), 9u);
}

TEST(TextField, TheFieldScrollsJustEnoughToShowTheCaret) {
    // Ten pixels a character, a field 50 pixels wide.
    const auto width = [](std::size_t from, std::size_t to) {
        return 10 * static_cast<int>(to - from);
    };
    struct Case {
        std::size_t firstShown, caret, expected;
    };
    const Case cases[] = {
        {0, 3, 0}, // in view
        {0, 5, 0}, // at the right edge, still in view
        {0, 8, 3}, // past it: scrolled by three
        {4, 2, 2}, // left of the view: it starts at the caret
        {4, 9, 4}, // in view of the scrolled field
        {4, 12, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scrollForCaret(c.firstShown, c.caret, 50, width), c.expected)
            << c.firstShown << " " << c.caret;
    }
}

} // namespace
} // namespace kel::ui
