#include "media/sysfs_block.h"

#include "common/sector.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <system_error>

namespace quarry::media {
namespace {

// Sysfs writes "/" in device names as "!" (cciss!c0d0 is /dev/cciss/c0d0).
std::string deviceName(const std::filesystem::path& directory) {
    auto name = directory.filename().string();
    std::replace(name.begin(), name.end(), '!', '/');
    return name;
}

} // namespace

std::optional<SysfsBlockDevice> readSysfsBlockDevice(const std::filesystem::path& sysRoot,
                                                     std::uint32_t major, std::uint32_t minor) {
    std::error_code ec;
    const auto link = sysRoot / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor));
    const auto directory = std::filesystem::canonical(link, ec);
    if (ec)
        return std::nullopt;

    // Always counted in 512-byte units, whatever the device's own block size.
    std::ifstream sizeFile(directory / "size");
    std::uint64_t sectors = 0;
    if (!(sizeFile >> sectors) || sectors > std::numeric_limits<std::uint64_t>::max() / kSectorSize)
        return std::nullopt;

    SysfsBlockDevice device;
    device.kernelName = deviceName(directory);
    const bool partition = std::filesystem::exists(directory / "partition", ec);
    device.wholeDiskName = partition ? deviceName(directory.parent_path()) : device.kernelName;
    device.sizeBytes = sectors * kSectorSize;
    return device;
}

} // namespace quarry::media
