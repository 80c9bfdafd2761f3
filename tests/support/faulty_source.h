#pragma once

#include "carving/sector_source.h"

#include <cstdint>
#include <set>

namespace quarry::carving {

// Wraps a source and fails the reads that cover chosen sectors, as a medium with bad
// sectors does; it can also refuse to be repositioned. For tests.
class FaultySource final : public SectorSource {
public:
    explicit FaultySource(SectorSource& inner) : inner_(inner) {}

    void failSector(std::uint64_t sector) { badSectors_.insert(sector); }
    // Repositioning to `sector` after a failed read fails.
    void failRepositionTo(std::uint64_t sector) { badPositions_.insert(sector); }

    std::uint64_t sectorCount() const override { return inner_.sectorCount(); }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override;
    bool reposition(std::uint64_t sector) override;

private:
    SectorSource& inner_;
    std::set<std::uint64_t> badSectors_;
    std::set<std::uint64_t> badPositions_;
};

} // namespace quarry::carving
