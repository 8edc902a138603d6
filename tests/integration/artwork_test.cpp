// The editor's bitmaps as the plug-in modules carry them: every bitmap of kBitmapResources at the
// table's size and 24 bits deep; keyed pieces clean against their pure white key; both modules
// with their own backgrounds and the same shared pieces.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "editor/editor_layout.h"
#include "tests/integration/module_paths.h"
#include "widgets/knob_geometry.h"

using namespace kel::editor;

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& other) const { return r == other.r && g == other.g && b == other.b; }
    bool isKey() const { return r == 255 && g == 255 && b == 255; }
    // Light enough to show as a fringe beside the key.
    bool isNearWhite() const { return r >= 230 && g >= 230 && b >= 230; }
    int luma() const { return (299 * r + 587 * g + 114 * b) / 1000; }
};

// A bitmap resource as stored in the module: a BITMAPINFOHEADER and the pixel rows.
struct ResourceBitmap {
    const BITMAPINFOHEADER* header = nullptr;
    DWORD size = 0; // bytes
    int width() const { return header->biWidth; }
    int height() const { return std::abs(header->biHeight); }
    // Rows of 24-bit pixels are padded to whole DWORDs; positive heights are stored bottom-up.
    Rgb at(int x, int y) const {
        const int stride = (width() * 3 + 3) & ~3;
        const int row = header->biHeight > 0 ? height() - 1 - y : y;
        const auto* pixel =
            reinterpret_cast<const unsigned char*>(header + 1) + row * stride + x * 3;
        return {pixel[2], pixel[1], pixel[0]};
    }
    bool sameBytes(const ResourceBitmap& other) const {
        return size == other.size && std::memcmp(header, other.header, size) == 0;
    }
};

class ModuleResources {
public:
    explicit ModuleResources(const char* file)
        : module(LoadLibraryExA(besideThisProgram(file).c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ModuleResources() {
        if (module) {
            FreeLibrary(module);
        }
    }
    ModuleResources(const ModuleResources&) = delete;
    ModuleResources& operator=(const ModuleResources&) = delete;

    bool isLoaded() const { return module != nullptr; }
    ResourceBitmap bitmap(int id) const {
        ResourceBitmap result;
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2)); // RT_BITMAP
        if (found) {
            result.header =
                static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
            result.size = SizeofResource(module, found);
        }
        return result;
    }

private:
    HMODULE module;
};

// The table's name of a bitmap, for failure messages.
const char* nameOf(int id) {
    const BitmapResource* resource = bitmapResource(id);
    return resource ? resource->name : "not in the table";
}

// Bitmaps drawn keyed on pure white, all others opaque.
const int kKeyedBitmaps[] = {542, 544, 550, 554, 571};
const int kButtonBitmaps[] = {530, 531, 533, 534, 535, 536, 537, 541};

struct KnobCase {
    int body;
    int handle;
};
const KnobCase kKnobs[] = {{554, 544}, {550, 542}};

double meanLuma(const ResourceBitmap& bitmap, int image, int imageHeight) {
    double sum = 0.0;
    for (int y = 0; y < imageHeight; ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            sum += bitmap.at(x, image * imageHeight + y).luma();
        }
    }
    return sum / (bitmap.width() * imageHeight);
}

class ArtworkTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { ASSERT_TRUE(resources.isLoaded()) << GetParam(); }
    ModuleResources resources{GetParam()};
};

TEST_P(ArtworkTest, EveryBitmapHasTheTableSizeIn24Bits) {
    for (const BitmapResource& expected : kBitmapResources) {
        SCOPED_TRACE(expected.name);
        const ResourceBitmap bitmap = resources.bitmap(expected.id);
        ASSERT_NE(bitmap.header, nullptr);
        EXPECT_EQ(bitmap.width(), expected.width);
        EXPECT_EQ(bitmap.height(), expected.height);
        EXPECT_EQ(expected.height % expected.images, 0);
        EXPECT_EQ(bitmap.header->biBitCount, 24);
        EXPECT_EQ(bitmap.header->biCompression, static_cast<DWORD>(BI_RGB));
        const DWORD pixelBytes = ((expected.width * 3 + 3) & ~3) * expected.height;
        EXPECT_GE(bitmap.size, bitmap.header->biSize + pixelBytes);
    }
}

