#pragma once

#include "media/disk_topology.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quarry::results {

inline constexpr const char* kSameDiskAlert =
    "\nThe destination folder is on the disk being recovered. Choose a "
    "folder on another disk so nothing on it is overwritten.";

using media::DeviceNumber;

// Keeps saved files off the medium being rescued: a destination on the scanned device, or on
// any other partition of the same whole disk, is refused before anything is written. A loop
// device over an image file is its own disk as a source: new files beside the image never
// overwrite it.
class DestinationCheck {
public:
    explicit DestinationCheck(
        std::unique_ptr<const media::DiskTopology> disks = media::makePlatformDiskTopology());

    // kSameDiskAlert when saving into `destination` (which need not exist yet) could write onto
    // the medium `source`; nothing when it is safe. A disk image file as the source is never
    // harmed, as saving never overwrites a file.
    std::optional<std::string> refusal(const std::filesystem::path& destination,
                                       const std::filesystem::path& source) const;

    // The same for a destination on the file system with device number `destination` and a
    // source that is the block device `source`.
    std::optional<std::string> refusal(DeviceNumber destination, DeviceNumber source) const;

private:
    std::unique_ptr<const media::DiskTopology> disks_;
};

} // namespace quarry::results
