// Text displays: CParamDisplay shows its value as text, CTextEdit a text of its own. Here they
// only display: CTextEdit's platform edit window is never opened.
#pragma once

#include "widgets/control.h"

namespace VSTGUI {

// Style bits.
enum CParamDisplayStyle : long {
    kShadowText = 0x04, // the text also drawn one pixel down and right in the shadow colour
    k3DIn = 0x80,
    k3DOut = 0x100,
    kNoTextStyle = 0x800,
    kNoDrawStyle = 0x1000,
};

class CParamDisplay : public CControl {
public:
    using StringConvert = void (*)(float value, char* text);
    using StringConvertWithData = void (*)(float value, char* text, void* userData);

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, long style = 0);

    void draw(CDrawContext* context) override;

    void setFont(int fontId);
    int getFont() const { return fontId; }
    void setTxtFace(int face);
    int getTxtFace() const { return textFace; }
    void setFontColor(CColor color);
    bool textFieldColors(CColor& text, CColor& back) const override {
        text = fontColor;
        back = backColor;
        return true;
    }
    CColor getFontColor() const { return fontColor; }
    void setBackColor(CColor color);
    CColor getBackColor() const { return backColor; }
    void setFrameColor(CColor color);
    CColor getFrameColor() const { return frameColor; }
    void setShadowColor(CColor color);
    CColor getShadowColor() const { return shadowColor; }
    void setHoriAlign(int align);
    int getHoriAlign() const { return horiAlign; }
    void setStyle(long newStyle);
    long getStyle() const { return style; }
    void setTextTransparency(bool state);
    bool getTextTransparency() const { return textTransparency; }
    // text receives up to 255 characters and the terminator.
    void setStringConvert(StringConvert convert);
    void setStringConvert(StringConvertWithData convert, void* userData);

protected:
    // Frame, fill and text of the display, with text as what it shows.
    void drawDisplay(CDrawContext* context, const char* text);
    // The conversion callbacks, when set, turn value into text.
    bool convertWithCallbacks(float shown, char* text) const;

    StringConvert stringConvert = nullptr;
    StringConvertWithData stringConvertWithData = nullptr;
    void* userData = nullptr;
    int horiAlign = kCenterText;
    long style;
    bool textTransparency = true;
    int fontId = kNormalFont;
    int textFace = kNormalFace;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
};

class CTextEdit : public CParamDisplay {
public:
    static constexpr int kTextSize = 256; // bytes, terminator included
    // Turns the text into what the display shows; shown takes kTextSize bytes.
    using TextConvert = void (*)(const char* text, char* shown);

    // text may be null (empty).
    CTextEdit(const CRect& size, CControlListener* listener, long tag, const char* text = nullptr,
              CBitmap* background = nullptr, long style = 0);

    void draw(CDrawContext* context) override;

    // Keeps the first 255 characters; null is ignored. Marks the view dirty when it changed.
    void setText(const char* newText);
    void getText(char* out) const; // out takes kTextSize bytes
    const char* getText() const { return text; }
    void setTextConvert(TextConvert convert);

private:
    TextConvert textConvert = nullptr;
    char text[kTextSize] = {};
};

} // namespace VSTGUI
