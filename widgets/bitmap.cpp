#include "widgets/bitmap.h"

namespace VSTGUI {

CBitmap::CBitmap(long id) : resourceId(id) {
    load();
}

CBitmap::~CBitmap() {
    releaseMask();
    unload();
}

void CBitmap::forget() {
    if (--references == 0) {
        delete this;
    }
}

void CBitmap::setTransparentColor(CColor color) {
    if (!color.sameRgb(transparentColor)) {
        releaseMask();
    }
    transparentColor = color;
}

} // namespace VSTGUI
