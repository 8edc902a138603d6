// The two skins of the editor window, as data.
#pragma once

// Selector values kept by the preset bank.
inline constexpr int kTallLayoutSelector = 0; // pedal skin
inline constexpr int kWideLayoutSelector = 1;

struct EditorLayout {
    int width; // pixels
    int height;
    int backgroundBitmap; // resource number
};

inline constexpr EditorLayout kTallLayout{185, 320, 528};
inline constexpr EditorLayout kWideLayout{266, 220, 529};

inline const EditorLayout& layoutFor(int selector) {
    return selector == kTallLayoutSelector ? kTallLayout : kWideLayout;
}
