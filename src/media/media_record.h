#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarry::media {

// One row of the media table.
struct MyDataObject {
    std::string nsStrDiskIdentifier;         // Collumn1: device name, e.g. sdb1
    std::optional<std::string> nsStrVolName; // Collumn2: absent when the volume reports no name
    std::string nsStrFileSystem;             // Collumn3
    std::string nsStrSize;                   // Collumn4: size text, e.g. "465.76  GB "
    std::string nsStrParentDisk;             // Collumn5
    std::string nsStrSectors;                // Collumn6: sector count as decimal text
    // When set, the medium is this file (a disk image) rather than a device.
    std::string sourcePath;
};

// Cell text for column identifiers Collumn1..Collumn6; empty for any other identifier and
// for an absent volume name.
std::string cellText(const MyDataObject& record, std::string_view columnIdentifier);

// The path a scan or a preview opens read-only: sourcePath when set, otherwise the raw
// device of the identifier ("/dev/" + id on Linux, "/dev/r" + id on macOS).
std::string rawDevicePath(const MyDataObject& record);
std::string rawDevicePath(const std::string& deviceIdentifier);

} // namespace quarry::media
