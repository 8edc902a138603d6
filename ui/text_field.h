// The text of a one-line edit field and how the keyboard and the mouse change it, as a desktop
// edit field has it: a caret, a selection from an anchor, typing over the selection, Backspace
// and Delete, the arrow keys, Home and End (with Shift to select), paste. Pure: the Linux name
// field and file chooser draw it and feed it their keys.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace kel::ui {

class TextField {
public:
    // accepts: whether a character may stand in the field at all (for preset names: those of
    // Windows-1252); typedLimit: the most characters typing makes (0: no limit). Pasting is not
    // held to the limit, so that what it brings can be told to be too long.
    explicit TextField(std::function<bool(char32_t)> accepts, std::size_t typedLimit = 0);

    const std::u32string& text() const { return content; }
    std::size_t caret() const { return caretAt; }
    // The selection's ends, first <= last; equal when nothing is selected.
    std::size_t selectionStart() const;
    std::size_t selectionEnd() const;
    bool hasSelection() const { return anchor != caretAt; }

    // Replaces the whole text (cut to the characters accepted) and selects all of it.
    void setText(const std::u32string& text);
    void selectAll();

    // What typing or pasting did: false when something was refused (a character not accepted,
    // the limit reached), which a field answers with a beep.
    bool type(char32_t character);
    bool paste(const std::u32string& text);
    void backspace();
    void deleteForward();

    enum class Move { Left, Right, Home, End, WordLeft, WordRight };
    // With extend the selection grows from its anchor (Shift); without it a selection collapses.
    void move(Move where, bool extend);
    // A click at character position `at`, extending with Shift or while dragging.
    void placeCaret(std::size_t at, bool extend);

private:
    void replaceSelection(const std::u32string& with);

    std::function<bool(char32_t)> accepted;
    std::size_t limit;
    std::u32string content;
    std::size_t caretAt = 0;
    std::size_t anchor = 0;
};

// The first character shown of a field `visibleWidth` pixels wide whose text starts at
// `firstShown`, so that the caret is in view: as it was where it can be, scrolled by as little
// as needed otherwise. widthOf(from, to): the pixel width of the text's characters from to to.
std::size_t scrollForCaret(std::size_t firstShown, std::size_t caret, int visibleWidth,
                           const std::function<int(std::size_t, std::size_t)>& widthOf);

} // namespace kel::ui
