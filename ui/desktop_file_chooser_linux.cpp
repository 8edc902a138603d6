// The desktop's own file chooser through zenity, and the choice between it and ours. zenity runs
// as a child process with nothing of ours but its standard streams; the editor's thread runs a
// modal loop meanwhile, so the editor stays painted and takes no input, and polls the child's
// output and its end. Signal handlers and SIGCHLD are the host's and stay as they are.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "ui/file_chooser_linux.h"
#include "ui/settings.h"
#include "widgets/modal_window_xcb.h"

extern char** environ;

namespace kel::ui {

namespace xcb = VSTGUI::xcb;

namespace {

// A path is a line; more than this is no answer of zenity's.
constexpr std::size_t kMaxOutput = 65536;
constexpr auto kTermGrace = std::chrono::seconds(2); // from SIGTERM to SIGKILL

class ChildWatch : public xcb::ModalHandler {
public:
    ChildWatch(pid_t child, int outputPipe) : pid(child), pipe(outputPipe) {}

    void paint(xcb::ModalSession&, int, VSTGUI::Framebuffer&) override {}
    void handle(xcb::ModalSession&, const xcb::ModalEvent&) override {}

    // About every 30 ms on the editor's thread: what zenity wrote, and whether it ended.
    void tick(xcb::ModalSession& session) override {
        drain();
        if (!ended) {
            int status = 0;
            const pid_t got = waitpid(pid, &status, WNOHANG);
            if (got == pid) {
                ended = true;
                exited = WIFEXITED(status);
                exitStatus = exited ? WEXITSTATUS(status) : -1;
            } else if (got < 0 && errno == ECHILD) {
                // The host reaps every child itself (a SIGCHLD handler of its own): the status
                // is gone, and the output alone tells a choice from a cancel.
                ended = true;
                reapedElsewhere = true;
            }
        }
        if (ended) {
            drain();
            session.end();
        }
    }

    bool finished() const { return ended; }
    const std::string& output() const { return text; }
    bool exitedNormally() const { return reapedElsewhere || exited; }
    int status() const { return reapedElsewhere ? (text.empty() ? 1 : 0) : exitStatus; }

private:
    void drain() {
        char block[4096];
        for (;;) {
            const ssize_t got = read(pipe, block, sizeof(block));
            if (got > 0) {
                if (text.size() < kMaxOutput) {
                    text.append(block, static_cast<std::size_t>(got));
                }
                continue;
            }
            if (got < 0 && errno == EINTR) {
                continue;
            }
            return; // EOF, or nothing yet (the pipe does not block)
        }
    }

    pid_t pid;
    int pipe;
    std::string text;
    bool ended = false;
    bool exited = false;
    bool reapedElsewhere = false;
    int exitStatus = -1;
};

pid_t spawnWithPipe(const std::string& program, const std::vector<std::string>& arguments,
                    int& outputPipe) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    // Not even the host's standard error: whatever zenity leaves running would hold it open
    // (a host reading its plug-ins' output would wait for it), and GTK's warnings are no
    // business of the host's log. Nothing else goes along (the X connection, the host's files).
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The child's signals start at their defaults and unblocked, whatever this thread has, so
    // that SIGTERM ends it. This process's own stay untouched.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[1]);
    if (failed != 0) {
        close(ends[0]);
        return -1;
    }
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    outputPipe = ends[0];
    return pid;
}

// Ends a child the user no longer waits for, and reaps it.
void endChild(pid_t pid) {
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kTermGrace;
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t got = waitpid(pid, nullptr, WNOHANG);
        if (got == pid || (got < 0 && errno == ECHILD)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

DesktopOutcome runDesktopChooser(void* owner, const std::string& program,
                                 const FileChooserRequest& request, std::string& chosen) {
    xcb::ModalSession session(owner);
    if (!session.isOpen()) {
        return DesktopOutcome::Failed;
    }
    int outputPipe = -1;
    const pid_t pid = spawnWithPipe(
        program, zenityArguments(request.mode, request.title, request.folder, request.name),
        outputPipe);
    if (pid < 0) {
        return DesktopOutcome::Failed;
    }
    ChildWatch watch(pid, outputPipe);
    session.run(watch);
    if (!watch.finished() || session.interrupted()) {
        // The editor is closing: nothing chosen now is used.
        if (!watch.finished()) {
            endChild(pid);
        }
        close(outputPipe);
        return DesktopOutcome::Cancelled;
    }
    close(outputPipe);
    return zenityOutcome(request.mode, watch.exitedNormally(), watch.status(), watch.output(),
                         chosen);
}

bool chooseArchiveFile(void* owner, ChooserMode mode, std::string& path,
                       const std::string& memoryFile) {
    FileChooserRequest request;
    request.mode = mode;
    request.title = mode == ChooserMode::Save ? kSaveArchiveTitle : kOpenArchiveTitle;
    request.folder = startFolder(systemFolders(), memoryFile, userHomeFolder());
    request.name = path;
    if (path.find('/') != std::string::npos) {
        // A proposal with a folder starts there, when it is one.
        const std::string folder = parentOf(path);
        if (path[0] == '/' && systemFolders().kindOf(folder) == PathKind::Folder) {
            request.folder = folder;
        }
        request.name = fileNameOf(path);
    }
    char setting[32];
    readSetting(kFileDialogSetting, setting, sizeof(setting), "");
    const std::string zenity = findProgram("zenity", std::getenv("PATH"));
    std::string chosen;
    bool done = false;
    if (useDesktopChooser(setting, !zenity.empty())) {
        switch (runDesktopChooser(owner, zenity, request, chosen)) {
        case DesktopOutcome::Chosen:
            done = true;
            break;
        case DesktopOutcome::Cancelled:
            return false;
        case DesktopOutcome::Failed:
            break; // ours instead
        }
    }
    if (!done && !runFileChooser(owner, request, chosen)) {
        return false;
    }
    rememberFolderOf(chosen, memoryFile);
    path = chosen;
    return true;
}

} // namespace kel::ui
