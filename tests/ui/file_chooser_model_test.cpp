// The archive chooser's model: what a folder lists and in which order, what a double click and a
// typed name do in each mode, names that are no UTF-8, unreadable folders, the folder kept
// between choices, and zenity's command line and answers. Folders come from a table of the
// test's own or from real temporary folders.
#include "ui/file_chooser_model.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kel::ui {
namespace {

// Folders as a table: each folder's entries, folders named with a trailing "/".
class TableFolders : public FolderSource {
public:
    TableFolders(std::initializer_list<std::pair<const std::string, std::string>> folders) {
        for (const auto& [folder, names] : folders) {
            add(folder, names);
        }
    }
    // `names`: space-separated; "x/" is a folder, "x" a file.
    void add(const std::string& folder, const std::string& names) {
        std::vector<Item>& items = table[folder];
        std::istringstream words(names);
        for (std::string word; words >> word;) {
            const bool isFolder = word.back() == '/';
            if (isFolder) {
                word.pop_back();
            }
            items.push_back({word, isFolder});
            const std::string path = folder == "/" ? "/" + word : folder + "/" + word;
            (isFolder ? folderSet : fileSet).insert(path);
            if (isFolder) {
                table[path];
            }
        }
        folderSet.insert(folder);
    }
    void addRaw(const std::string& folder, const std::string& name) {
        table[folder].push_back({name, false});
        fileSet.insert(folder + "/" + name);
    }
    std::set<std::string> unreadable;
    std::set<std::string> others; // devices, sockets

