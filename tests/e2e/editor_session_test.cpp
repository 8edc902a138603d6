// Both plug-ins' editors in our host, in both layouts, worked from outside the way a guitarist
// works them: real X input from xdotool, what the host logs (automation, edits), what the status
// line shows on the screen, the menus, the name dialog, the message boxes and the file dialogs,
// and the presets it leaves in the registry.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/editor_layout.h"
#include "model/parameter_values.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "presets/kel_preset_bank.h"
#include "presets/registry_preset_store.h"
#include "tests/e2e/host_session.h"
#include "widgets/draw_context.h"
#include "widgets/knob_geometry.h"
#include "widgets/param_display.h"

using namespace kel::dsp;
using namespace kel::editor;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::presets;
using namespace kel::model;

namespace {

using namespace VSTGUI;
using e2e::HostSession;
using widget_test::Canvas;
using widget_test::XScript;

struct Plugin {
    const char* file;
    const PluginDescription* description;
};
const Plugin kClean{"HN-6 Clean Preamp.dll", &CleanModel::description};
const Plugin kCrunch{"KR-6 Crunch Preamp.dll", &CrunchModel::description};

// The user presets and slot names all instances share start empty.
void freshRegistry() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserPresetKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kQuickSlotKey);
}

std::string folderOfProgram() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program = path;
    return program.substr(0, program.find_last_of('\\') + 1);
}

bool storedPresetExists(const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserPresetKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    const bool found =
        RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

// One editor in our host and what a user does with it.
class Session {
public:
    Session(const Plugin& plugin, int selector, POINT at = {200, 120})
        : layout(layoutFor(selector)),
          host(plugin.file,
               std::string("--layout ") + (selector == kTallLayoutSelector ? "tall" : "wide") +
                   " --position " + std::to_string(at.x) + " " + std::to_string(at.y)) {}

    const WidgetPlacement& place(EditorWidget which) const { return layout.widgets[which]; }
    POINT centreOf(EditorWidget which) const {
        const WidgetPlacement& w = place(which);
        return host.at(w.x + w.width / 2, w.y + w.height / 2);
    }
    // The point of a knob's face that means value v.
    POINT onKnob(EditorWidget knob, float v) const {
        const WidgetPlacement& w = place(knob);
        const float alpha = kKnobStartAngle + v * kKnobRangeAngle;
        const float reach = static_cast<float>(w.width) * 0.35f;
        return host.at(w.x + w.width / 2 + static_cast<int>(std::lround(std::cos(alpha) * reach)),
                       w.y + w.height / 2 - static_cast<int>(std::lround(std::sin(alpha) * reach)));
    }
    void click(EditorWidget which, int button = 1) {
        ASSERT_TRUE(XScript().moveTo(centreOf(which)).click(button).run());
    }
    // The status line shows this text (in red for errors), within a few seconds.
    ::testing::AssertionResult shows(const std::string& text, bool error = false) {
        const WidgetPlacement& w = place(kStatusWidget);
        Canvas expected(w.width, w.height, kBlackCColor);
        CTextEdit display(CRect(0, 0, w.width, w.height), nullptr, kStatusTag, text.c_str(),
                          nullptr, kShadowText);
        display.setFont(kNormalFontSmall);
        display.setFontColor(error ? kRedCColor : kWhiteCColor);
        display.setShadowColor(kBlackCColor);
        display.setHoriAlign(kLeftText);
        CDrawContext context(nullptr, expected.dc());
        display.draw(&context);
        int differences = 0;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 4000; Sleep(100)) {
            Canvas shown(w.width, w.height, kBlackCColor);
            host.capture(shown, w.x, w.y);
            differences = 0;
            for (int y = 0; y < w.height; ++y) {
                for (int x = 0; x < w.width; ++x) {
                    differences += shown.pixel(x, y) == expected.pixel(x, y) ? 0 : 1;
                }
            }
            if (differences == 0) {
                return ::testing::AssertionSuccess();
            }
        }
        return ::testing::AssertionFailure() << "the status line does not show \"" << text << "\" ("
                                             << differences << " pixels differ)";
    }
    // The automation values the host saw for a parameter among these log lines.
    static std::vector<float> automated(const std::vector<std::string>& lines, int index) {
        std::vector<float> values;
        const std::string prefix = "automate " + std::to_string(index) + " ";
        for (const std::string& line : lines) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                values.push_back(std::strtof(line.c_str() + prefix.size(), nullptr));
            }
        }
        return values;
    }

    const EditorLayout& layout;
    HostSession host;
};

