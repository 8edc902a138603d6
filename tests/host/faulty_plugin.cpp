// A small effect for testing `kelhost validate`: gain, a one-pole low-pass and a soft clipper with
// four parameters, nine programs and an editor that paints itself grey. Without faults it passes
// every test of the validator. FAULTY_PLUGIN_MODE, read when an instance is created, switches on
// one fault of the kind plug-ins ship with:
//   text-overrun         the cutoff parameter's name runs to 40 bytes
//   hostile-nan          setParameter takes NaN and infinities as they are: the filter state goes
//                        NaN and stays so
//   partition            the filter state is not kept from one block to the next
//   accumulate-replaces  process (the accumulating call) replaces the outputs
//   crash                a program number past the last program writes through a null pointer
//   hang-open            a pool of eight slots: the ninth instance open at once waits in effOpen
//                        for a slot that never comes free
//   hang-process         a block of 0 frames waits for a worker that is never woken
//   silence-stall        silent blocks take a slow path, ten times the work of a signal
//   rate-race            a rate change that meets a block being processed poisons the filter
//   writes-past-block    the replacing call writes whole groups of four frames, past the end of
//                        a block whose length is not a multiple of four
//   unwritten-output     the replacing call leaves the last frame of each block unwritten
//   writes-input         the replacing call uses its input buffers as scratch space
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "shell/vst_interface.h"
#include "tests/host/test_plugin_record.h"
#include "win32/messages.h"
#include "win32/module.h"

