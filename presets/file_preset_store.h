// The user presets and quick-slot names on Linux: files in one folder that every instance of
// both plug-ins in every process shares (presets/preset_files_format.h has the layout).
//
// - One file per preset: a damaged, cut-short or foreign file costs no other preset, and every
//   write or delete is one rename or unlink, so no other file has to agree with it. The order
//   the menus list is the order stamp each file carries.
// - Writes go to a temporary file in the folder, are flushed to the disk and renamed over the
//   old file, under an exclusive flock on ".lock" in the folder (reached through ".queue", so
//   that instances writing in turn take turns): a reader sees the old file or the new one,
//   never a part, and two writers in two processes lose nothing. A lock another instance holds
//   is waited for at most kLockWaitMilliseconds; the operation then fails. Reading takes no
//   lock, but to set a damaged file aside.
// - A file of ours the store cannot read is moved to "<file>.damaged" (or ".damaged-2", ...) in
//   the same folder, never over another file, and reported once through takeDamageReport().
//   Files that do not carry our names are never touched; files of a later format version are
//   left alone and not listed.
// - Changes reach changed() through inotify on the folder (or, while it does not exist, on its
//   nearest existing parent), read without waiting. Should the system give the store no inotify
//   instance, changed() answers true a second after each reopen instead, so nothing is missed.
//
// User-interface thread only; each store object holds its own descriptors, which its
// destructor closes.
#pragma once

#include <chrono>
#include <set>
#include <string>

#include "presets/preset_files_format.h"
#include "presets/user_preset_store.h"

namespace kel::presets {

inline constexpr int kLockWaitMilliseconds = 200;

// $XDG_CONFIG_HOME/Sonadrix/Orvalle Vol.2, or ~/.config/... when that is unset, empty or not an
// absolute path; empty when no home folder is known either.
std::string defaultPresetFolder();

class FilePresetStore final : public UserPresetStore {
public:
    // folder: an absolute path; it and its parents are created on the first write. The store is
    // closed until reopen().
    explicit FilePresetStore(std::string folder);
    ~FilePresetStore() override;
    FilePresetStore(const FilePresetStore&) = delete;
    FilePresetStore& operator=(const FilePresetStore&) = delete;

    // False when the folder is not an absolute path, or exists but cannot be opened as a folder.
    // A folder that does not exist yet holds no presets and counts as open.
    bool reopen() override;
    bool isOpen() const override { return opened; }
    bool changed() override;

    std::vector<std::string> presetNames(std::size_t recordSize) override;
    bool readPreset(const std::string& name, std::size_t capacity,
                    std::vector<std::uint8_t>& record) override;
    // Refuses names that are not storable (1 to 64 bytes, no zero byte) and records longer than
    // kMaxStoredRecordSize. A preset that is replaced keeps its place in the list.
    bool writePreset(const std::string& name, const std::vector<std::uint8_t>& record) override;
    bool deletePreset(const std::string& name) override;
    bool holdsPreset(const std::string& name) override;

    // A damaged slot comes back without a name (the others as stored) and the file is set
    // aside; a file of a later format version cannot be read (false).
    bool readSlotNames(SlotNames& names) override;
    // An empty string stores a slot without a name; any other name must be storable, else
    // nothing is written.
    bool writeSlotNames(const std::array<std::string, kQuickSlotCount>& names) override;

    std::string takeDamageReport() override;

private:
    enum class Found { Absent, Valid, NewerFormat, Damaged, Failed };
    struct PresetFile {
        Found found = Found::Absent;
        PresetFileContents contents;
    };

    // The preset file of that name in the open folder dirFd.
    static PresetFile examinePresetFile(int dirFd, const std::string& fileName);
    // The slot file; names holds what could be read of it.
    static Found examineSlotFile(int dirFd, SlotNames& names);
    // The preset file of a storable name, a damaged one set aside; Absent for other names.
    PresetFile findPreset(const std::string& name);
    // The order stamp of a new preset; the lock must be held.
    std::optional<std::uint64_t> nextOrder(int dirFd);
    // Takes the lock, and moves the file (a preset file or the slot file) aside if it is still
    // damaged.
    void setAside(int dirFd, const std::string& fileName);
    // The same with the lock held: false when a damaged file is still in the way.
    bool setAsideLocked(int dirFd, const std::string& fileName);
    void closeWatch();
    void armWatch();
    void readEvents();

    std::string folder;
    bool opened = false;
    // inotify: the folder's watch, or one on its nearest existing parent waiting for `awaited`
    // (the next folder of the path) to appear.
    int notifyFd = -1;
    int folderWatch = -1;
    int parentWatch = -1;
    std::string awaited;
    bool changeSeen = false;
    std::chrono::steady_clock::time_point reopenedAt;
    DamageTally damage;
    std::set<std::string> leftInPlace; // reported already; not again
};

} // namespace kel::presets