    bool list(const std::string& folder, std::vector<Item>& items) override {
        ++listings;
        if (unreadable.count(folder) || !table.count(folder)) {
            return false;
        }
        items = table[folder];
        return true;
    }
    PathKind kindOf(const std::string& path) override {
        if (others.count(path)) {
            return PathKind::Other;
        }
        return folderSet.count(path) ? PathKind::Folder
               : fileSet.count(path) ? PathKind::File
                                     : PathKind::Missing;
    }
    int listings = 0;

private:
    std::map<std::string, std::vector<Item>> table;
    std::set<std::string> folderSet, fileSet;
};

std::u32string u32(const std::string& ascii) {
    return std::u32string(ascii.begin(), ascii.end());
}

// The list as "name" words, folders with "/" after them.
std::string listed(const FileChooserModel& model) {
    std::string out;
    for (const ChooserEntry& entry : model.entries()) {
        out += out.empty() ? "" : " ";
        out += entry.name + (entry.kind == ChooserEntry::Kind::Folder ? "/" : "");
    }
    return out;
}

const char* kindName(ChooserStep::Kind kind) {
    switch (kind) {
    case ChooserStep::Kind::Nothing:
        return "nothing";
    case ChooserStep::Kind::Listed:
        return "listed";
    case ChooserStep::Kind::Chosen:
        return "chosen";
    case ChooserStep::Kind::AskToReplace:
        return "ask";
    case ChooserStep::Kind::Refused:
        return "refused";
    }
    return "?";
}

// --- Listing -------------------------------------------------------------------------------

struct ListingCase {
    const char* what;
    const char* folder;
    const char* entries;
    const char* expected;
};

TEST(FileChooserListing, FoldersFirstThenMatchingFilesEachSortedWhateverTheCase) {
    const ListingCase cases[] = {
        {"folders before files", "/a", "z.kpa b/ a.kpa Y/", ".. b/ Y/ a.kpa z.kpa"},
        {"case does not order", "/a", "beta.kpa Alpha.kpa gamma.KPA",
         ".. Alpha.kpa beta.kpa gamma.KPA"},
        {"extension in any case", "/a", "x.Kpa y.kPA z.kpa", ".. x.Kpa y.kPA z.kpa"},
        {"other files left out", "/a", "a.txt b.kpa c.kpa.bak kpa d.kp", ".. b.kpa"},
        {"folders whatever their name", "/a", "x.txt/ y/", ".. x.txt/ y/"},
        {"hidden entries left out", "/a", ".hidden.kpa .git/ seen.kpa", ".. seen.kpa"},
        {"no parent at the root", "/", "home/ tmp/ r.kpa", "home/ tmp/ r.kpa"},
        {"names equal but for case keep one order", "/a", "b.kpa B.kpa", ".. B.kpa b.kpa"},
        {"empty folder", "/a", "", ".."},
    };
    for (const ListingCase& c : cases) {
        TableFolders folders{{c.folder, c.entries}};
        const FileChooserModel model(ChooserMode::Open, folders, c.folder, "/home/u");
        EXPECT_EQ(listed(model), c.expected) << c.what;
        EXPECT_TRUE(model.problem().empty()) << c.what;
    }
}

TEST(FileChooserListing, UnreadableFolderIsShownEmptyWithItsProblemAndTheWayUp) {
    TableFolders folders{{"/home/u", "locked/ ok.kpa"}};
    folders.unreadable.insert("/home/u/locked");
    FileChooserModel model(ChooserMode::Open, folders, "/home/u", "/home/u");
    ASSERT_EQ(listed(model), ".. locked/ ok.kpa");
    EXPECT_EQ(kindName(model.activate(1).kind), std::string("listed"));
    EXPECT_EQ(model.folder(), "/home/u/locked");
    EXPECT_EQ(listed(model), "..");
    EXPECT_EQ(model.problem(), "Cannot open folder.");
    // Back up, and the problem is gone.
    model.activate(0);
    EXPECT_EQ(model.folder(), "/home/u");
    EXPECT_EQ(listed(model), ".. locked/ ok.kpa");
    EXPECT_TRUE(model.problem().empty());
    // A folder that vanished behind the chooser reads the same way.
    model.enter("/gone");
    EXPECT_EQ(model.problem(), "Cannot open folder.");
}

TEST(FileChooserListing, NamesThatAreNoUtf8AreListedAndChosenWithTheirBytes) {
    TableFolders folders{{"/m", ""}};
    const std::string latin1 = "caf\xe9.kpa"; // Latin-1 "é", no UTF-8
    const std::string utf8 = "caf\xc3\xa9-2.kpa";
    folders.addRaw("/m", latin1);
    folders.addRaw("/m", utf8);
    FileChooserModel model(ChooserMode::Open, folders, "/m", "/home/u");
    ASSERT_EQ(model.entries().size(), 3U);
    EXPECT_EQ(model.entries()[1].shown, U"caf\u00e9-2.kpa");
    EXPECT_EQ(model.entries()[2].shown, U"caf\ufffd.kpa");
    // A double click, and the name as the field shows it, both give the bytes on disk.
    const ChooserStep clicked = model.activate(2);
    EXPECT_EQ(kindName(clicked.kind), std::string("chosen"));
    EXPECT_EQ(clicked.path, "/m/" + latin1);
    const ChooserStep typed = model.submit(U"caf\ufffd.kpa");
    EXPECT_EQ(kindName(typed.kind), std::string("chosen"));
    EXPECT_EQ(typed.path, "/m/" + latin1);
    const ChooserStep unicode = model.submit(U"caf\u00e9-2.kpa");
    EXPECT_EQ(unicode.path, "/m/" + utf8);
}

// --- Typed names and double clicks ---------------------------------------------------------

struct SubmitCase {
    ChooserMode mode;
    const char* typed;
    const char* kind;
    const char* path;   // the answer's path, or the folder shown afterwards for "listed"
    const char* filter; // the filter afterwards
};

TEST(FileChooserTypedName, EachModeResolvesNamesAsTheWindowsDialogDoes) {
    constexpr ChooserMode O = ChooserMode::Open, S = ChooserMode::Save;
    const SubmitCase cases[] = {
        // Relative, absolute, "~", with folders on the way.
        {O, "old.kpa", "chosen", "/home/u/old.kpa", "*.kpa"},
        {O, "old", "chosen", "/home/u/old.kpa", "*.kpa"},
        {O, "noext", "chosen", "/home/u/noext", "*.kpa"},
        {O, "/srv/shared/bank.kpa", "chosen", "/srv/shared/bank.kpa", "*.kpa"},
        {O, "~/old.kpa", "chosen", "/home/u/old.kpa", "*.kpa"},
        {O, "presets/../old.kpa", "chosen", "/home/u/old.kpa", "*.kpa"},
        {O, "  old.kpa  ", "chosen", "/home/u/old.kpa", "*.kpa"},
        {O, "missing.kpa", "refused", "", "*.kpa"},
        {O, "nowhere/x.kpa", "refused", "", "*.kpa"},
        {O, "device", "refused", "", "*.kpa"},
        {O, "", "nothing", "", "*.kpa"},
        {O, "   ", "nothing", "", "*.kpa"},
        // Folders are entered.
        {O, "presets", "listed", "/home/u/presets", "*.kpa"},
        {O, "presets/", "listed", "/home/u/presets", "*.kpa"},
        {O, "~", "listed", "/home/u", "*.kpa"},
        {O, "/srv/shared", "listed", "/srv/shared", "*.kpa"},
        {O, "/", "listed", "/", "*.kpa"},
        {O, "..", "listed", "/home", "*.kpa"},
        {O, "missing/", "refused", "", "*.kpa"},
        // Patterns set the filter.
        {O, "*.txt", "listed", "/home/u", "*.txt"},
        {O, "*.kpa;*.bak", "listed", "/home/u", "*.kpa;*.bak"},
        {S, "o?d*", "listed", "/home/u", "o?d*"},
        // Save: the extension added, existing files asked about.
        {S, "new", "chosen", "/home/u/new.kpa", "*.kpa"},
        {S, "new.kpa", "chosen", "/home/u/new.kpa", "*.kpa"},
        {S, "new.bank", "chosen", "/home/u/new.bank", "*.kpa"},
        {S, ".hidden", "chosen", "/home/u/.hidden.kpa", "*.kpa"},
        {S, "presets/mine", "chosen", "/home/u/presets/mine.kpa", "*.kpa"},
        {S, "old", "ask", "/home/u/old.kpa", "*.kpa"},
        {S, "old.kpa", "ask", "/home/u/old.kpa", "*.kpa"},
        {S, "noext", "chosen", "/home/u/noext.kpa", "*.kpa"},
        {S, "nowhere/x", "refused", "", "*.kpa"},
        {S, "presets", "listed", "/home/u/presets", "*.kpa"},
        {S, "device.kpa", "refused", "", "*.kpa"},
    };
    for (const SubmitCase& c : cases) {
        TableFolders folders{{"/home/u", "presets/ old.kpa noext device.kpa"},
                             {"/srv/shared", "bank.kpa"},
                             {"/home", "u/"},
                             {"/", "home/ srv/"}};
        folders.others = {"/home/u/device", "/home/u/device.kpa"};
        FileChooserModel model(c.mode, folders, "/home/u", "/home/u");
        const ChooserStep step = model.submit(u32(c.typed));
        const std::string what = std::string(c.mode == O ? "open " : "save ") + "'" + c.typed + "'";
        EXPECT_EQ(kindName(step.kind), std::string(c.kind)) << what << ": " << step.text;
        if (step.kind == ChooserStep::Kind::Listed) {
            EXPECT_EQ(model.folder(), c.path) << what;
        } else if (step.kind == ChooserStep::Kind::Refused) {
            EXPECT_FALSE(step.text.empty()) << what;
            EXPECT_EQ(model.folder(), "/home/u") << what;
        } else {
            EXPECT_EQ(step.path, c.path) << what;
        }
        EXPECT_EQ(model.filter(), c.filter) << what;
    }
}

TEST(FileChooserTypedName, ReplacingAskTheWindowsQuestionAboutTheFileName) {
    TableFolders folders{{"/home/u", "old.kpa"}};
    FileChooserModel model(ChooserMode::Save, folders, "/home/u", "/home/u");
    const ChooserStep step = model.submit(U"old");
    ASSERT_EQ(kindName(step.kind), std::string("ask"));
    EXPECT_EQ(step.text, "old.kpa already exists.\nDo you want to replace it?");
    // Open mode never asks; the file must be there.
    FileChooserModel open(ChooserMode::Open, folders, "/home/u", "/home/u");
    EXPECT_EQ(kindName(open.submit(U"old").kind), std::string("chosen"));
    EXPECT_NE(open.submit(U"new").text.find("File not found."), std::string::npos);
}

TEST(FileChooserFlow, DoubleClicksWalkTheFoldersAndAPatternStaysWhileWalking) {
    TableFolders folders{{"/", "home/"},
                         {"/home", "u/"},
                         {"/home/u", "Archives/ notes.txt top.kpa"},
                         {"/home/u/Archives", "2023/ a.kpa B.KPA c.txt"},
                         {"/home/u/Archives/2023", "old.kpa"}};
    FileChooserModel model(ChooserMode::Open, folders, "/home/u", "/home/u");
    EXPECT_EQ(listed(model), ".. Archives/ top.kpa");
    model.activate(1);
    EXPECT_EQ(model.folder(), "/home/u/Archives");
    EXPECT_EQ(listed(model), ".. 2023/ a.kpa B.KPA");
    model.activate(1);
    EXPECT_EQ(listed(model), ".. old.kpa");
    const ChooserStep chosen = model.activate(1);
    EXPECT_EQ(chosen.path, "/home/u/Archives/2023/old.kpa");
    // Up twice, then up to the root, where there is no "..".
    model.goUp();
    model.goUp();
    EXPECT_EQ(model.folder(), "/home/u");
    model.submit(U"*.txt");
    EXPECT_EQ(listed(model), ".. Archives/ notes.txt");
    model.activate(1);
    EXPECT_EQ(listed(model), ".. 2023/ c.txt");
    model.submit(U"/");
    EXPECT_EQ(listed(model), "home/");
    model.goUp();
    EXPECT_EQ(model.folder(), "/");
    // Past the end of the list nothing happens.
    EXPECT_EQ(kindName(model.activate(5).kind), std::string("nothing"));
}

// --- Paths and patterns --------------------------------------------------------------------

TEST(FileChooserPaths, NormalisingAndTheirParts) {
    const std::pair<const char*, const char*> normalised[] = {
        {"/", "/"},
        {"//", "/"},
        {"/a/b/", "/a/b"},
        {"/a//b", "/a/b"},
        {"/a/./b", "/a/b"},
        {"/a/b/..", "/a"},
        {"/a/../../b", "/b"},
        {"/..", "/"},
        {"/a/.b/c", "/a/.b/c"},
        {"/a/b../c", "/a/b../c"},
    };
    for (const auto& [path, expected] : normalised) {
        EXPECT_EQ(normalisePath(path), expected) << path;
    }
    const std::pair<const char*, const char*> parents[] = {
        {"/", "/"}, {"/a", "/"}, {"/a/b", "/a"}, {"/a/b/", "/a"}, {"/a/b/c.kpa", "/a/b"}};
    for (const auto& [path, expected] : parents) {
        EXPECT_EQ(parentOf(path), expected) << path;
    }
    const std::pair<const char*, bool> extensions[] = {
        {"a.kpa", true},    {"a", false},          {".kpa", false}, {"a.", false},
        {"x/a.b/c", false}, {"/x/a.tar.gz", true}, {"a.b.", false}};
    for (const auto& [path, expected] : extensions) {
        EXPECT_EQ(hasExtension(path), expected) << path;
    }
    EXPECT_EQ(joinPath("/", "a"), "/a");
    EXPECT_EQ(joinPath("/x", "a"), "/x/a");
    EXPECT_EQ(fileNameOf("/x/y.kpa"), "y.kpa");
    EXPECT_EQ(fileNameOf("y.kpa"), "y.kpa");
}

TEST(FileChooserPaths, FilterPatterns) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"a.kpa", "*.kpa", true},
        {"A.KPA", "*.kpa", true},
        {"a.kpa.bak", "*.kpa", false},
        {"kpa", "*.kpa", false},
        {".kpa", "*.kpa", true},
        {"a.txt", "*.kpa;*.txt", true},
        {"a.txt", "*.kpa; *.txt", true},
        {"ab", "a?", true},
        {"a", "a?", false},
        {"abc", "*", true},
        {"", "*", true},
        {"x.kpa", "", false},
        {"aXbXc", "a*b*c", true},
        {"aXbXd", "a*b*c", false},
        {"\xe9.kpa", "?.kpa", true},
    };
    for (const auto& [name, patterns, expected] : cases) {
        EXPECT_EQ(matchesFilter(name, patterns), expected) << name << " / " << patterns;
    }
    EXPECT_TRUE(isPattern("*.kpa"));
    EXPECT_TRUE(isPattern("a?"));
    EXPECT_FALSE(isPattern("a.kpa"));
}

