// The bitmaps' file format, as bytes: the 24-bit uncompressed BMP files the artwork build writes
// (scripts/svg_to_bmp.py) and the Windows modules carry as bitmap resources. A pure function;
// anything else, and any header that does not agree with itself or with the bytes there are, is
// refused with a reason and nothing else happens.
#pragma once

#include <cstddef>

#include "widgets/framebuffer.h"

namespace VSTGUI {

enum class BmpRefusal {
    None,
    TooShort,          // fewer bytes than the two headers
    NotBmp,            // no "BM" signature
    FileSizeMismatch,  // the file header's size is neither 0 nor the number of bytes
    UnsupportedHeader, // an information header other than BITMAPINFOHEADER, V4 or V5
    BadSize,           // width not positive, height 0, or either beyond kMaxBmpSide
    BadPlanes,         // planes other than 1
    NotTwentyFourBit,  // a depth other than 24 bits a pixel
    Compressed,        // a compression other than none (BI_RGB)
    BadImageSize,      // an image size field that is neither 0 nor rows x padded row length
    BadColourCount,    // more palette entries than fit before the pixels
    BadPixelOffset,    // pixels that would start inside the headers
    PixelsMissing,     // fewer bytes than the rows need
};

// Widths and heights above this are refused: no bitmap of ours comes near it.
inline constexpr int kMaxBmpSide = 16384;

struct BmpDecoding {
    BmpRefusal refusal = BmpRefusal::None;
    Framebuffer image; // top row first, 0x00RRGGBB; empty when refused
    bool ok() const { return refusal == BmpRefusal::None; }
};

// Rows may be stored bottom-up (positive height) or top-down (negative height); each row is
// padded to a multiple of 4 bytes. The file header's size field must be 0 or the number of bytes;
// bytes after the last row are ignored.
BmpDecoding decodeBmp(const unsigned char* bytes, std::size_t size);

const char* describeBmpRefusal(BmpRefusal refusal);

} // namespace VSTGUI
