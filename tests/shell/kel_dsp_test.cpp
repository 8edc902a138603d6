// The effect object as a host sees it through the record: dispatcher answers, parameters,
// programs, texts. Both plug-ins run every test.
#include "model/parameter_values.h"
#include "shell/kel_dsp.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "tests/support/test_host.h"

using namespace kel::host;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::model;
using namespace kel::shell;

namespace {

// Records what reaches setParameter (the program marker among it) and when it is destroyed.
template <class Model>
class Probe : public KelDSP<Model> {
public:
    explicit Probe(audioMasterCallback host, bool* destroyedFlag = nullptr)
        : KelDSP<Model>(host), destroyed(destroyedFlag) {}
    ~Probe() override {
        if (destroyed) {
            *destroyed = true;
        }
    }
    void setParameter(VstInt32 index, float value) override {
        received.push_back({index, value});
        KelDSP<Model>::setParameter(index, value);
    }
    bool changed() const { return this->parametersChanged.load(); }
    void settle() { this->applyParameters(); }
    std::vector<float> markers() const {
        std::vector<float> values;
        for (const auto& call : received) {
            if (call.first == kProgramMarker) {
                values.push_back(call.second);
            }
        }
        return values;
    }

    std::vector<std::pair<VstInt32, float>> received;
    bool* destroyed;
};

template <class Model>
struct Expected;

template <>
struct Expected<CleanModel> {
    static constexpr const char* effectName = "HN-6 Clean Preamp";
    static constexpr const char* toneName = "Bright";
    static constexpr const char* displays[4] = {" On", "50", "5", "69"};
    static constexpr const char* programNames[9] = {"Default",  "Low Hot",     "Low Bright",
                                                    "High Hot", "High Bright", "Default",
                                                    "Default",  "Default",     "Default"};
};

template <>
struct Expected<CrunchModel> {
    static constexpr const char* effectName = "KR-6 Crunch Preamp";
    static constexpr const char* toneName = "Mid Boost";
    static constexpr const char* displays[4] = {" On", "50", "8", "66"};
    static constexpr const char* programNames[9] = {"Default",   "Clean",      "Low Drive",
                                                    "Mid Drive", "High Drive", "Default",
                                                    "Default",   "Default",    "Default"};
};

template <class Model>
class KelDSPTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        effect = new Probe<Model>(hostCallback, &destroyed);
        record = effect->getAeffect();
    }
    void TearDown() override {
        if (!destroyed) {
            dispatch(effClose);
        }
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }
    std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0) {
        char buffer[256];
        std::memset(buffer, '#', sizeof(buffer));
        buffer[sizeof(buffer) - 1] = 0;
        dispatch(opcode, index, value, buffer);
        return buffer;
    }
    void set(VstInt32 index, float value) { record->setParameter(record, index, value); }
    float get(VstInt32 index) { return record->getParameter(record, index); }

    Probe<Model>* effect = nullptr;
    AEffect* record = nullptr;
    bool destroyed = false;
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(KelDSPTest, Models);

TYPED_TEST(KelDSPTest, RecordCarriesTheIdentityOfTheEffect) {
    const AEffect& r = *this->record;
    EXPECT_EQ(r.magic, 0x56737450);
    EXPECT_EQ(r.flags, effFlagsCanMono | effFlagsCanReplacing); // the editor adds its flag
    EXPECT_EQ(r.numPrograms, 9);
    EXPECT_EQ(r.numParams, 4);
    EXPECT_EQ(r.numInputs, 2);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.uniqueID, 0x4B525834);
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.ioRatio, 1.0f);
    EXPECT_EQ(r.initialDelay, 0);
    EXPECT_EQ(r.realQualities, 0);
    EXPECT_EQ(r.offQualities, 0);
    EXPECT_EQ(r.resvd1, 0);
    EXPECT_EQ(r.resvd2, 0);
    EXPECT_EQ(r.user, nullptr);
    EXPECT_EQ(r.object, static_cast<AudioEffect*>(this->effect));
    EXPECT_NE(r.dispatcher, nullptr);
    EXPECT_NE(r.process, nullptr);
    EXPECT_NE(r.processReplacing, nullptr);
    EXPECT_NE(r.setParameter, nullptr);
    EXPECT_NE(r.getParameter, nullptr);
    for (char byte : r.future) {
        EXPECT_EQ(byte, 0);
    }
}

