// A bitmap from the module's bitmap resources, shared by reference counting: whoever keeps it
// calls remember(), whoever lets it go forget(); the last forget() deletes it.
#pragma once

#include "widgets/geometry.h"
#include "widgets/platform_handle.h"

namespace VSTGUI {

class CDrawContext;

class CBitmap {
public:
    // Loads bitmap resource resourceId of the module that holds the widget set. A resource that
    // cannot be loaded gives a 0 x 0 bitmap that draws nothing. Reference count 1.
    explicit CBitmap(long resourceId);
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    void remember() { ++references; }
    void forget();
    long getNbReference() const { return references; }

    long getResourceId() const { return resourceId; }
    long getWidth() const { return width; }
    long getHeight() const { return height; }
    bool isLoaded() const { return static_cast<bool>(handle); }
    void* getHandle() const { return handle.get(); }

    // Copies the bitmap's pixels from offset on into rect (rect's width and height).
    void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint());
    // The same, but pixels of the transparent colour leave the destination untouched.
    void drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint());

    // Pure white unless set otherwise.
    void setTransparentColor(CColor color);
    CColor getTransparentColor() const { return transparentColor; }

private:
    ~CBitmap();
    void load();
    void drawMasked(CDrawContext* context, const CRect& rect, const CPoint& offset);

    long resourceId;
    long references = 1;
    long width = 0;
    long height = 0;
    CColor transparentColor = kTransparentCColor;
    PlatformHandle handle; // platform bitmap
    PlatformHandle mask;   // one-bit mask for the mask method, made on first use; goes first
};

// Points held at bitmap: the new one is remembered, the one held before forgotten.
inline void exchangeBitmap(CBitmap*& held, CBitmap* bitmap) {
    if (bitmap) {
        bitmap->remember();
    }
    if (held) {
        held->forget();
    }
    held = bitmap;
}

} // namespace VSTGUI
