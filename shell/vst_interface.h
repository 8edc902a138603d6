// The VST 2.x binary interface between a host and our plug-ins, as far as the plug-ins use it:
// the effect record, the dispatcher and host-callback operation codes, and the small records that
// travel through them. Written from the published table of the interface. A C interface shared
// with every host, so its declarations stay in the global namespace, as a platform's headers do;
// everything else of ours lives in namespace kel::<folder>.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

using VstInt32 = std::int32_t;
// Values and results of the dispatcher and the host callback are pointer-sized, so 64-bit hosts
// get the natural 64-bit layout.
using VstIntPtr = std::intptr_t;

constexpr VstInt32 fourCharCode(char a, char b, char c, char d) {
    return static_cast<VstInt32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                 (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                 (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                 static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr VstInt32 kEffectMagic = fourCharCode('V', 's', 't', 'P');
constexpr VstInt32 kEffectIdentifyAnswer = fourCharCode('N', 'v', 'E', 'f');
constexpr VstInt32 kDefaultUniqueId = fourCharCode('N', 'o', 'E', 'f');
constexpr VstInt32 kVstVersionAnswer = 2200;

struct AEffect;

using HostCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                             VstIntPtr value, void* ptr, float opt);
using DispatcherFunction = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                   VstIntPtr value, void* ptr, float opt);
using ProcessFunction = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                           VstInt32 sampleFrames);
using SetParameterFunction = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index, float value);
using GetParameterFunction = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);

// The host's name for the callback type in the entry point's signature.
using audioMasterCallback = HostCallback;

// The effect record handed to the host. 144 bytes in 32-bit builds; the pointer-sized fields give
// 64-bit builds the layout 64-bit hosts expect.
struct AEffect {
    VstInt32 magic;
    DispatcherFunction dispatcher;
    ProcessFunction process;
    SetParameterFunction setParameter;
    GetParameterFunction getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    VstInt32 initialDelay;
    VstInt32 realQualities;
    VstInt32 offQualities;
    float ioRatio;
    void* object;
    void* user;
    VstInt32 uniqueID;
    VstInt32 version;
    ProcessFunction processReplacing;
    char future[60];
};

// Where hosts look for every field of the record: {32-bit offset, 64-bit offset}.
constexpr std::size_t onThisTarget(std::size_t at32, std::size_t at64) {
    return sizeof(void*) == 4 ? at32 : at64;
}
static_assert(offsetof(AEffect, magic) == onThisTarget(0, 0));
static_assert(offsetof(AEffect, dispatcher) == onThisTarget(4, 8));
static_assert(offsetof(AEffect, process) == onThisTarget(8, 16));
static_assert(offsetof(AEffect, setParameter) == onThisTarget(12, 24));
static_assert(offsetof(AEffect, getParameter) == onThisTarget(16, 32));
static_assert(offsetof(AEffect, numPrograms) == onThisTarget(20, 40));
static_assert(offsetof(AEffect, numParams) == onThisTarget(24, 44));
static_assert(offsetof(AEffect, numInputs) == onThisTarget(28, 48));
static_assert(offsetof(AEffect, numOutputs) == onThisTarget(32, 52));
static_assert(offsetof(AEffect, flags) == onThisTarget(36, 56));
static_assert(offsetof(AEffect, resvd1) == onThisTarget(40, 64));
static_assert(offsetof(AEffect, resvd2) == onThisTarget(44, 72));
static_assert(offsetof(AEffect, initialDelay) == onThisTarget(48, 80));
static_assert(offsetof(AEffect, realQualities) == onThisTarget(52, 84));
static_assert(offsetof(AEffect, offQualities) == onThisTarget(56, 88));
static_assert(offsetof(AEffect, ioRatio) == onThisTarget(60, 92));
static_assert(offsetof(AEffect, object) == onThisTarget(64, 96));
static_assert(offsetof(AEffect, user) == onThisTarget(68, 104));
static_assert(offsetof(AEffect, uniqueID) == onThisTarget(72, 112));
static_assert(offsetof(AEffect, version) == onThisTarget(76, 116));
static_assert(offsetof(AEffect, processReplacing) == onThisTarget(80, 120));
static_assert(offsetof(AEffect, future) == onThisTarget(84, 128));
static_assert(sizeof(AEffect) == onThisTarget(144, 192));

enum EffectFlags : VstInt32 {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,
    effFlagsExtHasBuffer = 1 << 11,
};

// Dispatcher operation codes.
enum EffectOpcode : VstInt32 {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents,
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram,
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
};
static_assert(effEndSetProgram == 68);

// Host-callback operation codes the plug-ins call.
enum HostOpcode : VstInt32 {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterIdle = 3,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

enum PlugCategory : VstInt32 {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

// Largest texts a host provides room for (characters, without the terminator).
constexpr int kVstMaxVendorStrLen = 64;
constexpr int kVstMaxProductStrLen = 64;
constexpr int kVstMaxEffectNameLen = 32;

// Pin properties record filled for effGetInputProperties and effGetOutputProperties.
constexpr int kVstMaxLabelLen = 64;
constexpr int kVstMaxShortLabelLen = 8;
enum PinFlags : VstInt32 {
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2,
};
struct VstPinProperties {
    char label[kVstMaxLabelLen];
    VstInt32 flags;
    VstInt32 arrangementType;
    char shortLabel[kVstMaxShortLabelLen];
    char future[48];
};
static_assert(sizeof(VstPinProperties) == 128);

// Editor rectangle answered for effEditGetRect.
struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

// Key code of effEditKeyDown and effEditKeyUp.
struct VstKeyCode {
    VstInt32 character;
    unsigned char virt;
    unsigned char modifier;
};
