#pragma once

#include "media/media_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarry::media {

// What the platform tells about one mounted volume; any key may be missing.
struct VolumeDescription {
    std::optional<std::string> BusProtocol;
    std::optional<std::string> OpticalDeviceType;
    std::optional<std::string> DeviceIdentifier;
    std::optional<std::string> VolumeName;
    std::optional<std::string> FilesystemUserVisibleName;
    std::optional<std::uint64_t> IOKitSize; // bytes
    std::optional<std::string> ParentWholeDisk;
};

// The media record of a volume, or nothing for a disk image, a CD or a volume without a
// device identifier.
std::optional<MyDataObject> makeMediaRecord(const VolumeDescription& volume);

// Human-readable size of a decimal byte count, e.g. "465.76  GB ".
std::string getMPSize(std::string_view byteText);

} // namespace quarry::media