namespace {

constexpr int kParameters = 4;
constexpr int kPrograms = 9;
constexpr int kPoolSlots = 8;
const char* const kViewClass = "KelFaultyEditorView";

enum Parameter { kGain, kCutoff, kDrive, kMix };
const char* const kNames[kParameters] = {"Gain", "Cutoff", "Drive", "Mix"};
const char* const kLabels[kParameters] = {"dB", "Hz", "%", "%"};

bool modeIs(const char* mode, const char* name) {
    return std::strcmp(mode, name) == 0;
}

// The pool of the hang-open fault, shared by every instance of the module.
HANDLE poolSlots() {
    static const HANDLE slots = CreateSemaphoreA(nullptr, kPoolSlots, kPoolSlots, nullptr);
    return slots;
}

// The worker of the hang-process fault: it is only ever woken for blocks that have frames.
HANDLE workerDone() {
    static const HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return done;
}

struct Program {
    char name[24];
    float values[kParameters];
};

struct Faulty {
    AEffect record{};
    audioMasterCallback host = nullptr;
    char mode[32] = {};
    Program programs[kPrograms] = {};
    int current = 0;
    std::atomic<float> values[kParameters] = {};
    std::atomic<float> rate{44100.0f};
    std::atomic<bool> processing{false};
    std::atomic<bool> poisoned{false}; // rate-race: a rate change met a block
    float state[2] = {};
    bool holdsSlot = false;
    ERect rect{0, 0, 120, 200};
    HWND view = nullptr;
    std::atomic<int> idles{0};
};

Faulty* self(AEffect* effect) {
    return static_cast<Faulty*>(effect->object);
}

float clampValue(float value) {
    if (!(value >= 0.0f)) {
        return 0.0f; // NaN too
    }
    return value > 1.0f ? 1.0f : value;
}

void VSTCALLBACK setParameter(AEffect* effect, VstInt32 index, float value) {
    Faulty* f = self(effect);
    if (index < 0 || index >= kParameters) {
        return;
    }
    f->values[index] = modeIs(f->mode, "hostile-nan") ? value : clampValue(value);
    f->programs[f->current].values[index] = f->values[index];
}

float VSTCALLBACK getParameter(AEffect* effect, VstInt32 index) {
    return index >= 0 && index < kParameters ? self(effect)->values[index].load() : 0.0f;
}

void loadProgram(Faulty* f, int program) {
    f->current = program;
    for (int i = 0; i < kParameters; ++i) {
        f->values[i] = f->programs[program].values[i];
    }
}

// Gain, one-pole low-pass, soft clip, dry/wet mix, on n frames of both channels.
void run(Faulty* f, float** inputs, float** outputs, VstInt32 n, bool adding) {
    if (n == 0 && modeIs(f->mode, "hang-process")) {
        WaitForSingleObject(workerDone(), INFINITE);
    }
    if (n <= 0) {
        return;
    }
    f->processing = true;
    const float gain = 2.0f * f->values[kGain];
    const float cutoff = 200.0f * std::pow(100.0f, f->values[kCutoff]); // 200 Hz to 20 kHz
    const float drive = 1.0f + 9.0f * f->values[kDrive];
    const float mix = f->values[kMix];
    const float coefficient = std::exp(-2.0f * 3.14159265f * cutoff / f->rate);
    if (f->poisoned.exchange(false)) {
        f->state[0] = f->state[1] = std::nanf("");
    }
    bool silent = true;
    for (int c = 0; c < 2; ++c) {
        for (VstInt32 i = 0; i < n && silent; ++i) {
            silent = std::fabs(inputs[c][i]) < 1e-30f;
        }
    }
    const int passes = silent && modeIs(f->mode, "silence-stall") ? 10 : 1;
    const bool wholeGroups = modeIs(f->mode, "writes-past-block") && !adding;
    const VstInt32 written = wholeGroups ? (n + 3) / 4 * 4 : n;
    for (int c = 0; c < 2; ++c) {
        float state = modeIs(f->mode, "partition") ? 0.0f : f->state[c];
        float kept = state;
        for (int pass = 0; pass < passes; ++pass) {
            state = kept;
            for (VstInt32 i = 0; i < written; ++i) {
                const float x = i < n ? inputs[c][i] : 0.0f;
                state = coefficient * state + (1.0f - coefficient) * gain * x;
                if (std::fabs(state) < 1e-30f) {
                    state = 0.0f; // no subnormal states
                }
                const float shaped = drive * state / (1.0f + std::fabs(drive * state));
                float y = mix * shaped + (1.0f - mix) * x;
                if (std::fabs(y) < 1e-30f) {
                    y = 0.0f; // a subnormal input passes to the dry part: no subnormal outputs
                }
                if (adding && !modeIs(f->mode, "accumulate-replaces")) {
                    outputs[c][i] += y;
                } else if (!(modeIs(f->mode, "unwritten-output") && i == n - 1)) {
                    outputs[c][i] = y;
                }
                if (modeIs(f->mode, "writes-input") && inputs[c] != outputs[c]) {
                    inputs[c][i] = y;
                }
            }
        }
        f->state[c] = state;
    }
    f->processing = false;
}

void VSTCALLBACK processReplacing(AEffect* effect, float** inputs, float** outputs,
                                  VstInt32 frames) {
    run(self(effect), inputs, outputs, frames, false);
}

void VSTCALLBACK process(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    run(self(effect), inputs, outputs, frames, true);
}

LRESULT CALLBACK viewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(view, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        EndPaint(view, &paint);
        return 0;
    }
    return DefWindowProcA(view, message, wParam, lParam);
}

VstIntPtr openEditor(Faulty* f, HWND parent) {
    if (f->view || !IsWindow(parent)) {
        return 0;
    }
    kel::win32::registerWindowClass(kViewClass, viewProc);
    f->view = CreateWindowExA(0, kViewClass, "", WS_CHILD | WS_VISIBLE, 0, 0, f->rect.right,
                              f->rect.bottom, parent, nullptr, kel::win32::thisModule(), nullptr);
    return f->view ? 1 : 0;
}

void closeEditor(Faulty* f) {
    if (f->view) {
        DestroyWindow(f->view);
        f->view = nullptr;
    }
}

void copyText(void* ptr, const char* text) {
    std::strcpy(static_cast<char*>(ptr), text);
}

