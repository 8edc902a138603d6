// The editor base as a host drives it: keys, the wheel and redraws reach the frame, the idle
// step keeps the host alive at its pace without re-entering the editor's idle, edits reach the
// host, and OLE is left as the host's thread had it.
#include "editor/aeff_gui_editor.h"

#include <windows.h>

#include <objbase.h>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "widgets/draw_context.h"
#include "widgets/knob.h"

using namespace kel::editor;
using namespace kel::shell;

namespace {

using namespace VSTGUI;

std::vector<VstInt32> hostCalls;
bool idleEditorFromHostIdle = false;

VstIntPtr VSTCALLBACK recordingHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                    void*, float) {
    if (opcode == audioMasterVersion) {
        return 2400;
    }
    hostCalls.push_back(opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit
                            ? opcode * 100 + index
                            : opcode);
    // Some hosts idle their editors from inside their own idle.
    if (opcode == audioMasterIdle && idleEditorFromHostIdle && effect) {
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    }
    return 0;
}

class TestEffect : public AudioEffectX {
public:
    TestEffect() : AudioEffectX(recordingHost, 1, 4) {}
    void process(float**, float**, VstInt32) override {}
};

// An editor with one knob (tag 2) in a 200 x 100 frame.
class TestEditor : public AEffGUIEditor {
public:
    using AEffGUIEditor::AEffGUIEditor;
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        frame = new CFrame(CRect(0, 0, 200, 100), parent, this);
        knob = new CKnob(CRect(10, 10, 60, 60), nullptr, 2, nullptr, nullptr);
        knob->setValue(0.5f);
        frame->addView(knob);
        return true;
    }
    void update() override { ++updates; }

    CKnob* knob = nullptr;
    int updates = 0;
};

HWND newParent() {
    return CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                           nullptr);
}

class EditorBase : public ::testing::Test {
protected:
    EditorBase() : editor(new TestEditor(&effect)), parent(newParent()) { hostCalls.clear(); }
    ~EditorBase() override {
        CDrawContext::setMouseFeed(nullptr);
        idleEditorFromHostIdle = false;
        DestroyWindow(parent);
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return effect.getAeffect()->dispatcher(effect.getAeffect(), opcode, index, value, ptr, opt);
    }

    TestEffect effect; // owns and deletes the editor
    TestEditor* editor;
    HWND parent;
};

TEST_F(EditorBase, WithoutAWindowKeysAndTheWheelAreNotTaken) {
    EXPECT_TRUE(effect.getAeffect()->flags & effFlagsHasEditor);
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_UP, nullptr, 0.0f), -1);
    EXPECT_FALSE(editor->onWheel(1.0f));
    editor->draw(nullptr);
    editor->postUpdate();
    dispatch(effEditIdle);
    EXPECT_EQ(editor->updates, 1);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->updates, 1); // once per request
}

TEST_F(EditorBase, KeysTheWheelAndEditsGoThroughTheFrame) {
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, parent), 1);
    ASSERT_NE(editor->getFrame(), nullptr);
    EXPECT_EQ(editor->updates, 0);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->updates, 1); // open asks for one

    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_UP, nullptr, 0.0f), 1);
    EXPECT_NEAR(editor->knob->getValue(), 0.6f, 1e-6f);
    EXPECT_EQ(dispatch(effEditKeyDown, 0, 0, nullptr, 0.0f), -1); // no view takes it

    MouseState overKnob{0, {35, 35}};
    CDrawContext::setMouseFeed(&overKnob);
    EXPECT_TRUE(editor->onWheel(-1.0f));
    EXPECT_NEAR(editor->knob->getValue(), 0.5f, 1e-6f);

    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, kLinearMode), 1);
    EXPECT_EQ(editor->getKnobMode(), kLinearMode);
    dispatch(effSetEditKnobMode, 0, kCircularMode);

    // A drag reports its start and end to the host with the knob's tag.
    editor->getFrame()->beginEdit(editor->knob->getTag());
    editor->getFrame()->endEdit(editor->knob->getTag());
    EXPECT_EQ(hostCalls, (std::vector<VstInt32>{audioMasterBeginEdit * 100 + 2,
                                                audioMasterEndEdit * 100 + 2}));
    dispatch(effEditClose);
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_UP, nullptr, 0.0f), -1);
}

TEST_F(EditorBase, TheIdleStepRunsAboutEvery100MillisecondsWithoutReenteringIdle) {
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, parent), 1);
    idleEditorFromHostIdle = true;
    Sleep(120); // past the first planned pass
    editor->postUpdate();
    editor->doIdleStuff();
    EXPECT_EQ(hostCalls, (std::vector<VstInt32>{audioMasterIdle}));
    EXPECT_EQ(editor->updates, 1); // the host's idle inside did not run the editor's idle

    // Called as a tracking loop does, for 1 s: passes about 50 to 100 ms apart.
    hostCalls.clear();
    const DWORD start = GetTickCount();
    int calls = 0;
    while (GetTickCount() - start < 1000) {
        editor->doIdleStuff();
        ++calls;
    }
    EXPECT_GE(hostCalls.size(), 9u);
    EXPECT_LE(hostCalls.size(), 21u);
    EXPECT_GT(calls, static_cast<int>(hostCalls.size()) * 5);
    dispatch(effEditClose);
}

// The host's thread: no COM, COM in a multithreaded apartment, or OLE initialised by the host.
enum class HostCom { none, multithreaded, ole };

void openAndCloseEditors(HostCom com) {
    if (com == HostCom::multithreaded) {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    } else if (com == HostCom::ole) {
        ASSERT_EQ(OleInitialize(nullptr), S_OK);
    }
    HWND parent = newParent();
    for (int cycle = 0; cycle < 100; ++cycle) {
        auto* effect = new TestEffect;
        auto* editor = new TestEditor(effect);
        ASSERT_TRUE(editor->open(parent));
        editor->idle();
        editor->close();
        delete effect;
    }
    DestroyWindow(parent);
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    const HRESULT state = CoGetApartmentType(&type, &qualifier);
    if (com == HostCom::none) {
        EXPECT_EQ(state, CO_E_NOTINITIALIZED);
        return;
    }
    ASSERT_EQ(state, S_OK);
    EXPECT_EQ(type == APTTYPE_MTA, com == HostCom::multithreaded);
    // Initialised exactly as often as the host did it: once.
    if (com == HostCom::ole) {
        OleUninitialize();
    } else {
        CoUninitialize();
    }
    EXPECT_EQ(CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED);
}

TEST(EditorBaseCom, AHundredOpenCloseCyclesLeaveTheHostsComStateAsItWas) {
    for (HostCom com : {HostCom::none, HostCom::multithreaded, HostCom::ole}) {
        std::thread host(openAndCloseEditors, com);
        host.join();
    }
}

} // namespace
