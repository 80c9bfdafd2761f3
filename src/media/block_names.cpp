#include "media/block_probe.h"

#include <array>
#include <utility>

namespace quarry::media {

std::string fileSystemDisplayName(std::string_view type, std::string_view version) {
    if (type == "vfat" || type == "msdos") {
        if (version == "FAT32" || version == "FAT16" || version == "FAT12")
            return "MS-DOS (" + std::string(version) + ")";
        return "MS-DOS (FAT)";
    }
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kNames{{
        {"exfat", "ExFAT"},
        {"ntfs", "NTFS"},
        {"ntfs3", "NTFS"},
        {"apfs", "APFS"},
        {"hfsplus", "HFS+"},
        {"hfs", "HFS"},
        {"iso9660", "ISO 9660"},
        {"udf", "UDF"},
    }};
    for (const auto& [known, name] : kNames) {
        if (type == known)
            return std::string(name);
    }
    return std::string(type);
}

std::optional<std::string> opticalMediaName(std::uint16_t profile) {
    static constexpr std::array<std::pair<std::uint16_t, std::string_view>, 21> kProfiles{{
        {0x08, "CD-ROM"},     {0x09, "CD-R"},   {0x0A, "CD-RW"},     {0x10, "DVD-ROM"},    {0x11, "DVD-R"},
        {0x12, "DVD-RAM"},    {0x13, "DVD-RW"}, {0x14, "DVD-RW"},    {0x15, "DVD-R DL"},   {0x16, "DVD-R DL"},
        {0x1A, "DVD+RW"},     {0x1B, "DVD+R"},  {0x2A, "DVD+RW DL"}, {0x2B, "DVD+R DL"},   {0x40, "BD-ROM"},
        {0x41, "BD-R"},       {0x42, "BD-R"},   {0x43, "BD-RE"},     {0x50, "HD DVD-ROM"}, {0x51, "HD DVD-R"},
        {0x52, "HD DVD-RAM"},
    }};
    for (const auto& [code, name] : kProfiles) {
        if (code == profile)
            return std::string(name);
    }
    return std::nullopt;
}

} // namespace quarry::media
