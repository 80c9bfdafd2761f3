#include "results/validators/formats.h"

#include <array>
#include <vector>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint64_t kHeaderDifatOffset = 0x4C;

struct Header {
    std::uint64_t sectorBytes = 0;
    std::uint32_t fatSectors = 0;
    std::uint32_t firstDifatSector = 0;
    std::uint32_t difatSectors = 0;
};

std::optional<Header> readHeader(ByteReader& in) {
    const auto byteOrder = in.u16le(0x1C);
    const auto sectorShift = in.u16le(0x1E);
    const auto fatSectors = in.u32le(0x2C);
    const auto firstDifat = in.u32le(0x44);
    const auto difatSectors = in.u32le(0x48);
    if (!in.matches(0, kSignature) || byteOrder != 0xFFFE || (sectorShift != 9 && sectorShift != 12) ||
        !fatSectors || *fatSectors == 0 || !firstDifat || !difatSectors) {
        return std::nullopt;
    }
    return Header{1ULL << *sectorShift, *fatSectors, *firstDifat, *difatSectors};
}

std::uint64_t sectorOffset(const Header& header, std::uint32_t sector) {
    return (static_cast<std::uint64_t>(sector) + 1) * header.sectorBytes;
}

// Sector numbers of the allocation table: 109 in the header, the rest in a chain of DIFAT sectors.
std::optional<std::vector<std::uint32_t>> fatSectorList(ByteReader& in, const Header& header) {
    const std::uint64_t perSector = header.sectorBytes / 4 - 1;
    // No more table sectors than it takes to describe every readable sector.
    const std::uint64_t maxSectors = in.size() / (header.sectorBytes * (header.sectorBytes / 4)) + 1;
    if (header.fatSectors > maxSectors || header.difatSectors > maxSectors) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> list;
    list.reserve(header.fatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries && list.size() < header.fatSectors; ++i) {
        const auto sector = in.u32le(kHeaderDifatOffset + 4ULL * i);
        if (!sector) {
            return std::nullopt;
        }
        list.push_back(*sector);
    }
    std::uint32_t difat = header.firstDifatSector;
    for (std::uint32_t d = 0; d < header.difatSectors && list.size() < header.fatSectors; ++d) {
        if (difat > kMaxRegularSector) {
            return std::nullopt;
        }
        const std::uint64_t base = sectorOffset(header, difat);
        for (std::uint64_t i = 0; i < perSector && list.size() < header.fatSectors; ++i) {
            const auto sector = in.u32le(base + 4 * i);
            if (!sector) {
                return std::nullopt;
            }
            list.push_back(*sector);
        }
        const auto next = in.u32le(base + 4 * perSector);
        if (!next) {
            return std::nullopt;
        }
        difat = *next;
    }
    if (list.size() != header.fatSectors) {
        return std::nullopt;
    }
    return list;
}

} // namespace

std::optional<std::uint64_t> compoundFileEnd(ByteReader& in, std::uint64_t) {
    const auto header = readHeader(in);
    if (!header) {
        return std::nullopt;
    }
    const auto fat = fatSectorList(in, *header);
    if (!fat) {
        return std::nullopt;
    }
    const std::uint64_t perSector = header->sectorBytes / 4;
    const std::uint64_t tableEntries = perSector * fat->size();
    std::optional<std::uint64_t> highestUsed;
    std::vector<std::uint8_t> entries(static_cast<std::size_t>(header->sectorBytes));
    for (std::size_t k = 0; k < fat->size(); ++k) {
        const std::uint32_t sector = (*fat)[k];
        if (sector > kMaxRegularSector || !in.read(sectorOffset(*header, sector), entries)) {
            return std::nullopt;
        }
        for (std::uint64_t i = 0; i < perSector; ++i) {
            const std::size_t at = static_cast<std::size_t>(4 * i);
            const std::uint32_t value = static_cast<std::uint32_t>(entries[at]) |
                                        static_cast<std::uint32_t>(entries[at + 1]) << 8 |
                                        static_cast<std::uint32_t>(entries[at + 2]) << 16 |
                                        static_cast<std::uint32_t>(entries[at + 3]) << 24;
            if (value == kFreeSector) {
                continue;
            }
            const bool mark = value == kEndOfChain || value == kFatSector || value == kDifatSector;
            if (!mark && value >= tableEntries) {
                return std::nullopt;
            }
            highestUsed = k * perSector + i;
        }
    }
    // Every allocation-table sector must be marked as one in the table itself.
    for (const std::uint32_t sector : *fat) {
        const std::uint64_t entry = sector;
        if (entry >= tableEntries || in.u32le(sectorOffset(*header, (*fat)[entry / perSector]) +
                                              4 * (entry % perSector)) != kFatSector) {
            return std::nullopt;
        }
    }
    if (!highestUsed) {
        return std::nullopt;
    }
    return (*highestUsed + 2) * header->sectorBytes;
}

} // namespace quarry::results::validators
