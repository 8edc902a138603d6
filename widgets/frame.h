// The frame: the plug-in's child window inside the host's editor window, its background bitmap
// and the views on it. It dispatches the mouse, keys, the wheel and drops to the views, draws
// them, and at idle redraws only the views that changed. User-interface thread only.
#pragma once

#include "widgets/frame_editor.h"
#include "widgets/view.h"

namespace VSTGUI {

class CBitmap;

class CFrame : public CView {
public:
    // Creates the frame's window as a child of parentWindow at (0, 0) with the size's width and
    // height; isOpen() tells whether that worked.
    CFrame(const CRect& size, void* parentWindow, FrameEditor* editor);
    // Forgets the views and the background, then destroys the window.
    ~CFrame() override;

    bool isOpen() const { return open; }

    // Adds on top of the views already there; the frame owns the view from then on. False when
    // the list cannot grow; the view is then not added.
    bool addView(CView* view);
    // Takes the view out of the list, forgetting it unless withForget is false.
    bool removeView(CView* view, bool withForget = true);
    void removeAll(bool withForget = true);
    bool isChild(const CView* view) const;
    long getNbViews() const { return viewCount; }
    CView* getView(long index) const;

    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    // A modal view takes every click; the frame keeps a reference while it is set.
    void setModalView(CView* view);
    CView* getModalView() const { return modalView; }
    // The focus view gets keys first and loses the focus at the next click.
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }

    void beginEdit(long tag);
    void endEdit(long tag);
    long getKnobMode() const;
    void doIdleStuff();
    // Redraws the dirty views, once the frame has been drawn whole.
    void idle();
    // Draws everything into the window now.
    void redraw();

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    void update(CDrawContext* context) override;
    long onKeyDown(KeyCode& key) override;
    long onKeyUp(KeyCode& key) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    // The wheel at the pointer's current position.
    bool onWheel(float distance);
    bool onDrop(const char* const* items, long count, long type, CPoint& where) override;

    // The frame itself or any of its views needs drawing.
    bool isSomethingDirty() const;
    bool isFirstDrawPending() const { return firstDrawPending; }

    FrameEditor* getEditor() const { return editor; }
    void* getSystemWindow() const { return window; }
    void* getParentWindow() const { return parentWindow; }
    // The platform's single-call transparent copy, or null (then bitmaps use the mask method).
    void* getTransparentBlt() const { return transparentBlt; }

    // Told by the window when it goes away underneath the frame.
    void windowDestroyed();
    // From now on neither the frame nor its controls call the editor or the controls' listeners
    // (the editor closes while a control may still be tracking the mouse).
    void detachEditor();

private:
    bool growViewList();
    // Focus view, modal view, then the views from the top, until one takes the key.
    long dispatchKey(KeyCode& key, long (CView::*handler)(KeyCode&));
    CView* viewAt(const CPoint& where) const;
    void openWindow();
    void closeWindow();

    FrameEditor* editor;
    void* parentWindow;
    CBitmap* background = nullptr;
    CView** views = nullptr;
    long viewCount = 0;
    long viewCapacity = 0;
    CView* modalView = nullptr;
    CView* focusView = nullptr;
    bool open = false;
    bool firstDrawPending = true;
    void* window = nullptr;
    void* imagingLibrary = nullptr; // msimg32
    void* transparentBlt = nullptr;
    void* alphaBlend = nullptr; // looked up, not used
    void* dropTarget = nullptr;
    bool oleInitialized = false;
    unsigned long oleThread = 0;
};

} // namespace VSTGUI
