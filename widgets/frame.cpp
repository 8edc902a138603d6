#include "widgets/frame.h"

#include <new>

#include "widgets/bitmap.h"
#include "widgets/draw_context.h"

namespace VSTGUI {

namespace {
constexpr long kViewListGrowth = 20; // entries added each time the view list is full
}

CFrame::CFrame(const CRect& rect, void* parent, FrameEditor* owner)
    : CView(rect), editor(owner), parentWindow(parent) {
    openWindow();
}

CFrame::~CFrame() {
    removeAll(true);
    setModalView(nullptr);
    exchangeBitmap(background, nullptr);
    closeWindow();
    delete[] views;
}

void CFrame::windowDestroyed() {
    open = false;
    parentWindow = nullptr;
}

void CFrame::detachEditor() {
    editor = nullptr;
    for (long i = 0; i < viewCount; ++i) {
        views[i]->forgetListener();
    }
    if (modalView) {
        modalView->forgetListener();
    }
}

bool CFrame::growViewList() {
    CView** grown = new (std::nothrow) CView*[viewCapacity + kViewListGrowth];
    if (!grown) {
        return false;
    }
    for (long i = 0; i < viewCount; ++i) {
        grown[i] = views[i];
    }
    delete[] views;
    views = grown;
    viewCapacity += kViewListGrowth;
    return true;
}

bool CFrame::addView(CView* view) {
    if (!view || (viewCount == viewCapacity && !growViewList())) {
        return false;
    }
    views[viewCount++] = view;
    view->setFrame(this);
    view->setParentView(this);
    return true;
}

bool CFrame::removeView(CView* view, bool withForget) {
    for (long i = 0; i < viewCount; ++i) {
        if (views[i] != view) {
            continue;
        }
        for (long j = i + 1; j < viewCount; ++j) {
            views[j - 1] = views[j];
        }
        --viewCount;
        if (focusView == view) {
            focusView = nullptr;
        }
        if (modalView == view) {
            setModalView(nullptr);
        }
        view->setFrame(nullptr);
        view->setParentView(nullptr);
        if (withForget) {
            view->forget();
        }
        return true;
    }
    return false;
}

void CFrame::removeAll(bool withForget) {
    while (viewCount > 0) {
        removeView(views[viewCount - 1], withForget);
    }
}

bool CFrame::isChild(const CView* view) const {
    for (long i = 0; i < viewCount; ++i) {
        if (views[i] == view) {
            return true;
        }
    }
    return false;
}

CView* CFrame::getView(long index) const {
    return index >= 0 && index < viewCount ? views[index] : nullptr;
}

void CFrame::setBackground(CBitmap* bitmap) {
    exchangeBitmap(background, bitmap);
    setDirty();
}

void CFrame::setModalView(CView* view) {
    if (view) {
        view->remember();
    }
    if (modalView) {
        modalView->forget();
    }
    modalView = view;
}

void CFrame::setFocusView(CView* view) {
    focusView = view;
}

void CFrame::beginEdit(long tag) {
    if (editor) {
        editor->beginEdit(tag);
    }
}

void CFrame::endEdit(long tag) {
    if (editor) {
        editor->endEdit(tag);
    }
}

long CFrame::getKnobMode() const {
    return editor ? editor->getKnobMode() : kCircularMode;
}

void CFrame::doIdleStuff() {
    if (editor) {
        editor->doIdleStuff();
    }
}

bool CFrame::isSomethingDirty() const {
    if (isDirty() || (modalView && modalView->isDirty())) {
        return true;
    }
    for (long i = 0; i < viewCount; ++i) {
        if (views[i]->isDirty()) {
            return true;
        }
    }
    return false;
}

void CFrame::idle() {
    if (!open || firstDrawPending || !isSomethingDirty()) {
        return;
    }
    CDrawContext context(this, nullptr, window);
    update(&context);
}

void CFrame::redraw() {
    if (!open) {
        return;
    }
    CDrawContext context(this, nullptr, window);
    draw(&context);
}

void CFrame::draw(CDrawContext* context) {
    if (background) {
        background->draw(context,
                         CRect::fromSize({0, 0}, background->getWidth(), background->getHeight()));
    }
    for (long i = 0; i < viewCount; ++i) {
        views[i]->draw(context);
    }
    if (modalView) {
        modalView->draw(context);
    }
    firstDrawPending = false;
    CView::setDirty(false);
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect) {
    if (background) {
        // Only the part of the background that exists under the rectangle.
        CRect part = updateRect;
        part.left = part.left < 0 ? 0 : part.left;
        part.top = part.top < 0 ? 0 : part.top;
        part.right = part.right > background->getWidth() ? background->getWidth() : part.right;
        part.bottom = part.bottom > background->getHeight() ? background->getHeight() : part.bottom;
        if (part.width() > 0 && part.height() > 0) {
            background->draw(context, part, part.topLeft());
        }
    }
    for (long i = 0; i < viewCount; ++i) {
        if (views[i]->getViewSize().intersects(updateRect)) {
            views[i]->drawRect(context, updateRect);
        }
    }
    if (modalView && modalView->getViewSize().intersects(updateRect)) {
        modalView->drawRect(context, updateRect);
    }
    if (updateRect.contains(CRect::fromSize({0, 0}, size.width(), size.height()))) {
        firstDrawPending = false;
        CView::setDirty(false);
    }
}

void CFrame::update(CDrawContext* context) {
    if (!open) {
        return;
    }
    if (modalView) {
        modalView->update(context);
        return;
    }
    if (isDirty()) {
        draw(context);
        return;
    }
    for (long i = 0; i < viewCount; ++i) {
        views[i]->update(context);
    }
}

CView* CFrame::viewAt(const CPoint& where) const {
    for (long i = viewCount - 1; i >= 0; --i) {
        if (views[i]->getMouseEnabled() && views[i]->hitTest(where)) {
            return views[i];
        }
    }
    return nullptr;
}

void CFrame::mouse(CDrawContext* context, CPoint& where) {
    if (focusView) {
        CView* losing = focusView;
        focusView = nullptr;
        losing->looseFocus(context);
    }
    CView* target = modalView ? modalView : viewAt(where);
    if (!target || !target->getMouseEnabled() || !target->hitTest(where)) {
        return;
    }
    // A control's mouse loop lets the host run; should the host close the editor meanwhile,
    // the frame and the view live on until the loop is over.
    remember();
    target->remember();
    target->mouse(context, where);
    target->forget();
    forget();
}

long CFrame::dispatchKey(KeyCode& key, long (CView::*handler)(KeyCode&)) {
    if (focusView && (focusView->*handler)(key) != -1) {
        return 1;
    }
    if (modalView && (modalView->*handler)(key) != -1) {
        return 1;
    }
    for (long i = viewCount - 1; i >= 0; --i) {
        if ((views[i]->*handler)(key) != -1) {
            return 1;
        }
    }
    return -1;
}

long CFrame::onKeyDown(KeyCode& key) {
    return dispatchKey(key, &CView::onKeyDown);
}

long CFrame::onKeyUp(KeyCode& key) {
    return dispatchKey(key, &CView::onKeyUp);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    CView* target = modalView ? modalView : viewAt(where);
    return target && target->onWheel(context, where, distance);
}

bool CFrame::onWheel(float distance) {
    if (!open) {
        return false;
    }
    CDrawContext context(this, nullptr, window);
    CPoint where;
    context.getMouseLocation(where);
    return onWheel(&context, where, distance);
}

bool CFrame::onDrop(const char* const* items, long count, long type, CPoint& where) {
    CView* target = modalView ? modalView : viewAt(where);
    return target && target->onDrop(items, count, type, where);
}

} // namespace VSTGUI
