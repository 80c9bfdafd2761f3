#pragma once

#include "carving/sector_source.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quarry::carving {

// A medium held in memory; its size need not be a multiple of 512.
class MemorySource final : public SectorSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint64_t sectorCount() const override { return (bytes_.size() + kSectorSize - 1) / kSectorSize; }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override;

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace quarry::carving
