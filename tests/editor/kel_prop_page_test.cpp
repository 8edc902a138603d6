// The editor window of both plug-ins in the test program: its widgets where the layout tables put
// them, the status texts, the quick-preset buttons with compare, automation from other threads,
// and many open/close cycles while audio runs.
#include "editor/kel_prop_page.h"

#include <atomic>
#include <cstring>
#include <regex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/presets/preset_test_support.h"
#include "tests/support/modal_robot.h"
#include "ui/menu_commands.h"
#include "widgets/bitmap.h"
#include "widgets/buttons.h"
#include "widgets/draw_context.h"
#include "widgets/frame.h"
#include "widgets/platform_objects.h"

using namespace kel::editor;
using namespace kel::host;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::presets;
using namespace kel::model;
using namespace kel::shell;

namespace {

using namespace VSTGUI;

template <class Model>
class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        host = CreateWindowA("STATIC", "host", WS_POPUP | WS_VISIBLE, 40, 40, 300, 340, nullptr,
                             nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        CDrawContext::setMouseFeed(nullptr);
        plugin.reset();
        DestroyWindow(host);
    }
    void create(int layout = kWideLayoutSelector) {
        plugin = std::make_unique<Instance<Model>>();
        page().bank()->setLayoutSelector(layout);
    }
    KelPropPage& page() { return *static_cast<KelPropPage*>(plugin->effect().getEditor()); }
    VstIntPtr dispatch(VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr) {
        AEffect* record = plugin->aeffect();
        return record->dispatcher(record, opcode, 0, value, ptr, 0.0f);
    }
    bool open() { return dispatch(effEditOpen, 0, host) == 1; }
    void idle() { dispatch(effEditIdle); }
    CControl* widget(EditorWidget which) { return page().widget(which); }
    std::string status() { return page().statusText(); }

    // A click on a P button with these buttons held, as the button itself reports it.
    void clickSlot(int slot, long buttons = kLButton) {
        const MouseState mouse{buttons, {12 + 32 * slot + 5, 157}};
        CDrawContext::setMouseFeed(&mouse);
        CFrame* frame = page().getFrame();
        CDrawContext context(frame, nullptr, frame->getSystemWindow());
        CPoint where = mouse.location;
        frame->mouse(&context, where);
        CDrawContext::setMouseFeed(nullptr);
    }
    // A kick or movie button's press and release, as it reports them.
    void press(EditorWidget which) {
        CControl* control = widget(which);
        CFrame* frame = page().getFrame();
        CDrawContext context(frame, nullptr, frame->getSystemWindow());
        control->setValue(which == kCompareWidget ? 1.0f - control->getValue() : 1.0f);
        page().valueChanged(&context, control);
        if (which != kCompareWidget) {
            control->setValue(0.0f);
            page().valueChanged(&context, control);
        }
    }
    void turn(EditorWidget knob, float value) {
        widget(knob)->setValue(value);
        page().valueChanged(nullptr, widget(knob));
    }
    bool lit(int slot) {
        return widget(static_cast<EditorWidget>(kP1Widget + slot - 1))->getValue() == 1.0f;
    }

