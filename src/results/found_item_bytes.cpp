#include "results/found_item_bytes.h"

#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/validated_saver.h"

#include <algorithm>

namespace quarry::results {

std::vector<std::uint8_t> readFoundItem(carving::SectorSource& source, std::string_view name,
                                        std::uint64_t first, std::uint64_t end, std::uint64_t maxBytes) {
    const std::uint64_t last = std::min({end, source.sectorCount(), first + maxBytes / kSectorSize});
    if (first >= last)
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>((last - first) * kSectorSize));
    carving::readSectorsOrZeros(source, first, static_cast<std::size_t>(last - first), bytes.data());
    if (auto whole = wholePhotoFromMedium(name, bytes, first, source, maxBytes))
        return std::move(*whole);
    return bytes;
}

} // namespace quarry::results
