#include "faulty_source.h"

namespace quarry::carving {

namespace {

bool anyIn(const std::set<std::uint64_t>& sectors, std::uint64_t first, std::size_t count) {
    const auto found = sectors.lower_bound(first);
    return found != sectors.end() && *found - first < count;
}

} // namespace

bool FaultySource::readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) {
    if (anyIn(badSectors_, first, count)) {
        return false;
    }
    return inner_.readSectors(first, count, out);
}

bool FaultySource::reposition(std::uint64_t sector) {
    return badPositions_.count(sector) == 0 && inner_.reposition(sector);
}

} // namespace quarry::carving
