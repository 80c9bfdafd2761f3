#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quarry::traces {

// A file or folder as an exFAT entry set (file, stream extension and name entries) gives it.
struct ExFatEntry {
    std::string name;
    std::uint32_t firstCluster = 0;
    std::uint64_t bytes = 0;
    std::optional<std::int64_t> mtime;
    bool folder = false;
    bool deleted = false;
};

// The entry set starting at `p` when its checksum holds (a deleted set's too), given the
// `available` bytes from `p` on; `length` is then the set's size in bytes.
std::optional<ExFatEntry> readExFatEntrySet(const std::uint8_t* p, std::size_t available,
                                            std::size_t& length);

} // namespace quarry::traces
