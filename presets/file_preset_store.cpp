// The Linux store's file system side: the folder, its lock, atomic replacement, setting damaged
// files aside and the inotify watch. What the files hold is preset_files_format.cpp's.
#include "presets/file_preset_store.h"

#include "model/user_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace kel::presets {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kLockFileName = ".lock";
constexpr const char* kQueueFileName = ".queue";
constexpr const char* kTemporaryPrefix = ".tmp-";
constexpr const char* kAsideSuffix = ".damaged";
constexpr int kAsideNameAttempts = 100;
// More than files of ours hold: a later version's may be longer, and is left alone.
constexpr std::size_t kPresetFileReadLimit = 65536;
constexpr std::size_t kSlotFileReadLimit = 4096;
constexpr int kTemporaryNameAttempts = 10;
// Without inotify, how long after a reopen changed() starts answering true.
constexpr auto kUnwatchedRefreshInterval = std::chrono::seconds(1);
constexpr auto kLockRetryPause = std::chrono::milliseconds(1);
// The user's own data: private, as the XDG base directories are.
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;
// Our own writes show as IN_MOVED_TO, deleting and setting aside as IN_DELETE or IN_MOVED_FROM,
// files copied in by hand as IN_CREATE and IN_CLOSE_WRITE. Reading raises none of these.
constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                        IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr std::uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr std::uint32_t kWatchGoneEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

// Owns one file descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : descriptor(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : descriptor(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        reset(other.release());
        return *this;
    }
    int get() const { return descriptor; }
    explicit operator bool() const { return descriptor >= 0; }
    int release() { return std::exchange(descriptor, -1); }
    void reset(int fd = -1) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        descriptor = fd;
    }

private:
    int descriptor;
};

bool endsWith(const std::string& text, const char* suffix) {
    const std::size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// Errors that say the file itself is not one we can read, as against errors of the system (no
// descriptors or memory left, an I/O error) that say nothing about the file.
bool errorOfTheFile(int error) {
    return error == EACCES || error == EPERM || error == ELOOP || error == ENXIO ||
           error == EISDIR || error == ENODEV || error == EOVERFLOW || error == ENAMETOOLONG;
}

enum class ReadOutcome { Absent, Read, Unreadable, Failed };

ReadOutcome outcomeOfError(int error) {
    if (error == ENOENT || error == ENOTDIR) {
        return ReadOutcome::Absent;
    }
    return errorOfTheFile(error) ? ReadOutcome::Unreadable : ReadOutcome::Failed;
}

// Reads a regular file of at most limit bytes. Anything else under the name (a folder, a FIFO, a
// device, a larger file) is Unreadable, and is never opened where opening could wait or have an
// effect.
ReadOutcome readSmallFile(int dirFd, const char* name, std::size_t limit,
                          std::vector<std::uint8_t>& bytes) {
    struct stat status {};
    if (fstatat(dirFd, name, &status, 0) != 0) {
        return outcomeOfError(errno);
    }
    if (!S_ISREG(status.st_mode) || static_cast<std::uint64_t>(status.st_size) > limit) {
        return ReadOutcome::Unreadable;
    }
    // O_NONBLOCK: should the name have become a FIFO since, opening it does not wait.
    const Descriptor file(openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) {
        return outcomeOfError(errno);
    }
    if (fstat(file.get(), &status) != 0) {
        return ReadOutcome::Failed;
    }
    if (!S_ISREG(status.st_mode)) {
        return ReadOutcome::Unreadable;
    }
    // One byte more than allowed: a file that grew past the limit is seen to.
    bytes.resize(limit + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t part = ::read(file.get(), bytes.data() + got, bytes.size() - got);
        if (part < 0 && errno == EINTR) {
            continue;
        }
        if (part < 0) {
            return outcomeOfError(errno) == ReadOutcome::Unreadable ? ReadOutcome::Unreadable
                                                                    : ReadOutcome::Failed;
        }
        if (part == 0) {
            break;
        }
        got += static_cast<std::size_t>(part);
    }
    bytes.resize(got);
    return got > limit ? ReadOutcome::Unreadable : ReadOutcome::Read;
}

bool writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t part = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (part < 0 && errno == EINTR) {
            continue;
        }
        if (part <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(part);
    }
    return true;
}

