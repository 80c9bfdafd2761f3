#include "carving/memory_source.h"

#include <algorithm>
#include <cstring>

namespace quarry::carving {

bool MemorySource::readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) {
    const std::uint64_t sectors = sectorCount();
    if (first > sectors || count > sectors - first) {
        return false;
    }
    const std::size_t offset = static_cast<std::size_t>(first * kSectorSize);
    const std::size_t wanted = count * kSectorSize;
    const std::size_t held = std::min(wanted, bytes_.size() - std::min(offset, bytes_.size()));
    std::memcpy(out, bytes_.data() + offset, held);
    std::memset(out + held, 0, wanted - held);
    return true;
}

} // namespace quarry::carving
