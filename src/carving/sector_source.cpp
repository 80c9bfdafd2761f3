#include "carving/sector_source.h"

#include <cstring>

namespace quarry::carving {

ZeroFilledRead readSectorsOrZeros(SectorSource& source, std::uint64_t first, std::size_t count,
                                  std::uint8_t* out) {
    ZeroFilledRead read;
    if (count == 0 || source.readSectors(first, count, out)) {
        return read;
    }
    for (std::size_t k = 0; k < count; ++k) {
        std::uint8_t* sector = out + k * kSectorSize;
        if (read.lost || !source.readSectors(first + k, 1, sector)) {
            std::memset(sector, 0, kSectorSize);
            ++read.unreadable;
            read.lost = read.lost || !source.reposition(first + k + 1);
        }
    }
    return read;
}

} // namespace quarry::carving
