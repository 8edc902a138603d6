// The archive file chooser as data, for the Linux chooser window: the folder shown and its
// entries (".." first, then folders, then the files the filter lets through, each group sorted
// whatever the case, no hidden entries), what a double click or a typed name does (enter a
// folder, set the filter, choose a file, ask before replacing one), the folder remembered
// between choices, and the command line and answer of a desktop's own chooser (zenity). Names
// are the file system's bytes; the window shows them as UTF-8, and a name that is no valid UTF-8
// keeps its bytes. The file system is reached through FolderSource, so tests can give their own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kel::ui {

enum class ChooserMode { Open, Save };

inline constexpr const char* kArchiveFilterName = "Sonadrix presets archive";
inline constexpr const char* kArchivePattern = "*.kpa";
inline constexpr const char* kArchiveExtension = "kpa";
inline constexpr const char* kSaveArchiveTitle = "Save User Presets As...";
inline constexpr const char* kOpenArchiveTitle = "Load Presets From...";
// The one-line file in the settings folder that holds the folder of the last archive chosen.
inline constexpr const char* kArchiveFolderFileName = "archive-folder";
// The settings key that chooses the chooser, and its values.
inline constexpr const char* kFileDialogSetting = "FileDialog";
inline constexpr const char* kBuiltinFileDialog = "builtin";
inline constexpr const char* kDesktopFileDialog = "desktop";

enum class PathKind { Missing, Folder, File, Other };

// What the chooser reads of the file system.
class FolderSource {
public:
    struct Item {
        std::string name; // bytes, never "." or ".."
        bool folder = false;
    };
    virtual ~FolderSource() = default;
    // The entries of folder; false when it cannot be read.
    virtual bool list(const std::string& folder, std::vector<Item>& items) = 0;
    // What path is, following symbolic links.
    virtual PathKind kindOf(const std::string& path) = 0;
};

// The machine's file system (POSIX).
FolderSource& systemFolders();

struct ChooserEntry {
    enum class Kind { Parent, Folder, File };
    Kind kind = Kind::File;
    std::string name;     // bytes ("..", for the parent)
    std::u32string shown; // as the list shows it
};

// What the chooser does next after a double click, Enter or a typed name.
struct ChooserStep {
    enum class Kind {
        Nothing,      // an empty name
        Listed,       // the folder or the filter changed: the list is new
        Chosen,       // path is the answer
        AskToReplace, // path exists: choose it only if the user answers Yes to `text`
        Refused,      // `text` tells why; the chooser stays
    };
    Kind kind = Kind::Nothing;
    std::string path;
    std::string text; // UTF-8
};

class FileChooserModel {
public:
    // Lists `folder` at once. `home` is what a leading "~" stands for.
    FileChooserModel(ChooserMode mode, FolderSource& source, const std::string& folder,
                     std::string home);

    ChooserMode mode() const { return chooserMode; }
    const std::string& folder() const { return current; }
    std::u32string folderShown() const;
    const std::vector<ChooserEntry>& entries() const { return listed; }
    // Empty, or why the folder's entries are missing ("Cannot open folder.").
    const std::string& problem() const { return listProblem; }
    // The patterns files are listed by, separated by ";" ("*.kpa" at first).
    const std::string& filter() const { return patterns; }

    // Moves to folder (absolute) and lists it; an unreadable folder is shown empty, with the
    // problem told.
    void enter(const std::string& folder);
    void goUp();
    void refresh();
    // A double click or Enter on entry `index`.
    ChooserStep activate(std::size_t index);
    // What the name typed into the field does.
    ChooserStep submit(const std::u32string& typed);

private:
    std::string bytesOf(const std::u32string& typed) const;
    ChooserStep chooseFile(const std::string& path);

    ChooserMode chooserMode;
    FolderSource& files;
    std::string homeFolder;
    std::string current;
    std::string patterns = kArchivePattern;
    std::vector<ChooserEntry> listed;
    std::string listProblem;
};

// Pure helpers, each tested on its own.

// Whether `name` matches one of the ";"-separated patterns ("*" any run, "?" any one byte),
// ignoring the case of ASCII letters.
bool matchesFilter(const std::string& name, const std::string& patterns);
// Whether typed text is a pattern rather than a name (holds "*" or "?").
bool isPattern(const std::string& text);
// "/a/b/../c/./" is "/a/c": "." and ".." and repeated slashes taken out by the letters.
std::string normalisePath(const std::string& path);
std::string parentOf(const std::string& folder);
std::string joinPath(const std::string& folder, const std::string& name);
// The last part of a path.
std::string fileNameOf(const std::string& path);
// Whether the last part of the path has an extension ("a.kpa" has, ".kpa" and "a." have not).
bool hasExtension(const std::string& path);
// "<name> already exists.\nDo you want to replace it?"
std::string replaceQuestion(const std::string& path);

// The home folder: `homeVariable` when it is an absolute path, else `passwordHome`, else "/".
std::string homeFolderFrom(const char* homeVariable, const std::string& passwordHome);
// The user's ($HOME, else the password database's entry).
std::string userHomeFolder();

// The folder a chooser starts in: the one remembered for this process, else the one in
// `memoryFile` (its first line), when it is still a folder; else home.
std::string startFolder(FolderSource& source, const std::string& memoryFile,
                        const std::string& home);
// Remembers the folder of the file chosen, for this process and in `memoryFile` (written whole
// through a temporary file; the folders on its way are made). False when the file could not be
// written (the process still remembers).
bool rememberFolderOf(const std::string& chosenFile, const std::string& memoryFile);
// Forgets what the process remembers (tests).
void forgetRememberedFolder();

// The desktop chooser.

// zenity's arguments (without the program's name) for a choice in `folder` proposing `name`.
std::vector<std::string> zenityArguments(ChooserMode mode, const std::string& title,
                                         const std::string& folder, const std::string& name);
// What zenity's exit told: the file chosen (its output's first line, with ".kpa" added on save
// when it has no extension) or cancelled; anything else is a failure, for our own chooser.
enum class DesktopOutcome { Chosen, Cancelled, Failed };
DesktopOutcome zenityOutcome(ChooserMode mode, bool exited, int status, const std::string& output,
                             std::string& path);
// The first executable `program` in the ":"-separated folders of `searchPath`; empty if none.
std::string findProgram(const std::string& program, const char* searchPath);
// Whether the desktop chooser is to be used: the setting's value ("builtin" or "desktop", in any
// case; anything else counts as unset) and whether zenity was found.
bool useDesktopChooser(const std::string& setting, bool zenityFound);

} // namespace kel::ui
