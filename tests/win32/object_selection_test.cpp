// Objects selected into a device context: selected while the selection lives, what was there
// before selected again afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include "win32/object_selection.h"

using kel::win32::ObjectSelection;

namespace {

TEST(ObjectSelection, SelectsForItsLifetimeAndPutsBackWhatWasThere) {
    const HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    const struct {
        const char* kind;
        UINT type;
        HGDIOBJ object;
    } cases[] = {
        {"pen", OBJ_PEN, CreatePen(PS_SOLID, 1, RGB(255, 255, 255))},
        {"brush", OBJ_BRUSH, CreateSolidBrush(RGB(160, 160, 164))},
        {"font", OBJ_FONT,
         CreateFontA(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, "Arial")},
        {"bitmap", OBJ_BITMAP, CreateBitmap(8, 8, 1, 1, nullptr)},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.object, nullptr) << c.kind;
        const HGDIOBJ original = GetCurrentObject(dc, c.type);
        {
            const ObjectSelection selection(dc, c.object);
            EXPECT_TRUE(selection) << c.kind;
            EXPECT_EQ(GetCurrentObject(dc, c.type), c.object) << c.kind;
        }
        EXPECT_EQ(GetCurrentObject(dc, c.type), original) << c.kind;
        EXPECT_TRUE(DeleteObject(c.object)) << c.kind << " was still selected";
    }
    DeleteDC(dc);
}

TEST(ObjectSelection, WithoutADeviceContextOrAnObjectNothingIsSelected) {
    const HGDIOBJ pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ original = GetCurrentObject(dc, OBJ_PEN);
    {
        const ObjectSelection noDC(nullptr, pen);
        EXPECT_FALSE(noDC);
        const ObjectSelection noObject(dc, nullptr);
        EXPECT_FALSE(noObject);
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), original);
    DeleteDC(dc);
    DeleteObject(pen);
}

} // namespace
