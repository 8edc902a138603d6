#include "ui/help_linux.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/settings.h"
#include "ui/settings_file.h"

extern char** environ;

namespace kel::ui {

namespace {

// How often showPage looks whether the opener has ended.
constexpr std::chrono::milliseconds kOpenerPoll{20};

// Openers still running when their call returned. Editors of several instances call from
// threads of their own, hence the lock. At the module's unload the ones that ended are reaped;
// one still running then stays the host's child.
struct Openers {
    std::mutex lock;
    std::vector<pid_t> running;

    // The lock must be held.
    void reapEnded() {
        running.erase(std::remove_if(running.begin(), running.end(),
                                     [](pid_t pid) {
                                         // -1: the host reaped it (ECHILD), or it is gone.
                                         return waitpid(pid, nullptr, WNOHANG) != 0;
                                     }),
                      running.end());
    }
    ~Openers() { reapEnded(); }
};

Openers& openers() {
    static Openers all;
    return all;
}

// Any object of this module will do for the loader to name the module.
const char kModuleAnchor = 0;

class SpawnSetup {
public:
    SpawnSetup() {
        actionsReady = posix_spawn_file_actions_init(&actions) == 0;
        attributesReady = posix_spawnattr_init(&attributes) == 0;
    }
    ~SpawnSetup() {
        if (actionsReady) {
            posix_spawn_file_actions_destroy(&actions);
        }
        if (attributesReady) {
            posix_spawnattr_destroy(&attributes);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // Standard input and output from /dev/null, standard error the host's (where a host logs),
    // no other descriptor; no blocked signal and every signal's default disposition, whatever
    // the host's thread and process have set (an ignored SIGPIPE or SIGCHLD would otherwise be
    // inherited).
    bool prepare() {
        if (!actionsReady || !attributesReady) {
            return false;
        }
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        return posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
               posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
               posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0 &&
               posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
               posix_spawnattr_setsigdefault(&attributes, &all) == 0 &&
               posix_spawnattr_setflags(&attributes,
                                        POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;

private:
    bool actionsReady = false;
    bool attributesReady = false;
};

} // namespace

void replaceFileName(char* path, std::size_t size, const char* fileName) {
    if (!path || size == 0) {
        return;
    }
    path[size - 1] = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; path[i]; ++i) {
        if (path[i] == '/') {
            start = i + 1;
        }
    }
    const std::size_t room = size - 1 - start;
    const std::size_t length = std::strlen(fileName);
    const std::size_t kept = length < room ? length : room;
    std::memcpy(path + start, fileName, kept);
    path[start + kept] = 0;
}

std::string helpPagePath(const std::string& settingsFile, const std::string& modulePath) {
    char path[kHelpPathSize] = {};
    if (readSettingFile(settingsFile, kHelpPathSetting, path, sizeof(path), "") == 1) {
        replaceFileName(path, sizeof(path), kHelpPageName);
        return path;
    }
    if (modulePath.empty()) {
        return {};
    }
    const std::size_t kept = std::min(modulePath.size(), sizeof(path) - 1);
    std::memcpy(path, modulePath.data(), kept);
    path[kept] = 0;
    replaceFileName(path, sizeof(path), (std::string(kHelpFolderName) + kHelpPageName).c_str());
    return path;
}

std::string thisModulePath() {
    Dl_info info{};
    if (dladdr(&kModuleAnchor, &info) == 0 || !info.dli_fname) {
        return {};
    }
    return info.dli_fname;
}

std::string fileUri(const std::string& absolutePath) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : absolutePath) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || std::strchr("-._~/", byte);
        if (plain && byte != 0) {
            uri += c;
        } else {
            uri += '%';
            uri += hex[byte >> 4];
            uri += hex[byte & 15];
        }
    }
    return uri;
}

int reapOpeners() {
    Openers& all = openers();
    const std::lock_guard<std::mutex> hold(all.lock);
    all.reapEnded();
    return static_cast<int>(all.running.size());
}

bool showPage(const std::string& page, const char* opener, std::chrono::milliseconds wait) {
    reapOpeners();
    char resolved[PATH_MAX];
    struct stat info {};
    if (!opener || page.empty() || !realpath(page.c_str(), resolved) ||
        stat(resolved, &info) != 0 || !S_ISREG(info.st_mode) || access(resolved, R_OK) != 0) {
        return false;
    }
    SpawnSetup setup;
    if (!setup.prepare()) {
        return false;
    }
    std::string program = opener;
    std::string uri = fileUri(resolved);
    char* arguments[] = {program.data(), uri.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, opener, &setup.actions, &setup.attributes, arguments, environ) != 0) {
        return false;
    }

    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (ended < 0 && errno != EINTR) {
            // The host reaps children itself (ECHILD): how the opener ended cannot be known.
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            Openers& all = openers();
            const std::lock_guard<std::mutex> hold(all.lock);
            all.running.push_back(pid);
            return true;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kOpenerPoll, deadline - now));
    }
}

bool openHelp() {
    return showPage(helpPagePath(userSettingsFile(), thisModulePath()));
}

} // namespace kel::ui
