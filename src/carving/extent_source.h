#pragma once

#include "carving/sector_source.h"

#include <cstdint>
#include <vector>

namespace quarry::carving {

// A run of consecutive sectors on a medium.
struct SectorExtent {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// A file stored in pieces, seen as one contiguous source: its extents on the medium, in file
// order. A file-system trace or a fragment search says where the pieces lie; the saver and the
// format checks then read the whole file through this as through any medium. Extents are
// clipped to the medium, so a hostile list can never make a read leave it.
class ExtentSource final : public SectorSource {
public:
    ExtentSource(SectorSource& medium, std::vector<SectorExtent> extents);

    std::uint64_t sectorCount() const override { return total_; }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override;

    const std::vector<SectorExtent>& extents() const { return extents_; }

private:
    SectorSource& medium_;
    std::vector<SectorExtent> extents_;
    std::uint64_t total_ = 0;
};

} // namespace quarry::carving
