// A plug-in module for testing our host's editor window. Its editor paints the pattern of
// fake_editor_pattern.h and reports a click on a quadrant as an edit gesture. It holds the host to
// the rules a plug-in relies on and ends the process with exit status 3 and a message on stderr at
// the first breach; at effClose it writes what it saw to stderr. FAKE_EDITOR_MODE = "refuse" (no
// editor opens), "once" (only the first opens) or "no-editor" (the effect has no editor) plays
// other plug-ins.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/vst_interface.h"
#include "tests/host/fake_editor_pattern.h"
#include "tests/host/test_plugin_record.h"
#include "win32/messages.h"
#include "win32/module.h"

namespace {

constexpr int kParameters = 4;
const char* const kViewClass = "KelFakeEditorView";

struct FakeEffect {
    AEffect record{};
    audioMasterCallback host = nullptr;
    ERect rect{};
    char mode[32] = {};
    HWND view = nullptr;
    DWORD editorThread = 0; // the thread of the first editor call; all later ones must match
    bool resumed = false;
    bool closed = false;
    float rate = 0.0f;
    VstIntPtr blockSize = 0;
    int opens = 0, closes = 0, idles = 0;
    std::atomic<int> processing{0};
    std::atomic<long> blocks{0};
    std::atomic<long> changes[kParameters] = {};
    std::atomic<float> peak{0.0f};
    std::atomic<float> values[kParameters] = {};
};

// One instance per module is all the tests need. It stays after effClose to catch late calls.
FakeEffect fake;

void report(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
              nullptr);
}

void require(bool condition, const char* breach) {
    if (condition) {
        return;
    }
    char line[160];
    std::snprintf(line, sizeof(line), "fake editor plug-in: %s\n", breach);
    report(line);
    TerminateProcess(GetCurrentProcess(), 3);
}

void onEditorThread() {
    if (!fake.editorThread) {
        fake.editorThread = GetCurrentThreadId();
    }
    require(fake.editorThread == GetCurrentThreadId(), "editor called from two threads");
}

LRESULT CALLBACK viewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
    const int width = fake.rect.right, height = fake.rect.bottom;
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(view, &paint);
        const RECT all{0, 0, width, height};
        const RECT parts[4] = {{1, 1, width / 2, height / 2},
                               {width / 2, 1, width - 1, height / 2},
                               {1, height / 2, width / 2, height - 1},
                               {width / 2, height / 2, width - 1, height - 1}};
        HBRUSH border = CreateSolidBrush(kFakeBorder);
        FillRect(dc, &all, border);
        DeleteObject(border);
        for (int i = 0; i < 4; ++i) {
            HBRUSH brush = CreateSolidBrush(kFakeQuadrants[i]);
            FillRect(dc, &parts[i], brush);
            DeleteObject(brush);
        }
        EndPaint(view, &paint);
        return 0;
    }
    if (message == WM_LBUTTONDOWN) {
        const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
        const VstInt32 quadrant = (x >= width / 2 ? 1 : 0) + (y >= height / 2 ? 2 : 0);
        fake.host(&fake.record, audioMasterBeginEdit, quadrant, 0, nullptr, 0.0f);
        fake.host(&fake.record, audioMasterAutomate, quadrant, 0, nullptr, (quadrant + 1) / 8.0f);
        fake.host(&fake.record, audioMasterEndEdit, quadrant, 0, nullptr, 0.0f);
        return 0;
    }
    return DefWindowProcA(view, message, wParam, lParam);
}

VstIntPtr openEditor(HWND parent) {
    onEditorThread();
    require(!fake.view, "editor opened while open");
    require(IsWindow(parent), "editor opened without a parent window");
    if (std::strcmp(fake.mode, "refuse") == 0 ||
        (std::strcmp(fake.mode, "once") == 0 && fake.opens > 0)) {
        return 0;
    }
    kel::win32::registerWindowClass(kViewClass, viewProc);
    fake.view =
        CreateWindowExA(0, kViewClass, "", WS_CHILD | WS_VISIBLE, 0, 0, fake.rect.right,
                        fake.rect.bottom, parent, nullptr, kel::win32::thisModule(), nullptr);
    require(fake.view != nullptr, "cannot create the editor view");
    ++fake.opens;
    return 1;
}

VstIntPtr closeEffect() {
    require(!fake.view, "effect closed with its editor open");
    require(fake.processing == 0, "effect closed while processing");
    fake.closed = true;
    UnregisterClassA(kViewClass, kel::win32::thisModule());
    char line[200];
    std::snprintf(line, sizeof(line),
                  "fake editor plug-in: opens %d closes %d idles %d blocks %ld peak %.3f "
                  "changes %ld %ld %ld %ld\n",
                  fake.opens, fake.closes, fake.idles, fake.blocks.load(),
                  static_cast<double>(fake.peak.load()), fake.changes[0].load(),
                  fake.changes[1].load(), fake.changes[2].load(), fake.changes[3].load());
    report(line);
    return 1;
}

