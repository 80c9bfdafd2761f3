#include "media/disk_topology.h"

#if defined(__linux__)
#include "media/linux_disk_topology.h"

#include <sys/sysmacros.h>
#endif

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace quarry::media {
namespace fs = std::filesystem;

namespace {

#if !defined(__linux__)

// Platforms without a backend know no disk behind a device.
class UnknownDisks : public DiskTopology {
public:
    std::set<std::string> wholeDisks(DeviceNumber, bool) const override { return {}; }
};

#endif

} // namespace

DiskTopology::~DiskTopology() = default;

DeviceNumber deviceNumberOf(dev_t device) {
    return {static_cast<std::uint32_t>(major(device)), static_cast<std::uint32_t>(minor(device))};
}

std::optional<DeviceNumber> fileSystemOf(fs::path path) {
    std::error_code ec;
    path = fs::absolute(path, ec);
    if (ec)
        return std::nullopt;
    for (;;) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0)
            return deviceNumberOf(info.st_dev);
        if (errno != ENOENT && errno != ENOTDIR)
            return std::nullopt;
        if (!path.has_relative_path())
            return std::nullopt;
        path = path.parent_path();
    }
}

std::optional<DeviceNumber> blockDeviceAt(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
        return std::nullopt;
    return deviceNumberOf(info.st_rdev);
}

std::unique_ptr<DiskTopology> makePlatformDiskTopology() {
#if defined(__linux__)
    return std::make_unique<LinuxDiskTopology>();
#else
    return std::make_unique<UnknownDisks>();
#endif
}

} // namespace quarry::media
