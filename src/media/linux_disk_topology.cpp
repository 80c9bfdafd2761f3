#include "media/linux_disk_topology.h"

#include "common/whole_file.h"
#include "media/mount_table.h"

#include <algorithm>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <utility>

namespace quarry::media {
namespace fs = std::filesystem;

namespace {

// Loop devices over loop devices over files could go on; real stacks are shallow.
constexpr int kDeepestStack = 8;

// Sysfs writes "/" in device names as "!" (cciss!c0d0 is /dev/cciss/c0d0).
std::string deviceName(const fs::path& folder) {
    auto name = folder.filename().string();
    std::replace(name.begin(), name.end(), '!', '/');
    return name;
}

// The file a loop device reads, as sysfs names it; a deleted one is marked " (deleted)".
fs::path backingFile(const fs::path& deviceFolder) {
    auto text = readWholeFile(deviceFolder / "loop" / "backing_file");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace

LinuxDiskTopology::LinuxDiskTopology(LinuxSystemPaths system) : system_(std::move(system)) {}

std::set<std::string> LinuxDiskTopology::wholeDisks(DeviceNumber device, bool throughImageFiles) const {
    std::set<std::string> disks;
    std::set<fs::path> visited;
    if (const auto folder = deviceFolder(device))
        collectDisks(*folder, throughImageFiles, disks, visited, 0);
    return disks;
}

std::optional<fs::path> LinuxDiskTopology::deviceFolder(DeviceNumber device) const {
    std::error_code ec;
    auto folder = fs::canonical(system_.sysRoot / "dev" / "block" /
                                    (std::to_string(device.major) + ":" + std::to_string(device.minor)),
                                ec);
    if (!ec)
        return folder;
    // btrfs and other file systems with an anonymous device number: the mount table's source
    // names the block device that holds them.
    for (const auto& mount : parseMountInfo(readWholeFile(system_.mountInfo))) {
        if (mount.major != device.major || mount.minor != device.minor || !mount.source.starts_with('/'))
            continue;
        folder = fs::canonical(system_.sysRoot / "class" / "block" / fs::path(mount.source).filename(), ec);
        if (!ec)
            return folder;
        struct stat info {};
        if (::stat(mount.source.c_str(), &info) == 0 && S_ISBLK(info.st_mode) && major(info.st_rdev) != 0)
            return deviceFolder(deviceNumberOf(info.st_rdev));
    }
    return std::nullopt;
}

void LinuxDiskTopology::collectDisks(const fs::path& device, bool throughImageFiles,
                                     std::set<std::string>& disks, std::set<fs::path>& visited,
                                     int depth) const {
    if (depth > kDeepestStack || !visited.insert(device).second)
        return;
    std::error_code ec;
    // A partition's folder lies inside its disk's.
    const auto disk = fs::exists(device / "partition", ec) ? device.parent_path() : device;

    bool layered = false;
    for (const auto& slave : fs::directory_iterator(disk / "slaves", ec)) {
        if (const auto below = fs::canonical(slave.path(), ec); !ec) {
            collectDisks(below, throughImageFiles, disks, visited, depth + 1);
            layered = true;
        }
    }
    if (const auto file = backingFile(disk); !file.empty()) {
        struct stat info {};
        if (::stat(file.c_str(), &info) == 0 && (throughImageFiles || S_ISBLK(info.st_mode))) {
            const auto below = deviceFolder(S_ISBLK(info.st_mode) ? deviceNumberOf(info.st_rdev)
                                                                  : deviceNumberOf(info.st_dev));
            if (below) {
                collectDisks(*below, throughImageFiles, disks, visited, depth + 1);
                layered = true;
            }
        }
    }
    if (!layered)
        disks.insert(deviceName(disk));
}

} // namespace quarry::media
