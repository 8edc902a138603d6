// The editor as the LV2 UI runs it, in this process and without a window: its controls write the
// plug-in's ports through the link and the status line follows them; host automation reaches the
// editor from the host's thread; the quick slots recall, store and compare through the user's
// files, which another instance sees at once.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "editor/kel_prop_page.h"
#include "lv2ui/port_effect_link.h"
#include "model/parameter_values.h"
#include "plugins/clean/clean_model.h"
#include "presets/file_preset_store.h"
#include "presets/preset_format.h"
#include "tests/widgets/headless_backend.h"
#include "widgets/control.h"
#include "widgets/draw_context.h"

using namespace kel;
using namespace kel::editor;
using namespace kel::lv2ui;
using namespace kel::model;
using kel::clean::CleanModel;

namespace {

using Write = std::pair<std::uint32_t, float>;

struct Host : HostPorts {
    void write(std::uint32_t port, float value) override { writes.emplace_back(port, value); }
    void touch(std::uint32_t, bool) override {}
    std::vector<Write> writes;
};

// One editor on its link, as an LV2 UI instance holds them, opened in the wide layout; its
// P buttons and compare button clicked with the given mouse buttons.
struct Instance {
    Instance() {
        page.open(widget_test::parentWindow());
        link.setListener(&relay);
    }
    ~Instance() {
        link.setListener(nullptr);
        page.close();
    }
    VSTGUI::CControl& widget(EditorWidget which) { return *page.widget(which); }
    void turn(EditorWidget knob, float value) {
        widget(knob).setValue(value);
        page.valueChanged(nullptr, &widget(knob));
    }
    void click(EditorWidget button, long mouseButtons = VSTGUI::kLButton) {
        const VSTGUI::MouseState mouse{mouseButtons, {}};
        VSTGUI::CDrawContext::setMouseFeed(&mouse);
        VSTGUI::CDrawContext context(page.getFrame(), nullptr, nullptr);
        widget(button).setValue(1.0f);
        page.valueChanged(&context, &widget(button));
        VSTGUI::CDrawContext::setMouseFeed(nullptr);
    }
    std::vector<Write> flushed() {
        Host host;
        link.flush(host);
        return host.writes;
    }

    struct Relay : ParameterListener {
        explicit Relay(KelPropPage& editor) : page(editor) {}
        void parameterChanged(int index, float value) override { page.setParameter(index, value); }
        KelPropPage& page;
    };

