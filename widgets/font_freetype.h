// Fonts on Linux: the face a font description names found through fontconfig (on Debian
// "Arial" is Liberation Sans), rendered with FreeType at its character height, the way GDI sizes
// a font made with a negative height. One object per font a draw context selects; each has a
// FreeType library of its own, so fonts on different threads share nothing but fontconfig.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "widgets/framebuffer.h"
#include "widgets/geometry.h"

namespace VSTGUI {

struct FontRequest {
    std::string face;    // a family name for fontconfig
    int characterHeight; // pixels per em: GDI's negative font height
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// The font file fontconfig picks for a request, as it answers.
struct FontMatch {
    std::string file;
    int index = 0;         // the face within the file
    std::string family;    // the family of the face it chose
    bool embolden = false; // bold was asked for but the face is not: made bolder when drawn
    bool oblique = false;  // italic was asked for but the face is upright: slanted when drawn
};
// Empty file when fontconfig has nothing. Answers are kept for the module's lifetime.
FontMatch matchFont(const std::string& face, bool bold, bool italic);

class FreetypeFont {
public:
    // Null when no face can be found or opened, or characterHeight is not positive.
    static std::unique_ptr<FreetypeFont> open(const FontRequest& request);
    ~FreetypeFont();
    FreetypeFont(const FreetypeFont&) = delete;
    FreetypeFont& operator=(const FreetypeFont&) = delete;

    // Pixels above and below the baseline: the face's Windows ascent and descent at this size,
    // each rounded, as GDI's text metrics have them.
    int ascent() const { return ascentPixels; }
    int descent() const { return descentPixels; }
    int cellHeight() const { return ascentPixels + descentPixels; }
    const FontMatch& match() const { return chosen; }

    // The sum of the characters' advances in pixels, no kerning; text is Windows-1252 bytes.
    int textWidth(const char* text);
    int textWidth(const std::u32string& text);
    // Draws the characters with the cell's top-left corner at cellOrigin, blending each glyph's
    // coverage (anti-aliased at the sizes the face asks for it) of colour over the target, only
    // inside clip and the target.
    void draw(Framebuffer& target, const char* text, const CPoint& cellOrigin, const CRect& clip,
              std::uint32_t colour);
    // The same for Unicode text.
    void draw(Framebuffer& target, const std::u32string& text, const CPoint& cellOrigin,
              const CRect& clip, std::uint32_t colour);

private:
    struct Library;
    explicit FreetypeFont(std::unique_ptr<Library> library);
    bool loadGlyph(char32_t character, bool render);
    int advance(char32_t character); // pixels

    std::unique_ptr<Library> freetype;
    FontMatch chosen;
    int ascentPixels = 0;
    int descentPixels = 0;
    int underlineTop = 0; // below the baseline
    int underlineThickness = 0;
    bool underline = false;
    bool monochrome = false; // the face's gasp table asks for no grey levels at this size
};

} // namespace VSTGUI
