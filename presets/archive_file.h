// The archive files the bank exports into and imports from, on this platform's file system: a
// file is open while its object lives and closed when it goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "presets/preset_format.h"

namespace kel::presets {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when not every byte was written.
    virtual bool write(const std::uint8_t* data, std::size_t size) = 0;
};

// The file at path for reading, or nullptr when it cannot be opened.
std::unique_ptr<ByteSource> openArchiveFile(const std::string& path);
// A new file at path, replacing one that is there, or nullptr when it cannot be made.
std::unique_ptr<ByteSink> createArchiveFile(const std::string& path);

} // namespace kel::presets
