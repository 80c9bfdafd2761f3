#include "results/destination_check.h"

#include <utility>

namespace quarry::results {

DestinationCheck::DestinationCheck(std::unique_ptr<const media::DiskTopology> disks)
    : disks_(std::move(disks)) {}

std::optional<std::string> DestinationCheck::refusal(const std::filesystem::path& destination,
                                                     const std::filesystem::path& source) const {
    const auto medium = media::blockDeviceAt(source);
    if (!medium)
        return std::nullopt;
    const auto folder = media::fileSystemOf(destination);
    if (!folder)
        return std::nullopt;
    return refusal(*folder, *medium);
}

std::optional<std::string> DestinationCheck::refusal(DeviceNumber destination, DeviceNumber source) const {
    if (destination == source)
        return std::string(kSameDiskAlert);
    // Writing into a loop device writes its image file, so a destination reaches both; a source
    // loop device over a file is only itself.
    const auto sourceDisks = disks_->wholeDisks(source, false);
    auto destinationDisks = disks_->wholeDisks(destination, true);
    destinationDisks.merge(disks_->wholeDisks(destination, false));
    for (const auto& disk : destinationDisks) {
        if (sourceDisks.count(disk) != 0)
            return std::string(kSameDiskAlert);
    }
    return std::nullopt;
}

} // namespace quarry::results
