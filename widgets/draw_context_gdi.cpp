// The draw context over a Windows GDI device context.
#include <cstring>

#include "widgets/draw_context.h"
#include "widgets/frame.h"
#include "widgets/platform_objects.h"
#include "widgets/win32_support.h"

namespace VSTGUI {

namespace {

HDC dcOf(void* context) {
    return static_cast<HDC>(context);
}

// Selects a new object, keeping the first one it replaced; deletes the previous own object.
void replaceObject(HDC dc, void*& current, void*& original, HGDIOBJ replacement) {
    HGDIOBJ previous = SelectObject(dc, replacement);
    if (!original) {
        original = previous;
    }
    if (current) {
        DeleteObject(static_cast<HGDIOBJ>(current));
        detail::countGdiObjects(-1);
    }
    current = replacement;
}

} // namespace

CDrawContext::CDrawContext(CFrame* owner, void* context, void* windowHandle)
    : frame(owner), deviceContext(context), window(windowHandle) {
    if (!deviceContext && window) {
        deviceContext = GetDC(static_cast<HWND>(window));
        ownsDeviceContext = deviceContext != nullptr;
        if (ownsDeviceContext) {
            detail::countGdiObjects(1);
        }
    }
}

CDrawContext::~CDrawContext() {
    releaseObjects();
    if (ownsDeviceContext) {
        ReleaseDC(static_cast<HWND>(window), dcOf(deviceContext));
        detail::countGdiObjects(-1);
    }
}

void CDrawContext::releaseObjects() {
    if (!deviceContext) {
        return;
    }
    HDC dc = dcOf(deviceContext);
    void* const owned[] = {pen, brush, font};
    void* const originals[] = {originalPen, originalBrush, originalFont};
    for (int i = 0; i < 3; ++i) {
        if (owned[i]) {
            SelectObject(dc, static_cast<HGDIOBJ>(originals[i]));
            DeleteObject(static_cast<HGDIOBJ>(owned[i]));
            detail::countGdiObjects(-1);
        }
    }
    pen = brush = font = nullptr;
}

void CDrawContext::setFrameColor(CColor color) {
    if (pen && color == frameColor) {
        return;
    }
    frameColor = color;
    if (!deviceContext) {
        return;
    }
    HPEN created = CreatePen(PS_SOLID, 1, colorRef(color));
    if (created) {
        detail::countGdiObjects(1);
        replaceObject(dcOf(deviceContext), pen, originalPen, created);
    }
}

void CDrawContext::setFillColor(CColor color) {
    if (brush && color == fillColor) {
        return;
    }
    fillColor = color;
    if (!deviceContext) {
        return;
    }
    HBRUSH created = CreateSolidBrush(colorRef(color));
    if (created) {
        detail::countGdiObjects(1);
        replaceObject(dcOf(deviceContext), brush, originalBrush, created);
    }
}

void CDrawContext::setFont(int fontId, int size, int face) {
    if (!deviceContext) {
        return;
    }
    const FontDescription& description = fontDescription(fontId);
    const bool bold = description.bold || (face & kBoldFace);
    HFONT created = CreateFontA(
        -(size > 0 ? size : description.height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
        (face & kItalicFace) ? TRUE : FALSE, (face & kUnderlineFace) ? TRUE : FALSE, FALSE,
        ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        VARIABLE_PITCH | (description.decorative ? FF_DECORATIVE : FF_SWISS), description.face);
    if (created) {
        detail::countGdiObjects(1);
        replaceObject(dcOf(deviceContext), font, originalFont, created);
    }
}

void CDrawContext::moveTo(const CPoint& point) {
    penPosition = point;
}

void CDrawContext::lineTo(const CPoint& point) {
    if (deviceContext) {
        if (!pen) {
            setFrameColor(frameColor);
        }
        HDC dc = dcOf(deviceContext);
        MoveToEx(dc, penPosition.h, penPosition.v, nullptr);
        LineTo(dc, point.h, point.v);
    }
    penPosition = point;
}

void CDrawContext::drawRect(const CRect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    const CPoint topLeft(rect.left, rect.top);
    moveTo(topLeft);
    lineTo(CPoint(rect.right - 1, rect.top));
    lineTo(CPoint(rect.right - 1, rect.bottom - 1));
    lineTo(CPoint(rect.left, rect.bottom - 1));
    lineTo(topLeft);
}

void CDrawContext::fillRect(const CRect& rect) {
    if (!deviceContext) {
        return;
    }
    if (!brush) {
        setFillColor(fillColor);
    }
    const RECT area{rect.left, rect.top, rect.right, rect.bottom};
    FillRect(dcOf(deviceContext), &area, static_cast<HBRUSH>(brush));
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, int hAlign) {
    if (!deviceContext || !text) {
        return;
    }
    HDC dc = dcOf(deviceContext);
    if (!font) {
        setFont(kSystemFont);
    }
    SetTextColor(dc, colorRef(fontColor));
    SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
    if (opaque) {
        SetBkColor(dc, colorRef(fillColor));
    }
    RECT area{rect.left, rect.top, rect.right, rect.bottom};
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    switch (hAlign) {
    case kLeftText:
        area.left += 1;
        flags |= DT_LEFT;
        break;
    case kRightText:
        flags |= DT_RIGHT;
        break;
    default:
        flags |= DT_CENTER;
        break;
    }
    DrawTextA(dc, text, -1, &area, flags);
}

long CDrawContext::readSystemMouseButtons() const {
    // The asynchronous key state reports the physical buttons; with swapped buttons the physical
    // right one is the primary button.
    const bool swapped = mouseButtonsSwapped();
    long buttons = 0;
    if (GetAsyncKeyState(VK_LBUTTON) < 0) {
        buttons |= swapped ? kRButton : kLButton;
    }
    if (GetAsyncKeyState(VK_MBUTTON) < 0) {
        buttons |= kMButton;
    }
    if (GetAsyncKeyState(VK_RBUTTON) < 0) {
        buttons |= swapped ? kLButton : kRButton;
    }
    if (GetAsyncKeyState(VK_SHIFT) < 0) {
        buttons |= kShift;
    }
    if (GetAsyncKeyState(VK_CONTROL) < 0) {
        buttons |= kControl;
    }
    if (GetAsyncKeyState(VK_MENU) < 0) {
        buttons |= kAlt;
    }
    return buttons;
}

CPoint CDrawContext::readSystemMouseLocation() const {
    POINT cursor{};
    GetCursorPos(&cursor);
    HWND reference = static_cast<HWND>(window);
    if (!reference && frame) {
        reference = static_cast<HWND>(frame->getSystemWindow());
    }
    if (reference) {
        ScreenToClient(reference, &cursor);
    }
    return {cursor.x, cursor.y};
}

} // namespace VSTGUI
