#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace quarry::media {

// What sysfs tells about one block device.
struct SysfsBlockDevice {
    std::string kernelName;    // e.g. sdb1, nvme0n1p2, dm-0
    std::string wholeDiskName; // the disk that holds a partition; the device itself otherwise
    std::uint64_t sizeBytes = 0;
};

// The block device with this number, looked up under <sysRoot>/dev/block; nothing when it is
// not a block device or its size can't be read.
std::optional<SysfsBlockDevice> readSysfsBlockDevice(const std::filesystem::path& sysRoot,
                                                     std::uint32_t major, std::uint32_t minor);

} // namespace quarry::media
