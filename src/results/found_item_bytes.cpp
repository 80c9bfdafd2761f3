#include "results/found_item_bytes.h"

#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/saver.h"
#include "results/validated_saver.h"
#include "results/validators.h"

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

std::uint64_t foundItemLength(carving::SectorSource& source, std::string_view name, std::uint64_t first,
                              std::uint64_t end, std::uint64_t limitBytes) {
    const std::uint64_t sectors = source.sectorCount();
    if (first >= sectors || first >= end)
        return 0;
    const std::uint64_t itemBytes = (std::min(end, sectors) - first) * kSectorSize;
    const std::uint64_t toMediumEnd = (sectors - first) * kSectorSize;
    const FileEnd found = findFileEnd(source, first, itemBytes, std::string(itemExtension(name)),
                                      std::min(toMediumEnd, std::max(itemBytes, limitBytes)));
    return found.validated && found.bytes > 0 ? found.bytes : itemBytes;
}

} // namespace quarry::results
