// A view: a rectangle of the frame that draws itself and may take the mouse, keys, the wheel and
// drops. Views are reference counted; the frame forgets the views it holds when it goes.
#pragma once

#include "widgets/geometry.h"

namespace VSTGUI {

class CDrawContext;
class CFrame;

// What a drop carries (CView::onDrop).
enum CDropType : long {
    kDropFiles = 1, // items are file paths, shortcuts already resolved
    kDropText = 2,  // one item, the text
};

class CView {
public:
    explicit CView(const CRect& size);
    virtual ~CView() = default;
    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;

    void remember() { ++references; }
    void forget();
    long getNbReference() const { return references; }

    virtual void draw(CDrawContext*) {}
    // Draws what lies in updateRect; views draw themselves whole.
    virtual void drawRect(CDrawContext* context, const CRect&) { draw(context); }
    virtual void mouse(CDrawContext*, CPoint&) {}
    // Draws the view when it is dirty and marks it clean.
    virtual void update(CDrawContext* context);
    // 1 when handled, -1 when not.
    virtual long onKeyDown(KeyCode&) { return -1; }
    virtual long onKeyUp(KeyCode&) { return -1; }
    // distance in wheel notches, positive away from the user; true when handled.
    virtual bool onWheel(CDrawContext*, const CPoint&, float) { return false; }
    // items: count texts of the given CDropType; true when taken.
    virtual bool onDrop(const char* const*, long, long, CPoint&) { return false; }
    virtual void looseFocus(CDrawContext* = nullptr) {}

    // Stops telling a listener of changes: the frame's editor is going while a control may
    // still track the mouse. A view without a listener has nothing to stop.
    virtual void forgetListener() {}
    // The colours of a text field the view has open over the frame's window (the window
    // procedure colours it): false when the view opens none.
    virtual bool textFieldColors(CColor&, CColor&) const { return false; }

    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(bool state = true) { dirty = state; }

    void setMouseEnabled(bool state) { mouseEnabled = state; }
    bool getMouseEnabled() const { return mouseEnabled; }
    void setTransparency(bool state) { transparent = state; }
    bool getTransparency() const { return transparent; }

    const CRect& getViewSize() const { return size; }
    virtual void setViewSize(const CRect& rect);
    const CRect& getMouseableArea() const { return mouseableArea; }
    void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    long getWidth() const { return size.width(); }
    long getHeight() const { return size.height(); }
    // Whether a click at where (frame coordinates) lands on this view.
    bool hitTest(const CPoint& where) const { return size.pointInside(where); }

    CFrame* getFrame() const { return frame; }
    void setFrame(CFrame* owner) { frame = owner; }
    CView* getParentView() const { return parentView; }
    void setParentView(CView* parent) { parentView = parent; }

protected:
    // Sets a display attribute, marking the view dirty when it changes.
    template <class T>
    void changeAttribute(T& attribute, const T& newValue) {
        if (!(attribute == newValue)) {
            attribute = newValue;
            setDirty();
        }
    }

    long references = 1;
    CRect size;
    CRect mouseableArea;
    CFrame* frame = nullptr;
    CView* parentView = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool transparent = false;
};

} // namespace VSTGUI
