// The draw context on Linux: its device context is a Framebuffer, drawn into by GDI's rules
// (widgets/raster.h), text through fontconfig and FreeType. Pens and brushes are only colours
// here; a selected font is a platform object, counted while the context holds it. A context of a
// window draws into the window's framebuffer and shows it when it goes; without either nothing
// is drawn. The mouse reads are the window's (frame_window_xcb.cpp).
#include "widgets/draw_context.h"
#include "widgets/font_freetype.h"
#include "widgets/frame_window_platform.h"
#include "widgets/framebuffer.h"
#include "widgets/platform_objects.h"
#include "widgets/raster.h"
#include "widgets/text_layout.h"

namespace VSTGUI {

namespace {

Framebuffer* framebufferOf(void* context) {
    return static_cast<Framebuffer*>(context);
}

void deleteFont(void* font, void*) {
    delete static_cast<FreetypeFont*>(font);
    detail::countGdiObjects(-1);
}

CRect intersection(const CRect& a, const CRect& b) {
    const CRect both(a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                     a.right < b.right ? a.right : b.right,
                     a.bottom < b.bottom ? a.bottom : b.bottom);
    return both.width() > 0 && both.height() > 0 ? both : CRect();
}

} // namespace

CDrawContext::CDrawContext(CFrame* owner, void* context, void* windowHandle)
    : frame(owner), deviceContext(context), window(windowHandle) {
    if (!deviceContext && window) {
        deviceContext = windowFramebuffer(window);
    }
}

CDrawContext::~CDrawContext() {
    releaseObjects();
    // What was drawn into a window's pixels goes to the screen.
    if (window && deviceContext) {
        presentWindow(window);
    }
}

void CDrawContext::releaseObjects() {
    font.reset();
}

void CDrawContext::setFrameColor(CColor color) {
    frameColor = color;
}

void CDrawContext::setFillColor(CColor color) {
    fillColor = color;
}

void CDrawContext::setFont(int fontId, int size, int face) {
    if (!deviceContext) {
        return;
    }
    const FontDescription& description = fontDescription(fontId);
    FontRequest request;
    request.face = description.face;
    request.characterHeight = size > 0 ? size : description.height;
    request.bold = description.bold || (face & kBoldFace);
    request.italic = (face & kItalicFace) != 0;
    request.underline = (face & kUnderlineFace) != 0;
    // As with GDI, a font that cannot be made leaves the one selected before.
    std::unique_ptr<FreetypeFont> opened = FreetypeFont::open(request);
    if (opened) {
        detail::countGdiObjects(1);
        font = PlatformHandle(opened.release(), &deleteFont);
    }
}

void CDrawContext::moveTo(const CPoint& point) {
    penPosition = point;
}

void CDrawContext::lineTo(const CPoint& point) {
    if (deviceContext) {
        drawLinePixels(*framebufferOf(deviceContext), penPosition, point, pixelOf(frameColor));
    }
    penPosition = point;
}

void CDrawContext::fillRect(const CRect& rect) {
    if (deviceContext) {
        fillRectPixels(*framebufferOf(deviceContext), rect, pixelOf(fillColor));
    }
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, int hAlign) {
    if (!deviceContext || !text) {
        return;
    }
    if (!font) {
        setFont(kSystemFont);
    }
    if (!font) {
        return;
    }
    Framebuffer& target = *framebufferOf(deviceContext);
    FreetypeFont& selected = *static_cast<FreetypeFont*>(font.get());
    const TextPlacement placement =
        placeText(rect, hAlign, selected.textWidth(text), selected.cellHeight());
    if (opaque) {
        const CRect cell = intersection(placement.cell, placement.clip);
        if (cell.width() > 0) {
            fillRectPixels(target, cell, pixelOf(fillColor));
        }
    }
    selected.draw(target, text, placement.cell.topLeft(), placement.clip, pixelOf(fontColor));
}

} // namespace VSTGUI
