#include "media/media_record.h"

namespace quarry::media {

std::string cellText(const MyDataObject& record, std::string_view columnIdentifier) {
    if (columnIdentifier == "Collumn1")
        return record.nsStrDiskIdentifier;
    if (columnIdentifier == "Collumn2")
        return record.nsStrVolName.value_or(std::string());
    if (columnIdentifier == "Collumn3")
        return record.nsStrFileSystem;
    if (columnIdentifier == "Collumn4")
        return record.nsStrSize;
    if (columnIdentifier == "Collumn5")
        return record.nsStrParentDisk;
    if (columnIdentifier == "Collumn6")
        return record.nsStrSectors;
    return {};
}

std::string rawDevicePath(const MyDataObject& record) {
    if (!record.sourcePath.empty())
        return record.sourcePath;
    return rawDevicePath(record.nsStrDiskIdentifier);
}

std::string rawDevicePath(const std::string& deviceIdentifier) {
#if defined(__APPLE__)
    // The character device bypasses the buffer cache.
    return "/dev/r" + deviceIdentifier;
#else
    return "/dev/" + deviceIdentifier;
#endif
}

} // namespace quarry::media
