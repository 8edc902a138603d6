// Bitmaps on Linux: the BMP bytes built into the module (widgets/embedded_bitmaps.h), decoded
// once into pixels, a platform object counted while the bitmap lives; copied into a
// framebuffer by GDI's rules.
#include "widgets/bitmap.h"
#include "widgets/bitmap_copy_area.h"
#include "widgets/bmp_decoder.h"
#include "widgets/draw_context.h"
#include "widgets/embedded_bitmaps.h"
#include "widgets/framebuffer.h"
#include "widgets/platform_objects.h"
#include "widgets/raster.h"

namespace VSTGUI {

namespace {

void deletePixels(void* pixels, void*) {
    delete static_cast<Framebuffer*>(pixels);
    detail::countGdiObjects(-1);
}

Framebuffer* targetOf(CDrawContext* context) {
    return context ? static_cast<Framebuffer*>(context->getSystemContext()) : nullptr;
}

} // namespace

void CBitmap::load() {
    const EmbeddedBitmap* embedded = findEmbeddedBitmap(resourceId);
    if (!embedded) {
        return;
    }
    BmpDecoding decoded = decodeBmp(embedded->bytes, embedded->size);
    if (!decoded.ok()) {
        return;
    }
    width = decoded.image.width();
    height = decoded.image.height();
    detail::countGdiObjects(1);
    handle = PlatformHandle(new Framebuffer(std::move(decoded.image)), &deletePixels);
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    Framebuffer* target = targetOf(context);
    const CopyArea area = copyArea(rect, offset, width, height);
    if (!handle || !target || area.empty()) {
        return;
    }
    copyPixels(*target, *static_cast<const Framebuffer*>(handle.get()), area);
}

// GDI's single call and its mask method set the same pixels; here there is one way for both.
void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    drawMasked(context, rect, offset);
}

void CBitmap::drawMasked(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    Framebuffer* target = targetOf(context);
    const CopyArea area = copyArea(rect, offset, width, height);
    if (!handle || !target || area.empty()) {
        return;
    }
    copyPixelsKeyed(*target, *static_cast<const Framebuffer*>(handle.get()), area,
                    pixelOf(transparentColor));
}

} // namespace VSTGUI
