#pragma once

#include "carving/extent_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarry::traces {

// The file system a trace was read from.
enum class TraceKind { Fat, ExFat, Ntfs };

// A file as a surviving directory entry or MFT record describes it. Every field comes from the
// medium, so none is to be trusted: the name may hold '/', "..", NUL or bytes that were invalid
// UTF-16 (replaced by U+FFFD); sanitise before using it as a path.
struct TracedFile {
    TraceKind kind = TraceKind::Fat;
    std::string name;                  // the long name when there is one, UTF-8
    std::vector<std::string> path;     // folder names from the volume's root, when they are known
    std::uint64_t bytes = 0;           // the file's size, capped by the medium's size
    std::optional<std::int64_t> mtime; // last modification, seconds since 1970-01-01 UTC
    // Where the file lies on the medium, in file order, in 512-byte sectors. Extents past the
    // medium are left out. Empty when the volume's layout could not be inferred.
    std::vector<carving::SectorExtent> extents;
    // The file's bytes held in its MFT record (small NTFS files); then `extents` is empty.
    std::vector<std::uint8_t> residentData;
    bool deleted = false; // its entry or record is marked free
    // The extents were read from an NTFS run list. A FAT or exFAT trace only knows the first
    // cluster, so its single extent is a guess that the file is contiguous.
    bool fromRunList = false;

    std::uint64_t firstSector() const { return extents.empty() ? 0 : extents.front().first; }
};

// A volume's layout in 512-byte sectors: cluster n starts at clusterBase + n * clusterSectors.
// For FAT and exFAT, clusterBase is the data area's start minus two clusters.
struct VolumeLayout {
    TraceKind kind = TraceKind::Fat;
    std::uint64_t clusterSectors = 0;
    std::uint64_t clusterBase = 0;
    bool fromBootSector = false; // else inferred from the traces themselves

    std::uint64_t dataStart() const {
        return kind == TraceKind::Ntfs ? clusterBase : clusterBase + 2 * clusterSectors;
    }
};

// What a scan learnt from file-system traces, read only once the scan has ended.
class TraceCatalog {
public:
    virtual ~TraceCatalog() = default;

    // The file whose data starts at `sector`; null when none does. Where several traces point
    // there (a file deleted and its clusters reused), the live one, else the last seen, wins.
    virtual const TracedFile* fileStartingAt(std::uint64_t sector) const = 0;

    // Every file traced, in the order their traces were met.
    virtual const std::vector<TracedFile>& files() const = 0;

    // The volumes whose layout is known.
    virtual const std::vector<VolumeLayout>& volumes() const = 0;
};

} // namespace quarry::traces