    RegistrySandbox sandbox;
    std::unique_ptr<Instance<Model>> plugin;
    HWND host = nullptr;
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(EditorWindow, Models);

TYPED_TEST(EditorWindow, EveryWidgetSitsWhereItsLayoutSaysInBothLayouts) {
    for (int selector : {kTallLayoutSelector, kWideLayoutSelector}) {
        this->create(selector);
        const EditorLayout& layout = layoutFor(selector);
        ERect* rect = nullptr;
        ASSERT_EQ(this->dispatch(effEditGetRect, 0, &rect), 1);
        EXPECT_EQ(rect->right, layout.width);
        EXPECT_EQ(rect->bottom, layout.height);
        ASSERT_TRUE(this->open());
        CFrame* frame = this->page().getFrame();
        RECT client{};
        GetClientRect(static_cast<HWND>(frame->getSystemWindow()), &client);
        EXPECT_EQ(client.right, layout.width);
        EXPECT_EQ(client.bottom, layout.height);
        for (int which = 0; which < kEditorWidgetCount; ++which) {
            const WidgetPlacement& place = layout.widgets[which];
            CControl* control = this->widget(static_cast<EditorWidget>(which));
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->getTag(), place.tag) << which;
            EXPECT_EQ(control->getViewSize(),
                      CRect::fromSize({place.x, place.y}, place.width, place.height))
                << which;
            EXPECT_EQ(frame->isChild(control), which != kCompareWidget) << which;
            if (place.bitmap) {
                EXPECT_EQ(control->getBackground()->getResourceId(), place.bitmap) << which;
                EXPECT_EQ(control->getBackground()->getWidth(), place.width) << which;
            }
        }
        EXPECT_EQ(this->status(), TypeParam::description.welcomeText);
        EXPECT_FALSE(this->page().statusIsError());
        EXPECT_FALSE(this->widget(kStatusWidget)->getMouseEnabled());
        // Knobs return to the "Default" preset's settings.
        const int* defaults = TypeParam::description.builtIns[0].values;
        EXPECT_EQ(this->widget(kToneKnobWidget)->getDefaultValue(),
                  toParameterValue(defaults[1], 0, 15));
        EXPECT_EQ(this->widget(kOutputKnobWidget)->getDefaultValue(),
                  toParameterValue(defaults[2], 0, 100));
        this->dispatch(effEditClose);
        EXPECT_EQ(this->page().getFrame(), nullptr);
    }
}

