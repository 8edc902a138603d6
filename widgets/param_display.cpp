#include "widgets/param_display.h"

#include <cstdio>
#include <cstring>

#include "widgets/bitmap.h"
#include "widgets/draw_context.h"

namespace VSTGUI {

namespace {

// Copies at most size - 1 characters and always terminates.
void copyBounded(char* out, const char* in, std::size_t size) {
    std::size_t length = 0;
    while (length + 1 < size && in[length]) {
        out[length] = in[length];
        ++length;
    }
    out[length] = 0;
}

} // namespace

CParamDisplay::CParamDisplay(const CRect& rect, CBitmap* bitmap, long displayStyle)
    : CControl(rect, nullptr, 0, bitmap), style(displayStyle) {
    if (style & kNoDrawStyle) {
        setDirty(false);
    }
}

void CParamDisplay::setFont(int id) {
    changeAttribute(fontId, id);
}

void CParamDisplay::setTxtFace(int face) {
    changeAttribute(textFace, face);
}

void CParamDisplay::setFontColor(CColor color) {
    changeAttribute(fontColor, color);
}

void CParamDisplay::setBackColor(CColor color) {
    changeAttribute(backColor, color);
}

void CParamDisplay::setFrameColor(CColor color) {
    changeAttribute(frameColor, color);
}

void CParamDisplay::setShadowColor(CColor color) {
    changeAttribute(shadowColor, color);
}

void CParamDisplay::setHoriAlign(int align) {
    changeAttribute(horiAlign, align);
}

void CParamDisplay::setStyle(long newStyle) {
    changeAttribute(style, newStyle);
}

void CParamDisplay::setTextTransparency(bool state) {
    changeAttribute(textTransparency, state);
}

void CParamDisplay::setStringConvert(StringConvert convert) {
    stringConvert = convert;
    setDirty();
}

void CParamDisplay::setStringConvert(StringConvertWithData convert, void* data) {
    stringConvertWithData = convert;
    userData = data;
    setDirty();
}

bool CParamDisplay::convertWithCallbacks(float shown, char* text) const {
    if (stringConvertWithData) {
        stringConvertWithData(shown, text, userData);
    } else if (stringConvert) {
        stringConvert(shown, text);
    } else {
        return false;
    }
    text[CTextEdit::kTextSize - 1] = 0;
    return true;
}

void CParamDisplay::draw(CDrawContext* context) {
    char text[CTextEdit::kTextSize] = {};
    if (!convertWithCallbacks(value, text)) {
        std::snprintf(text, sizeof(text), "%2.2f", static_cast<double>(value));
    }
    drawDisplay(context, text);
}

void CParamDisplay::drawDisplay(CDrawContext* context, const char* text) {
    setDirty(false);
    if (style & kNoDrawStyle) {
        return;
    }
    if (background) {
        drawBackground(context, CPoint());
    } else if (!transparent) {
        context->setFillColor(backColor);
        context->fillRect(size);
        if (!(style & (k3DIn | k3DOut))) {
            context->setFrameColor(frameColor);
            context->drawRect(size);
        } else {
            // Left and top edge in one colour, right and bottom in the other.
            const CPoint topLeft(size.left, size.top);
            const CPoint topRight(size.right - 1, size.top);
            const CPoint bottomLeft(size.left, size.bottom - 1);
            const CPoint bottomRight(size.right - 1, size.bottom - 1);
            const bool inset = (style & k3DIn) != 0;
            context->setFrameColor(inset ? backColor : frameColor);
            context->moveTo(bottomLeft);
            context->lineTo(topLeft);
            context->lineTo(topRight);
            context->setFrameColor(inset ? frameColor : backColor);
            context->lineTo(bottomRight);
            context->lineTo(bottomLeft);
        }
    }
    if ((style & kNoTextStyle) || !text || !text[0]) {
        return;
    }
    context->setFont(fontId, 0, textFace);
    if (style & kShadowText) {
        context->setFontColor(shadowColor);
        context->drawString(text, size.offset(1, 1), !textTransparency, horiAlign);
    }
    context->setFontColor(fontColor);
    context->drawString(text, size, !textTransparency, horiAlign);
}

CTextEdit::CTextEdit(const CRect& rect, CControlListener* owner, long controlTag,
                     const char* initialText, CBitmap* bitmap, long displayStyle)
    : CParamDisplay(rect, bitmap, displayStyle) {
    listener = owner;
    tag = controlTag;
    if (initialText) {
        copyBounded(text, initialText, sizeof(text));
    }
}

void CTextEdit::setText(const char* newText) {
    if (!newText) {
        return;
    }
    char bounded[kTextSize];
    copyBounded(bounded, newText, sizeof(bounded));
    if (std::strcmp(bounded, text) != 0) {
        std::memcpy(text, bounded, sizeof(text));
        setDirty();
    }
}

void CTextEdit::getText(char* out) const {
    if (out) {
        copyBounded(out, text, kTextSize);
    }
}

void CTextEdit::setTextConvert(TextConvert convert) {
    textConvert = convert;
    setDirty();
}

void CTextEdit::draw(CDrawContext* context) {
    char shown[kTextSize] = {};
    if (textConvert) {
        textConvert(text, shown);
        shown[kTextSize - 1] = 0;
    } else {
        copyBounded(shown, text, sizeof(shown));
    }
    drawDisplay(context, shown);
}

} // namespace VSTGUI
