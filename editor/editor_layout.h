// The two skins of the editor window as data: the bitmaps of the module's resources and where
// every widget sits in each layout. The editor builds its window from these tables, the artwork
// is drawn to them, and the tests check both against them.
#pragma once

#include "presets/layout_selector.h"

namespace kel::editor {

// The module's bitmap resources: 24-bit, images of equal height stacked vertically (the first on
// top; in two-image buttons the released look above the pressed one). Pure white is transparent.
struct BitmapResource {
    int id;
    int width;  // pixels
    int height; // pixels, all images
    int images;
    const char* name; // of the artwork source
};

inline constexpr BitmapResource kBitmapResources[] = {
    {528, 185, 320, 1, "background_tall"},
    {529, 266, 220, 1, "background_wide"},
    {530, 161, 76, 2, "footswitch_tall"},
    {531, 45, 30, 2, "footswitch_wide"},
    {533, 32, 30, 2, "compare"},
    {534, 32, 30, 2, "p1"},
    {535, 32, 30, 2, "p2"},
    {536, 32, 30, 2, "p3"},
    {537, 32, 30, 2, "p4"},
    {541, 45, 30, 2, "options"},
    {542, 8, 8, 1, "tone_handle"},
    {544, 20, 20, 1, "large_handle"},
    {550, 31, 31, 1, "tone_knob"},
    {554, 50, 50, 1, "large_knob"},
    {571, 9, 18, 2, "led"},
};

// The widgets of the editor window, in the order the editor creates them (which is also the
// drawing order, the compare button aside: it is added on top when it is shown).
enum EditorWidget : int {
    kFootswitchWidget,
    kOptionsWidget,
    kLedWidget,
    kCompareWidget,
    kP1Widget,
    kP2Widget,
    kP3Widget,
    kP4Widget,
    kStatusWidget,
    kGainKnobWidget,
    kToneKnobWidget,
    kOutputKnobWidget,
    kEditorWidgetCount,
};

// Control tags; they are also the status codes of the control page.
enum ControlTag : int {
    kLedTag = -1,
    kFootswitchTag = 0,
    kGainKnobTag = 1,
    kToneKnobTag = 2,
    kOutputKnobTag = 3,
    kCompareTag = 9,
    kFirstSlotTag = 10, // P1; Pn has tag n + 9
    kStatusTag = 14,
    kOptionsTag = 15,
};

struct WidgetPlacement {
    int tag;
    int bitmap;       // resource number, 0 for none
    int handleBitmap; // knobs: the handle's resource number
    int x;            // top-left corner in frame coordinates, pixels
    int y;
    int width;
    int height; // of one image
};

struct EditorLayout {
    int width; // pixels
    int height;
    int backgroundBitmap;
    WidgetPlacement widgets[kEditorWidgetCount];
};

// The button row: the compare button at x = 12, then P1 to P4, 32 pixels apart, at y = 152.
inline constexpr int kButtonRowLeft = 12;
inline constexpr int kButtonRowTop = 152;
inline constexpr int kButtonWidth = 32;
inline constexpr int kButtonHeight = 15; // of one image
inline constexpr int kCompareBitmap = 533;
inline constexpr int kFirstSlotBitmap = 534; // P1; Pn has bitmap n + 533

// The place at `position` in the button row (0 the compare button, n the P button of slot n).
constexpr WidgetPlacement buttonRowPlace(int position, int tag, int bitmap) {
    const int x = kButtonRowLeft + kButtonWidth * position;
    return {tag, bitmap, 0, x, kButtonRowTop, kButtonWidth, kButtonHeight};
}

constexpr WidgetPlacement slotButtonPlace(int slot) {
    return buttonRowPlace(slot, kFirstSlotTag + slot - 1, kFirstSlotBitmap + slot - 1);
}

// What differs between the two skins: the size and background, the footswitch, the options
// button, the LED and the width of the status display. The button row and the knobs are the
// same in both.
constexpr EditorLayout makeLayout(int width, int height, int backgroundBitmap,
                                  const WidgetPlacement& footswitch, const WidgetPlacement& options,
                                  const WidgetPlacement& led, int statusWidth) {
    return {width,
            height,
            backgroundBitmap,
            {
                footswitch,
                options,
                led,
                buttonRowPlace(0, kCompareTag, kCompareBitmap),
                slotButtonPlace(1),
                slotButtonPlace(2),
                slotButtonPlace(3),
                slotButtonPlace(4),
                {kStatusTag, 0, 0, 17, 128, statusWidth, 14},
                {kGainKnobTag, 554, 544, 11, 46, 50, 50},
                {kToneKnobTag, 550, 542, 77, 65, 31, 31},
                {kOutputKnobTag, 554, 544, 123, 46, 50, 50},
            }};
}

inline constexpr EditorLayout kTallLayout =
    makeLayout(185, 320, 528, {kFootswitchTag, 530, 0, 12, 279, 161, 38},
               {kOptionsTag, 541, 0, 128, 259, 45, 15}, {kLedTag, 571, 0, 88, 262, 9, 9}, 153);

inline constexpr EditorLayout kWideLayout =
    makeLayout(266, 220, 529, {kFootswitchTag, 531, 0, 209, 202, 45, 15},
               {kOptionsTag, 541, 0, 209, 153, 45, 15}, {kLedTag, 571, 0, 187, 204, 9, 9}, 223);

inline const EditorLayout& layoutFor(int selector) {
    return selector == presets::kTallLayoutSelector ? kTallLayout : kWideLayout;
}

// The resource entry of a bitmap, or nullptr.
inline const BitmapResource* bitmapResource(int id) {
    for (const BitmapResource& resource : kBitmapResources) {
        if (resource.id == id) {
            return &resource;
        }
    }
    return nullptr;
}

} // namespace kel::editor