TYPED_TEST(EditorWindow, TheStatusDisplaySaysWhatChanged) {
    this->create();
    ASSERT_TRUE(this->open());
    AEffect* record = this->plugin->aeffect();
    const std::string tone = TypeParam::description.toneParameterName;
    struct Case {
        int index;
        float value;
        std::string text;
    };
    const Case cases[] = {
        {1, 0.5f, " Gain: 50.0 %"},
        {3, 0.7f, " Output: 69 %"},
        {2, 1.0f, " " + tone + ": 15.0 dB"},
        {2, 0.0f, " " + tone + ": 0.0 dB"},
        {0, 1.0f, " Effect Off"},
        {0, 0.9f, " Effect On"},
        {0, 0.0f, " Effect On"},
        {1, 1.0f, " Gain: 100.0 %"},
    };
    for (const Case& c : cases) {
        record->setParameter(record, c.index, c.value);
        EXPECT_EQ(this->status(), c.text) << c.index << " " << c.value;
    }
    // Programs chosen by the host: built-in ones by name, others with the welcome text.
    record->dispatcher(record, effSetProgram, 0, 2, nullptr, 0.0f);
    EXPECT_EQ(this->status(), std::string(" Host: ") + TypeParam::description.builtIns[2].name);
    record->dispatcher(record, effSetProgram, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(this->status(), TypeParam::description.welcomeText);
    record->dispatcher(record, effSetProgram, 0, 6, nullptr, 0.0f);
    EXPECT_EQ(this->status(), TypeParam::description.welcomeText);
    // The LED is lit (first image) while the effect is on.
    record->setParameter(record, 0, 1.0f);
    EXPECT_EQ(this->widget(kLedWidget)->getValue(), 1.0f);
    // The footswitch's press switches, its release does nothing.
    this->press(kFootswitchWidget);
    EXPECT_EQ(record->getParameter(record, 0), 0.0f);
    EXPECT_EQ(this->status(), " Effect On");
    const auto automation = automationOf(record);
    ASSERT_FALSE(automation.empty());
    EXPECT_EQ(automation.back().index, 0);
    EXPECT_EQ(automation.back().value, 0.0f);
}

TYPED_TEST(EditorWindow, QuickSlotsAndCompareOnAFreshRegistry) {
    this->create();
    ASSERT_TRUE(this->open());
    AEffect* record = this->plugin->aeffect();
    const auto& builtIns = TypeParam::description.builtIns;

    this->clickSlot(3);
    EXPECT_EQ(this->status(), std::string(" P3: ") + builtIns[3].name);
    EXPECT_TRUE(this->lit(3));
    EXPECT_EQ(this->page().currentSlot(), 3);
    this->clickSlot(3); // again: reloads it
    EXPECT_TRUE(this->lit(3));

    // Shift-click on a slot that holds a built-in preset cannot store.
    this->clickSlot(2, kLButton | kShift);
    EXPECT_EQ(this->status(), " Can't save preset!");
    EXPECT_TRUE(this->page().statusIsError());

    // Load P2, turn Gain: compare appears; compare plays P2's preset; again brings Gain back.
    this->clickSlot(2);
    EXPECT_FALSE(this->page().isCompareShown());
    this->turn(kGainKnobWidget, 0.9f);
    EXPECT_TRUE(this->page().isCompareShown());
    EXPECT_TRUE(this->page().getFrame()->isChild(this->widget(kCompareWidget)));
    this->press(kCompareWidget);
    EXPECT_EQ(this->status(), std::string(" Comp. to ") + builtIns[2].name);
    EXPECT_EQ(record->getParameter(record, 1), toParameterValue(builtIns[2].values[0], 0, 100));
    this->press(kCompareWidget);
    EXPECT_EQ(this->status(), " Settings restored");
    // The turned Gain is back as the compare scratch kept it: the setting 89 of 0.9.
    EXPECT_EQ(record->getParameter(record, 1), toParameterValue(89, 0, 100));
    EXPECT_TRUE(this->page().isCompareShown());
    EXPECT_FALSE(this->page().isComparing());

    // Reopened: welcome text, nothing lit, no compare button, the slots unchanged.
    this->dispatch(effEditClose);
    ASSERT_TRUE(this->open());
    EXPECT_EQ(this->status(), TypeParam::description.welcomeText);
    for (int slot = 1; slot <= 4; ++slot) {
        EXPECT_FALSE(this->lit(slot)) << slot;
    }
    EXPECT_FALSE(this->page().isCompareShown());
    char name[kPresetNameBufferSize];
    this->page().bank()->getSlotName(3, name);
    EXPECT_STREQ(name, builtIns[3].name);
}

TYPED_TEST(EditorWindow, LongPresetNamesAreShownWhole) {
    this->create();
    ASSERT_TRUE(this->open());
    const std::string longName(kMaxPresetNameLength, 'N');
    ASSERT_TRUE(this->page().bank()->storeNewPreset(1, longName.c_str()));
    this->clickSlot(1);
    EXPECT_EQ(this->status(), " P1: " + longName);
    this->turn(kOutputKnobWidget, 0.2f);
    this->press(kCompareWidget);
    EXPECT_EQ(this->status(), " Comp. to " + longName);
    this->clickSlot(1);
    EXPECT_EQ(this->status(), " Comp. to " + longName);
}

TYPED_TEST(EditorWindow, AutomationFromOtherThreadsReachesTheWindowAtItsIdle) {
    this->create();
    ASSERT_TRUE(this->open());
    AEffect* record = this->plugin->aeffect();
    // Off the window's thread nothing changes on the screen or in the texts until the idle.
    std::thread([record] { record->setParameter(record, 1, 0.25f); }).join();
    EXPECT_EQ(this->status(), TypeParam::description.welcomeText);
    EXPECT_NE(this->widget(kGainKnobWidget)->getValue(), 0.25f);
    this->idle();
    EXPECT_EQ(this->status(), " Gain: 25.0 %");
    EXPECT_EQ(this->widget(kGainKnobWidget)->getValue(), 0.25f);
    // The latest change is shown last.
    std::thread([record] {
        record->setParameter(record, 3, 0.5f);
        record->setParameter(record, 1, 0.75f);
    }).join();
    this->idle();
    EXPECT_EQ(this->status(), " Gain: 75.0 %");

    // Two threads automate while the window idles: every text shown is a whole one.
    std::atomic<bool> running{true};
    auto automate = [&](int index) {
        for (int i = 0; running; ++i) {
            record->setParameter(record, index, static_cast<float>(i % 101) / 100.0f);
        }
    };
    std::thread gain(automate, 1);
    std::thread output(automate, 3);
    const std::regex whole(R"( (Gain: \d+\.0|Output: \d+) %)");
    int checked = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 1000; Sleep(5)) {
        this->idle();
        checked += std::regex_match(this->status(), whole) ? 1 : 0;
        EXPECT_TRUE(std::regex_match(this->status(), whole)) << this->status();
    }
    running = false;
    gain.join();
    output.join();
    EXPECT_GT(checked, 50);
}

