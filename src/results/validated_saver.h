#pragma once

#include "results/saver.h"
#include "results/validators.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

// Longest file a container's own length may carry past its carved item.
inline constexpr std::uint64_t kLongestValidatedFile = 4ULL << 30;

struct SavedItem {
    SaveResult save;
    bool validated = false; // the saved length is the file's real end, found by its validator
};

// Saves found items as whole files: up to the real end that the item's format validator finds,
// or, when the structure can't be followed, the item as it was carved.
class ValidatedSaver {
public:
    // `source` is a read-only handle of the scanned medium of its own (so the scan's reads stay
    // sequential); without it, items are saved from their bytes only.
    ValidatedSaver(ItemSaver& saver, carving::SectorSource* source) : saver_(saver), source_(source) {}

    ItemSaver& saver() { return saver_; }

    // A photo item, from its bytes, which begin at sector `firstSector`; `unreadableSectors` of
    // them read as zeros in the scan. A photo whose item was cut short (by a picture embedded
    // in it that starts on a sector boundary, or by its record's size limit) is measured again
    // on the medium, like a sector item; so is a damaged one, so that the sectors counted are
    // exactly those of the saved file.
    SavedItem savePhoto(std::string_view name, std::span<const std::uint8_t> bytes, std::uint64_t firstSector,
                        std::uint64_t unreadableSectors = 0);

    // A video or raw-file item, sectors [start, end): the validator reads the medium from
    // `start`, past `end` if the file says so, up to the medium's end or
    // kLongestValidatedFile.
    SavedItem saveSectors(std::string_view name, std::uint64_t start, std::uint64_t end);

private:
    FileEnd measureOnMedium(std::string_view name, std::uint64_t start, std::uint64_t itemBytes);

    ItemSaver& saver_;
    carving::SectorSource* source_;
};

} // namespace quarry::results
