#pragma once

#include "media/linux_enumerator.h"

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace quarry::results {

inline constexpr const char* kSameDiskAlert =
    "\nThe destination folder is on the disk being recovered. Choose a "
    "folder on another disk so nothing on it is overwritten.";

struct DeviceNumber {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    auto operator<=>(const DeviceNumber&) const = default;
};

// Keeps saved files off the medium being rescued: a destination on the scanned device, or on
// any other partition of the same whole disk, is refused before anything is written. Whole
// disks are found through sysfs: a partition's disk, the disks under device-mapper and RAID
// devices, and for a loop device the disk that holds its backing file. A loop device over an
// image file is its own disk as a source: new files beside the image never overwrite it.
class DestinationCheck {
public:
    explicit DestinationCheck(media::LinuxSystemPaths system = {});

    // kSameDiskAlert when saving into `destination` (which need not exist yet) could write onto
    // the medium `source`; nothing when it is safe. A disk image file as the source is never
    // harmed, as saving never overwrites a file.
    std::optional<std::string> refusal(const std::filesystem::path& destination,
                                       const std::filesystem::path& source) const;

    // The same for a destination on the file system with device number `destination` and a
    // source that is the block device `source`.
    std::optional<std::string> refusal(DeviceNumber destination, DeviceNumber source) const;

    // The whole disks whose data a block device is made of; empty when sysfs doesn't know it.
    // Without `throughImageFiles` a loop device over a regular file counts as a disk itself.
    std::set<std::string> wholeDisks(DeviceNumber device, bool throughImageFiles = true) const;

private:
    std::optional<std::filesystem::path> deviceFolder(DeviceNumber device) const;
    void collectDisks(const std::filesystem::path& folder, bool throughImageFiles,
                      std::set<std::string>& disks, std::set<std::filesystem::path>& visited,
                      int depth) const;

    media::LinuxSystemPaths system_;
};

} // namespace quarry::results
