#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::media {

// One line of the kernel's mountinfo table.
struct MountEntry {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::string root;       // the mounted subtree of the file system; "/" unless bind-mounted
    std::string mountPoint; // unescaped
    std::string fsType;
    std::string source; // unescaped, e.g. /dev/sdb1
};

// Mount entries in table order; malformed lines are left out.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// Undoes the kernel's octal escapes ("\040" is a blank) in mountinfo path fields.
std::string unescapeMountField(std::string_view field);

} // namespace quarry::media
