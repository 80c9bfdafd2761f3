#pragma once

#include "media/disk_topology.h"
#include "media/linux_enumerator.h"

namespace quarry::media {

// Whole disks found through sysfs: a partition's disk, the disks under device-mapper and RAID
// devices, and for a loop device the disk that holds its backing file. A file system with an
// anonymous device number (btrfs) is found through the mount table's source.
class LinuxDiskTopology : public DiskTopology {
public:
    explicit LinuxDiskTopology(LinuxSystemPaths system = {});

    std::set<std::string> wholeDisks(DeviceNumber device, bool throughImageFiles) const override;

private:
    std::optional<std::filesystem::path> deviceFolder(DeviceNumber device) const;
    void collectDisks(const std::filesystem::path& folder, bool throughImageFiles,
                      std::set<std::string>& disks, std::set<std::filesystem::path>& visited,
                      int depth) const;

    LinuxSystemPaths system_;
};

} // namespace quarry::media