// The folder, opened for the *at calls; when create is set, it and its missing parents are made
// first. missing (when given) tells whether it failed because the folder does not exist.
Descriptor openFolder(const std::string& folder, bool create, bool* missing = nullptr) {
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int error = errno;
    if (missing) {
        *missing = !dir && error == ENOENT;
    }
    if (dir || !create || error != ENOENT) {
        return dir;
    }
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        if (::mkdir(folder.substr(0, slash).c_str(), kFolderMode) != 0 && errno != EEXIST) {
            return Descriptor();
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    return Descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The names in the folder but "." and "..".
bool listFolder(int dirFd, std::vector<std::string>& names) {
    const int copy = fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        return false;
    }
    DIR* dir = fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return false;
    }
    rewinddir(dir);
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    const bool complete = errno == 0;
    closedir(dir);
    return complete;
}

// Takes the flock on the lock file `name` in the folder, trying until deadline; closing the
// descriptor lets it go. Invalid when the lock could not be had.
Descriptor lockFile(int dirFd, const char* name, Clock::time_point deadline) {
    for (;;) {
        // Opened for reading only, so that letting go raises no inotify event of a write.
        Descriptor lock(
            openat(dirFd, name, O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kFileMode));
        if (!lock) {
            return lock;
        }
        while (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= deadline) {
                return Descriptor();
            }
            std::this_thread::sleep_for(kLockRetryPause);
        }
        // Should someone have removed the lock file meanwhile, ours locks nothing anybody else
        // will look at: take the new one.
        struct stat held {
        }, named{};
        if (fstat(lock.get(), &held) == 0 && fstatat(dirFd, name, &named, 0) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            return lock;
        }
        if (Clock::now() >= deadline) {
            return Descriptor();
        }
    }
}

// The folder's lock, taken; closing the descriptor lets it go. Another instance's lock is waited
// for at most kLockWaitMilliseconds. Invalid when the lock could not be had.
//
// The lock is reached through a queue lock, held while waiting for the folder's: an instance that
// has just let the folder's lock go finds the queue held by the one waiting, and cannot take the
// folder's lock again before that one has had it. So two instances that write one after the
// other take turns, rather than one waiting out its time while the other writes on.
Descriptor takeLock(int dirFd) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kLockWaitMilliseconds);
    const Descriptor queue = lockFile(dirFd, kQueueFileName, deadline);
    return queue ? lockFile(dirFd, kLockFileName, deadline) : Descriptor();
}

// Replaces fileName by bytes: a temporary file beside it, flushed to the disk, then renamed over
// it, so that after a crash the name holds the old file or the new one, never a part. The folder
// is not flushed after the rename: a crash right after it may bring the old file back, and the
// user-interface thread waits for one flush instead of two. The lock must be held; the process
// id in the temporary name keeps processes apart, a count the instances of one process.
bool replaceFile(int dirFd, const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
    static std::atomic<unsigned> temporaryCount{0};
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string temporary =
            kTemporaryPrefix + std::to_string(getpid()) + "-" + std::to_string(++temporaryCount);
        Descriptor file(openat(dirFd, temporary.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kFileMode));
        if (!file && errno == EEXIST) {
            continue;
        }
        if (!file) {
            return false;
        }
        bool written = writeAll(file.get(), bytes) && fsync(file.get()) == 0;
        written = ::close(file.release()) == 0 && written;
        if (written && renameat(dirFd, temporary.c_str(), dirFd, fileName.c_str()) == 0) {
            return true;
        }
        unlinkat(dirFd, temporary.c_str(), 0);
        return false;
    }
    return false;
}

