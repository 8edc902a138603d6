#include "widgets/view.h"

namespace VSTGUI {

CView::CView(const CRect& rect) : size(rect), mouseableArea(rect) {}

void CView::forget() {
    if (--references == 0) {
        delete this;
    }
}

void CView::update(CDrawContext* context) {
    if (isDirty()) {
        draw(context);
        setDirty(false);
    }
}

void CView::setViewSize(const CRect& rect) {
    size = rect;
    setDirty();
}

} // namespace VSTGUI
