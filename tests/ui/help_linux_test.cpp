// The help launcher on Linux: which page, its URI, and real openers started for it (scripts that
// stand in for xdg-open and record what they were given).
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ui/help_linux.h"

using namespace kel::ui;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string realPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : "";
}

TEST(HelpPaths, AFileNameReplacesWhatFollowsTheLastSlash) {
    const struct {
        const char* path;
        std::size_t size;
        const char* fileName;
        const char* result;
    } cases[] = {
        {"/usr/lib/lv2/x.lv2/x-ui.so", 64, "help/using.htm", "/usr/lib/lv2/x.lv2/help/using.htm"},
        {"/opt/orvalle/help/", 64, "using.htm", "/opt/orvalle/help/using.htm"},
        {"/opt/orvalle/help", 64, "using.htm", "/opt/orvalle/using.htm"},
        {"/opt/orvalle/help/using.htm", 64, "using.htm", "/opt/orvalle/help/using.htm"},
        {"/", 64, "using.htm", "/using.htm"},
        {"docs", 64, "using.htm", "using.htm"},
        {"", 64, "using.htm", "using.htm"},
        // A backslash or a colon is part of a Linux file name.
        {"C:\\Docs\\Help\\", 64, "using.htm", "using.htm"},
        {"/a/b:c\\d", 64, "using.htm", "/a/using.htm"},
        // Cut to the buffer.
        {"/a/b/x", 12, "using.htm", "/a/b/using."},
        {"/a/b/x", 5, "using.htm", "/a/u"}, // the path itself cut first, to "/a/b"
    };
    for (const auto& c : cases) {
        char path[64];
        std::memset(path, '#', sizeof(path));
        std::strncpy(path, c.path, c.size);
        path[c.size - 1] = 0;
        replaceFileName(path, c.size, c.fileName);
        EXPECT_STREQ(path, c.result) << c.path;
        EXPECT_LE(std::strlen(path), c.size - 1);
    }
}

TEST(HelpPaths, ThePageIsInTheHelpPathsFolderOrInTheModulesHelpFolder) {
    char pattern[] = "/tmp/help_linux_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string module = "/home/u/.lv2/sonadrix-hn6-clean-preamp.lv2/hn6-clean-preamp-ui.so";
    const std::string inBundle = "/home/u/.lv2/sonadrix-hn6-clean-preamp.lv2/help/using.htm";
    const std::string tooLong = "HelpPath=/" + std::string(kHelpPathSize, 'x') + "/";
    const struct {
        const char* settings; // nullptr: no settings file
        std::string module;
        std::string page;
    } cases[] = {
        {nullptr, module, inBundle},
        {"Layout=tall\n", module, inBundle},
        {"HelpPath=/opt/orvalle/help/\n", module, "/opt/orvalle/help/using.htm"},
        {"HelpPath = /opt/orvalle/help\r\n", module, "/opt/orvalle/using.htm"},
        {"HelpPath=/opt/orvalle/help/using.htm", module, "/opt/orvalle/help/using.htm"},
        {"HelpPath=/srv/My Help/", module, "/srv/My Help/using.htm"},
        {"HelpPath=/opt/orvalle/help/\nHelpPath=", module, inBundle},
        {"Help Path=/opt/orvalle/help/", module, inBundle},
        {"HelpPath=/opt/orvalle/help/", "", "/opt/orvalle/help/using.htm"},
        {nullptr, "", ""},
        {nullptr, "hn6-clean-preamp-ui.so", "help/using.htm"},
        {tooLong.c_str(), module, inBundle},
    };
    for (const auto& c : cases) {
        const std::string settings = folder + "/settings";
        std::filesystem::remove(settings);
        if (c.settings) {
            writeFile(settings, c.settings);
        }
        EXPECT_EQ(helpPagePath(settings, c.module), c.page)
            << (c.settings ? c.settings : "(no file)") << " " << c.module;
    }
    std::filesystem::remove_all(folder);
}

