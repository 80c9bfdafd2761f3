#pragma once

#include "traces/traced_file.h"

#include <cstdint>
#include <optional>

namespace quarry::traces {

// What a boot sector says of its volume, in 512-byte sectors counted from the volume's start.
struct BootSector {
    TraceKind kind = TraceKind::Fat;
    std::uint64_t clusterSectors = 0;
    std::uint64_t clusterBaseOffset = 0; // cluster 0 lies this far past the volume's start
    // Where a copy of this sector lies past the volume's start: FAT32 sector 6, the exFAT backup
    // region, the NTFS volume's last sector; 0 when the volume keeps none.
    std::uint64_t backupOffset = 0;
    std::uint64_t rootCluster = 0; // FAT32 and exFAT: the root folder's first cluster
    std::uint64_t mftCluster = 0;  // NTFS
};

// The boot sector of a FAT12/16/32, exFAT or NTFS volume, else nothing. Its figures are checked
// for sense, so random bytes seldom pass.
std::optional<BootSector> readBootSector(const std::uint8_t* sector);

} // namespace quarry::traces
