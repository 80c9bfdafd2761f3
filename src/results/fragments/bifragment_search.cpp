#include "results/fragments/bifragment_search.h"

#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/fragments/jpeg_decode.h"
#include "results/validators.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <vector>

namespace quarry::results::fragments {
namespace {

using carving::SectorExtent;
using carving::SectorSource;

constexpr std::array<std::uint32_t, 6> kClusterSizes = {64, 32, 16, 8, 4, 1};
// A decoder meets a fault within a few hundred bytes of foreign data (a marker or a bad code);
// with a known size, first pieces ending this far before the fault are tried too.
constexpr std::uint64_t kFaultLagBytes = 4096;
// libjpeg gives its reading position back after each whole block of codes, so the fault it
// reports may lie up to a block's compressed bytes before the foreign data that caused it.
constexpr std::uint64_t kFaultLeadBytes = 2048;
// Without clusters a file may break at any sector; only a short gap is tried then, as every
// sector of the window would be a start.
constexpr std::uint64_t kSectorGapBytes = 256 * 1024;

std::uint64_t sectorsFor(std::uint64_t bytes) {
    return (bytes + kSectorSize - 1) / kSectorSize;
}

// Sectors read in blocks and kept a while: the search walks forward through the gap while it
// looks ahead for the end of each candidate.
class SectorCache {
public:
    explicit SectorCache(SectorSource& source) : source_(source) {}

    const std::uint8_t* sector(std::uint64_t n) {
        if (n >= source_.sectorCount())
            return nullptr;
        const std::uint64_t first = n / kBlockSectors * kBlockSectors;
        auto it =
            std::find_if(blocks_.begin(), blocks_.end(), [&](const Block& b) { return b.first == first; });
        if (it == blocks_.end()) {
            if (blocks_.size() >= kBlocksKept)
                blocks_.erase(blocks_.begin());
            Block block{first, std::vector<std::uint8_t>(kBlockSectors * kSectorSize)};
            const auto count =
                static_cast<std::size_t>(std::min(kBlockSectors, source_.sectorCount() - first));
            if (!source_.readSectors(first, count, block.bytes.data()))
                block.bytes.clear();
            it = blocks_.insert(blocks_.end(), std::move(block));
        }
        return it->bytes.empty() ? nullptr : it->bytes.data() + (n - first) * kSectorSize;
    }

    std::optional<std::uint8_t> byte(std::uint64_t offset) {
        const std::uint8_t* s = sector(offset / kSectorSize);
        return s ? std::optional(s[offset % kSectorSize]) : std::nullopt;
    }

private:
    static constexpr std::uint64_t kBlockSectors = 256;
    static constexpr std::size_t kBlocksKept = 4;
    struct Block {
        std::uint64_t first;
        std::vector<std::uint8_t> bytes;
    };
    SectorSource& source_;
    std::vector<Block> blocks_;
};

// Whether entropy-coded data could go on from this sector's first byte.
bool canContinueScan(const std::uint8_t* s) {
    if (std::all_of(s, s + kSectorSize, [](std::uint8_t b) { return b == 0; }))
        return false;
    if (s[0] == 0xFF && s[1] == 0xD8)
        return false;
    for (std::size_t i = 0; i + 1 < kSectorSize; ++i) {
        if (s[i] != 0xFF)
            continue;
        const std::uint8_t next = s[i + 1];
        if (next == 0xD9)
            return true;
        if (next != 0x00 && next != 0xFF && (next < 0xD0 || next > 0xD7))
            return false;
    }
    return true;
}

bool startsJpeg(const std::uint8_t* s) {
    return s[0] == 0xFF && s[1] == 0xD8 && s[2] == 0xFF;
}

struct FirstEnd {
    std::uint64_t sector; // first sector past the first piece
    // The smallest cluster size that puts it there (0: only single sectors do): the second piece
    // starts on the same grid.
    std::uint32_t step;
    // With no cluster size known, any end may also be a break between sectors, with a short gap.
    bool betweenSectors;

