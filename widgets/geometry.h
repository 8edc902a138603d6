// The widget set's basic types: points, rectangles, colours, mouse and key codes.
#pragma once

#include <cstdint>

namespace VSTGUI {

struct CPoint {
    std::int32_t h = 0; // pixels, x grows to the right
    std::int32_t v = 0; // pixels, y grows downwards

    constexpr CPoint() = default;
    constexpr CPoint(std::int32_t x, std::int32_t y) : h(x), v(y) {}

    constexpr bool operator==(const CPoint& other) const { return h == other.h && v == other.v; }
    constexpr bool operator!=(const CPoint& other) const { return !(*this == other); }
    constexpr CPoint operator+(const CPoint& other) const { return {h + other.h, v + other.v}; }
    constexpr CPoint operator-(const CPoint& other) const { return {h - other.h, v - other.v}; }
};

struct CRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b)
        : left(l), top(t), right(r), bottom(b) {}
    // A rectangle of the given size with its top-left corner at origin.
    static constexpr CRect fromSize(CPoint origin, std::int32_t width, std::int32_t height) {
        return {origin.h, origin.v, origin.h + width, origin.v + height};
    }

    constexpr std::int32_t width() const { return right - left; }
    constexpr std::int32_t height() const { return bottom - top; }
    constexpr CPoint topLeft() const { return {left, top}; }

    constexpr CRect offset(std::int32_t dx, std::int32_t dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    // Both edges count as inside.
    constexpr bool pointInside(const CPoint& where) const {
        return left <= where.h && where.h <= right && top <= where.v && where.v <= bottom;
    }
    // The pixel at where is one of the rectangle's (its right and bottom edges lie outside).
    constexpr bool holdsPixel(const CPoint& where) const {
        return left <= where.h && where.h < right && top <= where.v && where.v < bottom;
    }
    // True when the two share at least one pixel.
    constexpr bool intersects(const CRect& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
    constexpr bool contains(const CRect& other) const {
        return left <= other.left && top <= other.top && other.right <= right &&
               other.bottom <= bottom;
    }

    constexpr bool operator==(const CRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
    constexpr bool operator!=(const CRect& other) const { return !(*this == other); }
};

struct CColor {
    unsigned char red = 0;
    unsigned char green = 0;
    unsigned char blue = 0;
    unsigned char unused = 0; // 0 in every named colour

    constexpr bool operator==(const CColor& other) const {
        return red == other.red && green == other.green && blue == other.blue &&
               unused == other.unused;
    }
    constexpr bool operator!=(const CColor& other) const { return !(*this == other); }
    // Only red, green and blue: what a pixel can show.
    constexpr bool sameRgb(const CColor& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

inline constexpr CColor kTransparentCColor{255, 255, 255, 0};
inline constexpr CColor kWhiteCColor{255, 255, 255, 0};
inline constexpr CColor kGreyCColor{127, 127, 127, 0};
inline constexpr CColor kRedCColor{255, 0, 0, 0};
inline constexpr CColor kBlackCColor{0, 0, 0, 0};

// Mouse-button and modifier bits of CDrawContext::getMouseButtons. kLButton is always the
// primary button, also when the system has its buttons swapped.
enum CButton : long {
    kLButton = 1,
    kMButton = 2,
    kRButton = 4,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
};

// Keys as the host hands them on: the virtual-key numbers of the plug-in interface.
enum VirtualKey : unsigned char {
    VKEY_LEFT = 11,
    VKEY_UP = 12,
    VKEY_RIGHT = 13,
    VKEY_DOWN = 14,
};
inline constexpr unsigned char MODIFIER_SHIFT = 1;

struct KeyCode {
    std::int32_t character = 0;
    unsigned char virt = 0;     // a VirtualKey, or 0
    unsigned char modifier = 0; // bit 0: Shift
};

enum CHoriTxtAlign : int {
    kLeftText = 0,
    kCenterText = 1,
    kRightText = 2,
};

// Font ids of CDrawContext::setFont; any other id means kSystemFont.
enum CFont : int {
    kSystemFont = 0,          // 12 px Arial bold
    kNormalFontVeryBig = 1,   // 18 px
    kNormalFontBig = 2,       // 14 px
    kNormalFont = 3,          // 12 px
    kNormalFontSmall = 4,     // 11 px
    kNormalFontSmaller = 5,   // 10 px
    kNormalFontVerySmall = 6, // 9 px
    kSymbolFont = 7,          // 13 px Symbol
    kNumFonts = 8,
};

// Text face bits.
enum CTxtFace : int {
    kNormalFace = 0,
    kBoldFace = 1,
    kItalicFace = 2,
    kUnderlineFace = 4,
};

} // namespace VSTGUI
