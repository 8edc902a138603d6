#include "widgets/bitmap.h"

namespace VSTGUI {

CBitmap::CBitmap(long id) : resourceId(id) {
    load();
}

CBitmap::~CBitmap() = default;

void CBitmap::forget() {
    if (--references == 0) {
        delete this;
    }
}

void CBitmap::setTransparentColor(CColor color) {
    if (!color.sameRgb(transparentColor)) {
        mask.reset();
    }
    transparentColor = color;
}

} // namespace VSTGUI
