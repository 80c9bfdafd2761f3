#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

// A found item's bytes read back from the medium, sectors [first, end), never more than
// `maxBytes` (rounded down to whole sectors) nor past the medium's end; sectors that cannot be
// read are zeros. A photo that its item holds only the start of comes back whole when the
// medium holds the rest within `maxBytes`. Empty when nothing of it lies on the medium.
std::vector<std::uint8_t> readFoundItem(carving::SectorSource& source, std::string_view name,
                                        std::uint64_t first, std::uint64_t end, std::uint64_t maxBytes);

// The length in bytes of a found file: its real length when its format's check finds its end,
// which may lie past `end`, within `limitBytes` and the medium; else that of sectors [first, end)
// on the medium.
std::uint64_t foundItemLength(carving::SectorSource& source, std::string_view name, std::uint64_t first,
                              std::uint64_t end, std::uint64_t limitBytes);

} // namespace quarry::results
