#include "carving/memory_source.h"

#include <cstring>

namespace quarry::carving {

namespace {

class MemoryView final : public SectorView {
public:
    explicit MemoryView(const std::uint8_t* data) : data_(data) {}
    const std::uint8_t* data() const override { return data_; }

private:
    const std::uint8_t* data_;
};

} // namespace

bool MemorySource::readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) {
    const std::uint64_t sectors = sectorCount();
    if (first > sectors || count > sectors - first) {
        return false;
    }
    std::memcpy(out, bytes_.data() + first * kSectorSize, count * kSectorSize);
    return true;
}

std::unique_ptr<SectorView> MemorySource::mapSectors(std::uint64_t first, std::size_t count) {
    const std::uint64_t sectors = sectorCount();
    if (first > sectors || count > sectors - first) {
        return nullptr;
    }
    return std::make_unique<MemoryView>(bytes_.data() + first * kSectorSize);
}

} // namespace quarry::carving
