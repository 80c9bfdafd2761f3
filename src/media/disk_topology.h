#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>

namespace quarry::media {

struct DeviceNumber {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    auto operator<=>(const DeviceNumber&) const = default;
};

DeviceNumber deviceNumberOf(dev_t device);

// The device number of the file system that holds `path`, or of the nearest folder above it
// that exists: the folders still to be made will be made there.
std::optional<DeviceNumber> fileSystemOf(std::filesystem::path path);

// The device number of `path` when it is a block device; nothing for any other file.
std::optional<DeviceNumber> blockDeviceAt(const std::filesystem::path& path);

// Which whole disks hold a block device's data, as the platform's storage stack shows it.
class DiskTopology {
public:
    virtual ~DiskTopology();

    // The whole disks whose data a block device is made of; empty when that is unknown.
    // Without `throughImageFiles` a loop device over a regular file counts as a disk itself.
    virtual std::set<std::string> wholeDisks(DeviceNumber device, bool throughImageFiles) const = 0;
};

// This system's topology; where the platform has none, every device's disks are unknown.
std::unique_ptr<DiskTopology> makePlatformDiskTopology();

} // namespace quarry::media
