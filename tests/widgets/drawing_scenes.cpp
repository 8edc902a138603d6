// The scenes: lines in every direction and length, inside, leaving and outside the canvas;
// outlines and fills, the wrong way round too; bitmap copies whole, offset, clipped and keyed;
// the controls, knobs and text displays; text; and the editor's own bitmaps, alone and arranged
// as the editor window arranges them (editor/editor_layout.h: its layout tables are data).
#include "tests/widgets/drawing_scenes.h"

#include <cstdint>

#include "editor/editor_layout.h"
#include "test_bitmaps.h"
#include "widgets/bitmap.h"
#include "widgets/buttons.h"
#include "widgets/knob.h"
#include "widgets/param_display.h"

namespace widget_test {

namespace {

using kel::editor::EditorLayout;
using kel::editor::WidgetPlacement;

// A colour for the i-th shape of a scene: never the background, rarely white.
CColor tone(int i) {
    return {static_cast<unsigned char>((37 * i + 50) % 256),
            static_cast<unsigned char>((91 * i + 20) % 256),
            static_cast<unsigned char>((53 * i + 200) % 256), 0};
}

// A view or bitmap held for the scene: forgotten when the scene is drawn.
template <class Counted>
class Held {
public:
    explicit Held(Counted* object) : held(object) {}
    ~Held() { held->forget(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    Counted* operator->() const { return held; }
    Counted* get() const { return held; }

private:
    Counted* held;
};

using Bitmap = Held<CBitmap>;

// Line scenes.

void drawLineCells(CDrawContext& context, int reach) {
    // One line per cell, from the cell's centre by (dx, dy), so that no line touches another.
    const int cell = 2 * reach + 3;
    int index = 0;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx, ++index) {
            const CPoint centre(cell * (dx + reach) + reach + 1, cell * (dy + reach) + reach + 1);
            context.setFrameColor(tone(index));
            context.drawLine(centre, centre + CPoint(dx, dy));
        }
    }
}

void lineCellsShort(CDrawContext& context) {
    drawLineCells(context, 5);
}

void lineCellsLong(CDrawContext& context) {
    drawLineCells(context, 9);
}

void lineFan(CDrawContext& context) {
    // From the centre to every point of a square 36 pixels out, in order round the square.
    const CPoint centre(40, 40);
    int index = 0;
    for (int side = 0; side < 4; ++side) {
        for (int along = -36; along < 36; ++along, ++index) {
            const CPoint ends[] = {{along, -36}, {36, along}, {-along, 36}, {-36, -along}};
            context.setFrameColor(tone(index));
            context.drawLine(centre, centre + ends[side]);
        }
    }
}

void lineLengths(CDrawContext& context) {
    // Sixteen directions, each drawn 0, 1 and 2 times its own length, in a column of cells.
    const CPoint directions[] = {{1, 0},  {2, 1},  {1, 1},  {1, 2},   {0, 1},   {-1, 2},
                                 {-1, 1}, {-2, 1}, {-1, 0}, {-2, -1}, {-1, -1}, {-1, -2},
                                 {0, -1}, {1, -2}, {1, -1}, {2, -1}};
    int index = 0;
    for (int d = 0; d < 16; ++d) {
        for (int times = 0; times <= 2; ++times, ++index) {
            const CPoint start(12 * d + 6, 12 * times + 6);
            const CPoint step = directions[d];
            context.setFrameColor(tone(index));
            context.drawLine(start, start + CPoint(step.h * times, step.v * times));
        }
    }
    // The pen moves on without drawing; a line to where it is draws nothing.
    context.moveTo(CPoint(3, 40));
    context.lineTo(CPoint(3, 40));
    // Long ones across the canvas, shallow and steep, all four ways.
    const LineCase longLines[] = {
        {{0, 38}, {191, 63}}, {{191, 38}, {0, 63}},   {{5, 38}, {9, 63}},    {{150, 63}, {140, 38}},
        {{0, 63}, {191, 62}}, {{190, 38}, {189, 63}}, {{20, 40}, {170, 61}}, {{170, 40}, {20, 61}}};
    for (const LineCase& line : longLines) {
        context.setFrameColor(tone(index++));
        context.drawLine(line.from, line.to);
    }
}

void linesLeaving(CDrawContext& context) {
    // Wine's GDI draws lines exactly out to 2^27 (Windows keeps device coordinates to 27 bits);
    // at 2^30 its lines land elsewhere. The scenes stay within 2^27.
    const int far = 1 << 27;
    const LineCase lines[] = {
        // From inside out, every way.
        {{20, 15}, {1020, 15}},
        {{20, 15}, {1020, 1015}},
        {{20, 15}, {20, 1015}},
        {{20, 15}, {-980, 515}},
        {{20, 15}, {-980, 15}},
        {{20, 15}, {-480, -985}},
        {{20, 15}, {20, -985}},
        {{20, 15}, {1020, -333}},
        {{3, 4}, {-7, 100}},
        // Through from outside to outside.
        {{-50, -20}, {90, 50}},
        {{-100000, 3}, {100000, 27}},
        {{17, -100000}, {23, 100000}},
        {{-far, 5}, {far, 20}},
        {{5, -far}, {30, far}},
        {{-far + 1, -far + 1}, {far - 1, far - 1}},
        {{far, -far}, {-far, far}},
        // Wholly outside, beside each edge and past a corner.
        {{-10, -5}, {50, -5}},
        {{-10, -1}, {-1, 40}},
        {{41, 0}, {41, 29}},
        {{-3, 30}, {45, 31}},
        {{35, -10}, {50, 5}},
        // Ending on and along the edges.
        {{0, 0}, {40, 0}},
        {{39, 29}, {39, -1}},
        {{0, 29}, {-1, 29}},
    };
    int index = 0;
    for (const LineCase& line : lines) {
        context.setFrameColor(tone(index++));
        context.drawLine(line.from, line.to);
    }
}

void linesScattered(CDrawContext& context) {
    int index = 0;
    for (const LineCase& line : scatteredLines(300, 3000, 7)) {
        context.setFrameColor(tone(index++));
        context.drawLine(line.from, line.to);
    }
    for (const LineCase& line : scatteredLines(200, 40, 11)) {
        context.setFrameColor(tone(index++));
        context.drawLine(line.from, line.to);
    }
}

// Rectangles.

void rectOutlines(CDrawContext& context) {
    const CRect rects[] = {
        {2, 2, 3, 3},     {5, 2, 7, 4},    {9, 2, 10, 12},  {12, 2, 22, 3},
        {12, 5, 30, 20},  {32, 5, 32, 20}, {40, 20, 34, 5}, {-5, 25, 10, 45},
        {50, 30, 70, 50}, {1, 1, 63, 39},  {44, 4, 58, 5},  {-100000, -100000, 100000, 100000},
    };
    int index = 0;
    for (const CRect& rect : rects) {
        context.setFrameColor(tone(index++));
        context.drawRect(rect);
    }
}

void rectFills(CDrawContext& context) {
    const int far = 1 << 27;
    const CRect rects[] = {
        {2, 2, 6, 5},     {10, 5, 6, 2},       {20, 2, 16, 8},
        {22, 8, 28, 2},   {30, 2, 30, 8},      {32, 5, 36, 5},
        {38, 2, 39, 3},   {-5, -5, 4, 4},      {60, 35, 70, 45},
        {70, 12, 50, 20}, {-far, 30, far, 32}, {40, 38, 45, -far},
        {8, 20, 18, 30},  {9, 21, 17, 29},     {-100000, 34, -90000, 36},
    };
    int index = 0;
    for (const CRect& rect : rects) {
        context.setFillColor(tone(index++));
        context.fillRect(rect);
    }
}

// Bitmap copies: the same steps opaque or keyed.

void patternSteps(CDrawContext& context, bool keyed) {
    const Bitmap pattern(new CBitmap(kPatternBitmap.id));
    const Bitmap missing(new CBitmap(4242));
    auto copy = [&](CBitmap* bitmap, const CRect& rect, const CPoint& offset) {
        if (keyed) {
            bitmap->drawTransparent(&context, rect, offset);
        } else {
            bitmap->draw(&context, rect, offset);
        }
    };
    // Stripes under the copies, so that keyed pixels show what they left.
    for (int band = 0; band < 8; ++band) {
        context.setFillColor(tone(band));
        context.fillRect(CRect(0, 10 * band, 100, 10 * band + 5));
    }
    copy(pattern.get(), CRect(2, 2, 42, 32), CPoint());         // whole
    copy(pattern.get(), CRect(45, 2, 65, 17), CPoint(7, 4));    // part of it, from an offset
    copy(pattern.get(), CRect(70, 2, 100, 32), CPoint(30, 20)); // stops at the bitmap's edge
    copy(pattern.get(), CRect(2, 35, 22, 55), CPoint(-5, -3));  // offset before the bitmap
    copy(pattern.get(), CRect(-10, 60, 30, 90), CPoint());      // off the left and bottom
    copy(pattern.get(), CRect(85, 50, 125, 80), CPoint(3, 1));  // off the right
    copy(pattern.get(), CRect(30, 35, 80, 75), CPoint());       // larger than the bitmap
    copy(pattern.get(), CRect(60, 70, 50, 60), CPoint());       // the wrong way round
    copy(pattern.get(), CRect(5, 5, 25, 25), CPoint(40, 0));    // past the bitmap: nothing
    copy(missing.get(), CRect(0, 0, 100, 80), CPoint());        // no such bitmap: nothing
    if (keyed) {
        // Another key: the pattern's pixel (2, 3), (8, 12, 100); white is copied then. The
        // fourth byte of a colour is not part of the key.
        pattern->setTransparentColor({8, 12, 100, 7});
        copy(pattern.get(), CRect(55, 40, 95, 70), CPoint());
        pattern->setTransparentColor(kTransparentCColor);
        copy(pattern.get(), CRect(57, 42, 97, 72), CPoint(1, 1));
    }
}

void patternCopies(CDrawContext& context) {
    patternSteps(context, false);
}

void patternKeyed(CDrawContext& context) {
    patternSteps(context, true);
}

// Controls.

void controlsScene(CDrawContext& context) {
    const Bitmap three(new CBitmap(kThreeImagesBitmap.id));
    const Bitmap two(new CBitmap(kTwoImagesBitmap.id));
    const Bitmap kick(new CBitmap(kKickBitmap.id));
    for (int row = 0; row < 2; ++row) {
        const bool keyed = row == 1;
        const int top = 2 + 32 * row;
        int x = 2;
        for (float value : {0.0f, 0.3f, 0.8f, 1.0f}) {
            Held<CControl> strip(
                new CMovieBitmap(CRect(x, top, x + 6, top + 3), nullptr, -1, 3, 3, three.get()));
            strip->setTransparency(keyed);
            strip->setValue(value);
            strip->draw(&context);
            Held<CControl> led(new CMovieBitmap(CRect(x, top + 6, x + 10, top + 10), nullptr, -1, 2,
                                                4, two.get()));
            led->setTransparency(keyed);
            led->setValue(value);
            led->draw(&context);
            Held<CControl> onOff(
                new COnOffButton(CRect(x, top + 12, x + 10, top + 16), nullptr, 10, two.get()));
            onOff->setTransparency(keyed);
            onOff->setValue(value);
            onOff->draw(&context);
            Held<CControl> movie(
                new CMovieButton(CRect(x, top + 18, x + 10, top + 22), nullptr, 9, 4, two.get()));
            movie->setTransparency(keyed);
            movie->setValue(value);
            movie->draw(&context);
            x += 14;
        }
        for (float value : {0.0f, 1.0f}) {
            Held<CControl> button(
                new CKickButton(CRect(x, top, x + 45, top + 15), nullptr, 0, 15, kick.get()));
            button->setTransparency(keyed);
            button->setValue(value);
            button->draw(&context);
            x += 48;
        }
    }
}

void knobsScene(CDrawContext& context) {
    const Bitmap body(new CBitmap(kKnobBodyBitmap.id));
    const Bitmap handle(new CBitmap(kKnobHandleBitmap.id));
    const float values[] = {0.0f, 0.25f, 0.5f, 0.8f, 1.0f};
    for (int i = 0; i < 5; ++i) {
        const CRect top(5 + 55 * i, 5, 55 + 55 * i, 55);
        Held<CKnob> withHandle(new CKnob(top, nullptr, 1, body.get(), handle.get()));
        withHandle->setTransparency(i % 2 == 1);
        withHandle->setValue(values[i]);
        withHandle->draw(&context);
        // Without a handle bitmap the handle is two lines.
        Held<CKnob> drawn(new CKnob(top.offset(0, 55), nullptr, 2, body.get(), nullptr));
        drawn->setValue(values[i]);
        drawn->draw(&context);
    }
}

void displaysScene(CDrawContext& context) {
    Held<CParamDisplay> box(new CParamDisplay(CRect(2, 2, 22, 12), nullptr, kNoTextStyle));
    box->setBackColor({0, 0, 90, 0});
    box->setFrameColor({90, 0, 0, 0});
    box->draw(&context);
    Held<CParamDisplay> inset(
        new CParamDisplay(CRect(26, 2, 46, 12), nullptr, kNoTextStyle | k3DIn));
    inset->setBackColor({0, 80, 90, 0});
    inset->setFrameColor({190, 0, 0, 0});
    inset->draw(&context);
    Held<CParamDisplay> raised(
        new CParamDisplay(CRect(50, 2, 70, 12), nullptr, kNoTextStyle | k3DOut));
    raised->setBackColor({0, 80, 190, 0});
    raised->setFrameColor({190, 90, 0, 0});
    raised->draw(&context);
    Held<CParamDisplay> hidden(new CParamDisplay(CRect(74, 2, 94, 12), nullptr, kNoDrawStyle));
    hidden->draw(&context);

    Held<CTextEdit> status(
        new CTextEdit(CRect(2, 16, 118, 30), nullptr, 14, "Gain: 50.0 %", nullptr, kShadowText));
    status->setFont(kNormalFontSmall);
    status->setFontColor(kWhiteCColor);
    status->setBackColor({20, 20, 20, 0});
    status->setFrameColor({200, 200, 0, 0});
    status->setShadowColor(kRedCColor);
    status->setHoriAlign(kLeftText);
    status->draw(&context);
    Held<CTextEdit> plain(
        new CTextEdit(CRect(2, 34, 118, 50), nullptr, 15, "Mid Boost: 7 dB", nullptr, k3DIn));
    plain->setFont(kNormalFont);
    plain->setHoriAlign(kCenterText);
    plain->setBackColor({40, 60, 80, 0});
    plain->setFrameColor({250, 250, 250, 0});
    plain->draw(&context);
    Held<CTextEdit> clear(new CTextEdit(CRect(2, 54, 118, 68), nullptr, 16, "Output", nullptr, 0));
    clear->setTextTransparency(true);
    clear->setHoriAlign(kRightText);
    clear->setBackColor({90, 10, 10, 0});
    clear->draw(&context);
}

void textScene(CDrawContext& context) {
    for (int band = 0; band < 12; ++band) {
        context.setFillColor(tone(band));
        context.fillRect(CRect(0, 10 * band, 160, 10 * band + 10));
    }
    context.setFontColor({250, 250, 240, 0});
    context.setFillColor({10, 30, 60, 0});
    context.setFont(kNormalFontSmall);
    context.drawString("Left", CRect(4, 4, 76, 18), false, kLeftText);
    context.drawString("Centre", CRect(80, 4, 156, 18), true, kCenterText);
    context.setFont(kSystemFont);
    context.drawString("Right", CRect(4, 22, 76, 40), true, kRightText);
    context.drawString("\x80 \xe9\xfc \x85 \x99", CRect(80, 22, 156, 40), false, kCenterText);
    context.setFont(kNormalFontVeryBig);
    context.drawString("A line too long for its box", CRect(30, 46, 70, 70), true, kCenterText);
    context.setFont(kNormalFont, 0, kItalicFace | kUnderlineFace);
    context.drawString("Italic", CRect(80, 46, 156, 70), false, kLeftText);
    context.setFont(kNormalFontVerySmall, 15, kBoldFace);
    context.drawString("Tall box", CRect(4, 76, 76, 116), true, kLeftText);
    context.setFont(kSymbolFont);
    context.drawString("abc", CRect(80, 76, 156, 96), true, kCenterText);
    context.drawString("", CRect(80, 100, 156, 116), true, kCenterText);
}

// The editor's bitmaps.

constexpr long kEditorPieces[] = {530, 531, 533, 534, 535, 536, 537, 541, 542, 544, 550, 554, 571};

void artworkPieces(CDrawContext& context) {
    // Each piece whole, side by side in rows, then each keyed over stripes, in a second block.
    for (int band = 0; band < 8; ++band) {
        context.setFillColor(tone(band));
        context.fillRect(CRect(0, 180 + 20 * band, 340, 190 + 20 * band));
    }
    for (int block = 0; block < 2; ++block) {
        int x = 2, y = 2 + 180 * block, rowHeight = 0;
        for (long id : kEditorPieces) {
            const Bitmap piece(new CBitmap(id));
            const int width = static_cast<int>(piece->getWidth());
            const int height = static_cast<int>(piece->getHeight());
            if (x + width > 338) {
                x = 2;
                y += rowHeight + 3;
                rowHeight = 0;
            }
            const CRect at = CRect::fromSize(CPoint(x, y), width, height);
            if (block == 0) {
                piece->draw(&context, at);
            } else {
                piece->drawTransparent(&context, at);
            }
            x += width + 3;
            rowHeight = height > rowHeight ? height : rowHeight;
        }
    }
}

CRect placeOf(const WidgetPlacement& place) {
    return CRect::fromSize(CPoint(place.x, place.y), place.width, place.height);
}

// The editor window's views as the editor makes them, drawn in its order over the skin.
void editorScene(CDrawContext& context, const EditorLayout& layout, long background) {
    using namespace kel::editor;
    const Bitmap skin(new CBitmap(background));
    skin->draw(&context, CRect::fromSize(CPoint(), layout.width, layout.height));
    auto bitmapOf = [](int id) { return new CBitmap(id); };
    const float knobValues[] = {0.2f, 0.55f, 0.9f};
    const int drawOrder[] = {kFootswitchWidget, kOptionsWidget,  kLedWidget,        kP1Widget,
                             kP2Widget,         kP3Widget,       kP4Widget,         kStatusWidget,
                             kGainKnobWidget,   kToneKnobWidget, kOutputKnobWidget, kCompareWidget};
    for (int which : drawOrder) {
        const WidgetPlacement& place = layout.widgets[which];
        const CRect size = placeOf(place);
        CBitmap* bitmap = place.bitmap ? bitmapOf(place.bitmap) : nullptr;
        CControl* control = nullptr;
        switch (which) {
        case kFootswitchWidget:
        case kOptionsWidget:
            control = new CKickButton(size, nullptr, place.tag, place.height, bitmap);
            control->setValue(which == kFootswitchWidget ? 1.0f : 0.0f);
            break;
        case kLedWidget:
            control = new CMovieBitmap(size, nullptr, place.tag, 2, place.height, bitmap);
            control->setTransparency(true);
            control->setValue(1.0f);
            break;
        case kCompareWidget:
            control = new CMovieButton(size, nullptr, place.tag, place.height, bitmap);
            control->setValue(1.0f);
            break;
        case kStatusWidget: {
            auto* status = new CTextEdit(size, nullptr, place.tag, "Welcome", nullptr, kShadowText);
            status->setFont(kNormalFontSmall);
            status->setFontColor(kWhiteCColor);
            status->setBackColor(kBlackCColor);
            status->setFrameColor(kBlackCColor);
            status->setShadowColor(kBlackCColor);
            status->setHoriAlign(kLeftText);
            control = status;
            break;
        }
        case kGainKnobWidget:
        case kToneKnobWidget:
        case kOutputKnobWidget: {
            CBitmap* handle = bitmapOf(place.handleBitmap);
            control = new CKnob(size, nullptr, place.tag, bitmap, handle);
            handle->forget(); // the knob holds it
            control->setTransparency(true);
            control->setValue(knobValues[which - kGainKnobWidget]);
            break;
        }
        default:
            control = new COnOffButton(size, nullptr, place.tag, bitmap);
            control->setValue(which == kP2Widget ? 1.0f : 0.0f);
            break;
        }
        if (bitmap) {
            bitmap->forget(); // the control holds it
        }
        control->draw(&context);
        control->forget();
    }
}

CRect statusRect(const EditorLayout& layout) {
    return placeOf(layout.widgets[kel::editor::kStatusWidget]);
}

void hn6Tall(CDrawContext& context) {
    editorScene(context, kel::editor::kTallLayout, 528);
}
void hn6Wide(CDrawContext& context) {
    editorScene(context, kel::editor::kWideLayout, 529);
}
void kr6Tall(CDrawContext& context) {
    editorScene(context, kel::editor::kTallLayout, kSecondSkinTall);
}
void kr6Wide(CDrawContext& context) {
    editorScene(context, kel::editor::kWideLayout, kSecondSkinWide);
}

std::vector<CRect> withShadow(const CRect& rect) {
    return {rect, rect.offset(1, 1)};
}

} // namespace

std::vector<LineCase> scatteredLines(int count, int range, unsigned seed) {
    std::uint32_t state = seed;
    auto next = [&state, range]() {
        state = state * 1664525u + 1013904223u;
        // range before the canvas to range after a 40-pixel canvas.
        return static_cast<std::int32_t>((state >> 8) %
                                         static_cast<std::uint32_t>(2 * range + 40)) -
               range;
    };
    std::vector<LineCase> lines;
    for (int i = 0; i < count; ++i) {
        const CPoint from(next(), next());
        const CPoint to(next(), next());
        lines.push_back({from, to});
    }
    return lines;
}

const std::vector<DrawingScene>& drawingScenes() {
    const CColor canvas{1, 2, 3, 0};
    const CColor grey{90, 90, 100, 0};
    static const std::vector<DrawingScene> scenes = {
        {"line_cells_short", 143, 143, canvas, lineCellsShort, {}},
        {"line_cells_long", 399, 399, canvas, lineCellsLong, {}},
        {"line_fan", 81, 81, canvas, lineFan, {}},
        {"line_lengths", 192, 64, canvas, lineLengths, {}},
        {"lines_leaving", 40, 30, canvas, linesLeaving, {}},
        {"lines_scattered", 40, 30, canvas, linesScattered, {}},
        {"rect_outlines", 64, 40, canvas, rectOutlines, {}},
        {"rect_fills", 64, 40, canvas, rectFills, {}},
        {"pattern_copies", 100, 80, canvas, patternCopies, {}},
        {"pattern_keyed", 100, 80, canvas, patternKeyed, {}},
        {"controls", 200, 64, canvas, controlsScene, {}},
        {"knobs", 280, 112, canvas, knobsScene, {}},
        {"displays",
         120,
         70,
         canvas,
         displaysScene,
         {CRect(2, 16, 118, 30), CRect(3, 17, 119, 31), CRect(2, 34, 118, 50),
          CRect(2, 54, 118, 68)}},
        {"text",
         160,
         120,
         canvas,
         textScene,
         {CRect(4, 4, 76, 18), CRect(80, 4, 156, 18), CRect(4, 22, 76, 40), CRect(80, 22, 156, 40),
          CRect(30, 46, 70, 70), CRect(80, 46, 156, 70), CRect(4, 76, 76, 116),
          CRect(80, 76, 156, 96), CRect(80, 100, 156, 116)}},
        {"artwork_pieces", 340, 360, grey, artworkPieces, {}},
        {"hn6_tall_editor", 185, 320, canvas, hn6Tall,
         withShadow(statusRect(kel::editor::kTallLayout))},
        {"hn6_wide_editor", 266, 220, canvas, hn6Wide,
         withShadow(statusRect(kel::editor::kWideLayout))},
        {"kr6_tall_editor", 185, 320, canvas, kr6Tall,
         withShadow(statusRect(kel::editor::kTallLayout))},
        {"kr6_wide_editor", 266, 220, canvas, kr6Wide,
         withShadow(statusRect(kel::editor::kWideLayout))},
    };
    return scenes;
}

} // namespace widget_test