TEST(HelpPaths, FileUrisEncodeEveryByteButUnreservedOnesAndSlashes) {
    const struct {
        std::string path;
        std::string uri;
    } cases[] = {
        {"/usr/lib/lv2/x.lv2/help/using.htm", "file:///usr/lib/lv2/x.lv2/help/using.htm"},
        {"/a-b_c.d~e/F09", "file:///a-b_c.d~e/F09"},
        {"/home/u/My Plug-ins/using.htm", "file:///home/u/My%20Plug-ins/using.htm"},
        {"/x/#?%&+;=@:", "file:///x/%23%3F%25%26%2B%3B%3D%40%3A"},
        {"/\xc3\xbc/\x7f", "file:///%C3%BC/%7F"},
        {std::string("/a\0b", 4), "file:///a%00b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileUri(c.path), c.uri) << c.path;
    }
}

TEST(HelpPaths, TheModuleOfThisCodeIsTheProgramItIsLinkedInto) {
    const std::string module = thisModulePath();
    ASSERT_FALSE(module.empty());
    EXPECT_EQ(realPath(module), realPath("/proc/self/exe"));
}

// A folder of the test's own with the page to show and stand-ins for xdg-open.
class Opener : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/help_linux_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        page = folder + "/pages/using.htm";
        writeFile(page, "<html></html>");
        ASSERT_EQ(reapOpeners(), 0) << "an opener of an earlier test still runs";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // An opener that records its signal mask and ignored signals (first, with the shell's own
    // commands: the shell blocks signals while it waits for a command it started), its
    // arguments, its standard input and output and whether descriptor `watched` reached it,
    // then runs `then`.
    std::string opener(const std::string& name, const std::string& then, int watched = 0) {
        std::string script = R"(#!/bin/sh
while read -r line; do
    case $line in Sig[BI]*) echo "$line" ;; esac
done < /proc/$$/status > '@/signals'
echo $$ > '@/pid'
printf '%s\n' "$@" > '@/arguments'
standard=$(readlink /proc/$$/fd/0 /proc/$$/fd/1)
echo "$standard" > '@/standard'
if [ -e /proc/$$/fd/WATCHED ]; then echo inherited; else echo closed; fi > '@/descriptor'
THEN
)";
        for (std::size_t at; (at = script.find("'@/")) != std::string::npos;) {
            script.replace(at + 1, 1, folder);
        }
        script.replace(script.find("WATCHED"), 7, std::to_string(watched));
        script.replace(script.find("THEN"), 4, then);
        const std::string path = folder + "/bin/" + name;
        writeFile(path, script);
        chmod(path.c_str(), 0755);
        return path;
    }
    std::string recorded(const char* name) { return readFile(folder + "/" + name); }
    bool ran() { return std::filesystem::exists(folder + "/arguments"); }
    // The opener's process id, once it has written it whole.
    std::string recordedPid() {
        const std::string text = recorded("pid");
        const std::size_t end = text.find('\n');
        return end == std::string::npos ? "" : text.substr(0, end);
    }

    std::string folder;
    std::string page;
};

TEST_F(Opener, AnOpenerThatSucceedsShowsThePageAndGetsNothingOfTheHost) {
    // What a host may hold: a descriptor without close-on-exec, a blocked signal on the calling
    // thread and an ignored one in the process.
    const int opened = open("/dev/zero", O_RDONLY);
    const int leaked = fcntl(opened, F_DUPFD, 150);
    close(opened);
    ASSERT_GE(leaked, 150);
    sigset_t block, previousMask;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &block, &previousMask), 0);
    struct sigaction ignore = {};
    struct sigaction previousPipe = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGPIPE, &ignore, &previousPipe), 0);

    const auto start = Clock::now();
    const bool shown = showPage(page, opener("xdg-open", "exit 0", leaked).c_str(), 2s);
    const auto took = Clock::now() - start;

    sigaction(SIGPIPE, &previousPipe, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    close(leaked);

    EXPECT_TRUE(shown);
    EXPECT_LT(took, 1500ms) << "waited although the opener had ended";
    EXPECT_EQ(recorded("arguments"), fileUri(realPath(page)) + "\n");
    EXPECT_EQ(recorded("standard"), "/dev/null\n/dev/null\n");
    EXPECT_EQ(recorded("descriptor"), "closed\n");
    // No signal blocked, none of signals 1 to 31 ignored. (Every posix_spawn of the C library
    // leaves its two internal signals, 32 and 33, ignored; the C library of the program started
    // sets them again.)
    const std::string signals = recorded("signals");
    const std::size_t blocked = signals.find("SigBlk:\t");
    const std::size_t ignored = signals.find("SigIgn:\t");
    ASSERT_NE(blocked, std::string::npos) << signals;
    ASSERT_NE(ignored, std::string::npos) << signals;
    EXPECT_EQ(signals.substr(blocked + 8, 16), "0000000000000000") << signals;
    EXPECT_EQ(std::stoull(signals.substr(ignored + 8, 16), nullptr, 16) & 0x7fffffffu, 0u)
        << signals;
    EXPECT_EQ(reapOpeners(), 0);
}

