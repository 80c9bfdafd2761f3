#include "carving/faulty_source.h"

namespace quarry::carving {

bool FaultySource::readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) {
    ++readCalls_;
    sectorsRequested_ += count;
    const auto bad = badSectors_.lower_bound(first);
    if (bad != badSectors_.end() && *bad - first < count) {
        return false;
    }
    return inner_.readSectors(first, count, out);
}

bool FaultySource::reposition(std::uint64_t sector) {
    return badPositions_.count(sector) == 0 && inner_.reposition(sector);
}

} // namespace quarry::carving