VstIntPtr VSTCALLBACK dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                               void* ptr, float opt) {
    Faulty* f = self(effect);
    switch (opcode) {
    case effOpen:
        if (modeIs(f->mode, "hang-open")) {
            WaitForSingleObject(poolSlots(), INFINITE);
            f->holdsSlot = true;
        }
        return 0;
    case effClose:
        closeEditor(f);
        if (f->holdsSlot) {
            ReleaseSemaphore(poolSlots(), 1, nullptr);
        }
        delete f;
        return 1;
    case effSetProgram: {
        if (value < 0) {
            return 0;
        }
        Program* program = value < kPrograms ? &f->programs[value] : nullptr;
        if (!program && !modeIs(f->mode, "crash")) {
            return 0;
        }
        // The crash fault trusts the number past the negative check: a null program here.
        program->name[23] = 0;
        loadProgram(f, static_cast<int>(program - f->programs));
        return 0;
    }
    case effGetProgram:
        return f->current;
    case effSetProgramName:
        std::strncpy(f->programs[f->current].name, static_cast<char*>(ptr), 23);
        f->programs[f->current].name[23] = 0;
        return 0;
    case effGetProgramName:
        copyText(ptr, f->programs[f->current].name);
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= kPrograms) {
            return 0;
        }
        copyText(ptr, f->programs[index].name);
        return 1;
    case effGetParamLabel:
        if (index >= 0 && index < kParameters) {
            copyText(ptr, kLabels[index]);
        }
        return 0;
    case effGetParamDisplay:
        if (index >= 0 && index < kParameters) {
            std::snprintf(static_cast<char*>(ptr), 8, "%.0f", 100.0 * f->values[index]);
        }
        return 0;
    case effGetParamName:
        if (index == kCutoff && modeIs(f->mode, "text-overrun")) {
            copyText(ptr, "Cutoff frequency of the low-pass filter");
        } else if (index >= 0 && index < kParameters) {
            copyText(ptr, kNames[index]);
        }
        return 0;
    case effSetSampleRate:
        if (opt > 0.0f && opt <= 768000.0f) {
            if (modeIs(f->mode, "rate-race") && f->processing) {
                f->poisoned = true;
            }
            f->rate = opt;
        }
        return 0;
    case effMainsChanged:
        if (value) {
            f->state[0] = f->state[1] = 0.0f;
        }
        return 0;
    case effEditGetRect:
        *static_cast<ERect**>(ptr) = &f->rect;
        return 1;
    case effEditOpen:
        return openEditor(f, static_cast<HWND>(ptr));
    case effEditClose:
        closeEditor(f);
        return 0;
    case effEditIdle:
        ++f->idles;
        return 0;
    case effGetInputProperties:
    case effGetOutputProperties: {
        if (index < 0 || index > 1) {
            return 0;
        }
        auto* pin = static_cast<VstPinProperties*>(ptr);
        std::snprintf(pin->label, sizeof(pin->label), "%s %d",
                      opcode == effGetInputProperties ? "In" : "Out", index + 1);
        std::snprintf(pin->shortLabel, sizeof(pin->shortLabel), "%c%d",
                      opcode == effGetInputProperties ? 'I' : 'O', index + 1);
        pin->flags = kVstPinIsActive | kVstPinIsStereo;
        return 1;
    }
    case effGetEffectName:
        copyText(ptr, "Faulty Filter");
        return 1;
    case effGetVendorString:
        copyText(ptr, "Sonadrix Tests");
        return 1;
    case effGetProductString:
        copyText(ptr, "Validator Faults");
        return 1;
    case effGetVendorVersion:
        return 1;
    case effGetVstVersion:
        return 2400;
    case effCanBeAutomated:
        return 1;
    default:
        return 0;
    }
}

} // namespace

extern "C" AEffect* VSTCALLBACK kelPluginMain(audioMasterCallback host) {
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    auto* f = new Faulty;
    f->host = host;
    GetEnvironmentVariableA("FAULTY_PLUGIN_MODE", f->mode, sizeof(f->mode));
    for (int p = 0; p < kPrograms; ++p) {
        std::snprintf(f->programs[p].name, sizeof(f->programs[p].name), "Program %d", p + 1);
        const float values[kParameters] = {0.5f, 0.3f + 0.05f * p, 0.1f * p, 0.8f};
        std::copy(values, values + kParameters, f->programs[p].values);
    }
    loadProgram(f, 0);
    AEffect& record = f->record;
    fillTestPluginRecord(record, {dispatch, process, processReplacing, setParameter, getParameter},
                         kParameters);
    record.numPrograms = kPrograms;
    record.flags |= effFlagsHasEditor;
    record.ioRatio = 1.0f;
    record.object = f;
    record.uniqueID = fourCharCode('K', 'f', 'F', 'l');
    record.version = 1;
    return &record;
}
