#include "carving/extent_source.h"

#include <algorithm>

namespace quarry::carving {

ExtentSource::ExtentSource(SectorSource& medium, std::vector<SectorExtent> extents) : medium_(medium) {
    const std::uint64_t end = medium.sectorCount();
    for (SectorExtent extent : extents) {
        if (extent.first >= end) {
            continue;
        }
        extent.count = std::min(extent.count, end - extent.first);
        if (extent.count > 0) {
            extents_.push_back(extent);
            total_ += extent.count;
        }
    }
}

bool ExtentSource::readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) {
    if (first > total_ || count > total_ - first) {
        return false;
    }
    std::uint64_t skipped = 0;
    for (const SectorExtent& extent : extents_) {
        if (count == 0) {
            break;
        }
        if (first >= skipped + extent.count) {
            skipped += extent.count;
            continue;
        }
        const std::uint64_t offset = first - skipped;
        const std::size_t part =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, extent.count - offset));
        if (!medium_.readSectors(extent.first + offset, part, out)) {
            return false;
        }
        out += part * kSectorSize;
        first += part;
        count -= part;
        skipped += extent.count;
    }
    return count == 0;
}

} // namespace quarry::carving
