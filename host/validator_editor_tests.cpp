// The validator's tests of the editor: opened and closed while audio runs, the instance closed
// with its editor open, and parameters and programs changed from a thread while the editor idles.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "host/editor_window.h"
#include "host/validator_audio.h"
#include "host/validator_tests.h"
#include "host/validator_text.h"
#include "host/validator_threads.h"
#include "win32/clock.h"

namespace kel::host {

using win32::secondsNow;

namespace {

// The instance's editor in our host's editor window, which the test's main thread shows without
// taking the focus. After a crash in the test the editor is left alone; the window goes all the
// same.
class TestEditor {
public:
    TestEditor(TestContext& owner, Plug& plug) : context(owner), window(plug) {}
    ~TestEditor() {
        if (context.crashed()) {
            window.forgetEditor();
        }
        close();
        destroyWindow();
    }
    TestEditor(const TestEditor&) = delete;
    TestEditor& operator=(const TestEditor&) = delete;

    // Creates the window (if not yet there) and opens the editor in it; false with a failure
    // in the context when either does not happen.
    bool open();
    // Pumps the window's messages and idles the editor about every 30 ms for `seconds`.
    void idle(double seconds);
    void close() {
        window.closeEditor();
        window.pumpMessages(0.0);
    }
    // The instance was closed with the editor open: the editor is gone with it.
    void forgetEditor() { window.forgetEditor(); }
    void destroyWindow() {
        window.destroy();
        window.pumpMessages(0.0);
    }

private:
    TestContext& context;
    EditorWindow window;
};

bool TestEditor::open() {
    if (window.isEditorOpen()) {
        return true;
    }
    if (!window.handle()) {
        int width = 400, height = 300, editorWidth = 0, editorHeight = 0;
        std::string noSize;
        if (window.editorSize(editorWidth, editorHeight, noSize)) {
            width = editorWidth;
            height = editorHeight;
        }
        WindowPlacement placement;
        placement.where = WindowPlacement::kWindowAt;
        placement.minimizeBox = false;
        placement.activate = false;
        WindowFailure failure;
        if (!window.create(width, height, "kelhost validate", placement, failure)) {
            const std::string code = std::to_string(failure.code);
            context.fail(failure.step == WindowFailure::kRegisterClass
                             ? "cannot register a window class (error " + code + ")"
                             : "cannot create a window for the editor (error " + code +
                                   "; is there a display?)");
            return false;
        }
        window.pumpMessages(0.0);
    }
    if (!window.openEditor()) {
        context.fail("effEditOpen answered 0: the editor did not open");
        return false;
    }
    window.pumpMessages(0.0);
    return true;
}

void TestEditor::idle(double seconds) {
    constexpr double kIdleInterval = 0.03;
    const double end = secondsNow() + seconds;
    do {
        window.idle();
        window.pumpMessages(std::min(kIdleInterval, end - secondsNow()));
    } while (secondsNow() < end && !context.stopping());
    window.pumpMessages(0.0);
}

// Processes the looped input in blocks on the calling thread until `done` is set; sleeps
// sleepMs after each block (0 yields, -1 does not). Returns what the outputs held.
OutputStats processUntil(TestContext& context, Plug& plug, const Signal& input, int block,
                         const std::atomic<bool>& done, int sleepMs) {
    AudioBus bus(plug.inputs(), plug.outputs(), block);
    const ProcessMode mode = defaultMode(plug);
    const std::size_t length = input.empty() ? 0 : input[0].size();
    Signal output;
    OutputStats stats;
    std::size_t at = 0;
    while (!done.load() && !context.stopping()) {
        if (at + static_cast<std::size_t>(block) > length) {
            at = 0;
        }
        bus.process(context, plug, mode, input, at, block, output);
        stats.add(bus.lastStats());
        at += static_cast<std::size_t>(block);
        if (sleepMs >= 0) {
            Sleep(static_cast<DWORD>(sleepMs));
        }
    }
    return stats;
}

} // namespace

// ---- editor-cycles ----

void editorCycles(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    if (!p.hasEditor()) {
        context.note("no editor");
        return;
    }
    p.start(44100.0, 256);
    const Signal input = guitarFor(p, framesOf(1.0, 44100.0), 44100.0, context.seed);
    std::atomic<bool> done{false};
    OutputStats audio;
    const int cycles = context.strictness >= 9 ? 50 : 10;
    int opened = 0;
    {
        TestThread audioThread(context, "audio",
                               [&] { audio = processUntil(context, p, input, 256, done, 1); });
        TestEditor editor(context, p);
        for (int cycle = 0; cycle < cycles && !context.stopping(); ++cycle) {
            if (!editor.open()) {
                break;
            }
            ++opened;
            editor.idle(0.02);
            editor.close();
        }
        done = true;
    }
    context.note(std::to_string(opened) + " editor open/close cycles while " +
                 std::to_string(audio.blocks) + " blocks were processed");
}

// ---- close-with-editor-open ----

void closeWithEditorOpen(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    if (!plug->hasEditor()) {
        context.note("no editor");
        return;
    }
    plug->start(44100.0, 512);
    render(context, *plug, defaultMode(*plug), guitarFor(*plug, 512, 44100.0, context.seed), {512});
    plug->suspend();
    TestEditor editor(context, *plug);
    if (!editor.open()) {
        return;
    }
    editor.idle(0.1);
    plug->close();
    editor.forgetEditor();
    // The window and whatever the editor left in it get their messages, then the window goes.
    editor.idle(0.1);
    editor.destroyWindow();
}

// ---- threads-automation-editor ----

void threadsAutomationEditor(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    p.start(44100.0, 256);
    const Signal input = guitarFor(p, framesOf(1.0, 44100.0), 44100.0, context.seed);
    const double seconds = context.strictness >= 9 ? 3.0 : 1.0;
    std::atomic<bool> done{false};
    OutputStats audio;
    std::uint64_t parameterChanges = 0, programChanges = 0;
    {
        TestEditor editor(context, p);
        const bool withEditor = p.hasEditor() && editor.open();
        TestThread audioThread(context, "audio",
                               [&] { audio = processUntil(context, p, input, 256, done, 1); });
        TestThread automationThread(context, "automation", [&] {
            Rng rng(context.seed + 7);
            for (std::uint64_t tick = 0; !done.load() && !context.stopping(); ++tick) {
                if (p.programs() > 0 && tick % 10 == 9) {
                    p.dispatch(effSetProgram, 0, rng.below(p.programs()));
                    ++programChanges;
                } else if (p.parameters() > 0) {
                    p.setParameter(rng.below(p.parameters()), rng.value());
                    ++parameterChanges;
                }
                Sleep(1);
            }
        });
        if (withEditor) {
            editor.idle(seconds);
        } else {
            Sleep(static_cast<DWORD>(seconds * 1000.0));
        }
        done = true;
        audioThread.join();
        automationThread.join();
        if (withEditor) {
            editor.idle(0.05);
        }
    }
    if (audio.blocks == 0 && !context.stopping()) {
        context.fail("the audio thread processed no block");
    }
    context.note(floatText(seconds) + " s: " + std::to_string(audio.blocks) + " blocks, " +
                 std::to_string(parameterChanges) + " parameter and " +
                 std::to_string(programChanges) + " program changes from another thread" +
                 (p.hasEditor() ? ", the editor open and idled" : ", no editor"));
}

} // namespace kel::host
