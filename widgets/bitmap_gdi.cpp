// Bitmaps from the module's resources, drawn with GDI.
#include "widgets/bitmap.h"
#include "widgets/bitmap_copy_area.h"
#include "widgets/draw_context.h"
#include "widgets/frame.h"
#include "widgets/gdi_handles.h"
#include "widgets/win32_support.h"
#include "win32/module.h"
#include "win32/object_selection.h"

namespace VSTGUI {

namespace {

// A memory device context with a bitmap selected, undone when it goes.
class SelectedBitmap {
public:
    SelectedBitmap(HDC compatibleWith, HGDIOBJ bitmap)
        : memory(detail::createMemoryDC(compatibleWith)), selection(dc(), bitmap) {}

    HDC dc() const { return detail::dcOf(memory); }

private:
    PlatformHandle memory;
    // Declared after the device context: undone before it goes.
    kel::win32::ObjectSelection selection;
};

} // namespace

void CBitmap::load() {
    HBITMAP loaded = LoadBitmapA(kel::win32::thisModule(), MAKEINTRESOURCEA(resourceId));
    if (!loaded) {
        return;
    }
    BITMAP info{};
    GetObjectA(loaded, sizeof(info), &info);
    handle = detail::ownGdiObject(loaded);
    width = info.bmWidth;
    height = info.bmHeight;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    HDC target = context ? static_cast<HDC>(context->getSystemContext()) : nullptr;
    const CopyArea area = copyArea(rect, offset, width, height);
    if (!handle || !target || area.empty()) {
        return;
    }
    SelectedBitmap source(target, handle.get());
    if (source.dc()) {
        BitBlt(target, area.x, area.y, area.width, area.height, source.dc(), area.sourceX,
               area.sourceY, SRCCOPY);
    }
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    HDC target = context ? static_cast<HDC>(context->getSystemContext()) : nullptr;
    const CopyArea area = copyArea(rect, offset, width, height);
    if (!handle || !target || area.empty()) {
        return;
    }
    auto transparentBlt = reinterpret_cast<TransparentBltFunction>(
        context->getFrame() ? context->getFrame()->getTransparentBlt() : nullptr);
    if (!transparentBlt) {
        drawMasked(context, rect, offset);
        return;
    }
    SelectedBitmap source(target, handle.get());
    if (source.dc()) {
        transparentBlt(target, area.x, area.y, area.width, area.height, source.dc(), area.sourceX,
                       area.sourceY, area.width, area.height, colorRef(transparentColor));
    }
}

void CBitmap::drawMasked(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    HDC target = static_cast<HDC>(context->getSystemContext());
    const CopyArea area = copyArea(rect, offset, width, height);
    SelectedBitmap source(target, handle.get());
    if (!source.dc()) {
        return;
    }
    if (!mask) {
        // One bit per pixel, set where the bitmap shows the transparent colour.
        HBITMAP created = CreateBitmap(width, height, 1, 1, nullptr);
        if (!created) {
            return;
        }
        mask = detail::ownGdiObject(created);
        SelectedBitmap maskSource(target, mask.get());
        const COLORREF previousBack = SetBkColor(source.dc(), colorRef(transparentColor));
        BitBlt(maskSource.dc(), 0, 0, width, height, source.dc(), 0, 0, SRCCOPY);
        SetBkColor(source.dc(), previousBack);
    }
    SelectedBitmap maskSource(target, mask.get());
    if (!maskSource.dc()) {
        return;
    }
    // Set mask bits become white and keep the destination; clear ones become black.
    const COLORREF previousBack = SetBkColor(target, RGB(255, 255, 255));
    const COLORREF previousText = SetTextColor(target, RGB(0, 0, 0));
    BitBlt(target, area.x, area.y, area.width, area.height, source.dc(), area.sourceX, area.sourceY,
           SRCINVERT);
    BitBlt(target, area.x, area.y, area.width, area.height, maskSource.dc(), area.sourceX,
           area.sourceY, SRCAND);
    BitBlt(target, area.x, area.y, area.width, area.height, source.dc(), area.sourceX, area.sourceY,
           SRCINVERT);
    SetBkColor(target, previousBack);
    SetTextColor(target, previousText);
}

} // namespace VSTGUI