TEST_P(ArtworkTest, KeyedBitmapsHaveWhiteCornersAndNoLightFringe) {
    for (int id : kKeyedBitmaps) {
        SCOPED_TRACE(nameOf(id));
        const ResourceBitmap bitmap = resources.bitmap(id);
        ASSERT_NE(bitmap.header, nullptr);
        ASSERT_NE(bitmapResource(id), nullptr);
        int fringe = 0;
        for (int y = 0; y < bitmap.height(); ++y) {
            for (int x = 0; x < bitmap.width(); ++x) {
                fringe += bitmap.at(x, y).isNearWhite() && !bitmap.at(x, y).isKey();
            }
        }
        EXPECT_EQ(fringe, 0);
        const int size = bitmapResource(id)->height / bitmapResource(id)->images;
        for (int top = 0; top < bitmap.height(); top += size) {
            EXPECT_TRUE(bitmap.at(0, top).isKey());
            EXPECT_TRUE(bitmap.at(size - 1, top).isKey());
            EXPECT_TRUE(bitmap.at(0, top + size - 1).isKey());
            EXPECT_TRUE(bitmap.at(size - 1, top + size - 1).isKey());
            EXPECT_FALSE(bitmap.at(size / 2, top + size / 2).isKey());
        }
    }
}

TEST_P(ArtworkTest, LedIsLitRedAboveAndDarkBelow) {
    const ResourceBitmap led = resources.bitmap(571);
    ASSERT_NE(led.header, nullptr);
    const Rgb lit = led.at(4, 4);
    const Rgb dark = led.at(4, 13);
    EXPECT_GE(lit.r, 200);
    EXPECT_GT(lit.r, 2 * lit.g);
    EXPECT_GT(lit.r, 2 * lit.b);
    EXPECT_LT(dark.luma(), lit.luma() / 2);
    EXPECT_GT(dark.r, dark.g);
}

TEST_P(ArtworkTest, PressedButtonsAreDarkerThanReleasedOnes) {
    for (int id : kButtonBitmaps) {
        SCOPED_TRACE(nameOf(id));
        const ResourceBitmap bitmap = resources.bitmap(id);
        ASSERT_NE(bitmap.header, nullptr);
        const int imageHeight = bitmap.height() / 2;
        EXPECT_LT(meanLuma(bitmap, 1, imageHeight) + 10.0, meanLuma(bitmap, 0, imageHeight));
    }
}

// Over the whole travel the pointer cap lies on the knob (never over its keyed corners) and
// stands out from the cap under it.
TEST_P(ArtworkTest, PointerCapsStayOnTheKnobAndStandOut) {
    for (const KnobCase& knob : kKnobs) {
        SCOPED_TRACE(nameOf(knob.body));
        const ResourceBitmap body = resources.bitmap(knob.body);
        const ResourceBitmap handle = resources.bitmap(knob.handle);
        ASSERT_NE(body.header, nullptr);
        ASSERT_NE(handle.header, nullptr);
        // The knob keeps a handle bitmap's centre half its width plus 2.5 px inside the rim.
        const VSTGUI::KnobGeometry geometry(body.width() * 0.5f,
                                            static_cast<int>(handle.width() * 0.5f + 2.5f));
        for (int step = 0; step <= 16; ++step) {
            const VSTGUI::CPoint centre = geometry.valueToPoint(step / 16.0f);
            const int left = centre.h - handle.width() / 2;
            const int top = centre.v - handle.height() / 2;
            int drawn = 0;
            int onKey = 0;
            double contrast = 0.0;
            for (int y = 0; y < handle.height(); ++y) {
                for (int x = 0; x < handle.width(); ++x) {
                    if (handle.at(x, y).isKey()) {
                        continue;
                    }
                    ++drawn;
                    const int bodyX = left + x;
                    const int bodyY = top + y;
                    if (bodyX < 0 || bodyX >= body.width() || bodyY < 0 || bodyY >= body.height() ||
                        body.at(bodyX, bodyY).isKey()) {
                        ++onKey;
                        continue;
                    }
                    contrast += std::abs(handle.at(x, y).luma() - body.at(bodyX, bodyY).luma());
                }
            }
            ASSERT_GT(drawn, 0);
            EXPECT_EQ(onKey, 0) << "value " << step / 16.0;
            EXPECT_GE(contrast / drawn, 60.0) << "value " << step / 16.0;
        }
    }
}

