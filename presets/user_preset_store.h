// Where the user presets and the quick-slot names live, shared by every instance of both
// plug-ins in every process: the registry of the current user on Windows, files of the user's on
// Linux. The bank reaches them only through this; what a store holds may have been written by
// anyone, so the bank checks every record it reads.
//
// User-interface thread only. Nothing here waits for another instance.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kel::presets {

inline constexpr int kQuickSlotCount = 4;

class UserPresetStore {
public:
    virtual ~UserPresetStore() = default;

    // Opens the user presets (again), and arms the change notification: any change made after
    // this call, by any instance in any process this one included, makes changed() true. False
    // when the presets cannot be reached; until the next successful reopen, presetNames() is
    // empty and every other preset operation fails.
    virtual bool reopen() = 0;
    virtual bool isOpen() const = 0;
    // True once the user presets changed after the last reopen(). Never waits.
    virtual bool changed() = 0;

    // The names of the stored presets whose records are exactly recordSize bytes (the plug-in's
    // own), in the order the store keeps them, which is the order the slot menus list them in.
    // Names of more than 64 characters are left out; so is anything the store cannot read.
    virtual std::vector<std::string> presetNames(std::size_t recordSize) = 0;
    // The record stored under name: false when there is none, it is longer than capacity bytes,
    // or it cannot be read.
    virtual bool readPreset(const std::string& name, std::size_t capacity,
                            std::vector<std::uint8_t>& record) = 0;
    // Stores record under name, replacing what was stored under it, of either plug-in.
    virtual bool writePreset(const std::string& name, const std::vector<std::uint8_t>& record) = 0;
    virtual bool deletePreset(const std::string& name) = 0;
    // Whether a preset of either plug-in is stored under name.
    virtual bool holdsPreset(const std::string& name) = 0;

    // The quick-slot names P1 to P4, shared by both plug-ins: false when they cannot be read at
    // all; a slot that holds no name comes back empty (std::nullopt). Names are at most 64
    // characters.
    using SlotNames = std::array<std::optional<std::string>, kQuickSlotCount>;
    virtual bool readSlotNames(SlotNames& names) = 0;
    virtual bool writeSlotNames(const std::array<std::string, kQuickSlotCount>& names) = 0;

    // What the store found damaged and set aside since the last call (a file it could not read,
    // kept under another name), for the editor to tell the user; empty when nothing was.
    virtual std::string takeDamageReport() { return {}; }
};

// This platform's store, for the bank to use unless it is given another.
std::unique_ptr<UserPresetStore> makeUserPresetStore();

} // namespace kel::presets
