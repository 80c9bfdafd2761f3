#pragma once

#include "common/sector.h"
#include "common/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quarry::carving {

// Read-only access to a medium in 512-byte sectors. Engines, the preview and the saver read
// only through this, so tests never need a device.
class SectorSource {
public:
    virtual ~SectorSource() = default;

    // Sectors in the medium; a part sector at its end counts as one, read zero-padded.
    virtual std::uint64_t sectorCount() const = 0;

    // Reads `count` consecutive sectors starting at `first` into `out` (count * 512 bytes).
    // False when any part could not be read, including sectors past the end; `out` is then
    // unspecified.
    virtual bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) = 0;

    // Puts a positioned source back at `sector` after a failed read. Sources that read by
    // offset have nothing to do.
    virtual bool reposition(std::uint64_t /*sector*/) { return true; }
};

// What became of a read that gives zeros for the sectors it cannot read.
struct ZeroFilledRead {
    std::uint64_t unreadable = 0; // sectors given as 512 zero bytes
    bool lost = false;            // the source could not be put back after a failed read
};

// Reads `count` sectors from `first` into `out`, as the engines, the preview and the saver all
// see a medium: a sector that cannot be read is 512 zero bytes and counted, every other sector
// keeps its bytes. A failed read of the whole range is retried sector by sector, so a fault
// costs only the sectors that really fail. Once the source cannot be put back after a failed
// read, the remaining sectors are zeros too, counted, and `lost` is set.
ZeroFilledRead readSectorsOrZeros(SectorSource& source, std::uint64_t first, std::size_t count,
                                  std::uint8_t* out);

// A block device or an image file, opened read-only (O_RDONLY). Null when it cannot be
// opened or is no medium (a FIFO, socket or folder, or on Linux a character device); never
// blocks on a FIFO.
std::unique_ptr<SectorSource> openFileSource(const std::string& path);

// The same; when it gives null, `problem` says why in words.
std::unique_ptr<SectorSource> openFileSourceOrSayWhy(const std::string& path, std::string& problem);

// Opens the medium once more for single-sector reads past the page cache (O_DIRECT); an
// invalid descriptor when it can't.
using DirectReopen = std::function<UniqueFd()>;

// A medium already open read-only, checked as openFileSource checks what it opens. Without
// `reopenDirect` the same open file is opened again through /proc.
std::unique_ptr<SectorSource> openFileSourceFromDescriptor(UniqueFd fd, std::string& problem,
                                                           DirectReopen reopenDirect = {});

// Opens a medium the process may not open itself, through a service that hands over a
// read-only descriptor after asking the user; `extraFlags` adds open(2) flags such as O_DIRECT.
// An invalid descriptor when there is no such service or it refuses.
using PrivilegedOpener = std::function<UniqueFd(const std::string& path, int extraFlags)>;

// openFileSource falls back on `opener` when the medium refuses a direct open for want of
// permission. Set once at start-up, before any medium is opened.
void setPrivilegedOpener(PrivilegedOpener opener);

} // namespace quarry::carving