    bool pairs(std::uint64_t s2, std::uint64_t maxGapBytes) const {
        if (s2 <= sector)
            return false;
        const std::uint64_t gap = s2 - sector;
        return (betweenSectors && gap * kSectorSize <= kSectorGapBytes) ||
               (step > 0 && gap % step == 0 && gap * kSectorSize <= maxGapBytes);
    }
};

// Ends of the first piece worth trying, closest to the fault first.
std::vector<FirstEnd> firstEnds(std::uint64_t start, const JpegDecode& first, const FragmentHint& hint) {
    const std::uint64_t faultSectors = (first.faultAt + kFaultLeadBytes) / kSectorSize;
    const std::uint64_t minSectors = std::max<std::uint64_t>(1, sectorsFor(first.scanStart));
    std::vector<std::uint32_t> sizes(kClusterSizes.begin(), kClusterSizes.end());
    if (hint.clusterSectors && *hint.clusterSectors > 0)
        sizes = {*hint.clusterSectors};
    const std::uint64_t lagSectors = hint.knownBytes ? kFaultLagBytes / kSectorSize : 0;
    std::map<std::uint64_t, std::uint32_t, std::greater<>> ends;
    for (const std::uint32_t size : sizes) {
        for (std::uint64_t k = faultSectors / size * size; k >= minSectors; k -= size) {
            auto& step = ends.emplace(start + k, 0).first->second;
            if ((size > 1 || hint.clusterSectors) && (step == 0 || size < step))
                step = size;
            if (k < size || faultSectors - (k - size) > lagSectors)
                break;
        }
    }
    std::vector<FirstEnd> out;
    for (const auto& [sector, step] : ends)
        out.push_back({sector, step, !hint.clusterSectors});
    return out;
}

class Search {
public:
    Search(SectorSource& medium, std::uint64_t start, const FragmentHint& hint, const SearchLimits& limits)
        : medium_(medium), start_(start), hint_(hint), limits_(limits), cache_(medium) {}

    FragmentSearch run() {
        carving::ExtentSource contiguous(medium_, {{start_, sectorsFor(limits_.maxFileBytes)}});
        const JpegDecode first = decodeJpeg(contiguous, limits_.maxFileBytes);
        if (first.whole || first.scanStart == 0)
            return result_;
        const auto ends = firstEnds(start_, first, hint_);
        if (ends.empty())
            return result_;
        const std::uint64_t faultSector = start_ + first.faultAt / kSectorSize;
        const std::uint64_t walkEnd =
            std::min(medium_.sectorCount(), ends.front().sector + sectorsFor(limits_.maxGapBytes) + 1);
        for (std::uint64_t s2 = ends.back().sector; s2 < walkEnd && !result_.capped; ++s2) {
            const std::uint8_t* sector = cache_.sector(s2);
            if (sector == nullptr)
                continue;
            if (startsJpeg(sector)) {
                s2 += wholePictureSectors(s2);
                continue;
            }
            if (s2 <= faultSector || !canContinueScan(sector))
                continue;
            for (const FirstEnd& end : ends) {
                if (end.pairs(s2, limits_.maxGapBytes) && tryJoin(end.sector, s2))
                    return result_;
                if (result_.capped)
                    break;
            }
        }
        return result_;
    }

private:
    // Sectors past `sector` taken by a whole picture that starts there, which the second piece
    // cannot start inside; 0 when none validates.
    std::uint64_t wholePictureSectors(std::uint64_t sector) {
        const auto end = findFileEnd(medium_, sector, 0, "JPG", limits_.maxFileBytes);
        return end.validated && end.bytes > 0 ? sectorsFor(end.bytes) - 1 : 0;
    }

    bool endsWithEndOfImage(std::uint64_t endByte) {
        return cache_.byte(endByte - 2) == 0xFF && cache_.byte(endByte - 1) == 0xD9;
    }

    bool tryJoin(std::uint64_t firstEnd, std::uint64_t s2) {
        const std::uint64_t firstSectors = firstEnd - start_;
        const std::uint64_t firstBytes = firstSectors * kSectorSize;
        if (firstSectors >= sectorsFor(limits_.maxFileBytes))
            return false;
        std::uint64_t restSectors = sectorsFor(limits_.maxFileBytes) - firstSectors;
        if (hint_.knownBytes) {
            if (*hint_.knownBytes <= firstBytes ||
                !endsWithEndOfImage(s2 * kSectorSize + *hint_.knownBytes - firstBytes))
                return false;
            restSectors = sectorsFor(*hint_.knownBytes - firstBytes);
        }
        carving::ExtentSource join(medium_, {{start_, firstSectors}, {s2, restSectors}});
        const std::uint64_t joinBytes = join.sectorCount() * kSectorSize;
        const auto end = findFileEnd(join, 0, 0, "JPG", joinBytes);
        if (!end.validated || end.bytes <= firstBytes || (hint_.knownBytes && end.bytes != *hint_.knownBytes))
            return false;
        if (result_.candidates >= limits_.maxCandidates) {
            result_.capped = true;
            return false;
        }
        ++result_.candidates;
        if (!decodeJpeg(join, end.bytes).whole)
            return false;
        result_.pieces = {{start_, firstSectors}, {s2, sectorsFor(end.bytes - firstBytes)}};
        result_.bytes = end.bytes;
        return true;
    }

    SectorSource& medium_;
    std::uint64_t start_;
    FragmentHint hint_;
    SearchLimits limits_;
    SectorCache cache_;
    FragmentSearch result_;
};

} // namespace

FragmentSearch findSecondPiece(SectorSource& medium, std::uint64_t startSector, const FragmentHint& hint,
                               const SearchLimits& limits) {
    if (startSector >= medium.sectorCount())
        return {};
    return Search(medium, startSector, hint, limits).run();
}

} // namespace quarry::results::fragments