// Moves fileName to "<fileName>.damaged", or ".damaged-2" and on, whichever is free: never over
// another file.
bool moveAside(int dirFd, const std::string& fileName) {
    for (int attempt = 1; attempt <= kAsideNameAttempts; ++attempt) {
        const std::string aside =
            fileName + kAsideSuffix + (attempt > 1 ? "-" + std::to_string(attempt) : "");
        if (renameat2(dirFd, fileName.c_str(), dirFd, aside.c_str(), RENAME_NOREPLACE) == 0) {
            return true;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return false;
        }
        // A file system without RENAME_NOREPLACE: a second link, then the first one goes.
        if (linkat(dirFd, fileName.c_str(), dirFd, aside.c_str(), 0) == 0) {
            return unlinkat(dirFd, fileName.c_str(), 0) == 0;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

} // namespace

std::string defaultPresetFolder() {
    return model::userConfigFolder();
}

FilePresetStore::FilePresetStore(std::string path) : folder(std::move(path)) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
}

FilePresetStore::~FilePresetStore() {
    closeWatch();
}

bool FilePresetStore::reopen() {
    closeWatch();
    opened = false;
    changeSeen = false;
    reopenedAt = Clock::now();
    if (folder.empty() || folder[0] != '/') {
        return false;
    }
    // Armed first: whatever changes from here on is seen, whether the folder exists or not.
    armWatch();
    bool missing = false;
    const Descriptor dir = openFolder(folder, false, &missing);
    opened = dir || missing;
    return opened;
}

bool FilePresetStore::changed() {
    if (!changeSeen) {
        if (notifyFd >= 0) {
            readEvents();
        } else {
            changeSeen = Clock::now() - reopenedAt >= kUnwatchedRefreshInterval;
        }
    }
    return changeSeen;
}

void FilePresetStore::closeWatch() {
    if (notifyFd >= 0) {
        ::close(notifyFd);
    }
    notifyFd = folderWatch = parentWatch = -1;
    awaited.clear();
}

void FilePresetStore::armWatch() {
    notifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notifyFd < 0) {
        return;
    }
    std::string path = folder;
    std::string child; // empty while path is the folder itself
    for (;;) {
        const int watch = inotify_add_watch(
            notifyFd, path.c_str(), (child.empty() ? kFolderEvents : kParentEvents) | IN_ONLYDIR);
        if (watch >= 0 && child.empty()) {
            folderWatch = watch;
            return;
        }
        if (watch >= 0) {
            parentWatch = watch;
            awaited = child;
            // A folder that appeared between the two calls appeared after reopen() too.
            struct stat status {};
            const std::string childPath = (path == "/" ? "" : path) + "/" + child;
            changeSeen = stat(childPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
            return;
        }
        if ((errno != ENOENT && errno != ENOTDIR) || path == "/") {
            closeWatch(); // no watch to be had (out of watches, no access): changed() polls
            return;
        }
        const std::size_t slash = path.rfind('/');
        child = path.substr(slash + 1);
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
}

void FilePresetStore::readEvents() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(notifyFd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return; // EAGAIN: nothing more queued
        }
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            inotify_event event{};
            std::memcpy(&event, buffer + at, sizeof(event));
            const char* namePart = buffer + at + sizeof(event); // padded with zeros
            const std::string name(namePart, strnlen(namePart, event.len));
            at += static_cast<ssize_t>(sizeof(event) + event.len);
            if (event.wd < 0 || (event.mask & (kWatchGoneEvents | IN_Q_OVERFLOW)) != 0) {
                changeSeen = true;
            } else if (event.wd == folderWatch) {
                changeSeen =
                    changeSeen || endsWith(name, kPresetFileSuffix) || name == kSlotFileName;
            } else if (event.wd == parentWatch) {
                changeSeen = changeSeen || name == awaited;
            }
        }
        if (changeSeen) {
            return;
        }
    }
}

FilePresetStore::PresetFile FilePresetStore::examinePresetFile(int dirFd,
                                                               const std::string& fileName) {
    PresetFile file;
    std::vector<std::uint8_t> bytes;
    switch (readSmallFile(dirFd, fileName.c_str(), kPresetFileReadLimit, bytes)) {
    case ReadOutcome::Absent:
        file.found = Found::Absent;
        return file;
    case ReadOutcome::Failed:
        file.found = Found::Failed;
        return file;
    case ReadOutcome::Unreadable:
        file.found = Found::Damaged;
        return file;
    case ReadOutcome::Read:
        break;
    }
    switch (decodePresetFile(bytes.data(), bytes.size(), file.contents)) {
    case FileCheck::Valid:
        file.found = Found::Valid;
        break;
    case FileCheck::NewerFormat:
        file.found = Found::NewerFormat;
        break;
    case FileCheck::Damaged:
        file.found = Found::Damaged;
        break;
    }
    return file;
}

