#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarry::media {

// What one look at a device's contents found.
struct BlockProbe {
    std::optional<std::string> type;    // file-system type, e.g. vfat
    std::optional<std::string> version; // e.g. FAT32
    std::optional<std::string> label;
    std::optional<std::string> opticalMedia; // e.g. CD-ROM, for an optical drive holding a disc
};

// Probes the device at `path` once, read-only. For an optical drive the same open device is
// also asked which kind of disc it holds. Nothing when the device can't be opened or read.
std::optional<BlockProbe> probeBlockDevice(const std::string& path, bool opticalDrive);

// A human name for a file-system type, in the words the media table uses ("MS-DOS (FAT32)").
std::string fileSystemDisplayName(std::string_view type, std::string_view version);

// The name of the disc kind an optical drive reports as its current MMC profile; nothing for
// no disc or an unknown profile.
std::optional<std::string> opticalMediaName(std::uint16_t profile);

} // namespace quarry::media
