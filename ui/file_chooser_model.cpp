#include "ui/file_chooser_model.h"
#include "model/user_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "widgets/windows1252.h"

namespace kel::ui {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Case-insensitive on ASCII letters; names equal that way keep the order of their bytes, so
// the list is the same from one listing to the next.
bool listedBefore(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(lowerAscii(a[i]));
        const auto y = static_cast<unsigned char>(lowerAscii(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

bool matchesPattern(const char* name, const char* nameEnd, const char* pattern,
                    const char* patternEnd) {
    // Backtracking over the last "*" only: linear enough for file names.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (name < nameEnd) {
        if (pattern < patternEnd &&
            (*pattern == '?' || lowerAscii(*pattern) == lowerAscii(*name))) {
            ++pattern;
            ++name;
        } else if (pattern < patternEnd && *pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (pattern < patternEnd && *pattern == '*') {
        ++pattern;
    }
    return pattern == patternEnd;
}

std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == ' ') {
        ++begin;
    }
    while (end > begin && text[end - 1] == ' ') {
        --end;
    }
    return text.substr(begin, end - begin);
}

class PosixFolders : public FolderSource {
public:
    bool list(const std::string& folder, std::vector<Item>& items) override {
        items.clear();
        DIR* dir = opendir(folder.c_str());
        if (!dir) {
            return false;
        }
        const int descriptor = dirfd(dir);
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            struct stat info {};
            // A link's target decides; a dangling link shows as a file, which then cannot be
            // opened.
            const bool folderHere =
                fstatat(descriptor, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
            items.push_back({name, folderHere});
        }
        closedir(dir);
        return true;
    }

    PathKind kindOf(const std::string& path) override {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            return PathKind::Missing;
        }
        return S_ISDIR(info.st_mode)   ? PathKind::Folder
               : S_ISREG(info.st_mode) ? PathKind::File
                                       : PathKind::Other;
    }
};

// The folder of the last archive chosen in this process; the editor's threads of several
// instances may choose at once.
std::mutex rememberedLock;
std::string remembered;

bool makeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

} // namespace

FolderSource& systemFolders() {
    static PosixFolders folders;
    return folders;
}

bool matchesFilter(const std::string& name, const std::string& patterns) {
    std::size_t start = 0;
    while (start <= patterns.size()) {
        std::size_t end = patterns.find(';', start);
        if (end == std::string::npos) {
            end = patterns.size();
        }
        const std::string one = trimmed(patterns.substr(start, end - start));
        if (!one.empty() && matchesPattern(name.data(), name.data() + name.size(), one.data(),
                                           one.data() + one.size())) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool isPattern(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

std::string normalisePath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

std::string parentOf(const std::string& folder) {
    const std::string path = normalisePath(folder);
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool hasExtension(const std::string& path) {
    const std::string name = fileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 && dot + 1 < name.size();
}

std::string replaceQuestion(const std::string& path) {
    return fileNameOf(path) + " already exists.\nDo you want to replace it?";
}

FileChooserModel::FileChooserModel(ChooserMode mode, FolderSource& source,
                                   const std::string& folder, std::string home)
    : chooserMode(mode), files(source), homeFolder(std::move(home)) {
    enter(folder);
}

std::u32string FileChooserModel::folderShown() const {
    return VSTGUI::decodeUtf8(current);
}

void FileChooserModel::enter(const std::string& folder) {
    current = normalisePath(folder);
    refresh();
}

void FileChooserModel::goUp() {
    if (current != "/") {
        enter(parentOf(current));
    }
}

void FileChooserModel::refresh() {
    listed.clear();
    listProblem.clear();
    if (current != "/") {
        listed.push_back({ChooserEntry::Kind::Parent, "..", U".."});
    }
    std::vector<FolderSource::Item> items;
    if (!files.list(current, items)) {
        listProblem = "Cannot open folder.";
        return;
    }
    std::vector<std::string> folders, matching;
    for (const FolderSource::Item& item : items) {
        if (item.name.empty() || item.name[0] == '.') {
            continue;
        }
        if (item.folder) {
            folders.push_back(item.name);
        } else if (matchesFilter(item.name, patterns)) {
            matching.push_back(item.name);
        }
    }
    std::sort(folders.begin(), folders.end(), listedBefore);
    std::sort(matching.begin(), matching.end(), listedBefore);
    for (const std::string& name : folders) {
        listed.push_back({ChooserEntry::Kind::Folder, name, VSTGUI::decodeUtf8(name)});
    }
    for (const std::string& name : matching) {
        listed.push_back({ChooserEntry::Kind::File, name, VSTGUI::decodeUtf8(name)});
    }
}

ChooserStep FileChooserModel::activate(std::size_t index) {
    if (index >= listed.size()) {
        return {};
    }
    const ChooserEntry entry = listed[index];
    switch (entry.kind) {
    case ChooserEntry::Kind::Parent:
        goUp();
        return {ChooserStep::Kind::Listed, {}, {}};
    case ChooserEntry::Kind::Folder:
        enter(joinPath(current, entry.name));
        return {ChooserStep::Kind::Listed, {}, {}};
    case ChooserEntry::Kind::File:
        break;
    }
    return chooseFile(joinPath(current, entry.name));
}

std::string FileChooserModel::bytesOf(const std::u32string& typed) const {
    // A name shown from bytes that are no UTF-8 cannot be typed back: the entry it came from
    // gives its bytes.
    for (const ChooserEntry& entry : listed) {
        if (entry.kind != ChooserEntry::Kind::Parent && entry.shown == typed) {
            return entry.name;
        }
    }
    return VSTGUI::encodeUtf8(typed);
}

ChooserStep FileChooserModel::submit(const std::u32string& typed) {
    const std::string text = trimmed(bytesOf(typed));
    if (text.empty()) {
        return {};
    }
    if (isPattern(text)) {
        patterns = text;
        refresh();
        return {ChooserStep::Kind::Listed, {}, {}};
    }
    std::string path;
    if (text == "~" || text.rfind("~/", 0) == 0) {
        path = homeFolder + text.substr(1);
    } else if (text[0] == '/') {
        path = text;
    } else {
        path = joinPath(current, text);
    }
    // Kept as typed but for the slashes, so that a name ending in a space or dot stays itself.
    const bool endsInSlash = path.back() == '/';
    path = normalisePath(path);
    if (files.kindOf(path) == PathKind::Folder) {
        enter(path);
        return {ChooserStep::Kind::Listed, {}, {}};
    }
    if (endsInSlash) {
        return {ChooserStep::Kind::Refused,
                {},
                fileNameOf(path) + "\nPath does not exist.\nCheck the path and try again."};
    }
    return chooseFile(path);
}

ChooserStep FileChooserModel::chooseFile(const std::string& typedPath) {
    std::string path = typedPath;
    const std::string folder = parentOf(path);
    if (files.kindOf(folder) != PathKind::Folder) {
        return {ChooserStep::Kind::Refused,
                {},
                fileNameOf(path) + "\nPath does not exist.\nCheck the path and try again."};
    }
    PathKind kind = files.kindOf(path);
    if (!hasExtension(path) && (chooserMode == ChooserMode::Save || kind == PathKind::Missing)) {
        // The default extension, as the Windows dialog adds it: always on save, on open when
        // the name as typed is no file.
        const std::string withExtension = path + "." + kArchiveExtension;
        const PathKind extended = files.kindOf(withExtension);
        if (chooserMode == ChooserMode::Save || extended != PathKind::Missing) {
            path = withExtension;
            kind = extended;
        }
    }
    if (kind == PathKind::Folder) {
        enter(path);
        return {ChooserStep::Kind::Listed, {}, {}};
    }
    if (chooserMode == ChooserMode::Open) {
        if (kind == PathKind::File) {
            return {ChooserStep::Kind::Chosen, path, {}};
        }
        return {ChooserStep::Kind::Refused,
                {},
                fileNameOf(path) +
                    "\nFile not found.\nPlease verify the correct file name was given."};
    }
    if (kind == PathKind::Other) {
        return {ChooserStep::Kind::Refused, {}, fileNameOf(path) + "\nThis is no regular file."};
    }
    if (kind == PathKind::File) {
        return {ChooserStep::Kind::AskToReplace, path, replaceQuestion(path)};
    }
    return {ChooserStep::Kind::Chosen, path, {}};
}

std::string homeFolderFrom(const char* homeVariable, const std::string& passwordHome) {
    if (homeVariable && homeVariable[0] == '/') {
        return normalisePath(homeVariable);
    }
    if (!passwordHome.empty() && passwordHome[0] == '/') {
        return normalisePath(passwordHome);
    }
    return "/";
}

std::string userHomeFolder() {
    return homeFolderFrom(model::userHomeFolder().c_str(), {});
}

std::string startFolder(FolderSource& source, const std::string& memoryFile,
                        const std::string& home) {
    std::string folder;
    {
        const std::lock_guard<std::mutex> hold(rememberedLock);
        folder = remembered;
    }
    if (folder.empty() && !memoryFile.empty()) {
        if (std::FILE* file = std::fopen(memoryFile.c_str(), "rbe")) {
            char line[4096];
            const std::size_t got = std::fread(line, 1, sizeof(line), file);
            std::fclose(file);
            folder.assign(line, got);
            folder = folder.substr(0, folder.find('\n'));
        }
    }
    if (!folder.empty() && folder[0] == '/' && folder.find('\0') == std::string::npos &&
        source.kindOf(folder) == PathKind::Folder) {
        return normalisePath(folder);
    }
    return home;
}

bool rememberFolderOf(const std::string& chosenFile, const std::string& memoryFile) {
    const std::string folder = parentOf(chosenFile);
    {
        const std::lock_guard<std::mutex> hold(rememberedLock);
        remembered = folder;
    }
    if (memoryFile.empty() || memoryFile[0] != '/') {
        return false;
    }
    if (!makeFolders(parentOf(memoryFile))) {
        return false;
    }
    // Written aside and renamed over the old one, so that a reader never sees half a line.
    const std::string aside = memoryFile + ".new-" + std::to_string(getpid());
    const int out = open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        return false;
    }
    const std::string line = folder + "\n";
    const bool written = write(out, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    const bool closed = close(out) == 0;
    if (!written || !closed || rename(aside.c_str(), memoryFile.c_str()) != 0) {
        unlink(aside.c_str());
        return false;
    }
    return true;
}

void forgetRememberedFolder() {
    const std::lock_guard<std::mutex> hold(rememberedLock);
    remembered.clear();
}

std::vector<std::string> zenityArguments(ChooserMode mode, const std::string& title,
                                         const std::string& folder, const std::string& name) {
    std::vector<std::string> arguments{"--file-selection"};
    if (mode == ChooserMode::Save) {
        arguments.emplace_back("--save");
        arguments.emplace_back("--confirm-overwrite");
    }
    arguments.push_back("--title=" + title);
    arguments.push_back("--filename=" + joinPath(folder, name));
    arguments.push_back(std::string("--file-filter=") + kArchiveFilterName + " (" +
                        kArchivePattern + ") | " + kArchivePattern);
    arguments.emplace_back("--file-filter=All files | *");
    return arguments;
}

DesktopOutcome zenityOutcome(ChooserMode mode, bool exited, int status, const std::string& output,
                             std::string& path) {
    if (!exited) {
        return DesktopOutcome::Failed;
    }
    if (status == 1) {
        return DesktopOutcome::Cancelled;
    }
    if (status != 0) {
        return DesktopOutcome::Failed;
    }
    std::string line = output.substr(0, output.find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.empty() || line[0] != '/') {
        return DesktopOutcome::Failed;
    }
    if (mode == ChooserMode::Save && !hasExtension(line)) {
        line += std::string(".") + kArchiveExtension;
    }
    path = line;
    return DesktopOutcome::Chosen;
}

std::string findProgram(const std::string& program, const char* searchPath) {
    if (!searchPath || program.empty()) {
        return {};
    }
    const std::string folders = searchPath;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string folder = folders.substr(start, end - start);
        // An empty part is the current folder, which a plug-in must not run programs from.
        if (!folder.empty() && folder[0] == '/') {
            const std::string candidate = joinPath(folder, program);
            struct stat info {};
            if (access(candidate.c_str(), X_OK) == 0 && stat(candidate.c_str(), &info) == 0 &&
                S_ISREG(info.st_mode)) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

bool useDesktopChooser(const std::string& setting, bool zenityFound) {
    std::string value;
    for (const char c : setting) {
        value.push_back(lowerAscii(c));
    }
    return zenityFound && value != kBuiltinFileDialog;
}

} // namespace kel::ui
