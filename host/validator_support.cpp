#include "host/validator_support.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kel::host {

using namespace kel::ui;

std::uint64_t Rng::next() {
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Rng::uniform() {
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

int Rng::below(int count) {
    return count <= 0 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(count));
}

int Rng::range(int low, int high) {
    return low + below(high - low + 1);
}

std::uint64_t testSeed(std::uint32_t runSeed, const std::string& testName) {
    std::uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a
    for (unsigned char c : testName) {
        hash = (hash ^ c) * 0x100000001B3ull;
    }
    return hash ^ (static_cast<std::uint64_t>(runSeed) * 0x9E3779B97F4A7C15ull);
}

std::vector<int> randomPartition(Rng& rng, int total, int minBlock, int maxBlock) {
    std::vector<int> blocks;
    minBlock = std::max(minBlock, 1);
    maxBlock = std::max(maxBlock, minBlock);
    while (total > 0) {
        const int size = std::min(total, rng.range(minBlock, maxBlock));
        blocks.push_back(size);
        total -= size;
    }
    return blocks;
}

void OutputStats::add(const OutputStats& other) {
    samples += other.samples;
    nonFinite += other.nonFinite;
    subnormal += other.subnormal;
    blocks += other.blocks;
    nonFiniteBlocks += other.nonFiniteBlocks;
    peak = std::max(peak, other.peak);
}

OutputStats scanSamples(const float* samples, std::size_t count) {
    OutputStats stats;
    stats.samples = count;
    for (std::size_t i = 0; i < count; ++i) {
        const float x = samples[i];
        if (!std::isfinite(x)) {
            ++stats.nonFinite;
            continue;
        }
        const float magnitude = std::fabs(x);
        if (magnitude != 0.0f && magnitude < 1.17549435e-38f) {
            ++stats.subnormal;
        }
        stats.peak = std::max(stats.peak, magnitude);
    }
    return stats;
}

TextWrite measureTextWrite(const std::function<void(char*)>& query, std::size_t bufferSize) {
    TextWrite result;
    std::vector<char> buffer(bufferSize);
    for (unsigned char pattern : {0xA5, 0x5A}) {
        std::fill(buffer.begin(), buffer.end(), static_cast<char>(pattern));
        query(buffer.data());
        std::size_t extent = bufferSize;
        while (extent > 0 && static_cast<unsigned char>(buffer[extent - 1]) == pattern) {
            --extent;
        }
        result.extent = std::max(result.extent, extent);
        if (pattern == 0xA5) {
            const char* end = static_cast<const char*>(std::memchr(buffer.data(), 0, bufferSize));
            result.terminated = end != nullptr;
            result.text.assign(buffer.data(),
                               end ? static_cast<std::size_t>(end - buffer.data()) : bufferSize);
        }
    }
    return result;
}

Signal guitarSignal(int channels, std::size_t frames, double rate, std::uint64_t seed) {
    Rng rng(seed);
    const std::size_t noteFrames = std::max<std::size_t>(1, static_cast<std::size_t>(0.4 * rate));
    Signal signal(static_cast<std::size_t>(std::max(channels, 0)), std::vector<float>(frames));
    // Six partials h of 1/h each add up to 2.45: scaled to peak at 0.8.
    constexpr double kScale = 0.8 / 2.45;
    double fundamental = 82.41;
    for (std::size_t i = 0; i < frames; ++i) {
        if (i % noteFrames == 0) {
            // Open-string to twelfth-fret range of a guitar, E2 to E5.
            fundamental = 82.41 * std::pow(2.0, rng.range(0, 36) / 12.0);
        }
        const double t = static_cast<double>(i % noteFrames) / rate; // s into the note
        for (std::size_t c = 0; c < signal.size(); ++c) {
            const double f = fundamental * (1.0 + 0.003 * static_cast<double>(c));
            double sum = 0.0;
            for (int h = 1; h <= 6; ++h) {
                if (f * h < 0.45 * rate) {
                    sum += std::sin(2.0 * M_PI * f * h * t) / h * std::exp(-t * (3.0 + 2.0 * h));
                }
            }
            signal[c][i] = static_cast<float>(kScale * sum);
        }
    }
    return signal;
}

SignalDifference compareSignals(const Signal& expected, const Signal& actual) {
    SignalDifference difference;
    const std::size_t channels = std::min(expected.size(), actual.size());
    for (std::size_t c = 0; c < channels; ++c) {
        const std::size_t frames = std::min(expected[c].size(), actual[c].size());
        for (std::size_t i = 0; i < frames; ++i) {
            if (std::memcmp(&expected[c][i], &actual[c][i], sizeof(float)) != 0) {
                difference = {false, static_cast<int>(c), i, expected[c][i], actual[c][i]};
                return difference;
            }
        }
        if (expected[c].size() != actual[c].size()) {
            difference = {false, static_cast<int>(c), frames, 0.0f, 0.0f};
            return difference;
        }
    }
    if (expected.size() != actual.size()) {
        difference = {false, static_cast<int>(channels), 0, 0.0f, 0.0f};
    }
    return difference;
}

// ---- Test threads and the crash filter ----

namespace {

struct ThreadStart {
    TestContext* context;
    const char* name;
    std::function<void()> body;
    std::uintptr_t safeStack = 0; // where a crashed thread's last frames go
};

DWORD threadSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

// Where a test thread that crashed continues: its own stack above the crash is given up.
[[noreturn]] void abandonCrashedThread() {
    auto* start = static_cast<ThreadStart*>(TlsGetValue(threadSlot()));
    start->context->requestStop();
    --start->context->liveThreads;
    ExitThread(1);
}

DWORD WINAPI testThreadMain(void* parameter) {
    auto* start = static_cast<ThreadStart*>(parameter);
    volatile char anchor = 0;
    start->safeStack = reinterpret_cast<std::uintptr_t>(&anchor);
    TlsSetValue(threadSlot(), start);
    start->body();
    TlsSetValue(threadSlot(), nullptr);
    TestContext* context = start->context;
    delete start;
    --context->liveThreads;
    return 0;
}

} // namespace

KernelHandle startTestThread(TestContext* context, const char* name, std::function<void()> body) {
    auto* start = new ThreadStart{context, name, std::move(body)};
    ++context->liveThreads;
    KernelHandle handle(CreateThread(nullptr, 0, testThreadMain, start, 0, nullptr));
    if (!handle) {
        --context->liveThreads;
        delete start;
    }
    return handle;
}

// The last-chance filter: a test thread's unhandled exception becomes a recorded crash and the
// thread goes on in abandonCrashedThread on the part of its stack that the test body never
// reached. Exceptions of other threads go to the filter that was there before.
namespace {

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

LONG WINAPI crashFilter(EXCEPTION_POINTERS* pointers) {
    auto* start = static_cast<ThreadStart*>(TlsGetValue(threadSlot()));
    if (!start || !start->safeStack) {
        return previousFilter ? previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
    }
    const EXCEPTION_RECORD* exception = pointers->ExceptionRecord;
    CrashRecord record;
    record.code = exception->ExceptionCode;
    record.address = exception->ExceptionAddress;
    record.threadName = start->name;
    if (exception->ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
        exception->NumberParameters >= 2) {
        record.accessKind = static_cast<int>(exception->ExceptionInformation[0]);
        record.accessAddress = exception->ExceptionInformation[1];
    }
    start->context->recordCrash(record);
    // Below the thread function's frame, 16-byte aligned as at a function's entry after the
    // return address went onto the stack.
    const std::uintptr_t stack =
        ((start->safeStack - 256) & ~static_cast<std::uintptr_t>(15)) - sizeof(void*);
#if defined(_WIN64)
    pointers->ContextRecord->Rip = reinterpret_cast<DWORD64>(&abandonCrashedThread);
    pointers->ContextRecord->Rsp = stack;
#else
    pointers->ContextRecord->Eip = reinterpret_cast<DWORD>(&abandonCrashedThread);
    pointers->ContextRecord->Esp = stack;
#endif
    start->safeStack = 0; // a second fault on the way out is not caught again
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

void installCrashFilter() {
    threadSlot();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    previousFilter = SetUnhandledExceptionFilter(crashFilter);
}

TestThread::TestThread(TestContext& context, const char* name, std::function<void()> body)
    : handle(startTestThread(&context, name, std::move(body))) {
    if (!handle) {
        context.fail(std::string("cannot start the ") + name + " thread");
    }
}

void TestThread::join() {
    if (handle) {
        WaitForSingleObject(handle.get(), INFINITE);
        handle.reset();
    }
}

// ---- Test context ----

void TestContext::fail(const std::string& what) {
    std::lock_guard<std::mutex> guard(lock);
    failureList.push_back(what);
}

void TestContext::note(const std::string& what) {
    std::lock_guard<std::mutex> guard(lock);
    noteList.push_back(what);
}

std::vector<std::string> TestContext::failures() const {
    std::lock_guard<std::mutex> guard(lock);
    return failureList;
}

std::vector<std::string> TestContext::notes() const {
    std::lock_guard<std::mutex> guard(lock);
    return noteList;
}

bool TestContext::failed() const {
    std::lock_guard<std::mutex> guard(lock);
    return !failureList.empty();
}

void TestContext::countOutput(const OutputStats& stats) {
    std::lock_guard<std::mutex> guard(lock);
    outputTotals.add(stats);
}

OutputStats TestContext::outputs() const {
    std::lock_guard<std::mutex> guard(lock);
    return outputTotals;
}

void TestContext::recordCrash(const CrashRecord& record) {
    if (!crashFlag.exchange(true)) {
        crashRecord = record;
    }
    stop = true;
}

// ---- Plug-in instances ----

std::unique_ptr<Plug> Plug::create(TestContext& context) {
    AEffect* effect = context.module.createEffect();
    if (!effect) {
        context.fail("the entry point created no effect");
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        context.fail("the effect record has the wrong magic number");
        return nullptr;
    }
    if (!effect->dispatcher || !effect->setParameter || !effect->getParameter ||
        (!effect->process && !effect->processReplacing)) {
        context.fail("the effect record lacks a function (dispatcher, parameters or processing)");
        return nullptr;
    }
    if (effect->numInputs < 0 || effect->numInputs > 64 || effect->numOutputs < 0 ||
        effect->numOutputs > 64 || effect->numParams < 0 || effect->numPrograms < 0) {
        context.fail("the effect record has implausible counts (" +
                     std::to_string(effect->numInputs) + " in, " +
                     std::to_string(effect->numOutputs) + " out, " +
                     std::to_string(effect->numParams) + " parameters, " +
                     std::to_string(effect->numPrograms) + " programs)");
        return nullptr;
    }
    std::unique_ptr<Plug> plug(new Plug(context, effect));
    plug->dispatch(effOpen);
    return plug;
}

Plug::~Plug() {
    // After a crash the instance may be half changed: leave it alone rather than close it.
    if (context.crashed()) {
        release();
    }
}

void Plug::start(double rate, int maxBlock) {
    suspend();
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    dispatch(effSetBlockSize, 0, maxBlock);
    resume();
}

bool Plug::hasReplacing() const {
    return (effect()->flags & effFlagsCanReplacing) && effect()->processReplacing;
}

// ---- Audio ----

namespace {

// Fills output samples the plug-in is to write, and the tails past every block: a NaN whose
// payload no arithmetic produces.
constexpr std::uint32_t kGuardBits = 0x7FE5A5A5u;
constexpr int kGuardFrames = 16;

float guardValue() {
    float value;
    std::memcpy(&value, &kGuardBits, sizeof(value));
    return value;
}

bool isGuard(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits == kGuardBits;
}

} // namespace

AudioBus::AudioBus(int inputs, int outputs, int maxBlockFrames)
    : maxBlock(std::max(maxBlockFrames, 1)) {
    // At least one input buffer, so that the pointer array is never empty.
    in.assign(static_cast<std::size_t>(std::max(inputs, 1)),
              std::vector<float>(static_cast<std::size_t>(maxBlock + kGuardFrames)));
    out.assign(static_cast<std::size_t>(std::max(outputs, 0)),
               std::vector<float>(static_cast<std::size_t>(maxBlock + kGuardFrames)));
    inPointers.resize(in.size());
    outPointers.resize(std::max<std::size_t>(out.size(), 1));
}

bool AudioBus::process(TestContext& context, Plug& plug, ProcessMode mode, const Signal& input,
                       std::size_t at, int frames, Signal& output, const Signal* onto) {
    const std::size_t n = static_cast<std::size_t>(std::max(frames, 0));
    const float guard = guardValue();
    const bool inPlace = mode == ProcessMode::ReplacingInPlace;
    const std::size_t shared = inPlace ? std::min(in.size(), out.size()) : 0;
    for (std::size_t c = 0; c < in.size(); ++c) {
        std::vector<float>& buffer = c < shared ? out[c] : in[c];
        for (std::size_t i = 0; i < n; ++i) {
            buffer[i] = input.empty() ? 0.0f : input[c % input.size()][at + i];
        }
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(n), buffer.end(), guard);
        inPointers[c] = buffer.data();
    }
    for (std::size_t c = shared; c < out.size(); ++c) {
        std::vector<float>& buffer = out[c];
        for (std::size_t i = 0; i < n; ++i) {
            switch (mode) {
            case ProcessMode::AccumulateZero:
                buffer[i] = 0.0f;
                break;
            case ProcessMode::AccumulateOnto:
                buffer[i] = onto ? (*onto)[c][at + i] : 0.0f;
                break;
            default:
                buffer[i] = guard;
                break;
            }
        }
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(n), buffer.end(), guard);
    }
    for (std::size_t c = 0; c < out.size(); ++c) {
        outPointers[c] = out[c].data();
    }
    AEffect* effect = plug.effect();
    const bool replacing = mode == ProcessMode::Replacing || inPlace;
    if (replacing) {
        effect->processReplacing(effect, inPointers.data(), outPointers.data(), frames);
    } else {
        effect->process(effect, inPointers.data(), outPointers.data(), frames);
    }

    bool ok = true;
    for (std::size_t c = 0; c < out.size() && !reportedGuard; ++c) {
        for (std::size_t i = n; i < out[c].size(); ++i) {
            if (!isGuard(out[c][i])) {
                context.fail("wrote past the end of a " + std::to_string(frames) +
                             "-frame block (output " + std::to_string(c) + ", frame " +
                             std::to_string(i) + ")");
                reportedGuard = true;
                ok = false;
                break;
            }
        }
    }
    for (std::size_t c = shared; c < out.size() && replacing && !reportedGuard; ++c) {
        const auto unwritten = std::count_if(out[c].begin(), out[c].begin() + n, isGuard);
        if (unwritten > 0) {
            context.fail("left " + std::to_string(unwritten) + " of " + std::to_string(n) +
                         " samples of output " + std::to_string(c) +
                         " unwritten in the replacing call");
            reportedGuard = true;
            ok = false;
        }
    }
    for (std::size_t c = shared; c < in.size() && !input.empty() && !reportedInput; ++c) {
        for (std::size_t i = 0; i < n; ++i) {
            const float expected = input[c % input.size()][at + i];
            if (std::memcmp(&in[c][i], &expected, sizeof(float)) != 0) {
                context.fail("changed its input buffer (input " + std::to_string(c) + ", frame " +
                             std::to_string(i) + " of a " + std::to_string(frames) +
                             "-frame block)");
                reportedInput = true;
                ok = false;
                break;
            }
        }
    }

    last = OutputStats();
    if (output.size() < out.size()) {
        output.resize(out.size());
    }
    for (std::size_t c = 0; c < out.size(); ++c) {
        if (output[c].size() < at + n) {
            output[c].resize(at + n);
        }
        std::copy(out[c].begin(), out[c].begin() + static_cast<std::ptrdiff_t>(n),
                  output[c].begin() + static_cast<std::ptrdiff_t>(at));
        last.add(scanSamples(out[c].data(), n));
    }
    last.blocks = 1;
    last.nonFiniteBlocks = last.nonFinite > 0 ? 1 : 0;
    context.countOutput(last);
    return ok;
}

Signal render(TestContext& context, Plug& plug, ProcessMode mode, const Signal& input,
              const std::vector<int>& partition, const Signal* onto) {
    const int maxBlock =
        partition.empty() ? 1 : *std::max_element(partition.begin(), partition.end());
    AudioBus bus(plug.inputs(), plug.outputs(), maxBlock);
    Signal output(static_cast<std::size_t>(plug.outputs()));
    std::size_t at = 0;
    for (int frames : partition) {
        if (context.stopping()) {
            break;
        }
        bus.process(context, plug, mode, input, at, frames, output, onto);
        at += static_cast<std::size_t>(std::max(frames, 0));
    }
    return output;
}

// ---- Editor window ----

namespace {

const char* const kEditorWindowClass = "KelhostValidatorEditor";

LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        return 0; // the test decides when the window goes
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerEditorWindowClass() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = editorWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    windowClass.lpszClassName = kEditorWindowClass;
    return RegisterClassExA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace

EditorHost::~EditorHost() {
    if (!context.crashed()) {
        close();
    }
    destroyWindow();
}

bool EditorHost::open() {
    if (editorOpen) {
        return true;
    }
    ERect* rect = nullptr;
    plug.dispatch(effEditGetRect, 0, 0, &rect);
    int width = 400, height = 300;
    if (rect && rect->right > rect->left && rect->bottom > rect->top) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (!window) {
        if (!registerEditorWindowClass()) {
            context.fail("cannot register a window class (error " + std::to_string(GetLastError()) +
                         ")");
            return false;
        }
        RECT frame{0, 0, width, height};
        AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
        HWND created = CreateWindowExA(0, kEditorWindowClass, "kelhost validate", kStyle, 0, 0,
                                       frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                       nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!created) {
            context.fail("cannot create a window for the editor (error " +
                         std::to_string(GetLastError()) + "; is there a display?)");
            return false;
        }
        window = created;
        ShowWindow(created, SW_SHOWNOACTIVATE);
        UpdateWindow(created);
        pumpMessages();
    }
    const VstIntPtr answer = plug.dispatch(effEditOpen, 0, 0, window);
    if (!answer) {
        context.fail("effEditOpen answered 0: the editor did not open");
        return false;
    }
    editorOpen = true;
    pumpMessages();
    return true;
}

void EditorHost::idle(double seconds) {
    const double end = nowSeconds() + seconds;
    double nextIdle = 0.0;
    do {
        pumpMessages();
        const double now = nowSeconds();
        if (editorOpen && now >= nextIdle) {
            plug.dispatch(effEditIdle);
            nextIdle = now + 0.03;
        }
        const double wait = std::min(end, nextIdle) - nowSeconds();
        if (wait > 0.0) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait * 1000.0) + 1,
                                      QS_ALLINPUT);
        }
    } while (nowSeconds() < end && !context.stopping());
    pumpMessages();
}

void EditorHost::close() {
    if (editorOpen) {
        editorOpen = false;
        plug.dispatch(effEditClose);
        pumpMessages();
    }
}

void EditorHost::destroyWindow() {
    if (window) {
        DestroyWindow(static_cast<HWND>(window));
        window = nullptr;
        pumpMessages();
    }
}

double nowSeconds() {
    static const double period = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * period;
}

std::string floatText(double value, int digits) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    char text[40];
    std::snprintf(text, sizeof(text), "%.*g", digits, value);
    return text;
}

} // namespace kel::host
