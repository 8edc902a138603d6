// The entry point and the effect with its editor, as the host creates them.
#include "plugins/kel_plug_edit.h"

#include <vector>

#include <gtest/gtest.h>

#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "tests/support/test_host.h"

using namespace kel::host;
using namespace kel::plugins;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::model;
using namespace kel::shell;

namespace {

template <class Model>
class KelPlugEditTest : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }

    static AEffect* create() { return createEffectInstance<KelPlugEdit<Model>>(hostCallback); }
    static VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0,
                              VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    // Width and height the editor asks the host for.
    static std::pair<int, int> editorSize() {
        AEffect* effect = create();
        ERect* rect = nullptr;
        EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
        std::pair<int, int> size{rect->right - rect->left, rect->bottom - rect->top};
        dispatch(effect, effClose);
        return size;
    }
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(KelPlugEditTest, Models);

TYPED_TEST(KelPlugEditTest, HostTooOldGetsNoEffect) {
    hostState().identity.versionAnswer = 0;
    EXPECT_EQ(this->create(), nullptr);
    EXPECT_EQ(createEffectInstance<KelPlugEdit<TypeParam>>(nullptr), nullptr);
}

TYPED_TEST(KelPlugEditTest, EditorIsAnnouncedAndRefusesToOpenForNow) {
    AEffect* effect = this->create();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->flags, 0x19);
    int parent = 0;
    EXPECT_EQ(this->dispatch(effect, effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(this->dispatch(effect, effEditClose), 0);
    EXPECT_EQ(this->dispatch(effect, effEditIdle), 0);
    EXPECT_EQ(this->dispatch(effect, effEditKeyDown, 'a', 13, nullptr, 1.0f), -1);
    EXPECT_EQ(this->dispatch(effect, effEditKeyUp, 0, 0, nullptr, 1e30f), -1);
    EXPECT_EQ(this->dispatch(effect, effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(AEffEditor::knobMode(), 2);
    this->dispatch(effect, effSetEditKnobMode, 0, 0);
    EXPECT_EQ(this->dispatch(effect, effClose), 1);
}

TYPED_TEST(KelPlugEditTest, OurOwnRigsGetTheTallLayout) {
    EXPECT_EQ(this->editorSize(), std::make_pair(266, 220));
    hostState().identity.vendor = "Sonadrix";
    hostState().identity.product = "Sonadrix Host";
    EXPECT_EQ(this->editorSize(), std::make_pair(266, 220));
    for (const char* product : {"OrvalleGig", "OrvalleBass", "Orvalleg", "Orvalleb"}) {
        hostState().identity.product = product;
        EXPECT_EQ(this->editorSize(), std::make_pair(185, 320)) << product;
    }
    hostState().identity.product = "OrvallG"; // seven characters
    EXPECT_EQ(this->editorSize(), std::make_pair(266, 220));
    hostState().identity.vendor = "sonadrix";
    hostState().identity.product = "OrvalleGig";
    EXPECT_EQ(this->editorSize(), std::make_pair(266, 220));
}

TYPED_TEST(KelPlugEditTest, FiftyInstancesOpenAndCloseIndependently) {
    std::vector<AEffect*> effects;
    for (int i = 0; i < 50; ++i) {
        effects.push_back(this->create());
        ASSERT_NE(effects.back(), nullptr);
        effects.back()->setParameter(effects.back(), 1, static_cast<float>(i) / 100.0f);
    }
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(effects[i]->getParameter(effects[i], 1), static_cast<float>(i) / 100.0f);
    }
    for (AEffect* effect : effects) {
        EXPECT_EQ(this->dispatch(effect, effClose), 1);
    }
}

} // namespace
