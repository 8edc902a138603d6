#include "ui/dialog_drawing_linux.h"

#include "ui/menu_model.h"
#include "widgets/font_freetype.h"
#include "widgets/raster.h"
#include "widgets/windows1252.h"

namespace kel::ui {

using VSTGUI::CPoint;
using VSTGUI::CRect;
using VSTGUI::pixelOf;

namespace {

// A raised button's edges, outside in, as the Windows build's buttons show under Wine.
constexpr CColor kDefaultRing{158, 158, 158, 0};
constexpr CColor kOuterLight{255, 255, 255, 0};
constexpr CColor kOuterShadow{106, 106, 106, 0};
constexpr CColor kInnerLight{227, 227, 227, 0};
constexpr CColor kInnerShadow{166, 166, 166, 0};

constexpr CColor kInformationBlue{52, 101, 164, 0};
constexpr CColor kErrorRed{204, 0, 0, 0};
constexpr CColor kWarningYellow{252, 200, 0, 0};
constexpr CColor kWhite{255, 255, 255, 0};

std::u32string unicodeOf(const std::string& windows1252) {
    std::u32string text;
    for (const char c : windows1252) {
        text.push_back(VSTGUI::windows1252ToUnicode(static_cast<unsigned char>(c)));
    }
    return text;
}

void drawDisc(Framebuffer& pixels, CPoint at, CColor colour) {
    // A disc of diameter 31 in the icon's square, its pixels those whose centre lies inside.
    for (int y = 0; y < kMessageIconSize; ++y) {
        for (int x = 0; x < kMessageIconSize; ++x) {
            const double dx = x + 0.5 - 16.0, dy = y + 0.5 - 16.0;
            if (dx * dx + dy * dy <= 15.5 * 15.5) {
                fillRect(pixels, CRect(at.h + x, at.v + y, at.h + x + 1, at.v + y + 1), colour);
            }
        }
    }
}

void drawGlyph(Framebuffer& pixels, CPoint iconAt, const char* glyph, CColor colour) {
    const DialogFont font("DejaVu Sans", 22, true);
    const int width = font.width(std::string(glyph));
    const CPoint origin(iconAt.h + (kMessageIconSize - width) / 2,
                        iconAt.v + (kMessageIconSize - font.lineHeight()) / 2 + 1);
    font.draw(pixels, std::string(glyph), origin,
              CRect::fromSize(iconAt, kMessageIconSize, kMessageIconSize), colour);
}

} // namespace

DialogFont::DialogFont(const std::string& face, int characterHeight, bool bold) {
    VSTGUI::FontRequest request{face, characterHeight};
    request.bold = bold;
    font = VSTGUI::FreetypeFont::open(request);
}

DialogFont::~DialogFont() = default;

int DialogFont::width(const std::string& windows1252) const {
    return font ? font->textWidth(windows1252.c_str()) : 0;
}

int DialogFont::width(const std::u32string& text) const {
    return font ? font->textWidth(text) : 0;
}

int DialogFont::ascent() const {
    return font ? font->ascent() : 0;
}

int DialogFont::lineHeight() const {
    return font ? font->cellHeight() : 0;
}

void DialogFont::draw(Framebuffer& pixels, const std::string& windows1252, CPoint origin,
                      const CRect& clip, CColor colour) const {
    draw(pixels, unicodeOf(windows1252), origin, clip, colour);
}

void DialogFont::draw(Framebuffer& pixels, const std::u32string& text, CPoint origin,
                      const CRect& clip, CColor colour) const {
    if (font) {
        font->draw(pixels, text, origin, clip, pixelOf(colour));
    }
}

void fillRect(Framebuffer& pixels, const CRect& rect, CColor colour) {
    VSTGUI::fillRectPixels(pixels, rect, pixelOf(colour));
}

void drawEdges(Framebuffer& pixels, const CRect& r, CColor topLeft, CColor bottomRight) {
    fillRect(pixels, CRect(r.left, r.top, r.right, r.top + 1), topLeft);
    fillRect(pixels, CRect(r.left, r.top, r.left + 1, r.bottom), topLeft);
    fillRect(pixels, CRect(r.left, r.bottom - 1, r.right, r.bottom), bottomRight);
    fillRect(pixels, CRect(r.right - 1, r.top, r.right, r.bottom), bottomRight);
}

void drawPushButton(Framebuffer& pixels, const CRect& rect, const std::string& caption,
                    const DialogFont& font, bool pressed, bool isDefault, bool focused) {
    fillRect(pixels, rect, kDialogFace);
    CRect r = rect;
    if (isDefault) {
        drawEdges(pixels, r, kDefaultRing, kDefaultRing);
        r = CRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    }
    if (pressed) {
        drawEdges(pixels, r, kOuterShadow, kOuterShadow);
    } else {
        drawEdges(pixels, r, kOuterLight, kOuterShadow);
        drawEdges(pixels, CRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1), kInnerLight,
                  kInnerShadow);
    }
    const CaptionText shown = captionText(caption);
    const int shift = pressed ? 1 : 0;
    const int textWidth = font.width(shown.text);
    const CPoint origin(rect.left + (rect.width() - textWidth) / 2 + shift,
                        rect.top + (rect.height() - font.lineHeight()) / 2 + shift);
    font.draw(pixels, shown.text, origin, rect, kDialogText);
    if (shown.underlined >= 0) {
        const int from =
            origin.h + font.width(shown.text.substr(0, static_cast<std::size_t>(shown.underlined)));
        const int to =
            origin.h +
            font.width(shown.text.substr(0, static_cast<std::size_t>(shown.underlined) + 1));
        const int y = origin.v + font.ascent() + 1;
        fillRect(pixels, CRect(from, y, to, y + 1), kDialogText);
    }
    if (focused) {
        // Three pixels inside the button.
        drawFocusRect(pixels, CRect(rect.left + 4, rect.top + 4, rect.right - 4, rect.bottom - 4));
    }
}

