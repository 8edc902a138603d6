// The buttons: each draws one of two images stacked vertically in its background bitmap (the
// released look above, the pressed or switched-on look below).
#pragma once

#include "widgets/control.h"

namespace VSTGUI {

// Switches between 0 and 1 on the press itself; the right button asks the listener for a menu.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
};

// What the kick and the movie button share: the released image, or the pressed one below it
// for a non-zero value, and a press that follows the pointer in and out of the button.
class CPressButton : public CControl {
public:
    void draw(CDrawContext* context) override;

protected:
    CPressButton(const CRect& size, CControlListener* listener, long tag, long heightOfOneImage,
                 CBitmap* background, const CPoint& offset);
    // While the buttons stay `held`: the value is 1 - entryValue with the pointer inside and
    // entryValue outside, each change reported. Runs at least once.
    void trackPress(CDrawContext* context, CPoint& where, float entryValue, long held);

    CPoint offset;
    long heightOfOneImage;
};

// Reports 1 while held with the pointer inside it and 0 when let go: a momentary switch.
class CKickButton : public CPressButton {
public:
    CKickButton(const CRect& size, CControlListener* listener, long tag, long heightOfOneImage,
                CBitmap* background, const CPoint& offset = CPoint());

    void mouse(CDrawContext* context, CPoint& where) override;
};

// Toggles when a click is released inside it.
class CMovieButton : public CPressButton {
public:
    CMovieButton(const CRect& size, CControlListener* listener, long tag, long heightOfOneImage,
                 CBitmap* background, const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;

private:
    float buttonState; // the value last drawn
};

// Shows one image of a vertical strip of images, chosen by the value; no mouse behaviour.
class CMovieBitmap : public CControl {
public:
    CMovieBitmap(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                 long heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;

private:
    CPoint offset;
    long subPixmaps;
    long heightOfOneImage;
};

} // namespace VSTGUI
