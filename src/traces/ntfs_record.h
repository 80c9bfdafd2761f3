#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quarry::traces {

// One run of an NTFS run list: `clusters` clusters from cluster `lcn` of the volume.
struct NtfsRun {
    std::uint64_t lcn = 0;
    std::uint64_t clusters = 0;
};

// What an MFT record says of its file.
struct MftRecord {
    std::optional<std::uint32_t> number; // the record's own number, when it keeps it
    std::string name;
    std::uint64_t parent = 0; // the parent folder's record number
    std::optional<std::int64_t> mtime;
    bool folder = false;
    bool deleted = false;
    bool hasData = false; // an unnamed $DATA attribute that can be read as it lies
    std::uint64_t bytes = 0;
    std::vector<NtfsRun> runs;          // non-resident data
    std::vector<std::uint8_t> resident; // resident data
};

// The size of the record starting with "FILE" in `sector`, when it is one the reader takes.
std::optional<std::size_t> mftRecordSize(const std::uint8_t* sector);

// Reads a whole record, its fix-ups applied to `record` first; nothing when they do not hold
// or the record has no name.
std::optional<MftRecord> readMftRecord(std::span<std::uint8_t> record);

} // namespace quarry::traces