void drawFocusRect(Framebuffer& pixels, const CRect& rect) {
    for (int x = rect.left; x < rect.right; x += 2) {
        fillRect(pixels, CRect(x, rect.top, x + 1, rect.top + 1), kDialogText);
        fillRect(pixels, CRect(x, rect.bottom - 1, x + 1, rect.bottom), kDialogText);
    }
    for (int y = rect.top; y < rect.bottom; y += 2) {
        fillRect(pixels, CRect(rect.left, y, rect.left + 1, y + 1), kDialogText);
        fillRect(pixels, CRect(rect.right - 1, y, rect.right, y + 1), kDialogText);
    }
}

void drawSunkenFrame(Framebuffer& pixels, const CRect& rect) {
    drawEdges(pixels, rect, kInnerShadow, kOuterLight);
    drawEdges(pixels, CRect(rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1),
              kOuterShadow, kInnerLight);
}

void drawMessageIcon(Framebuffer& pixels, CPoint at, MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return;
    case MessageIcon::Information:
        drawDisc(pixels, at, kInformationBlue);
        drawGlyph(pixels, at, "i", kWhite);
        return;
    case MessageIcon::Question:
        drawDisc(pixels, at, kInformationBlue);
        drawGlyph(pixels, at, "?", kWhite);
        return;
    case MessageIcon::Error:
        drawDisc(pixels, at, kErrorRed);
        drawGlyph(pixels, at, "\xD7", kWhite); // the multiplication sign
        return;
    case MessageIcon::Warning:
        // A triangle standing on the icon's lower edge, its apex at the top.
        for (int y = 1; y < kMessageIconSize - 1; ++y) {
            const int half = (y * 15) / (kMessageIconSize - 2);
            fillRect(pixels,
                     CRect(at.h + 16 - half - 1, at.v + y, at.h + 16 + half + 1, at.v + y + 1),
                     kWarningYellow);
        }
        drawGlyph(pixels, CPoint(at.h, at.v + 3), "!", kDialogText);
        return;
    }
}

} // namespace kel::ui
