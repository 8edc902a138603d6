#include "widgets/font_freetype.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GASP_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <map>
#include <mutex>

#include "widgets/windows1252.h"

namespace VSTGUI {

namespace {

std::mutex matchesLock;
std::map<std::string, FontMatch>& knownMatches() {
    static std::map<std::string, FontMatch> matches;
    return matches;
}

FontMatch askFontconfig(const std::string& face, bool bold, bool italic) {
    FontMatch found;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) {
        return found;
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) {
        return found;
    }
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcBool embolden = FcFalse;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        found.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        found.index = index;
        if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch && family) {
            found.family = reinterpret_cast<const char*>(family);
        }
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        found.embolden = embolden == FcTrue || (bold && weight < FC_WEIGHT_DEMIBOLD);
        found.oblique = italic && slant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return found;
}

// value * numerator / denominator rounded to nearest, for font units to pixels (all positive).
int scaled(long value, long numerator, long denominator) {
    return static_cast<int>((2 * value * numerator + denominator) / (2 * denominator));
}

std::uint8_t blend(std::uint32_t over, std::uint32_t under, unsigned coverage, int shift) {
    const unsigned top = (over >> shift) & 0xff;
    const unsigned bottom = (under >> shift) & 0xff;
    return static_cast<std::uint8_t>((top * coverage + bottom * (255 - coverage) + 127) / 255);
}

} // namespace

FontMatch matchFont(const std::string& face, bool bold, bool italic) {
    const std::string key = face + (bold ? "\n1" : "\n0") + (italic ? "1" : "0");
    {
        const std::lock_guard<std::mutex> hold(matchesLock);
        const auto known = knownMatches().find(key);
        if (known != knownMatches().end()) {
            return known->second;
        }
    }
    // Asked outside the lock: fontconfig serialises itself, and a second answer is the same.
    FontMatch found = askFontconfig(face, bold, italic);
    const std::lock_guard<std::mutex> hold(matchesLock);
    knownMatches().emplace(key, found);
    return found;
}

struct FreetypeFont::Library {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Library() {
        if (face) {
            FT_Done_Face(face);
        }
        if (library) {
            FT_Done_FreeType(library);
        }
    }
};

FreetypeFont::FreetypeFont(std::unique_ptr<Library> library) : freetype(std::move(library)) {}

FreetypeFont::~FreetypeFont() = default;

std::unique_ptr<FreetypeFont> FreetypeFont::open(const FontRequest& request) {
    if (request.characterHeight <= 0) {
        return nullptr;
    }
    FontMatch match = matchFont(request.face, request.bold, request.italic);
    if (match.file.empty()) {
        return nullptr;
    }
    auto library = std::make_unique<Library>();
    if (FT_Init_FreeType(&library->library) != 0 ||
        FT_New_Face(library->library, match.file.c_str(), match.index, &library->face) != 0 ||
        FT_Set_Pixel_Sizes(library->face, 0, static_cast<FT_UInt>(request.characterHeight)) != 0) {
        return nullptr;
    }
    std::unique_ptr<FreetypeFont> font(new FreetypeFont(std::move(library)));
    font->chosen = std::move(match);
    FT_Face face = font->freetype->face;
    const long height = request.characterHeight;
    const long unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048;
    const auto* windows = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (windows && windows->usWinAscent + windows->usWinDescent > 0) {
        font->ascentPixels = scaled(windows->usWinAscent, height, unitsPerEm);
        font->descentPixels = scaled(windows->usWinDescent, height, unitsPerEm);
    } else {
        // 26.6 fixed point.
        font->ascentPixels = static_cast<int>((face->size->metrics.ascender + 32) >> 6);
        font->descentPixels = static_cast<int>((-face->size->metrics.descender + 32) >> 6);
    }
    font->underline = request.underline;
    font->underlineTop = scaled(std::max<long>(-face->underline_position, 0), height, unitsPerEm);
    font->underlineThickness =
        std::max(1, scaled(std::max<long>(face->underline_thickness, 0), height, unitsPerEm));
    const FT_Int gasp = FT_Get_Gasp(face, static_cast<FT_UInt>(height));
    font->monochrome = gasp != FT_GASP_NO_TABLE && !(gasp & FT_GASP_DO_GRAY);
    return font;
}

