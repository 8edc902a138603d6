// The LV2 editor's settings file: what each line does to the layout.
#include "lv2ui/editor_settings.h"

#include <string>

#include <gtest/gtest.h>

using kel::lv2ui::parseEditorSettings;

TEST(EditorSettings, LinesChooseTheSkinAndTheKnobsAndAnythingElseLeavesTheDefaults) {
    const struct {
        std::string text;
        bool tall;
    } cases[] = {
        {"", false},
        {"Layout=tall", true},
        {"Layout=wide", false},
        {"  layout =  TALL  \n", true},
        {"Layout=tall\nLayout=wide\n", false}, // the last line wins
        {"Layout=wide\r\nLayout=tall\r\n", true},
        {"Layout=pedal", false},
        {"Layout", false},
        {"# Layout=tall", false},
        {"FontName=Arial\nLayout=tall\nHelp Path=/x", true},
        {"Layout=tall=yes", false},
        {std::string("Layout=tall\n\0garbage", 20), true}, // a zero byte ends nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseEditorSettings(c.text).tallLayout, c.tall) << c.text;
    }
    EXPECT_TRUE(parseEditorSettings("Knobs = Linear").linearKnobs);
    EXPECT_FALSE(parseEditorSettings("Knobs=linear\nKnobs=circular").linearKnobs);
    EXPECT_FALSE(parseEditorSettings("Knobs=straight").linearKnobs);
}
