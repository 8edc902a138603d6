#include "ui/text_field.h"

#include <algorithm>

namespace kel::ui {

namespace {

bool isWordCharacter(char32_t c) {
    return c != U' ' && c != U'\t';
}

} // namespace

TextField::TextField(std::function<bool(char32_t)> accepts, std::size_t typedLimit)
    : accepted(std::move(accepts)), limit(typedLimit) {}

std::size_t TextField::selectionStart() const {
    return std::min(anchor, caretAt);
}

std::size_t TextField::selectionEnd() const {
    return std::max(anchor, caretAt);
}

void TextField::setText(const std::u32string& text) {
    content.clear();
    for (const char32_t c : text) {
        if (accepted(c)) {
            content.push_back(c);
        }
    }
    selectAll();
}

void TextField::selectAll() {
    anchor = 0;
    caretAt = content.size();
}

void TextField::replaceSelection(const std::u32string& with) {
    const std::size_t start = selectionStart();
    content.replace(start, selectionEnd() - start, with);
    caretAt = anchor = start + with.size();
}

bool TextField::type(char32_t character) {
    if (!accepted(character)) {
        return false;
    }
    const std::size_t after = content.size() - (selectionEnd() - selectionStart()) + 1;
    if (limit != 0 && after > limit) {
        return false;
    }
    replaceSelection(std::u32string(1, character));
    return true;
}

bool TextField::paste(const std::u32string& text) {
    std::u32string line = text;
    // A copied line often ends with its line break, which is no part of it.
    while (!line.empty() && (line.back() == U'\n' || line.back() == U'\r')) {
        line.pop_back();
    }
    std::u32string kept;
    bool whole = true;
    for (const char32_t c : line) {
        if (c == U'\n' || c == U'\r') {
            whole = false; // a one-line field takes the first line
            break;
        }
        if (accepted(c)) {
            kept.push_back(c);
        } else {
            whole = false;
        }
    }
    if (!kept.empty()) {
        replaceSelection(kept);
    }
    return whole && !kept.empty();
}

void TextField::backspace() {
    if (!hasSelection() && caretAt > 0) {
        anchor = caretAt - 1;
    }
    replaceSelection({});
}

void TextField::deleteForward() {
    if (!hasSelection() && caretAt < content.size()) {
        anchor = caretAt + 1;
    }
    replaceSelection({});
}

void TextField::move(Move where, bool extend) {
    std::size_t to = caretAt;
    switch (where) {
    case Move::Left:
        // Without Shift a selection collapses to its start, as desktop fields do.
        to = !extend && hasSelection() ? selectionStart() : (caretAt > 0 ? caretAt - 1 : 0);
        break;
    case Move::Right:
        to = !extend && hasSelection() ? selectionEnd() : std::min(caretAt + 1, content.size());
        break;
    case Move::Home:
        to = 0;
        break;
    case Move::End:
        to = content.size();
        break;
    case Move::WordLeft:
        while (to > 0 && !isWordCharacter(content[to - 1])) {
            --to;
        }
        while (to > 0 && isWordCharacter(content[to - 1])) {
            --to;
        }
        break;
    case Move::WordRight:
        while (to < content.size() && isWordCharacter(content[to])) {
            ++to;
        }
        while (to < content.size() && !isWordCharacter(content[to])) {
            ++to;
        }
        break;
    }
    caretAt = to;
    if (!extend) {
        anchor = to;
    }
}

void TextField::placeCaret(std::size_t at, bool extend) {
    caretAt = std::min(at, content.size());
    if (!extend) {
        anchor = caretAt;
    }
}

std::size_t scrollForCaret(std::size_t firstShown, std::size_t caret, int visibleWidth,
                           const std::function<int(std::size_t, std::size_t)>& widthOf) {
    if (caret < firstShown) {
        return caret;
    }
    std::size_t first = firstShown;
    while (first < caret && widthOf(first, caret) > visibleWidth) {
        ++first;
    }
    return first;
}

} // namespace kel::ui