TYPED_TEST(EditorWindow, TwoHundredCyclesWhileAudioRunsAndTheHostAutomates) {
    this->create(kTallLayoutSelector);
    AEffect* record = this->plugin->aeffect();
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    ASSERT_TRUE(this->open());
    this->dispatch(effEditClose);
    const PlatformObjectCounts before = platformObjectsInUse();
    std::atomic<bool> running{true};
    std::thread audio([&] {
        std::vector<float> left(512, 0.1f), right(512, -0.1f), outLeft(512), outRight(512);
        float* inputs[] = {left.data(), right.data()};
        float* outputs[] = {outLeft.data(), outRight.data()};
        while (running) {
            record->processReplacing(record, inputs, outputs, 512);
        }
    });
    std::thread automation([&] {
        for (int i = 0; running; ++i) {
            record->setParameter(record, 1 + i % 3, static_cast<float>(i % 100) / 100.0f);
            if (i % 50 == 0) {
                record->dispatcher(record, effSetProgram, 0, i % 9, nullptr, 0.0f);
            }
        }
    });
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_TRUE(this->open()) << cycle;
        EXPECT_EQ(this->status(), TypeParam::description.welcomeText) << cycle;
        for (int i = 0; i < 3; ++i) {
            this->idle();
        }
        this->dispatch(effEditClose);
    }
    running = false;
    audio.join();
    automation.join();
    EXPECT_EQ(platformObjectsInUse().gdi, before.gdi);
    EXPECT_EQ(platformObjectsInUse().user, before.user);
}

TYPED_TEST(EditorWindow, AboutBoxAndHelpFailureFromTheOptionsMenu) {
    // Help looked for in a folder without the help file: the machine's settings stand in this
    // test's registry.
    HKEY machine = nullptr;
    char noClass[] = "";
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "MachineStandIn", 0, noClass, 0, KEY_ALL_ACCESS,
                              nullptr, &machine, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine), ERROR_SUCCESS);
    const std::string folder = testFolder() + "\\";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Sonadrix", "Help Path", REG_SZ, folder.c_str(),
                    static_cast<DWORD>(folder.size() + 1));
    this->create();
    ASSERT_TRUE(this->open());
    for (UINT command : {KEL_CMD_ABOUT, KEL_CMD_HELP, KEL_CMD_HELP}) {
        std::string text;
        std::string caption;
        std::vector<std::string> problems;
        ModalRobot::answerMenu(
            [&] {
                this->press(kOptionsWidget);
                return 0;
            },
            [&](ModalRobot& r, HWND window) {
                r.chooseCommand(window, command);
                HWND box = r.waitForWindow("#32770");
                text = ModalRobot::messageText(box);
                caption = ModalRobot::windowText(box);
                r.press(box, IDOK);
            },
            problems);
        EXPECT_EQ(problems, std::vector<std::string>{});
        EXPECT_EQ(caption, "Sonadrix VST Plug-In");
        EXPECT_EQ(text, command == KEL_CMD_ABOUT
                            ? std::string(TypeParam::description.aboutText)
                            : "Please refer to the documentation of the host application to "
                              "learn more \n           about all parameters and settings of "
                              "Sonadrix effects.");
    }
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(machine);
}

} // namespace