// --- Real folders --------------------------------------------------------------------------

class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/chooser-test-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    void file(const std::string& name, const std::string& content = "x") const {
        std::ofstream(path + "/" + name) << content;
    }
    void folder(const std::string& name) const { mkdir((path + "/" + name).c_str(), 0700); }
    std::string path;
};

TEST(FileChooserRealFolders, ListsTheMachinesFoldersLinksAndNoUtf8Names) {
    const TempFolder temp;
    temp.folder("Sub");
    temp.folder(".cache");
    temp.file("b.kpa");
    temp.file("A.Kpa");
    temp.file("readme.txt");
    temp.file("\xff\xfe.kpa");
    ASSERT_EQ(symlink((temp.path + "/Sub").c_str(), (temp.path + "/link").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent", (temp.path + "/dangling.kpa").c_str()), 0);
    FileChooserModel model(ChooserMode::Open, systemFolders(), temp.path, "/");
    EXPECT_EQ(listed(model), std::string(".. link/ Sub/ A.Kpa b.kpa dangling.kpa \xff\xfe.kpa"));
    EXPECT_EQ(model.entries().back().shown, U"\ufffd\ufffd.kpa");
    const ChooserStep chosen = model.submit(U"\ufffd\ufffd.kpa");
    EXPECT_EQ(chosen.path, temp.path + "/\xff\xfe.kpa");
    // A link to nowhere is listed, but is no file to open.
    EXPECT_EQ(kindName(model.activate(5).kind), std::string("refused"));
    EXPECT_EQ(systemFolders().kindOf(temp.path + "/link"), PathKind::Folder);
    EXPECT_EQ(systemFolders().kindOf("/dev/null"), PathKind::Other);
    EXPECT_EQ(systemFolders().kindOf(temp.path + "/nothing"), PathKind::Missing);
    model.enter(temp.path + "/nothing");
    EXPECT_EQ(model.problem(), "Cannot open folder.");
}

// --- The folder kept between choices -------------------------------------------------------

TEST(FileChooserMemory, StartsHomeThenInTheLastFoldersFileThenTheProcesssOwn) {
    const TempFolder temp;
    temp.folder("first");
    temp.folder("second");
    const std::string memory = temp.path + "/config/Sonadrix/Orvalle Vol.2/archive-folder";
    forgetRememberedFolder();
    // Nothing kept yet: home.
    EXPECT_EQ(startFolder(systemFolders(), memory, "/home/u"), "/home/u");
    // A file chosen: its folder, in the file (the folders on its way made) and for the process.
    EXPECT_TRUE(rememberFolderOf(temp.path + "/first/a.kpa", memory));
    std::ifstream kept(memory);
    std::string line;
    std::getline(kept, line);
    EXPECT_EQ(line, temp.path + "/first");
    EXPECT_EQ(startFolder(systemFolders(), memory, "/home/u"), temp.path + "/first");
    // Another process has only the file.
    forgetRememberedFolder();
    EXPECT_EQ(startFolder(systemFolders(), memory, "/home/u"), temp.path + "/first");
    // The process's own goes before the file's; with no file to write it still remembers.
    EXPECT_FALSE(rememberFolderOf(temp.path + "/second/b.kpa", ""));
    std::ofstream(memory) << temp.path << "/first\n";
    EXPECT_EQ(startFolder(systemFolders(), memory, "/home/u"), temp.path + "/second");
    forgetRememberedFolder();
    // A folder that is gone, a relative one, an empty file: home again.
    for (const std::string& content : {temp.path + "/gone\n", std::string("first\n"), std::string(),
                                       temp.path + "/first/../x"}) {
        std::ofstream(memory) << content;
        EXPECT_EQ(startFolder(systemFolders(), memory, "/home/u"), "/home/u") << content;
    }
    // No temporary file is left beside it.
    EXPECT_TRUE(rememberFolderOf(temp.path + "/first/a.kpa", memory));
    EXPECT_EQ(std::system(("test $(ls -A '" + parentOf(memory) + "' | wc -l) -eq 1").c_str()), 0);
    forgetRememberedFolder();
}

TEST(FileChooserMemory, HomeFolderFromTheEnvironmentOrThePasswordEntry) {
    EXPECT_EQ(homeFolderFrom("/home/u", "/etc/passwd-home"), "/home/u");
    EXPECT_EQ(homeFolderFrom("/home/u/", ""), "/home/u");
    EXPECT_EQ(homeFolderFrom(nullptr, "/var/lib/u"), "/var/lib/u");
    EXPECT_EQ(homeFolderFrom("relative", "/var/lib/u"), "/var/lib/u");
    EXPECT_EQ(homeFolderFrom("", ""), "/");
    const char* saved = std::getenv("HOME");
    const std::string before = saved ? saved : "";
    unsetenv("HOME");
    const std::string fromPassword = userHomeFolder();
    EXPECT_EQ(fromPassword[0], '/');
    setenv("HOME", "/somewhere/else", 1);
    EXPECT_EQ(userHomeFolder(), "/somewhere/else");
    if (saved) {
        setenv("HOME", before.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
}

// --- zenity --------------------------------------------------------------------------------

TEST(FileChooserDesktop, ZenitysCommandLineInEachMode) {
    const std::vector<std::string> save =
        zenityArguments(ChooserMode::Save, kSaveArchiveTitle, "/home/u", "HN-6 Clean Preamp.kpa");
    const std::vector<std::string> expectedSave{
        "--file-selection",
        "--save",
        "--confirm-overwrite",
        "--title=Save User Presets As...",
        "--filename=/home/u/HN-6 Clean Preamp.kpa",
        "--file-filter=Sonadrix presets archive (*.kpa) | *.kpa",
        "--file-filter=All files | *"};
    EXPECT_EQ(save, expectedSave);
    const std::vector<std::string> open =
        zenityArguments(ChooserMode::Open, kOpenArchiveTitle, "/", "*.kpa");
    const std::vector<std::string> expectedOpen{
        "--file-selection", "--title=Load Presets From...", "--filename=/*.kpa",
        "--file-filter=Sonadrix presets archive (*.kpa) | *.kpa", "--file-filter=All files | *"};
    EXPECT_EQ(open, expectedOpen);
}

TEST(FileChooserDesktop, ZenitysAnswers) {
    struct Case {
        ChooserMode mode;
        bool exited;
        int status;
        const char* output;
        DesktopOutcome outcome;
        const char* path;
    };
    constexpr ChooserMode O = ChooserMode::Open, S = ChooserMode::Save;
    const Case cases[] = {
        {O, true, 0, "/home/u/a.kpa\n", DesktopOutcome::Chosen, "/home/u/a.kpa"},
        {O, true, 0, "/home/u/a\n", DesktopOutcome::Chosen, "/home/u/a"},
        {S, true, 0, "/home/u/a\n", DesktopOutcome::Chosen, "/home/u/a.kpa"},
        {S, true, 0, "/home/u/a.kpa\n", DesktopOutcome::Chosen, "/home/u/a.kpa"},
        {S, true, 0, "/home/u/a.kpa", DesktopOutcome::Chosen, "/home/u/a.kpa"},
        {S, true, 0, "/home/u/a b.kpa\r\n", DesktopOutcome::Chosen, "/home/u/a b.kpa"},
        {O, true, 0, "/x/one.kpa\n/x/two.kpa\n", DesktopOutcome::Chosen, "/x/one.kpa"},
        {O, true, 1, "", DesktopOutcome::Cancelled, ""},
        {S, true, 1, "/ignored\n", DesktopOutcome::Cancelled, ""},
        {O, true, 0, "", DesktopOutcome::Failed, ""},
        {O, true, 0, "relative.kpa\n", DesktopOutcome::Failed, ""},
        {O, true, 5, "/x.kpa\n", DesktopOutcome::Failed, ""},
        {O, true, 255, "", DesktopOutcome::Failed, ""},
        {O, false, 0, "/x.kpa\n", DesktopOutcome::Failed, ""}, // killed by a signal
    };
    for (const Case& c : cases) {
        std::string path = "unchanged";
        EXPECT_EQ(zenityOutcome(c.mode, c.exited, c.status, c.output, path), c.outcome)
            << c.output << " " << c.status;
        EXPECT_EQ(path, c.outcome == DesktopOutcome::Chosen ? c.path : "unchanged") << c.output;
    }
}

TEST(FileChooserDesktop, FindingZenityOnThePathAndTheSettingThatChooses) {
    const TempFolder temp;
    temp.folder("a");
    temp.folder("b");
    temp.file("a/zenity");
    temp.file("b/zenity");
    chmod((temp.path + "/b/zenity").c_str(), 0755);
    temp.folder("c");
    temp.folder("c/zenity"); // a folder is no program
    const std::string a = temp.path + "/a", b = temp.path + "/b", c = temp.path + "/c";
    EXPECT_EQ(findProgram("zenity", (a + ":" + b).c_str()), b + "/zenity");
    EXPECT_EQ(findProgram("zenity", (c + "::" + b + "/").c_str()), b + "/zenity");
    EXPECT_EQ(findProgram("zenity", a.c_str()), "");
    EXPECT_EQ(findProgram("zenity", ""), "");
    EXPECT_EQ(findProgram("zenity", nullptr), "");
    // An empty part or a relative one is never searched.
    EXPECT_EQ(chdir(b.c_str()), 0);
    EXPECT_EQ(findProgram("zenity", ":."), "");
    EXPECT_EQ(chdir("/"), 0);

    const std::tuple<const char*, bool, bool> settings[] = {
        {"", true, true},          {"", false, false},        {"desktop", true, true},
        {"desktop", false, false}, {"builtin", true, false},  {"BuiltIn", true, false},
        {"builtin", false, false}, {"something", true, true},
    };
    for (const auto& [value, found, expected] : settings) {
        EXPECT_EQ(useDesktopChooser(value, found), expected) << value << " " << found;
    }
}

} // namespace
} // namespace kel::ui