    PortEffectLink link{CleanModel::description};
    KelPropPage page{link, CleanModel::description};
    Relay relay{page};
};

class EditorLink : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("editor-link-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // A user preset of the HN-6 stored the way another instance would have, in slot `slot`.
    void storeUserPreset(const std::string& name, const presets::PresetValues& values, int slot) {
        presets::FilePresetStore store(presets::defaultPresetFolder());
        ASSERT_TRUE(store.reopen());
        ASSERT_TRUE(store.writePreset(
            name, presets::encodeStoredPreset(values, CleanModel::description.storedPresetSize)));
        std::array<std::string, presets::kQuickSlotCount> slots{"Low Hot", "Low Bright", "High Hot",
                                                                "High Bright"};
        slots[static_cast<std::size_t>(slot - 1)] = name;
        ASSERT_TRUE(store.writeSlotNames(slots));
    }
    presets::PresetValues storedValues(const std::string& name) {
        presets::FilePresetStore store(presets::defaultPresetFolder());
        store.reopen();
        std::vector<std::uint8_t> record;
        presets::PresetValues values{};
        EXPECT_TRUE(store.readPreset(name, 64, record));
        EXPECT_TRUE(presets::decodeStoredPreset(record.data(), record.size(),
                                                CleanModel::description.storedPresetSize, values));
        return values;
    }

    std::filesystem::path folder;
};

TEST_F(EditorLink, ControlsWriteThePortsAndTheStatusLineFollowsThemAndTheHost) {
    Instance editor;
    EXPECT_STREQ(editor.page.statusText(), CleanModel::description.welcomeText);
    const struct {
        EditorWidget knob;
        float value;
        const char* status;
        Write write;
    } turns[] = {
        {kGainKnobWidget, 0.8f, " Gain: 80.0 %", {kGainParameter, 80.0f}},
        {kToneKnobWidget, 0.5f, " Bright: 7.0 dB", {kToneParameter, 7.0f}},
        {kOutputKnobWidget, 0.7f, " Output: 69 %", {kOutputParameter, 69.0f}},
        {kGainKnobWidget, 0.0f, " Gain: 0.0 %", {kGainParameter, 0.0f}},
    };
    for (const auto& turn : turns) {
        editor.turn(turn.knob, turn.value);
        EXPECT_STREQ(editor.page.statusText(), turn.status);
        EXPECT_EQ(editor.flushed(), std::vector<Write>{turn.write}) << turn.status;
    }
    editor.click(kFootswitchWidget);
    EXPECT_STREQ(editor.page.statusText(), " Effect Off");
    EXPECT_EQ(editor.flushed(), (std::vector<Write>{{kEffectParameter, 0.0f}}));

    // The host's automation, from its own thread: the editor shows it at its next idle.
    std::thread hostThread([&] {
        float parameter = 0.0f;
        ASSERT_TRUE(editor.link.portChanged(kGainParameter, 30.0f, parameter));
        editor.page.setParameter(kGainParameter, parameter);
        ASSERT_TRUE(editor.link.portChanged(kEffectParameter, 1.0f, parameter));
        editor.page.setParameter(kEffectParameter, parameter);
    });
    hostThread.join();
    editor.page.idle();
    EXPECT_STREQ(editor.page.statusText(), " Effect On");
    EXPECT_EQ(editor.widget(kGainKnobWidget).getValue(), 0.3f);
    EXPECT_TRUE(editor.flushed().empty()); // the host's own changes are not written back
}

// An LV2 host reports every control port once after instantiation: the window opens on those
// values as it opens on the effect's, saying only its welcome; changes after that are said.
TEST_F(EditorLink, TheHostsValuesAtOpeningMoveTheControlsWithoutAMessage) {
    Instance editor;
    const struct {
        int port;
        float portValue;
        EditorWidget widget;
        float widgetValue;
    } opening[] = {
        {kGainParameter, 85.0f, kGainKnobWidget, 0.85f},
        {kToneParameter, 15.0f, kToneKnobWidget, 1.0f},
        {kOutputParameter, 61.0f, kOutputKnobWidget, 0.61f},
        {kEffectParameter, 0.0f, kLedWidget, 1.0f}, // the port's off: the LED dark
    };
    std::thread hostThread([&] {
        for (const auto& value : opening) {
            float parameter = 0.0f;
            ASSERT_TRUE(editor.link.portChanged(value.port, value.portValue, parameter));
            editor.page.setOpeningParameter(value.port, parameter);
        }
    });
    hostThread.join();
    editor.page.idle();
    EXPECT_STREQ(editor.page.statusText(), CleanModel::description.welcomeText);
    for (const auto& value : opening) {
        EXPECT_FLOAT_EQ(editor.widget(value.widget).getValue(), value.widgetValue) << value.port;
    }
    EXPECT_TRUE(editor.flushed().empty());

    // On the window's own thread too: after a slot's recall, a value of the opening leaves the
    // slot's message; a change the host makes afterwards is said.
    editor.click(kP1Widget);
    EXPECT_STREQ(editor.page.statusText(), " P1: Low Hot");
    editor.flushed();
    float parameter = 0.0f;
    ASSERT_TRUE(editor.link.portChanged(kGainParameter, 50.0f, parameter));
    editor.page.setOpeningParameter(kGainParameter, parameter);
    editor.page.idle();
    EXPECT_STREQ(editor.page.statusText(), " P1: Low Hot");
    EXPECT_FLOAT_EQ(editor.widget(kGainKnobWidget).getValue(), 0.5f);
    ASSERT_TRUE(editor.link.portChanged(kGainParameter, 60.0f, parameter));
    editor.page.setParameter(kGainParameter, parameter);
    editor.page.idle();
    EXPECT_STREQ(editor.page.statusText(), " Gain: 60.0 %");
}

TEST_F(EditorLink, SlotsRecallStoreAndCompareThroughTheUsersFilesAndAnotherInstanceSeesThem) {
    // Stored 70 reaches the port as 69, as the VST 2.x effect holds it (0.7 is 0.699999988).
    storeUserPreset("Lead", {70, 3, 40}, 2);
    Instance editor;
    editor.click(kP2Widget);
    EXPECT_STREQ(editor.page.statusText(), " P2: Lead");
    EXPECT_EQ(editor.flushed(),
              (std::vector<Write>{
                  {kGainParameter, 69.0f}, {kToneParameter, 3.0f}, {kOutputParameter, 40.0f}}));
    // A built-in slot: its program and its values.
    editor.click(kP1Widget);
    EXPECT_STREQ(editor.page.statusText(), " P1: Low Hot");
    EXPECT_EQ(editor.link.programName(), "Low Hot");
    editor.flushed();

    // Back to the user slot, changed, compared with the stored preset and back again.
    editor.click(kP2Widget);
    editor.flushed();
    editor.turn(kGainKnobWidget, 0.75f);
    EXPECT_TRUE(editor.page.isCompareShown());
    editor.click(kCompareWidget);
    EXPECT_STREQ(editor.page.statusText(), " Comp. to Lead");
    EXPECT_EQ(editor.flushed().back(), Write(kOutputParameter, 40.0f));
    EXPECT_EQ(editor.link.parameter(kGainParameter), toParameterValue(70, 0, 100));
    editor.click(kCompareWidget);
    EXPECT_STREQ(editor.page.statusText(), " Settings restored");
    EXPECT_EQ(editor.link.parameter(kGainParameter), 0.75f);
    editor.flushed();

    // Shift+click stores the settings into the slot's user preset, for every instance.
    Instance other;
    editor.click(kP2Widget, VSTGUI::kLButton | VSTGUI::kShift);
    EXPECT_STREQ(editor.page.statusText(), " P2: Lead");
    EXPECT_EQ(storedValues("Lead"), (presets::PresetValues{75, 3, 40}));
    other.click(kP2Widget);
    EXPECT_EQ(other.flushed(),
              (std::vector<Write>{
                  {kGainParameter, 75.0f}, {kToneParameter, 3.0f}, {kOutputParameter, 40.0f}}));

    // A built-in slot is never overwritten.
    editor.click(kP1Widget, VSTGUI::kLButton | VSTGUI::kShift);
    EXPECT_STREQ(editor.page.statusText(), " Can't save preset!");
    EXPECT_TRUE(editor.page.statusIsError());
}

TEST_F(EditorLink, ADamagedPresetFileIsSaidInRedAndCostsNoOtherPreset) {
    storeUserPreset("Lead", {70, 3, 40}, 2);
    std::FILE* damaged =
        std::fopen((folder / "Sonadrix" / "Orvalle Vol.2" / "Broken.preset").c_str(), "wb");
    ASSERT_NE(damaged, nullptr);
    std::fputs("not a preset", damaged);
    std::fclose(damaged);
    Instance editor;
    editor.page.idle();
    EXPECT_TRUE(editor.page.statusIsError());
    EXPECT_NE(std::string(editor.page.statusText()).find("set aside"), std::string::npos)
        << editor.page.statusText();
    editor.click(kP2Widget);
    EXPECT_STREQ(editor.page.statusText(), " P2: Lead");
    EXPECT_TRUE(
        std::filesystem::exists(folder / "Sonadrix" / "Orvalle Vol.2" / "Broken.preset.damaged"));
}

} // namespace
