#include "results/destination_check.h"

#include "media/mount_table.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <utility>

namespace quarry::results {
namespace fs = std::filesystem;

namespace {

// Loop devices over loop devices over files could go on; real stacks are shallow.
constexpr int kDeepestStack = 8;

DeviceNumber numberOf(dev_t device) {
    return {static_cast<std::uint32_t>(major(device)), static_cast<std::uint32_t>(minor(device))};
}

std::string readWholeFile(const fs::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Sysfs writes "/" in device names as "!" (cciss!c0d0 is /dev/cciss/c0d0).
std::string deviceName(const fs::path& folder) {
    auto name = folder.filename().string();
    std::replace(name.begin(), name.end(), '!', '/');
    return name;
}

// The device number of the file system that holds `path`, or of the nearest folder above it
// that exists: the folders still to be made will be made there.
std::optional<DeviceNumber> fileSystemOf(fs::path path) {
    std::error_code ec;
    path = fs::absolute(path, ec);
    if (ec)
        return std::nullopt;
    for (;;) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0)
            return numberOf(info.st_dev);
        if (errno != ENOENT && errno != ENOTDIR)
            return std::nullopt;
        if (!path.has_relative_path())
            return std::nullopt;
        path = path.parent_path();
    }
}

// The file a loop device reads, as sysfs names it; a deleted one is marked " (deleted)".
fs::path backingFile(const fs::path& deviceFolder) {
    auto text = readWholeFile(deviceFolder / "loop" / "backing_file");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace

DestinationCheck::DestinationCheck(media::LinuxSystemPaths system) : system_(std::move(system)) {}

std::optional<std::string> DestinationCheck::refusal(const fs::path& destination,
                                                     const fs::path& source) const {
    struct stat medium {};
    if (::stat(source.c_str(), &medium) != 0 || !S_ISBLK(medium.st_mode))
        return std::nullopt;
    const auto folder = fileSystemOf(destination);
    if (!folder)
        return std::nullopt;
    return refusal(*folder, numberOf(medium.st_rdev));
}

std::optional<std::string> DestinationCheck::refusal(DeviceNumber destination, DeviceNumber source) const {
    if (destination == source)
        return std::string(kSameDiskAlert);
    // Writing into a loop device writes its image file, so a destination reaches both; a source
    // loop device over a file is only itself.
    const auto sourceDisks = wholeDisks(source, false);
    auto destinationDisks = wholeDisks(destination, true);
    destinationDisks.merge(wholeDisks(destination, false));
    for (const auto& disk : destinationDisks) {
        if (sourceDisks.count(disk) != 0)
            return std::string(kSameDiskAlert);
    }
    return std::nullopt;
}

std::set<std::string> DestinationCheck::wholeDisks(DeviceNumber device, bool throughImageFiles) const {
    std::set<std::string> disks;
    std::set<fs::path> visited;
    if (const auto folder = deviceFolder(device))
        collectDisks(*folder, throughImageFiles, disks, visited, 0);
    return disks;
}

std::optional<fs::path> DestinationCheck::deviceFolder(DeviceNumber device) const {
    std::error_code ec;
    auto folder = fs::canonical(system_.sysRoot / "dev" / "block" /
                                    (std::to_string(device.major) + ":" + std::to_string(device.minor)),
                                ec);
    if (!ec)
        return folder;
    // btrfs and other file systems with an anonymous device number: the mount table's source
    // names the block device that holds them.
    for (const auto& mount : media::parseMountInfo(readWholeFile(system_.mountInfo))) {
        if (mount.major != device.major || mount.minor != device.minor || !mount.source.starts_with('/'))
            continue;
        folder = fs::canonical(system_.sysRoot / "class" / "block" / fs::path(mount.source).filename(), ec);
        if (!ec)
            return folder;
        struct stat info {};
        if (::stat(mount.source.c_str(), &info) == 0 && S_ISBLK(info.st_mode) && major(info.st_rdev) != 0)
            return deviceFolder(numberOf(info.st_rdev));
    }
    return std::nullopt;
}

void DestinationCheck::collectDisks(const fs::path& device, bool throughImageFiles,
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
            const auto below =
                deviceFolder(S_ISBLK(info.st_mode) ? numberOf(info.st_rdev) : numberOf(info.st_dev));
            if (below) {
                collectDisks(*below, throughImageFiles, disks, visited, depth + 1);
                layered = true;
            }
        }
    }
    if (!layered)
        disks.insert(deviceName(disk));
}

} // namespace quarry::results