FilePresetStore::Found FilePresetStore::examineSlotFile(int dirFd, SlotNames& names) {
    names = {};
    std::vector<std::uint8_t> bytes;
    switch (readSmallFile(dirFd, kSlotFileName, kSlotFileReadLimit, bytes)) {
    case ReadOutcome::Absent:
        return Found::Absent;
    case ReadOutcome::Failed:
        return Found::Failed;
    case ReadOutcome::Unreadable:
        return Found::Damaged;
    case ReadOutcome::Read:
        break;
    }
    switch (decodeSlotFile(bytes.data(), bytes.size(), names)) {
    case FileCheck::Valid:
        return Found::Valid;
    case FileCheck::NewerFormat:
        return Found::NewerFormat;
    case FileCheck::Damaged:
        break;
    }
    return Found::Damaged;
}

void FilePresetStore::setAside(int dirFd, const std::string& fileName) {
    // Without the lock the file stays where it is, unlisted, and is tried again on a later read.
    const Descriptor lock = takeLock(dirFd);
    if (lock) {
        setAsideLocked(dirFd, fileName);
    }
}

bool FilePresetStore::setAsideLocked(int dirFd, const std::string& fileName) {
    // Nobody replaces the file while we hold the lock: if it is damaged still, it is the file that
    // was found damaged, and the instance that moves it is the one that reports it.
    const bool slotFile = fileName == kSlotFileName;
    SlotNames unused;
    const Found found =
        slotFile ? examineSlotFile(dirFd, unused) : examinePresetFile(dirFd, fileName).found;
    if (found != Found::Damaged) {
        return found != Found::Failed;
    }
    if (moveAside(dirFd, fileName)) {
        if (slotFile) {
            damage.slotFileSetAside = true;
        } else {
            damage.presetsSetAside.push_back(presetNameOfFile(fileName).value_or(fileName));
        }
        return true;
    }
    if (leftInPlace.insert(fileName).second) {
        ++damage.filesLeftInPlace;
    }
    return false;
}

FilePresetStore::PresetFile FilePresetStore::findPreset(const std::string& name) {
    if (!opened || !isStorableName(name)) {
        return {};
    }
    const Descriptor dir = openFolder(folder, false);
    if (!dir) {
        return {};
    }
    const std::string fileName = presetFileName(name);
    PresetFile file = examinePresetFile(dir.get(), fileName);
    if (file.found == Found::Damaged) {
        setAside(dir.get(), fileName);
    }
    return file;
}

std::vector<std::string> FilePresetStore::presetNames(std::size_t recordSize) {
    std::vector<std::string> names;
    std::vector<std::string> entries;
    const Descriptor dir = opened ? openFolder(folder, false) : Descriptor();
    if (!dir || !listFolder(dir.get(), entries)) {
        return names;
    }
    std::vector<std::pair<std::uint64_t, std::string>> listed;
    for (const std::string& entry : entries) {
        const std::optional<std::string> name = presetNameOfFile(entry);
        if (!name || !isStorableName(*name)) {
            continue;
        }
        PresetFile file = examinePresetFile(dir.get(), entry);
        if (file.found == Found::Damaged) {
            setAside(dir.get(), entry);
        } else if (file.found == Found::Valid && file.contents.record.size() == recordSize) {
            listed.emplace_back(file.contents.order, *name);
        }
    }
    std::sort(listed.begin(), listed.end());
    for (auto& preset : listed) {
        names.push_back(std::move(preset.second));
    }
    return names;
}

bool FilePresetStore::readPreset(const std::string& name, std::size_t capacity,
                                 std::vector<std::uint8_t>& record) {
    PresetFile file = findPreset(name);
    if (file.found != Found::Valid || file.contents.record.size() > capacity) {
        return false;
    }
    record = std::move(file.contents.record);
    return true;
}

bool FilePresetStore::holdsPreset(const std::string& name) {
    const Found found = findPreset(name).found;
    return found == Found::Valid || found == Found::NewerFormat;
}