TEST_F(Opener, AFailingMissingOrKilledOpenerOrAMissingPageShowsNothing) {
    const std::string fails = opener("fails", "exit 1");
    const std::string fourth = opener("no-browser", "exit 3");
    const std::string killed = opener("killed", "kill -KILL $$");
    const std::string works = opener("works", "exit 0");
    const struct {
        const char* what;
        std::string page;
        std::string opener;
        bool starts; // whether the opener gets to run
    } cases[] = {
        {"exits with 1", page, fails, true},
        {"finds no browser", page, fourth, true},
        {"is killed", page, killed, true},
        {"is no file", page, folder + "/bin/missing", false},
        {"is not on PATH", page, "orvalle-no-such-opener", false},
        {"is a folder", page, folder + "/bin", false},
        {"gets a missing page", folder + "/pages/presets.htm", works, false},
        {"gets a folder", folder + "/pages", works, false},
        {"gets no page", "", works, false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(folder + "/arguments");
        EXPECT_FALSE(showPage(c.page, c.opener.c_str(), 2s)) << "an opener that " << c.what;
        EXPECT_EQ(ran(), c.starts) << "an opener that " << c.what;
    }
    EXPECT_EQ(reapOpeners(), 0);
}

char processState(const std::string& pid) {
    const std::string stat = readFile("/proc/" + pid + "/stat");
    const std::size_t end = stat.rfind(") ");
    return end == std::string::npos ? 0 : stat[end + 2];
}

// Polls for up to 5 s: the machine may be busy.
template <typename Condition>
bool eventually(Condition condition) {
    const auto deadline = Clock::now() + 5s;
    while (!condition() && Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

TEST_F(Opener, AnOpenerStillRunningAfterTheWaitCountsAsShownAndIsReapedLater) {
    const auto start = Clock::now();
    EXPECT_TRUE(showPage(page, opener("xdg-open", "sleep 1").c_str(), 200ms));
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 200ms);
    EXPECT_LT(took, 800ms);
    EXPECT_EQ(reapOpeners(), 1);
    std::string pid;
    ASSERT_TRUE(eventually([&] { return !(pid = recordedPid()).empty(); }));
    EXPECT_NE(processState(pid), 'Z');

    // Once it has ended it waits for us as a zombie until the next call reaps it.
    ASSERT_TRUE(eventually([&] { return processState(pid) == 'Z'; }));
    EXPECT_EQ(reapOpeners(), 0);
    EXPECT_FALSE(std::filesystem::exists("/proc/" + pid)) << "opener " << pid << " left a zombie";

    // A later call reaps as well.
    std::filesystem::remove(folder + "/arguments");
    EXPECT_TRUE(showPage(page, opener("xdg-open", "sleep 0.3").c_str(), 50ms));
    std::string second;
    ASSERT_TRUE(eventually([&] { return !(second = recordedPid()).empty() && second != pid; }));
    ASSERT_TRUE(eventually([&] { return processState(second) == 'Z'; }));
    EXPECT_FALSE(showPage(page, opener("fails", "exit 1").c_str(), 2s));
    EXPECT_FALSE(std::filesystem::exists("/proc/" + second));
    EXPECT_EQ(reapOpeners(), 0);
}

TEST_F(Opener, AHostThatReapsItsChildrenItselfIsNotWaitedFor) {
    struct sigaction reapItself = {};
    struct sigaction previous = {};
    reapItself.sa_handler = SIG_IGN; // the kernel reaps every child at once
    ASSERT_EQ(sigaction(SIGCHLD, &reapItself, &previous), 0);
    const auto start = Clock::now();
    const bool shown = showPage(page, opener("xdg-open", "exit 1").c_str(), 2s);
    const auto took = Clock::now() - start;
    sigaction(SIGCHLD, &previous, nullptr);
    // How it ended is lost: it counts as shown.
    EXPECT_TRUE(shown);
    EXPECT_LT(took, 1500ms);
    EXPECT_TRUE(ran());
    EXPECT_EQ(reapOpeners(), 0);
}

TEST_F(Opener, OpenHelpShowsThePageOfTheSettingsThroughXdgOpenOnThePath) {
    const std::string savedPath = getenv("PATH") ? getenv("PATH") : "";
    const char* xdg = getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = xdg ? xdg : "";
    opener("xdg-open", "exit 0");
    setenv("PATH", (folder + "/bin:" + savedPath).c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);

    writeFile(folder + "/config/Sonadrix/Orvalle Vol.2/settings",
              "Layout=tall\nHelpPath=" + folder + "/pages/\n");
    EXPECT_TRUE(openHelp());
    EXPECT_EQ(recorded("arguments"), fileUri(realPath(page)) + "\n");

    // Without the setting, the page beside this program, which has none.
    std::filesystem::remove(folder + "/arguments");
    writeFile(folder + "/config/Sonadrix/Orvalle Vol.2/settings", "Layout=tall\n");
    ASSERT_FALSE(std::filesystem::exists(helpPagePath("", thisModulePath())));
    EXPECT_FALSE(openHelp());
    EXPECT_FALSE(ran());

    setenv("PATH", savedPath.c_str(), 1);
    if (xdg) {
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

} // namespace