std::string statusOf(const PluginDescription& plugin, int index, float value) {
    char text[128];
    const int setting = toPresetValue(value, 0, index == 2 ? 15 : 100);
    if (index == 3) {
        std::snprintf(text, sizeof(text), " Output: %d %%", setting);
    } else if (index == 1) {
        std::snprintf(text, sizeof(text), " Gain: %d.0 %%", setting);
    } else {
        std::snprintf(text, sizeof(text), " %s: %d.0 dB", plugin.toneParameterName, setting);
    }
    return text;
}

struct Configuration {
    Plugin plugin;
    int selector;
};

// A bitmap resource of a plug-in module, drawn into a canvas of its size.
std::unique_ptr<Canvas> moduleBitmap(HMODULE module, int id) {
    const BitmapResource* resource = bitmapResource(id);
    auto canvas = std::make_unique<Canvas>(resource->width, resource->height, kBlackCColor);
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HDC source = CreateCompatibleDC(canvas->dc());
    HGDIOBJ previous = SelectObject(source, bitmap);
    BitBlt(canvas->dc(), 0, 0, resource->width, resource->height, source, 0, 0, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
    DeleteObject(bitmap);
    return canvas;
}

// Pixels of the screenshot that differ from the bitmap placed at (x, y); keyed bitmaps leave
// their white pixels out, and so does `skip`.
int misplaced(const Canvas& shot, const Canvas& bitmap, int x, int y, int height, bool keyed,
              const CRect& skip = CRect()) {
    int count = 0;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < bitmap.width(); ++column) {
            const CColor pixel = bitmap.pixel(column, row);
            if ((keyed && pixel.sameRgb(kWhiteCColor)) || skip.pointInside({x + column, y + row})) {
                continue;
            }
            count += shot.pixel(x + column, y + row).sameRgb(pixel) ? 0 : 1;
        }
    }
    return count;
}

class EditorSession : public ::testing::TestWithParam<Configuration> {};

