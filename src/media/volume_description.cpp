#include "media/volume_description.h"

#include "common/decimal.h"
#include "common/sector.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace quarry::media {
namespace {

std::string formatUnsigned(unsigned long long value) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%llu", value);
    return buffer.data();
}

// The decimal number at the start of a text, after leading blanks; 0 when there is none.
float readFloat(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\n\v\f\r");
    if (first == std::string_view::npos)
        return 0.0f;
    float value = 0.0f;
    const auto result = std::from_chars(text.data() + first, text.data() + text.size(), value);
    if (result.ec != std::errc())
        return 0.0f;
    return value;
}

std::string sectorText(std::string_view byteText) {
    // The byte text comes from an unsigned count, so the signed reading is never negative.
    const auto bytes = readSigned64(byteText);
    return formatUnsigned(static_cast<unsigned long long>(bytes / static_cast<std::int64_t>(kSectorSize)));
}

} // namespace

std::optional<MyDataObject> makeMediaRecord(const VolumeDescription& volume) {
    if (volume.BusProtocol == "Disk Image")
        return std::nullopt;
    if (volume.OpticalDeviceType && volume.OpticalDeviceType->find("CD") != std::string::npos)
        return std::nullopt;
    if (!volume.DeviceIdentifier || volume.DeviceIdentifier->empty())
        return std::nullopt;

    const std::string byteText = formatUnsigned(volume.IOKitSize.value_or(0));
    MyDataObject record;
    record.nsStrDiskIdentifier = *volume.DeviceIdentifier;
    record.nsStrVolName = volume.VolumeName;
    if (record.nsStrVolName && record.nsStrVolName->empty())
        record.nsStrVolName = "Untitled";
    record.nsStrFileSystem = volume.FilesystemUserVisibleName.value_or(std::string());
    record.nsStrSize = getMPSize(byteText);
    record.nsStrParentDisk = volume.ParentWholeDisk.value_or(std::string());
    record.nsStrSectors = sectorText(byteText);
    return record;
}

std::string getMPSize(std::string_view byteText) {
    // Single precision throughout: the shown figures depend on it.
    float value = readFloat(byteText);
    std::string_view unit = "bytes";
    if (value > 1024.0f) {
        value /= 1024.0f;
        unit = " KB";
        for (const std::string_view larger : {" MB", " GB", " TB"}) {
            if (value > 1024.0f) {
                value /= 1024.0f;
                unit = larger;
            }
        }
    }
    std::array<char, 64> number{};
    std::snprintf(number.data(), number.size(), "%.2f", static_cast<double>(value));
    std::string text = number.data();
    text += ' ';
    text += unit;
    text += ' ';
    return text;
}

} // namespace quarry::media
