#include "traces/boot_sectors.h"

#include "traces/bytes.h"

#include <bit>
#include <cstring>

namespace quarry::traces {
namespace {

constexpr std::uint64_t kSector = 512;

bool powerOfTwo(std::uint64_t n) {
    return n != 0 && std::has_single_bit(n);
}

// 512 to 4096 bytes per sector: the factor to 512-byte sectors, else 0.
std::uint64_t sectorScale(std::uint32_t bytesPerSector) {
    return bytesPerSector >= kSector && bytesPerSector <= 4096 && powerOfTwo(bytesPerSector)
               ? bytesPerSector / kSector
               : 0;
}

std::optional<BootSector> readNtfs(const std::uint8_t* s) {
    const std::uint64_t scale = sectorScale(le16(s + 0x0B));
    std::uint64_t perCluster = s[0x0D];
    if (perCluster > 0x80) {
        // Large clusters are given as a negative power of two.
        const std::uint64_t shift = 256 - perCluster;
        perCluster = shift < 16 ? std::uint64_t{1} << shift : 0;
    }
    const std::uint64_t totalSectors = le64(s + 0x28);
    if (scale == 0 || !powerOfTwo(perCluster) || totalSectors == 0 || totalSectors > (1ULL << 48)) {
        return std::nullopt;
    }
    BootSector boot;
    boot.kind = TraceKind::Ntfs;
    boot.clusterSectors = perCluster * scale;
    boot.backupOffset = totalSectors * scale;
    boot.mftCluster = le64(s + 0x30);
    return boot;
}

std::optional<BootSector> readExFat(const std::uint8_t* s) {
    const unsigned sectorShift = s[0x6C];
    const unsigned clusterShift = s[0x6D];
    if (sectorShift < 9 || sectorShift > 12 || sectorShift + clusterShift > 25) {
        return std::nullopt;
    }
    const std::uint64_t scale = std::uint64_t{1} << (sectorShift - 9);
    BootSector boot;
    boot.kind = TraceKind::ExFat;
    boot.clusterSectors = scale << clusterShift;
    const std::uint64_t heap = std::uint64_t{le32(s + 0x58)} * scale;
    if (heap < 2 * boot.clusterSectors) {
        return std::nullopt;
    }
    boot.clusterBaseOffset = heap - 2 * boot.clusterSectors;
    boot.backupOffset = 12 * scale;
    boot.rootCluster = le32(s + 0x60);
    return boot;
}

std::optional<BootSector> readFat(const std::uint8_t* s) {
    const std::uint64_t scale = sectorScale(le16(s + 0x0B));
    const std::uint64_t perCluster = s[0x0D];
    const std::uint64_t reserved = le16(s + 0x0E);
    const std::uint64_t fats = s[0x10];
    const std::uint64_t rootEntries = le16(s + 0x11);
    const std::uint64_t fatSize = le16(s + 0x16) != 0 ? le16(s + 0x16) : le32(s + 0x24);
    const bool jump = s[0] == 0xEB || s[0] == 0xE9;
    if (!jump || scale == 0 || !powerOfTwo(perCluster) || reserved == 0 || fats == 0 || fats > 4 ||
        fatSize == 0 || (s[0x15] != 0xF0 && s[0x15] < 0xF8)) {
        return std::nullopt;
    }
    const std::uint64_t bytesPerSector = scale * kSector;
    const std::uint64_t rootSectors = (rootEntries * 32 + bytesPerSector - 1) / bytesPerSector;
    BootSector boot;
    boot.kind = TraceKind::Fat;
    boot.clusterSectors = perCluster * scale;
    const std::uint64_t dataStart = (reserved + fats * fatSize + rootSectors) * scale;
    if (dataStart < 2 * boot.clusterSectors) {
        return std::nullopt;
    }
    boot.clusterBaseOffset = dataStart - 2 * boot.clusterSectors;
    if (rootEntries == 0) { // FAT32
        boot.backupOffset = std::uint64_t{le16(s + 0x32)} * scale;
        boot.rootCluster = le32(s + 0x2C);
    }
    return boot;
}

} // namespace

std::optional<BootSector> readBootSector(const std::uint8_t* sector) {
    if (sector[510] != 0x55 || sector[511] != 0xAA) {
        return std::nullopt;
    }
    if (std::memcmp(sector + 3, "NTFS    ", 8) == 0) {
        return readNtfs(sector);
    }
    if (std::memcmp(sector + 3, "EXFAT   ", 8) == 0) {
        return readExFat(sector);
    }
    return readFat(sector);
}

} // namespace quarry::traces