VstIntPtr VSTCALLBACK dispatch(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr value, void* ptr,
                               float opt) {
    require(!fake.closed, "call after effClose");
    switch (opcode) {
    case effClose:
        return closeEffect();
    case effSetSampleRate:
        fake.rate = opt;
        return 0;
    case effSetBlockSize:
        fake.blockSize = value;
        return 0;
    case effMainsChanged:
        fake.resumed = value != 0;
        return 0;
    case effEditGetRect:
        onEditorThread();
        *static_cast<ERect**>(ptr) = &fake.rect;
        return 1;
    case effEditOpen:
        return openEditor(static_cast<HWND>(ptr));
    case effEditClose:
        onEditorThread();
        require(fake.view != nullptr, "editor closed while not open");
        DestroyWindow(fake.view);
        fake.view = nullptr;
        ++fake.closes;
        return 0;
    case effEditIdle:
        onEditorThread();
        require(fake.view != nullptr, "editor idled while not open");
        ++fake.idles;
        return 0;
    case effGetEffectName:
        std::strcpy(static_cast<char*>(ptr), "Fake Editor");
        return 1;
    default:
        return 0;
    }
}

void VSTCALLBACK processReplacing(AEffect*, float** inputs, float** outputs, VstInt32 frames) {
    require(!fake.closed, "processing after effClose");
    require(fake.resumed, "processing while suspended");
    require(fake.rate == 44100.0f && fake.blockSize == 512 && frames == 512,
            "processing other than 512 frames at 44.1 kHz");
    require(GetCurrentThreadId() != fake.editorThread, "processing on the editor's thread");
    require(fake.processing.fetch_add(1) == 0, "processing on two threads at once");
    float peak = fake.peak;
    for (VstInt32 i = 0; i < frames; ++i) {
        for (int channel = 0; channel < 2; ++channel) {
            require(std::isfinite(inputs[channel][i]), "input not finite");
            peak = std::max(peak, std::fabs(inputs[channel][i]));
            outputs[channel][i] = 0.5f * inputs[channel][i];
        }
    }
    fake.peak = peak;
    ++fake.blocks;
    --fake.processing;
}

void VSTCALLBACK setParameter(AEffect*, VstInt32 index, float value) {
    require(!fake.closed, "parameter set after effClose");
    require(index >= 0 && index < kParameters && value >= 0.0f && value <= 1.0f,
            "parameter index or value out of range");
    require(GetCurrentThreadId() != fake.editorThread, "automation on the editor's thread");
    fake.values[index] = value;
    ++fake.changes[index];
}

float VSTCALLBACK getParameter(AEffect*, VstInt32 index) {
    return index >= 0 && index < kParameters ? fake.values[index].load() : 0.0f;
}

void VSTCALLBACK process(AEffect*, float**, float**, VstInt32) {
    require(false, "accumulating call used though replacing is offered");
}

} // namespace

extern "C" AEffect* VSTCALLBACK kelPluginMain(audioMasterCallback host) {
    require(host && host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) != 0,
            "host gave no callback or no version");
    require(fake.host == nullptr, "a second instance");
    fake.host = host;
    GetEnvironmentVariableA("FAKE_EDITOR_MODE", fake.mode, sizeof(fake.mode));
    // The same rule as our plug-ins: vendor "Sonadrix" and a product with G or B eighth.
    char vendor[80] = {}, product[80] = {};
    host(nullptr, audioMasterGetVendorString, 0, 0, vendor, 0.0f);
    host(nullptr, audioMasterGetProductString, 0, 0, product, 0.0f);
    const bool tall = std::strcmp(vendor, "Sonadrix") == 0 && std::strlen(product) >= 8 &&
                      std::strchr("GgBb", product[7]);
    fake.rect.right = static_cast<std::int16_t>(tall ? kFakeTallSize[0] : kFakeWideSize[0]);
    fake.rect.bottom = static_cast<std::int16_t>(tall ? kFakeTallSize[1] : kFakeWideSize[1]);
    AEffect& record = fake.record;
    fillTestPluginRecord(record, {dispatch, process, processReplacing, setParameter, getParameter},
                         kParameters);
    if (std::strcmp(fake.mode, "no-editor") != 0) {
        record.flags |= effFlagsHasEditor;
    }
    record.uniqueID = fourCharCode('K', 'f', 'E', 'd');
    return &record;
}
