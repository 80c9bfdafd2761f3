#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

// Where a found file really ends. `bytes` counts from the item's first byte. `type` is what a
// verified file of a container that several types share really is ("XLS", "DOCX", "MOV"), as an
// upper-case extension; empty for other formats or when its structure does not say.
struct FileEnd {
    bool validated;
    std::uint64_t bytes;
    std::string type;
};

// Reads at most `limitBytes` from `source` starting at sector `startSector` and finds the file's real
// end for the given extension (case-insensitive; "JPG", "JPEG", "MOV", "DOCX"...). `itemBytes` is the
// item's carved length. An unknown type or a broken structure gives {false, itemBytes}. Never reads
// outside the source and never throws; reads at most 512 MiB of the medium, in sector-aligned blocks.
FileEnd findFileEnd(carving::SectorSource& source, std::uint64_t startSector, std::uint64_t itemBytes,
                    const std::string& extension, std::uint64_t limitBytes);

// The same over bytes already in memory (photo items), the source being those bytes only.
FileEnd findFileEnd(std::span<const std::uint8_t> bytes, const std::string& extension);

bool hasValidator(const std::string& extension);

// Every extension that has a validator, in upper case.
std::vector<std::string_view> validatorExtensions();

} // namespace quarry::results
