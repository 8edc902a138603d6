// The draw context over a Windows GDI device context.
#include <cstring>
#include <utility>

#include "widgets/draw_context.h"
#include "widgets/frame.h"
#include "widgets/gdi_handles.h"
#include "widgets/win32_support.h"

namespace VSTGUI {

namespace {

HDC dcOf(void* context) {
    return static_cast<HDC>(context);
}

// Selects a new object, keeping the first one it replaced; the previous own object goes once it
// is no longer selected.
void replaceObject(HDC dc, PlatformHandle& current, void*& original, PlatformHandle replacement) {
    HGDIOBJ previous = SelectObject(dc, static_cast<HGDIOBJ>(replacement.get()));
    if (!original) {
        original = previous;
    }
    current = std::move(replacement);
}

} // namespace

CDrawContext::CDrawContext(CFrame* owner, void* context, void* windowHandle)
    : frame(owner), deviceContext(context), window(windowHandle) {
    if (!deviceContext && window) {
        windowContext = detail::borrowWindowDC(static_cast<HWND>(window));
        deviceContext = windowContext.get();
    }
}

CDrawContext::~CDrawContext() {
    // The own objects leave the device context before it is given back.
    releaseObjects();
}

void CDrawContext::releaseObjects() {
    if (!deviceContext) {
        return;
    }
    HDC dc = dcOf(deviceContext);
    PlatformHandle* const owned[] = {&pen, &brush, &font};
    void* const originals[] = {originalPen, originalBrush, originalFont};
    for (int i = 0; i < 3; ++i) {
        if (*owned[i]) {
            SelectObject(dc, static_cast<HGDIOBJ>(originals[i]));
            owned[i]->reset();
        }
    }
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
        replaceObject(dcOf(deviceContext), pen, originalPen, detail::ownGdiObject(created));
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
        replaceObject(dcOf(deviceContext), brush, originalBrush, detail::ownGdiObject(created));
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
        replaceObject(dcOf(deviceContext), font, originalFont, detail::ownGdiObject(created));
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

void CDrawContext::fillRect(const CRect& rect) {
    if (!deviceContext) {
        return;
    }
    if (!brush) {
        setFillColor(fillColor);
    }
    const RECT area{rect.left, rect.top, rect.right, rect.bottom};
    FillRect(dcOf(deviceContext), &area, static_cast<HBRUSH>(brush.get()));
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
