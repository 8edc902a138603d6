// Drawing and mouse state for the views: pens, brushes, fonts and text over a platform device
// context, and the mouse buttons and position as the controls' tracking loops read them.
#pragma once

#include "widgets/geometry.h"
#include "widgets/platform_handle.h"

namespace VSTGUI {

class CFrame;

// A mouse the tests can move: while one is set (setMouseFeed), every context reads the buttons
// and the position from it instead of from the system.
struct MouseState {
    long buttons = 0; // CButton bits
    CPoint location;  // frame-window coordinates
};

class CDrawContext {
public:
    // Draws into deviceContext, or, when that is null, into the window's own device context,
    // which the destructor gives back. frame may be null (drawing into an off-screen bitmap):
    // transparent copies then use the mask method.
    CDrawContext(CFrame* frame, void* deviceContext, void* window = nullptr);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    void moveTo(const CPoint& point);
    // A one-pixel line from the pen position up to, not including, point.
    void lineTo(const CPoint& point);
    void drawLine(const CPoint& from, const CPoint& to) {
        moveTo(from);
        lineTo(to);
    }
    // The outline of the rectangle's pixels (left to right - 1, top to bottom - 1), frame colour.
    void drawRect(const CRect& rect);
    // The rectangle's pixels in the fill colour.
    void fillRect(const CRect& rect);

    void setFrameColor(CColor color);
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(CColor color);
    CColor getFillColor() const { return fillColor; }
    void setFontColor(CColor color) { fontColor = color; }
    CColor getFontColor() const { return fontColor; }
    // A CFont id (others mean kSystemFont); size 0 takes the id's own height; face: CTxtFace bits.
    void setFont(int fontId, int size = 0, int face = kNormalFace);

    // One line, vertically centred, no prefix processing, in the font colour; left-aligned text
    // starts one pixel in from the left edge. With opaque the text cells are filled in the fill
    // colour first.
    void drawString(const char* text, const CRect& rect, bool opaque = false,
                    int hAlign = kCenterText);

    // CButton bits of the mouse buttons and modifier keys at this moment.
    long getMouseButtons();
    // The pointer position in frame-window coordinates at this moment.
    void getMouseLocation(CPoint& where);

    CFrame* getFrame() const { return frame; }
    void* getSystemContext() const { return deviceContext; }
    void* getWindow() const { return window; }

    // Replaces the real mouse by *state while state is not null. User-interface thread only.
    static void setMouseFeed(const MouseState* state);

private:
    long readSystemMouseButtons() const;
    CPoint readSystemMouseLocation() const;
    void releaseObjects();

    CFrame* frame;
    void* deviceContext;
    void* window;
    PlatformHandle windowContext; // the window's own device context, when it was borrowed
    CColor frameColor = kBlackCColor;
    CColor fillColor = kWhiteCColor;
    CColor fontColor = kBlackCColor;
    CPoint penPosition;
    // Platform objects selected into the device context, and what they replaced. Declared after
    // the device context, so that they would go before it.
    PlatformHandle pen;
    PlatformHandle brush;
    PlatformHandle font;
    void* originalPen = nullptr;
    void* originalBrush = nullptr;
    void* originalFont = nullptr;
};

// The font behind a font id: character height in pixels, face name, weight and pitch family.
struct FontDescription {
    int height;
    const char* face;
    bool bold;
    bool decorative; // FF_DECORATIVE rather than FF_SWISS
};
const FontDescription& fontDescription(int fontId);

} // namespace VSTGUI