TYPED_TEST(KelDSPTest, DispatcherAnswersOfTheFixedCodes) {
    EXPECT_EQ(this->dispatch(effOpen), 0);
    EXPECT_EQ(this->dispatch(effGetVstVersion), 2200);
    EXPECT_EQ(this->dispatch(effKeysRequired), 1);
    EXPECT_EQ(this->dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(this->dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(this->dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(this->dispatch(effGetVendorVersion), 1);
    EXPECT_EQ(this->dispatch(effConnectInput, 0, 1), 1);
    EXPECT_EQ(this->dispatch(effConnectOutput, 1, 0), 1);
    EXPECT_EQ(this->dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(this->dispatch(effGetTailSize), 0);
    EXPECT_EQ(this->dispatch(effGetVu), 0);
    EXPECT_EQ(this->dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(this->dispatch(effCopyProgram, 1), 0);
    EXPECT_EQ(this->dispatch(effString2Parameter, 1, 0, const_cast<char*>("5")), 0);
    for (VstInt32 index : {-1, 0, 3, 4, 1000}) {
        EXPECT_EQ(this->dispatch(effCanBeAutomated, index), 1) << index;
    }
    for (VstInt32 code : {16, 17, 18, 20, 21, 25, 36, 37, 38, 39, 40, 41, 42,   46, 50,
                          53, 54, 55, 56, 62, 64, 65, 66, 67, 68, 69, 70, 1000, -1}) {
        EXPECT_EQ(this->dispatch(code), 0) << "code " << code;
    }
    // Without an editor the editor codes answer 0.
    ERect* rect = nullptr;
    EXPECT_EQ(this->dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(this->dispatch(effEditKeyDown, 'a', 0, nullptr, 1.0f), 0);
    EXPECT_EQ(this->dispatch(effSetEditKnobMode, 0, 2), 0);
}

TYPED_TEST(KelDSPTest, ChunksAreNotOffered) {
    void* chunk = &this->destroyed;
    EXPECT_EQ(this->dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(chunk, &this->destroyed);
    char data[16] = {};
    EXPECT_EQ(this->dispatch(effSetChunk, 0, sizeof(data), data), 0);
    EXPECT_EQ(this->dispatch(effGetChunk), 0);
}

TYPED_TEST(KelDSPTest, IdentityAndParameterTexts) {
    using E = Expected<TypeParam>;
    EXPECT_EQ(this->text(effGetEffectName), E::effectName);
    EXPECT_EQ(this->text(effGetVendorString), "Sonadrix");
    EXPECT_EQ(this->text(effGetProductString), "Orvalle Vol.2");
    EXPECT_EQ(this->dispatch(effGetEffectName, 0, 0, std::vector<char>(64).data()), 1);

    const char* names[4] = {"Effect", "Gain", E::toneName, "Output"};
    const char* labels[4] = {" [-]", " [%]", " [dB]", " [%]"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(this->text(effGetParamName, i), names[i]);
        EXPECT_EQ(this->text(effGetParamLabel, i), labels[i]);
        EXPECT_EQ(this->text(effGetParamDisplay, i), E::displays[i]);
    }
    // Indices outside 0..3 leave the buffer as it was.
    for (VstInt32 index : {-1, 4, 7, 8}) {
        for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            EXPECT_EQ(this->text(opcode, index), std::string(255, '#'));
        }
    }
}

TYPED_TEST(KelDSPTest, EffectSwitchHasHysteresis) {
    EXPECT_EQ(this->get(kBypassReadBack), 0.0f);
    this->set(0, 1.0f);
    EXPECT_EQ(this->text(effGetParamDisplay, 0), "Off");
    EXPECT_EQ(this->get(kBypassReadBack), 1.0f);
    this->set(0, 0.5f);
    EXPECT_EQ(this->text(effGetParamDisplay, 0), "Off");
    EXPECT_EQ(this->get(0), 0.5f);
    this->set(0, 0.25f);
    EXPECT_EQ(this->text(effGetParamDisplay, 0), "Off");
    this->set(0, 0.2f);
    EXPECT_EQ(this->text(effGetParamDisplay, 0), " On");
    EXPECT_EQ(this->get(kBypassReadBack), 0.0f);
    this->set(0, 0.75f);
    EXPECT_EQ(this->text(effGetParamDisplay, 0), " On");
    this->set(0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(this->text(effGetParamDisplay, 0), " On");
    this->set(0, 0.7500001f);
    EXPECT_EQ(this->text(effGetParamDisplay, 0), "Off");
    // The switch is not part of the sound settings.
    EXPECT_EQ(this->get(4), 0.0f);
}

TYPED_TEST(KelDSPTest, ValuesOutsideTheRangeAreStoredAndTheSettingsClamped) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float value;
        const char* gain;
        const char* tone;
    };
    const Case cases[] = {{1.5f, "100", "15"}, {-3.0f, "0", "0"}, {1e30f, "100", "15"},
                          {inf, "100", "15"},  {-inf, "0", "0"},  {nan, "0", "0"}};
    for (const Case& c : cases) {
        this->set(1, c.value);
        this->set(2, c.value);
        this->set(3, c.value);
        EXPECT_EQ(this->text(effGetParamDisplay, 1), c.gain) << c.value;
        EXPECT_EQ(this->text(effGetParamDisplay, 2), c.tone) << c.value;
        EXPECT_EQ(this->text(effGetParamDisplay, 3), c.gain) << c.value;
        const float stored = this->get(1);
        EXPECT_TRUE(stored == c.value || (std::isnan(stored) && std::isnan(c.value)));
    }
    this->set(1, 0.7f);
    EXPECT_EQ(this->text(effGetParamDisplay, 1), "69");
}

TYPED_TEST(KelDSPTest, ProgramsStartFromTheBuiltInPresets) {
    using E = Expected<TypeParam>;
    EXPECT_EQ(this->dispatch(effGetProgram), 0);
    EXPECT_EQ(this->text(effGetProgramName), "Default");
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(this->text(effGetProgramNameIndexed, i, 5), E::programNames[i]);
        EXPECT_EQ(this->dispatch(effGetProgramNameIndexed, i, 0, std::vector<char>(64).data()), 1);
    }
    EXPECT_EQ(this->text(effGetProgramNameIndexed, 9), std::string(255, '#'));
    EXPECT_EQ(this->dispatch(effGetProgramNameIndexed, 9, 0, std::vector<char>(64).data()), 0);
    EXPECT_EQ(this->dispatch(effGetProgramNameIndexed, -1, 0, std::vector<char>(64).data()), 0);

    const auto& preset = TypeParam::description.builtIns[3];
    this->dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(this->dispatch(effGetProgram), 3);
    EXPECT_EQ(this->get(1), toParameterValue(preset.values[0], 0, 100));
    EXPECT_EQ(this->get(2), toParameterValue(preset.values[1], 0, 15));
    EXPECT_EQ(this->get(3), toParameterValue(preset.values[2], 0, 100));
    EXPECT_EQ(this->text(effGetProgramName), preset.name);
}

TYPED_TEST(KelDSPTest, ProgramChangeSendsTheMarkerOfAnUnchangedBuiltIn) {
    auto markerAfter = [this](VstIntPtr program) {
        this->effect->received.clear();
        this->dispatch(effSetProgram, 0, program);
        const std::vector<float> markers = this->effect->markers();
        return markers.size() == 1 ? markers[0] : -1.0f;
    };
    EXPECT_EQ(markerAfter(3), 0.6f);
    EXPECT_EQ(markerAfter(4), 0.8f);
    EXPECT_EQ(markerAfter(0), 0.0f);
    EXPECT_EQ(markerAfter(5), 0.0f);
    EXPECT_EQ(markerAfter(8), 0.0f);

    // The Effect switch does not mark a program changed; Gain does, for good.
    EXPECT_EQ(markerAfter(2), 0.4f);
    this->set(0, 1.0f);
    EXPECT_EQ(markerAfter(2), 0.4f);
    this->set(1, 0.9f);
    EXPECT_EQ(markerAfter(2), 0.0f);
    this->set(1, toParameterValue(TypeParam::description.builtIns[2].values[0], 0, 100));
    EXPECT_EQ(markerAfter(2), 0.0f);
    // Re-applying a program stores the same values: programs 3 stays unchanged.
    EXPECT_EQ(markerAfter(3), 0.6f);
    EXPECT_EQ(markerAfter(3), 0.6f);
}

TYPED_TEST(KelDSPTest, ProgramNumbersOutsideTheBankChangeNothing) {
    this->dispatch(effSetProgram, 0, 2);
    this->set(1, 0.123f);
    for (VstIntPtr program :
         {VstIntPtr{9}, VstIntPtr{-1}, VstIntPtr{100}, std::numeric_limits<VstIntPtr>::min()}) {
        this->effect->received.clear();
        this->dispatch(effSetProgram, 0, program);
        EXPECT_TRUE(this->effect->received.empty()) << program;
        EXPECT_EQ(this->dispatch(effGetProgram), 2);
        EXPECT_EQ(this->get(1), 0.123f);
    }
    if (sizeof(VstIntPtr) == 8) {
        // A 64-bit value whose low 32 bits would be program 1 is still out of range.
        this->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(-0x100000000LL + 1));
        EXPECT_EQ(this->dispatch(effGetProgram), 2);
    }
}

TYPED_TEST(KelDSPTest, HostRestoresStateThroughNamesAndValues) {
    this->dispatch(effSetProgram, 0, 6);
    char name[] = "Solo Lead";
    this->dispatch(effSetProgramName, 0, 0, name);
    this->set(1, 0.8f);
    this->set(3, 0.2f);
    this->dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(this->text(effGetProgramNameIndexed, 6, 3), "Solo Lead");
    this->dispatch(effSetProgram, 0, 6);
    EXPECT_EQ(this->text(effGetProgramName), "Solo Lead");
    EXPECT_EQ(this->get(1), 0.8f);
    EXPECT_EQ(this->get(3), 0.2f);
    EXPECT_EQ(this->text(effGetParamDisplay, 3), "20");
}

TYPED_TEST(KelDSPTest, LongProgramNamesAreCutAt31Characters) {
    std::string longName(200, 'x');
    longName[30] = 'E';
    this->dispatch(effSetProgramName, 0, 0, longName.data());
    char buffer[64];
    std::memset(buffer, '#', sizeof(buffer));
    this->dispatch(effGetProgramName, 0, 0, buffer);
    EXPECT_EQ(std::strlen(buffer), 31u);
    EXPECT_EQ(buffer[30], 'E');
    EXPECT_EQ(buffer[32], '#'); // nothing beyond the 32-byte field is written
    EXPECT_EQ(this->text(effGetProgramNameIndexed, 0), std::string(longName, 0, 31));
}

TYPED_TEST(KelDSPTest, NullTextOrRecordPointersAreAnsweredWithZero) {
    for (VstInt32 opcode :
         {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
          effGetParamName, effEditGetRect, effEditOpen, effGetChunk, effGetProgramNameIndexed,
          effGetInputProperties, effGetOutputProperties, effGetEffectName, effGetVendorString,
          effGetProductString, effCanDo, effString2Parameter}) {
        EXPECT_EQ(this->dispatch(opcode, 0, 0, nullptr), 0) << "code " << opcode;
    }
}

TYPED_TEST(KelDSPTest, PinPropertiesForTwoStereoPinsEachWay) {
    const char* labels[2][2] = {{"1 In", "2 In"}, {"1 Out", "2 Out"}};
    const VstInt32 opcodes[2] = {effGetInputProperties, effGetOutputProperties};
    for (int direction = 0; direction < 2; ++direction) {
        for (int index = 0; index < 3; ++index) {
            VstPinProperties pin;
            std::memset(&pin, 0x5A, sizeof(pin));
            const VstIntPtr answer = this->dispatch(opcodes[direction], index, 0, &pin);
            if (index < 2) {
                EXPECT_EQ(answer, 1);
                EXPECT_STREQ(pin.label, labels[direction][index]);
                EXPECT_EQ(pin.flags, 3);
                EXPECT_EQ(pin.arrangementType, 0x5A5A5A5A);
                EXPECT_EQ(pin.shortLabel[0], 0x5A);
            } else {
                EXPECT_EQ(answer, 0);
                EXPECT_EQ(pin.label[0], 0x5A);
                EXPECT_EQ(pin.flags, 0x5A5A5A5A);
            }
        }
    }
}

TYPED_TEST(KelDSPTest, CanDoAnswersExactlyForItsThreeCapabilities) {
    auto ask = [this](const char* capability) {
        std::string text = capability;
        return this->dispatch(effCanDo, 0, 0, text.data());
    };
    EXPECT_EQ(ask("plugAsChannelInsert"), 1);
    EXPECT_EQ(ask("plugAsSend"), 1);
    EXPECT_EQ(ask("2in2out"), 1);
    EXPECT_EQ(ask("plugAsSendToo"), -1);
    EXPECT_EQ(ask("2In2Out"), -1);
    EXPECT_EQ(ask("receiveVstEvents"), -1);
    EXPECT_EQ(ask(""), -1);
}

TYPED_TEST(KelDSPTest, SampleRateChangesOnlyWhenDifferent) {
    this->effect->settle();
    this->dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_FALSE(this->effect->changed());
    this->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_TRUE(this->effect->changed());
    EXPECT_EQ(this->effect->getSampleRate(), 48000.0f);

    // Stored directly, without re-tuning.
    this->effect->settle();
    EXPECT_EQ(this->dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f), 1);
    EXPECT_EQ(this->effect->getSampleRate(), 96000.0f);
    EXPECT_EQ(this->effect->getBlockSize(), 256);
    EXPECT_FALSE(this->effect->changed());
    this->dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_FALSE(this->effect->changed());
    this->dispatch(effSetBlockSize, 0, 512);
    EXPECT_EQ(this->effect->getBlockSize(), 512);
}

TYPED_TEST(KelDSPTest, SoundSettingsRaiseTheChangeFlagTheSwitchDoesNot) {
    this->effect->settle();
    this->set(0, 1.0f);
    this->set(7, 0.4f);
    EXPECT_FALSE(this->effect->changed());
    for (VstInt32 index : {1, 2, 3}) {
        this->effect->settle();
        this->set(index, 0.3f);
        EXPECT_TRUE(this->effect->changed()) << index;
    }
}

TYPED_TEST(KelDSPTest, AutomatedChangesReachTheHost) {
    this->effect->setParameterAutomated(2, 0.4f);
    ASSERT_EQ(hostState().events.size(), 1u);
    EXPECT_EQ(hostState().events[0].opcode, audioMasterAutomate);
    EXPECT_EQ(hostState().events[0].index, 2);
    EXPECT_EQ(hostState().events[0].value, 0.4f);
    EXPECT_EQ(hostState().events[0].effect, this->record);
    EXPECT_EQ(this->get(2), 0.4f);
    this->effect->beginEdit(1);
    this->effect->endEdit(1);
    ASSERT_EQ(hostState().events.size(), 3u);
    EXPECT_EQ(hostState().events[1].opcode, audioMasterBeginEdit);
    EXPECT_EQ(hostState().events[2].opcode, audioMasterEndEdit);
    EXPECT_EQ(hostState().events[2].index, 1);
}

TYPED_TEST(KelDSPTest, CloseThroughTheRecordDestroysTheInstance) {
    EXPECT_EQ(this->dispatch(effClose), 1);
    EXPECT_TRUE(this->destroyed);
}

TYPED_TEST(KelDSPTest, SuspendAndResumeKeepTheState) {
    this->set(1, 0.42f);
    this->dispatch(effMainsChanged, 0, 0);
    this->dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(this->get(1), 0.42f);
    EXPECT_EQ(this->dispatch(effGetProgram), 0);
}

} // namespace
