#include "carving/memory_source.h"

#include <cstring>

namespace quarry::carving {

bool MemorySource::readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) {
    const std::uint64_t sectors = sectorCount();
    if (first > sectors || count > sectors - first) {
        return false;
    }
    std::memcpy(out, bytes_.data() + first * kSectorSize, count * kSectorSize);
    return true;
}

} // namespace quarry::carving