bool FreetypeFont::loadGlyph(char32_t character, bool render) {
    FT_Face face = freetype->face;
    const FT_UInt glyph = FT_Get_Char_Index(face, character);
    // Advances as the normal hinting gives them: those are GDI's (measured under Wine: the mono
    // hinting's differ by a pixel at some sizes). The image is hinted for the way it is drawn.
    const FT_Int32 flags = FT_LOAD_DEFAULT | (render && monochrome ? FT_LOAD_TARGET_MONO : 0);
    if (FT_Load_Glyph(face, glyph, flags) != 0) {
        return false;
    }
    if (chosen.oblique) {
        FT_GlyphSlot_Oblique(face->glyph);
    }
    if (chosen.embolden) {
        FT_GlyphSlot_Embolden(face->glyph);
    }
    return !render || FT_Render_Glyph(face->glyph, monochrome ? FT_RENDER_MODE_MONO
                                                              : FT_RENDER_MODE_NORMAL) == 0;
}

int FreetypeFont::advance(char32_t character) {
    if (!loadGlyph(character, false)) {
        return 0;
    }
    return static_cast<int>((freetype->face->glyph->advance.x + 32) >> 6); // 26.6 fixed point
}

namespace {

std::u32string charactersOf(const char* text) {
    std::u32string characters;
    for (const char* at = text; at && *at; ++at) {
        characters.push_back(windows1252ToUnicode(static_cast<unsigned char>(*at)));
    }
    return characters;
}

} // namespace

int FreetypeFont::textWidth(const char* text) {
    return textWidth(charactersOf(text));
}

int FreetypeFont::textWidth(const std::u32string& text) {
    long width = 0;
    for (const char32_t character : text) {
        width += advance(character);
    }
    return static_cast<int>(width);
}

void FreetypeFont::draw(Framebuffer& target, const char* text, const CPoint& cellOrigin,
                        const CRect& clip, std::uint32_t colour) {
    draw(target, charactersOf(text), cellOrigin, clip, colour);
}

void FreetypeFont::draw(Framebuffer& target, const std::u32string& text, const CPoint& cellOrigin,
                        const CRect& clip, std::uint32_t colour) {
    const std::int64_t left = std::max<std::int64_t>(clip.left, 0);
    const std::int64_t top = std::max<std::int64_t>(clip.top, 0);
    const std::int64_t right = std::min<std::int64_t>(clip.right, target.width());
    const std::int64_t bottom = std::min<std::int64_t>(clip.bottom, target.height());
    const std::int64_t baseline = std::int64_t{cellOrigin.v} + ascentPixels;
    std::int64_t pen = cellOrigin.h;
    for (const char32_t character : text) {
        const int step = advance(character);
        if (!loadGlyph(character, true)) {
            pen += step;
            continue;
        }
        const FT_GlyphSlot slot = freetype->face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
        if (bitmap.buffer && bitmap.pitch > 0 &&
            (mono || bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)) {
            const std::int64_t glyphLeft = pen + slot->bitmap_left;
            const std::int64_t glyphTop = baseline - slot->bitmap_top;
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                const std::int64_t y = glyphTop + row;
                if (y < top || y >= bottom) {
                    continue;
                }
                const unsigned char* coverage = bitmap.buffer + row * bitmap.pitch;
                std::uint32_t* pixels = target.row(static_cast<int>(y));
                for (unsigned column = 0; column < bitmap.width; ++column) {
                    const std::int64_t x = glyphLeft + column;
                    if (x < left || x >= right) {
                        continue;
                    }
                    const unsigned amount =
                        mono ? ((coverage[column / 8] >> (7 - column % 8)) & 1) * 255u
                             : coverage[column];
                    if (amount == 0) {
                        continue;
                    }
                    std::uint32_t& pixel = pixels[x];
                    pixel = (std::uint32_t{blend(colour, pixel, amount, 16)} << 16) |
                            (std::uint32_t{blend(colour, pixel, amount, 8)} << 8) |
                            blend(colour, pixel, amount, 0);
                }
            }
        }
        pen += step;
    }
    if (underline) {
        const std::int64_t lineTop = std::max(baseline + underlineTop, top);
        const std::int64_t lineBottom =
            std::min(baseline + underlineTop + underlineThickness, bottom);
        const std::int64_t lineLeft = std::max<std::int64_t>(cellOrigin.h, left);
        const std::int64_t lineRight = std::min(pen, right);
        for (std::int64_t y = lineTop; y < lineBottom; ++y) {
            for (std::int64_t x = lineLeft; x < lineRight; ++x) {
                target.setPixel(static_cast<int>(x), static_cast<int>(y), colour);
            }
        }
    }
}

} // namespace VSTGUI