TEST_P(EditorSession, KnobsFootswitchAndQuickSlots) {
    const PluginDescription& plugin = *GetParam().plugin.description;
    freshRegistry();
    Session editor(GetParam().plugin, GetParam().selector);
    ASSERT_TRUE(editor.host.ready());
    EXPECT_TRUE(editor.shows(plugin.welcomeText));
    editor.host.newLines();

    // Every widget's bitmap lies exactly at its place on the skin.
    const EditorLayout& layout = editor.layout;
    Canvas shot(layout.width, layout.height, kBlackCColor);
    editor.host.capture(shot, 0, 0);
    const std::string path = folderOfProgram() + GetParam().plugin.file;
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const auto background = moduleBitmap(module, layout.backgroundBitmap);
    int covered = 0;
    for (int y = 0; y < layout.height; ++y) {
        for (int x = 0; x < layout.width; ++x) {
            bool underWidget = false;
            for (int which = 0; which < kEditorWidgetCount; ++which) {
                const WidgetPlacement& w = layout.widgets[which];
                // The status text's shadow falls one pixel down and right of the display.
                const int spill = which == kStatusWidget ? 1 : 0;
                underWidget |= which != kCompareWidget && x >= w.x && x < w.x + w.width + spill &&
                               y >= w.y && y < w.y + w.height + spill;
            }
            covered += !underWidget && !shot.pixel(x, y).sameRgb(background->pixel(x, y));
        }
    }
    EXPECT_EQ(covered, 0) << "pixels of the skin covered where no widget is";
    for (int which = 0; which < kEditorWidgetCount; ++which) {
        const WidgetPlacement& w = layout.widgets[which];
        if (!w.bitmap || which == kCompareWidget) {
            continue;
        }
        const bool knob = w.handleBitmap != 0;
        const bool keyed = knob || which == kLedWidget;
        CRect handleRect;
        if (knob) {
            const int setting = plugin.builtIns[0].values[w.tag - 1];
            const float value = toParameterValue(setting, 0, w.tag == 2 ? 15 : 100);
            const BitmapResource& handle = *bitmapResource(w.handleBitmap);
            const KnobGeometry geometry(w.width * 0.5f,
                                        static_cast<int>(handle.width * 0.5f + 2.5f));
            const CPoint at = geometry.valueToPoint(value);
            handleRect =
                CRect::fromSize({w.x + at.h - handle.width / 2, w.y + at.v - handle.height / 2},
                                handle.width - 1, handle.height - 1);
            EXPECT_EQ(misplaced(shot, *moduleBitmap(module, w.handleBitmap), handleRect.left,
                                handleRect.top, handle.height, true),
                      0)
                << "handle of widget " << which;
        }
        EXPECT_EQ(
            misplaced(shot, *moduleBitmap(module, w.bitmap), w.x, w.y, w.height, keyed, handleRect),
            0)
            << "widget " << which;
    }
    FreeLibrary(module);

    // Each knob dragged round its face from 0.2 to 0.8: one edit of its parameter.
    for (EditorWidget knob : {kGainKnobWidget, kToneKnobWidget, kOutputKnobWidget}) {
        const int tag = editor.place(knob).tag;
        XScript hand;
        hand.moveTo(editor.onKnob(knob, 0.2f)).press();
        for (float v = 0.25f; v < 0.81f; v += 0.05f) {
            hand.moveTo(editor.onKnob(knob, v));
        }
        ASSERT_TRUE(hand.release().run());
        const std::vector<std::string> lines = editor.host.takeUntil("end ");
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines.front(), "begin " + std::to_string(tag));
        EXPECT_EQ(lines.back(), "end " + std::to_string(tag));
        const std::vector<float> values = Session::automated(lines, tag);
        ASSERT_EQ(values.size(), lines.size() - 2) << "only its own parameter";
        EXPECT_NEAR(values.back(), 0.8f, 0.06f);
        EXPECT_TRUE(editor.shows(statusOf(plugin, tag, values.back())));
    }

    // The wheel turns the knob under the pointer by a tenth; Control+click brings the default.
    ASSERT_TRUE(XScript().moveTo(editor.centreOf(kOutputKnobWidget)).wheel(-2).run());
    std::vector<float> output = Session::automated(editor.host.takeUntil("automate 3", 2), 3);
    ASSERT_EQ(output.size(), 2u);
    EXPECT_NEAR(output[0] - output[1], 0.1f, 1e-4f);
    ASSERT_TRUE(XScript()
                    .moveTo(editor.centreOf(kGainKnobWidget))
                    .keyDown("ctrl")
                    .click()
                    .keyUp("ctrl")
                    .run());
    EXPECT_EQ(editor.host.takeUntil("automate 1"), std::vector<std::string>{"automate 1 0.5"});
    EXPECT_TRUE(editor.shows(" Gain: 50.0 %"));

    // The footswitch's press switches the effect off, its release does nothing; the LED goes
    // dark.
    const WidgetPlacement& led = editor.place(kLedWidget);
    Canvas lit(led.width, led.height, kBlackCColor);
    editor.host.capture(lit, led.x, led.y);
    editor.click(kFootswitchWidget);
    EXPECT_EQ(editor.host.takeUntil("end 0"),
              (std::vector<std::string>{"begin 0", "automate 0 1", "end 0"}));
    EXPECT_TRUE(editor.shows(" Effect Off"));
    Canvas dark(led.width, led.height, kBlackCColor);
    editor.host.capture(dark, led.x, led.y);
    EXPECT_NE(lit.pixel(4, 4), dark.pixel(4, 4));
    editor.click(kFootswitchWidget);
    EXPECT_TRUE(editor.shows(" Effect On"));

    // P1 to P4 on a fresh registry load the built-in presets 1 to 4.
    editor.host.takeUntil("end 0");
    for (int slot = 1; slot <= 4; ++slot) {
        editor.click(static_cast<EditorWidget>(kP1Widget + slot - 1));
        EXPECT_TRUE(editor.shows(" P" + std::to_string(slot) + ": " + plugin.builtIns[slot].name));
        const std::vector<std::string> lines = editor.host.takeUntil("automate 3");
        for (int index = 1; index <= 3; ++index) {
            // The host logs six significant digits.
            const std::vector<float> values = Session::automated(lines, index);
            ASSERT_EQ(values.size(), 1u) << slot;
            EXPECT_NEAR(
                values[0],
                toParameterValue(plugin.builtIns[slot].values[index - 1], 0, index == 2 ? 15 : 100),
                1e-5f)
                << slot;
        }
    }
    EXPECT_EQ(editor.host.close(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothPluginsBothLayouts, EditorSession,
                         ::testing::Values(Configuration{kClean, kTallLayoutSelector},
                                           Configuration{kClean, kWideLayoutSelector},
                                           Configuration{kCrunch, kTallLayoutSelector},
                                           Configuration{kCrunch, kWideLayoutSelector}));

class EditorMenus : public ::testing::TestWithParam<Configuration> {};

TEST_P(EditorMenus, CompareSlotMenuNameDialogOptionsAndArchives) {
    const PluginDescription& plugin = *GetParam().plugin.description;
    freshRegistry();
    Session editor(GetParam().plugin, GetParam().selector);
    ASSERT_TRUE(editor.host.ready());
    const DWORD process = editor.host.processId();

    // Load P2, turn Gain: compare plays P2's preset, and again brings the turned Gain back.
    editor.click(kP2Widget);
    EXPECT_TRUE(editor.shows(std::string(" P2: ") + plugin.builtIns[2].name));
    ASSERT_TRUE(XScript()
                    .moveTo(editor.onKnob(kGainKnobWidget, 0.3f))
                    .press()
                    .moveTo(editor.onKnob(kGainKnobWidget, 0.6f))
                    .release()
                    .run());
    editor.host.takeUntil("end 1");
    editor.click(kCompareWidget);
    EXPECT_TRUE(editor.shows(std::string(" Comp. to ") + plugin.builtIns[2].name));
    const std::vector<float> gain = Session::automated(editor.host.takeUntil("automate 3"), 1);
    ASSERT_EQ(gain.size(), 1u);
    EXPECT_NEAR(gain[0], toParameterValue(plugin.builtIns[2].values[0], 0, 100), 1e-5f);
    editor.click(kCompareWidget);
    EXPECT_TRUE(editor.shows(" Settings restored"));

    // A right click on P1 opens its menu; "Save Settings as New Preset" asks for a name, which
    // takes 64 characters at most.
    const std::string name(kMaxPresetNameLength, 'x');
    editor.click(kP1Widget, 3);
    ASSERT_NE(e2e::waitForWindowOf(process, "#32768"), nullptr);
    ASSERT_TRUE(XScript().focusAt(editor.host.at(5, 5)).key("s").run());
    ASSERT_NE(e2e::waitForWindowOf(process, "#32770"), nullptr);
    ASSERT_TRUE(XScript()
                    .focusAt(editor.host.at(30, 118))
                    .key("ctrl+a")
                    .type(name + "yyyyyy")
                    .key("Return")
                    .run());
    for (DWORD start = GetTickCount(); !storedPresetExists(name) && GetTickCount() - start < 5000;)
        Sleep(100);
    EXPECT_TRUE(storedPresetExists(name));
    // Shift+click stores into the slot's user preset now.
    ASSERT_TRUE(
        XScript().moveTo(editor.centreOf(kP1Widget)).keyDown("shift").click().keyUp("shift").run());
    EXPECT_TRUE(editor.shows(" P1: " + name));

    // About shows the plug-in's box, Help the help file's window.
    editor.click(kOptionsWidget);
    ASSERT_NE(e2e::waitForWindowOf(process, "#32768"), nullptr);
    ASSERT_TRUE(XScript().focusAt(editor.host.at(5, 5)).key("a").run());
    HWND about = e2e::waitForWindowOf(process, "#32770");
    ASSERT_NE(about, nullptr);
    char caption[64] = {};
    GetWindowTextA(about, caption, sizeof(caption));
    EXPECT_STREQ(caption, "Sonadrix VST Plug-In");
    EXPECT_EQ(e2e::messageText(about), plugin.aboutText);
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    Sleep(500);
    editor.click(kOptionsWidget);
    ASSERT_NE(e2e::waitForWindowOf(process, "#32768"), nullptr);
    ASSERT_TRUE(XScript().focusAt(editor.host.at(5, 5)).key("h").run());
    HWND help = nullptr;
    for (DWORD start = GetTickCount(); !help && GetTickCount() - start < 10000; Sleep(100)) {
        help = FindWindowA(nullptr, "Orvalle Vol.2 Help");
    }
    ASSERT_NE(help, nullptr);
    PostMessageA(help, WM_CLOSE, 0, 0);

    // Export through the save dialog, delete, import through the open dialog.
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string archive = std::string(folder) + "kel_e2e_presets.kpa";
    DeleteFileA(archive.c_str());
    for (const char* command : {"e", "i"}) {
        if (*command == 'i') {
            HKEY key = nullptr;
            RegOpenKeyExA(HKEY_CURRENT_USER, kUserPresetKey, 0, KEY_SET_VALUE, &key);
            RegDeleteValueA(key, name.c_str());
            RegCloseKey(key);
            ASSERT_FALSE(storedPresetExists(name));
        }
        Sleep(500);
        editor.click(kOptionsWidget);
        ASSERT_NE(e2e::waitForWindowOf(process, "#32768"), nullptr);
        ASSERT_TRUE(XScript().focusAt(editor.host.at(5, 5)).key(command).run());
        HWND dialog = e2e::waitForWindowOf(process, "#32770");
        ASSERT_NE(dialog, nullptr) << command;
        RECT place{};
        GetWindowRect(dialog, &place);
        // The file name field has the focus when the dialog opens.
        SetDlgItemTextA(dialog, 0x47c, archive.c_str()); // the name field of the dialog
        ASSERT_TRUE(XScript().focusAt({place.left + 20, place.top + 40}).key("Return").run());
        for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(100)) {
            if (*command == 'e' ? GetFileAttributesA(archive.c_str()) != INVALID_FILE_ATTRIBUTES
                                : storedPresetExists(name)) {
                break;
            }
        }
    }
    EXPECT_TRUE(storedPresetExists(name));
    DeleteFileA(archive.c_str());
    EXPECT_EQ(editor.host.close(), 0);
}

