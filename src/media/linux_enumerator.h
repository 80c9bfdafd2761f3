#pragma once

#include "media/enumeration.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quarry::media {

// Where the kernel's tables are; tests point these at prepared trees.
struct LinuxSystemPaths {
    std::filesystem::path mountInfo = "/proc/self/mountinfo";
    std::filesystem::path sysRoot = "/sys";
    std::filesystem::path devRoot = "/dev";
};

// Mounted local volumes on block devices, described from sysfs and one probe of each device.
class LinuxVolumeEnumerator : public VolumeEnumerator {
public:
    explicit LinuxVolumeEnumerator(LinuxSystemPaths paths = {});

    std::vector<VolumeDescription> describeMountedVolumes() override;

    // The block device with this number. `mountFsType` names the file system when the
    // device can't be probed (no permission to read it). Nothing when sysfs doesn't know it.
    std::optional<VolumeDescription> describeBlockDevice(std::uint32_t major, std::uint32_t minor,
                                                         std::string_view mountFsType) const;

private:
    LinuxSystemPaths paths_;
};

} // namespace quarry::media
