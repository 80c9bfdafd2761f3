#pragma once

#include "carving/extent_source.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results::fragments {

// What a file-system trace may tell of the file that starts at a sector.
struct FragmentHint {
    std::optional<std::uint64_t> knownBytes;     // its size, from a directory entry
    std::optional<std::uint32_t> clusterSectors; // the volume's cluster size
};

struct SearchLimits {
    // How far past the end of the first piece the second may start. A deleted picture's clusters
    // are reused by the next files written, so the gap holds the few files written between; this
    // covers two or three camera pictures and costs at most one sequential read of it.
    std::uint64_t maxGapBytes = 16ULL << 20;
    // Joins decoded at most, each a decode of the whole file: about a second for large pictures.
    std::uint32_t maxCandidates = 48;
    // Longest picture looked at.
    std::uint64_t maxFileBytes = 256ULL << 20;
};

struct FragmentSearch {
    std::vector<carving::SectorExtent> pieces; // empty when no join decodes
    std::uint64_t bytes = 0;                   // the joined file's length
    std::uint32_t candidates = 0;              // joins decoded
    bool capped = false;                       // stopped by maxCandidates
};

// Gap carving for a JPEG in two pieces: it decodes from `startSector` up to the first fault; the
// first piece ends at a cluster boundary before it, the second starts at a cluster boundary
// after it (cluster sizes of 4 to 64 sectors, or single sectors, when the hint names none). A
// join is kept when it decodes without a fault to its end-of-image and, with a known size,
// ends exactly there. Sectors that cannot start the rest of entropy-coded data (zeros, a JPEG
// header, a byte 0xFF before anything but a restart, stuffing or end marker) are skipped
// unread by the decoder, and so is a whole JPEG found in the gap.
FragmentSearch findSecondPiece(carving::SectorSource& medium, std::uint64_t startSector,
                               const FragmentHint& hint = {}, const SearchLimits& limits = {});

} // namespace quarry::results::fragments
