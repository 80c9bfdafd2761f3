#include "media/linux_enumerator.h"

#include "common/whole_file.h"
#include "media/block_probe.h"
#include "media/mount_table.h"
#include "media/sysfs_block.h"

#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <utility>

namespace quarry::media {
namespace {

// btrfs and fuseblk report an anonymous device number in the mount table; their source names
// the block device that holds them.
std::optional<std::pair<std::uint32_t, std::uint32_t>> deviceNumber(const MountEntry& mount) {
    if (mount.major != 0)
        return std::pair{mount.major, mount.minor};
    struct stat info {};
    if (!mount.source.starts_with('/') || stat(mount.source.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return std::nullopt;
    return std::pair{static_cast<std::uint32_t>(major(info.st_rdev)),
                     static_cast<std::uint32_t>(minor(info.st_rdev))};
}

} // namespace

LinuxVolumeEnumerator::LinuxVolumeEnumerator(LinuxSystemPaths paths) : paths_(std::move(paths)) {}

std::vector<VolumeDescription> LinuxVolumeEnumerator::describeMountedVolumes() {
    std::vector<VolumeDescription> volumes;
    // Bind mounts repeat a device; its first mount stands for it.
    std::set<std::pair<std::uint32_t, std::uint32_t>> seen;
    for (const auto& mount : parseMountInfo(readWholeFile(paths_.mountInfo))) {
        const auto number = deviceNumber(mount);
        if (!number || !seen.insert(*number).second)
            continue;
        if (auto volume = describeBlockDevice(number->first, number->second, mount.fsType))
            volumes.push_back(std::move(*volume));
    }
    return volumes;
}

std::optional<VolumeDescription>
LinuxVolumeEnumerator::describeBlockDevice(std::uint32_t major, std::uint32_t minor,
                                           std::string_view mountFsType) const {
    // Pseudo, network and FUSE file systems have no entry here.
    const auto device = readSysfsBlockDevice(paths_.sysRoot, major, minor);
    if (!device)
        return std::nullopt;

    VolumeDescription volume;
    volume.DeviceIdentifier = device->kernelName;
    volume.ParentWholeDisk = device->wholeDiskName;
    volume.IOKitSize = device->sizeBytes;
    if (device->wholeDiskName.starts_with("loop"))
        volume.BusProtocol = "Disk Image";

    const bool opticalDrive = device->wholeDiskName.starts_with("sr");
    const auto probe = probeBlockDevice((paths_.devRoot / device->kernelName).string(), opticalDrive);
    if (probe && probe->type) {
        volume.FilesystemUserVisibleName = fileSystemDisplayName(*probe->type, probe->version.value_or(""));
        volume.VolumeName = probe->label;
    } else {
        volume.FilesystemUserVisibleName = fileSystemDisplayName(mountFsType, "");
    }
    if (probe)
        volume.OpticalDeviceType = probe->opticalMedia;
    return volume;
}

} // namespace quarry::media
