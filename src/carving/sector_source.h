#pragma once

#include "common/sector.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quarry::carving {

// Sectors of a medium readable in place, without a copy, for as long as the view lives.
class SectorView {
public:
    virtual ~SectorView() = default;
    virtual const std::uint8_t* data() const = 0;
    // Sectors of the view that could no longer be read once in place and read as zeros.
    virtual std::uint64_t unreadableSectors() const { return 0; }
};

// Read-only access to a medium in 512-byte sectors. Engines, the preview and the saver read
// only through this, so tests never need a device.
class SectorSource {
public:
    virtual ~SectorSource() = default;

    // Whole sectors in the medium (its size divided by 512, remainder dropped).
    virtual std::uint64_t sectorCount() const = 0;

    // Reads `count` consecutive sectors starting at `first` into `out` (count * 512 bytes).
    // False when any part could not be read, including sectors past the end; `out` is then
    // unspecified.
    virtual bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) = 0;

    // Puts a positioned source back at `sector` after a failed read. Sources that read by
    // offset have nothing to do.
    virtual bool reposition(std::uint64_t /*sector*/) { return true; }

    // The `count` sectors from `first` in place, holding the bytes readSectors would give. Null
    // when the source cannot offer them so, which includes any range where a read could fail;
    // the caller then reads them.
    virtual std::unique_ptr<SectorView> mapSectors(std::uint64_t /*first*/, std::size_t /*count*/) {
        return nullptr;
    }
};

// A block device or an image file, opened read-only (O_RDONLY). Null when it cannot be
// opened or is no medium (a FIFO, socket or folder, or on Linux a character device); never
// blocks on a FIFO.
std::unique_ptr<SectorSource> openFileSource(const std::string& path);

// The same; when it gives null, `problem` says why in words.
std::unique_ptr<SectorSource> openFileSourceOrSayWhy(const std::string& path, std::string& problem);

} // namespace quarry::carving
