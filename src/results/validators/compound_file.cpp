#include "results/validators/formats.h"

#include <array>
#include <string_view>
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

// The allocation-table entry of `sector`: the next sector of its chain.
std::optional<std::uint32_t> nextSector(ByteReader& in, const Header& header,
                                        const std::vector<std::uint32_t>& fat, std::uint32_t sector) {
    const std::uint64_t perSector = header.sectorBytes / 4;
    const std::uint64_t table = sector / perSector;
    if (table >= fat.size() || fat[table] > kMaxRegularSector) {
        return std::nullopt;
    }
    return in.u32le(sectorOffset(header, fat[table]) + 4 * (sector % perSector));
}

// A directory entry's name, its UTF-16 code units narrowed to ASCII ('?' for the rest).
std::string entryName(ByteReader& in, std::uint64_t entry) {
    const auto nameBytes = in.u16le(entry + 0x40);
    std::string name;
    if (!nameBytes || *nameBytes < 2 || *nameBytes > 64) {
        return name;
    }
    for (std::uint64_t i = 0; i + 2 < *nameBytes; i += 2) {
        const auto unit = in.u16le(entry + i);
        if (!unit) {
            break;
        }
        name += *unit < 0x80 ? static_cast<char>(*unit) : '?';
    }
    return name;
}

struct StreamType {
    std::string_view stream; // a stream or storage name, or the start of one
    bool prefix;
    const char* type;
};

// The stream that each application keeps its document in; the first one present decides.
constexpr StreamType kStreamTypes[] = {
    {"WordDocument", false, "DOC"}, {"Workbook", false, "XLS"},
    {"Book", false, "XLS"},         {"PowerPoint Document", false, "PPT"},
    {"__substg1.0_", true, "MSG"},  {"VisioDocument", false, "VSD"},
    {"Quill", false, "PUB"},
};

} // namespace

std::string compoundFileType(ByteReader& in, std::uint64_t) {
    const auto header = readHeader(in);
    const auto firstDirectory = in.u32le(0x30);
    if (!header || !firstDirectory) {
        return {};
    }
    const auto fat = fatSectorList(in, *header);
    if (!fat) {
        return {};
    }
    std::vector<std::string> names;
    const std::uint64_t entriesPerSector = header->sectorBytes / 128;
    std::uint32_t sector = *firstDirectory;
    // A chain longer than the file has sectors loops.
    for (std::uint64_t hops = in.size() / header->sectorBytes + 1; sector <= kMaxRegularSector && hops > 0;
         --hops) {
        for (std::uint64_t i = 0; i < entriesPerSector; ++i) {
            const std::uint64_t entry = sectorOffset(*header, sector) + 128 * i;
            const auto kind = in.u8(entry + 0x42);
            if (kind == 1 || kind == 2) {
                names.push_back(entryName(in, entry));
            }
        }
        const auto next = nextSector(in, *header, *fat, sector);
        if (!next) {
            return {};
        }
        sector = *next;
    }
    for (const auto& known : kStreamTypes) {
        for (const auto& name : names) {
            if (known.prefix ? name.starts_with(known.stream) : name == known.stream) {
                return known.type;
            }
        }
    }
    return {};
}

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
