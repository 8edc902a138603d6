// What the dialogs our own code draws on Linux (message boxes, the file chooser) are drawn with:
// the colours and font of the Windows build's dialogs under Wine, push buttons, sunken fields
// and the message icons.
#pragma once

#include <memory>
#include <string>

#include "widgets/framebuffer.h"
#include "widgets/geometry.h"

namespace VSTGUI {
class FreetypeFont;
}

namespace kel::ui {

using VSTGUI::CColor;
using VSTGUI::Framebuffer;

inline constexpr CColor kDialogFace{245, 245, 245, 0};
inline constexpr CColor kDialogText{0, 0, 0, 0};
inline constexpr CColor kDialogGreyText{128, 128, 128, 0};
inline constexpr CColor kFieldBackground{255, 255, 255, 0};
inline constexpr CColor kSelectionBackground{48, 150, 250, 0};
inline constexpr CColor kSelectionText{255, 255, 255, 0};

// A font for dialogs: Windows-1252 bytes or Unicode text, measured and drawn.
class DialogFont {
public:
    // The dialogs' face at Windows' 8 points (11 pixels to the em) unless told otherwise.
    explicit DialogFont(const std::string& face = "Arial", int characterHeight = 11,
                        bool bold = false);
    ~DialogFont();
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

    bool isOpen() const { return font != nullptr; }
    int width(const std::string& windows1252) const;
    int width(const std::u32string& text) const;
    int ascent() const;
    int lineHeight() const; // ascent plus descent
    // With its cell's top-left corner at origin, clipped to clip.
    void draw(Framebuffer& pixels, const std::string& windows1252, VSTGUI::CPoint origin,
              const VSTGUI::CRect& clip, CColor colour) const;
    void draw(Framebuffer& pixels, const std::u32string& text, VSTGUI::CPoint origin,
              const VSTGUI::CRect& clip, CColor colour) const;

private:
    std::unique_ptr<VSTGUI::FreetypeFont> font;
};

void fillRect(Framebuffer& pixels, const VSTGUI::CRect& rect, CColor colour);
// The four one-pixel edges of rect, top and left in one colour, bottom and right in another.
void drawEdges(Framebuffer& pixels, const VSTGUI::CRect& rect, CColor topLeft, CColor bottomRight);
// A push button: raised (sunken while pressed), with a dark ring when it is the default button
// and a dotted rectangle round its caption when it has the focus. The caption's "&" underlines.
void drawPushButton(Framebuffer& pixels, const VSTGUI::CRect& rect, const std::string& caption,
                    const DialogFont& font, bool pressed, bool isDefault, bool focused);
// The focus's dotted rectangle: every other pixel of rect's edges.
void drawFocusRect(Framebuffer& pixels, const VSTGUI::CRect& rect);
// A sunken white field's frame, two pixels each side.
void drawSunkenFrame(Framebuffer& pixels, const VSTGUI::CRect& rect);

enum class MessageIcon { None, Information, Question, Warning, Error };
inline constexpr int kMessageIconSize = 32;
void drawMessageIcon(Framebuffer& pixels, VSTGUI::CPoint at, MessageIcon icon);

} // namespace kel::ui