struct LayoutCase {
    const char* name;
    const EditorLayout* layout;
};
const LayoutCase kLayouts[] = {{"tall", &kTallLayout}, {"wide", &kWideLayout}};

TEST_P(ArtworkTest, BackgroundsHaveADarkDisplayAndTheBlankCompareButton) {
    const ResourceBitmap compare = resources.bitmap(533);
    ASSERT_NE(compare.header, nullptr);
    for (const LayoutCase& layoutCase : kLayouts) {
        SCOPED_TRACE(layoutCase.name);
        const EditorLayout& layout = *layoutCase.layout;
        const ResourceBitmap background = resources.bitmap(layout.backgroundBitmap);
        ASSERT_NE(background.header, nullptr);
        const WidgetPlacement& display = layout.widgets[kStatusWidget];
        int light = 0;
        for (int y = display.y; y < display.y + display.height; ++y) {
            for (int x = display.x; x < display.x + display.width; ++x) {
                light += background.at(x, y).luma() > 40;
            }
        }
        EXPECT_EQ(light, 0);
        // The rows above and below the button's label are the released button's own.
        const WidgetPlacement& button = layout.widgets[kCompareWidget];
        int different = 0;
        for (int y : {0, 1, 2, 3, 12, 13, 14}) {
            for (int x = 0; x < button.width; ++x) {
                different += !(background.at(button.x + x, button.y + y) == compare.at(x, y));
            }
        }
        EXPECT_EQ(different, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, ArtworkTest, ::testing::Values(kCleanModule, kCrunchModule));

TEST(ArtworkModules, ShareThePiecesButNotTheBackgrounds) {
    const ModuleResources clean(kCleanModule);
    const ModuleResources crunch(kCrunchModule);
    ASSERT_TRUE(clean.isLoaded());
    ASSERT_TRUE(crunch.isLoaded());
    for (const BitmapResource& resource : kBitmapResources) {
        SCOPED_TRACE(resource.name);
        const ResourceBitmap ours = clean.bitmap(resource.id);
        const ResourceBitmap theirs = crunch.bitmap(resource.id);
        ASSERT_NE(ours.header, nullptr);
        ASSERT_NE(theirs.header, nullptr);
        const bool background = resource.id == 528 || resource.id == 529;
        EXPECT_EQ(ours.sameBytes(theirs), !background);
    }
}

// The layouts place every widget at the size of one image of its bitmap.
TEST(ArtworkLayouts, WidgetsHaveTheSizeOfTheirBitmaps) {
    for (const LayoutCase& layoutCase : kLayouts) {
        SCOPED_TRACE(layoutCase.name);
        const EditorLayout& layout = *layoutCase.layout;
        const BitmapResource* background = bitmapResource(layout.backgroundBitmap);
        ASSERT_NE(background, nullptr);
        EXPECT_EQ(background->width, layout.width);
        EXPECT_EQ(background->height, layout.height);
        for (const WidgetPlacement& widget : layout.widgets) {
            if (widget.bitmap == 0) {
                continue;
            }
            SCOPED_TRACE(widget.tag);
            const BitmapResource* bitmap = bitmapResource(widget.bitmap);
            ASSERT_NE(bitmap, nullptr);
            EXPECT_EQ(bitmap->width, widget.width);
            EXPECT_EQ(bitmap->height / bitmap->images, widget.height);
            if (widget.handleBitmap != 0) {
                EXPECT_NE(bitmapResource(widget.handleBitmap), nullptr);
            }
        }
    }
}

} // namespace