std::optional<std::uint64_t> FilePresetStore::nextOrder(int dirFd) {
    std::vector<std::string> entries;
    if (!listFolder(dirFd, entries)) {
        return std::nullopt;
    }
    std::uint64_t highest = 0;
    for (const std::string& entry : entries) {
        if (entry.rfind(kTemporaryPrefix, 0) == 0) {
            // Every writer holds the lock while it has a temporary file: with the lock held, one
            // that is there was left by a writer that ended before its rename.
            unlinkat(dirFd, entry.c_str(), 0);
        } else if (presetNameOfFile(entry)) {
            const PresetFile file = examinePresetFile(dirFd, entry);
            if (file.found == Found::Valid) {
                highest = std::max(highest, file.contents.order);
            }
        }
    }
    // At the very end of the range new presets share the last stamp and follow by name.
    return highest == UINT64_MAX ? highest : highest + 1;
}

bool FilePresetStore::writePreset(const std::string& name,
                                  const std::vector<std::uint8_t>& record) {
    if (!opened || !isStorableName(name) || record.size() > kMaxStoredRecordSize) {
        return false;
    }
    const Descriptor dir = openFolder(folder, true);
    const Descriptor lock = dir ? takeLock(dir.get()) : Descriptor();
    if (!lock) {
        return false;
    }
    const std::string fileName = presetFileName(name);
    const PresetFile old = examinePresetFile(dir.get(), fileName);
    PresetFileContents contents{0, record};
    if (old.found == Found::Valid) {
        contents.order = old.contents.order;
    } else {
        // A damaged file goes aside first, never under the new one.
        if (old.found == Found::Failed ||
            (old.found == Found::Damaged && !setAsideLocked(dir.get(), fileName))) {
            return false;
        }
        const std::optional<std::uint64_t> order = nextOrder(dir.get());
        if (!order) {
            return false;
        }
        contents.order = *order;
    }
    return replaceFile(dir.get(), fileName, encodePresetFile(contents));
}

bool FilePresetStore::deletePreset(const std::string& name) {
    if (!opened || !isStorableName(name)) {
        return false;
    }
    const Descriptor dir = openFolder(folder, false);
    const Descriptor lock = dir ? takeLock(dir.get()) : Descriptor();
    if (!lock) {
        return false;
    }
    const std::string fileName = presetFileName(name);
    const Found found = examinePresetFile(dir.get(), fileName).found;
    if (found == Found::Damaged) {
        setAsideLocked(dir.get(), fileName);
        return false;
    }
    return (found == Found::Valid || found == Found::NewerFormat) &&
           unlinkat(dir.get(), fileName.c_str(), 0) == 0;
}

bool FilePresetStore::readSlotNames(SlotNames& names) {
    if (!opened) {
        return false;
    }
    bool missing = false;
    const Descriptor dir = openFolder(folder, false, &missing);
    if (!dir) {
        names = {};
        return missing;
    }
    SlotNames read;
    const Found found = examineSlotFile(dir.get(), read);
    if (found == Found::Failed || found == Found::NewerFormat) {
        return false;
    }
    if (found == Found::Damaged) {
        setAside(dir.get(), kSlotFileName);
    }
    names = read;
    return true;
}

bool FilePresetStore::writeSlotNames(const std::array<std::string, kQuickSlotCount>& names) {
    SlotNames stored;
    for (int slot = 0; slot < kQuickSlotCount; ++slot) {
        if (names[slot].empty()) {
            continue;
        }
        if (!isStorableName(names[slot])) {
            return false;
        }
        stored[slot] = names[slot];
    }
    const Descriptor dir = opened ? openFolder(folder, true) : Descriptor();
    const Descriptor lock = dir ? takeLock(dir.get()) : Descriptor();
    if (!lock) {
        return false;
    }
    SlotNames old;
    const Found found = examineSlotFile(dir.get(), old);
    if (found == Found::Failed ||
        (found == Found::Damaged && !setAsideLocked(dir.get(), kSlotFileName))) {
        return false;
    }
    return replaceFile(dir.get(), kSlotFileName, encodeSlotFile(stored));
}

std::string FilePresetStore::takeDamageReport() {
    const std::string report = damageReportText(damage);
    damage = DamageTally();
    return report;
}

} // namespace kel::presets