INSTANTIATE_TEST_SUITE_P(OnePerPlugin, EditorMenus,
                         ::testing::Values(Configuration{kClean, kWideLayoutSelector},
                                           Configuration{kCrunch, kTallLayoutSelector}));

TEST(EditorSessions, APresetStoredInOneProcessReachesTheOthersSlotMenu) {
    freshRegistry();
    Session first(kClean, kWideLayoutSelector, {60, 60});
    Session second(kClean, kTallLayoutSelector, {500, 60});
    ASSERT_TRUE(first.host.ready());
    ASSERT_TRUE(second.host.ready());

    first.click(kP2Widget, 3);
    ASSERT_NE(e2e::waitForWindowOf(first.host.processId(), "#32768"), nullptr);
    ASSERT_TRUE(XScript().focusAt(first.host.at(5, 5)).key("s").run());
    ASSERT_NE(e2e::waitForWindowOf(first.host.processId(), "#32770"), nullptr);
    ASSERT_TRUE(XScript()
                    .focusAt(first.host.at(30, 118))
                    .key("ctrl+a")
                    .type("Shared Tone")
                    .key("Return")
                    .run());

    // The other process's menu lists it at once: User Presets, its first entry.
    second.click(kP1Widget, 3);
    ASSERT_NE(e2e::waitForWindowOf(second.host.processId(), "#32768"), nullptr);
    ASSERT_TRUE(XScript().focusAt(second.host.at(5, 5)).key("Down Down Down Right Return").run());
    EXPECT_TRUE(second.shows(" P1: Shared Tone"));
}

} // namespace
