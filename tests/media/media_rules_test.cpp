#include "media/enumeration.h"
#include "media/media_record.h"
#include "media/volume_description.h"

#include <gtest/gtest.h>

namespace quarry::media {
namespace {

VolumeDescription usbVolume() {
    VolumeDescription volume;
    volume.BusProtocol = "USB";
    volume.DeviceIdentifier = "sdb1";
    volume.VolumeName = "CARD";
    volume.FilesystemUserVisibleName = "MS-DOS (FAT32)";
    volume.IOKitSize = 16008609792u;
    volume.ParentWholeDisk = "sdb";
    return volume;
}

VolumeDescription usbWith(std::optional<std::string> VolumeDescription::*field,
                          std::optional<std::string> value) {
    auto volume = usbVolume();
    volume.*field = std::move(value);
    return volume;
}

// A disk image, a CD or a volume without an identifier gets no record; any other volume
// gets one whose six cells show its fields.
TEST(MakeMediaRecord, RecordsAndTheirCells) {
    using V = VolumeDescription;
    const std::vector<std::string> usb{"sdb1", "CARD", "MS-DOS (FAT32)", "14.91  GB ", "sdb", "31266816"};
    const std::vector<std::string> none;
    VolumeDescription identifierOnly;
    identifierOnly.DeviceIdentifier = "vda";
    const std::vector<std::pair<VolumeDescription, std::vector<std::string>>> cases{
        {usbVolume(), usb},
        {usbWith(&V::BusProtocol, "Disk Image"), none},
        // Only the exact text counts.
        {usbWith(&V::BusProtocol, "disk image"), usb},
        {usbWith(&V::OpticalDeviceType, "CD-ROM"), none},
        {usbWith(&V::OpticalDeviceType, "CD-RW"), none},
        {usbWith(&V::OpticalDeviceType, "xCDx"), none},
        {usbWith(&V::OpticalDeviceType, "DVD-ROM"), usb},
        {usbWith(&V::OpticalDeviceType, "cd-rom"), usb},
        {usbWith(&V::OpticalDeviceType, "BD-R"), usb},
        {usbWith(&V::OpticalDeviceType, ""), usb},
        {usbWith(&V::DeviceIdentifier, std::nullopt), none},
        {usbWith(&V::DeviceIdentifier, ""), none},
        {usbWith(&V::VolumeName, ""),
         {"sdb1", "Untitled", "MS-DOS (FAT32)", "14.91  GB ", "sdb", "31266816"}},
        {usbWith(&V::VolumeName, std::nullopt),
         {"sdb1", "", "MS-DOS (FAT32)", "14.91  GB ", "sdb", "31266816"}},
        // Only the identifier is required.
        {identifierOnly, {"vda", "", "", "0.00 bytes ", "", "0"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& [volume, cells] = cases[i];
        const auto record = makeMediaRecord(volume);
        ASSERT_EQ(record.has_value(), !cells.empty());
        if (!record)
            continue;
        for (std::size_t column = 0; column < cells.size(); ++column)
            EXPECT_EQ(cellText(*record, "Collumn" + std::to_string(column + 1)), cells[column]) << column;
        // An absent name stays absent.
        EXPECT_EQ(record->nsStrVolName.has_value(), volume.VolumeName.has_value());
        EXPECT_TRUE(record->sourcePath.empty());
    }
    const auto record = *makeMediaRecord(usbVolume());
    for (const char* column : {"Collumn7", "Column1", ""})
        EXPECT_EQ(cellText(record, column), "") << column;
}

TEST(MakeMediaRecord, SizeAndSectorTexts) {
    struct Row {
        std::uint64_t bytes;
        const char* sizeText;
        const char* sectorText;
    };
    for (const auto& row :
         {Row{500, "500.00 bytes ", "0"}, Row{1024, "1024.00 bytes ", "2"}, Row{1025, "1.00  KB ", "2"},
          Row{1572864, "1.50  MB ", "3072"}, Row{16008609792u, "14.91  GB ", "31266816"},
          Row{500107862016u, "465.76  GB ", "976773168"}, Row{4000787030016u, "3.64  TB ", "7814037168"},
          // Not multiples of 512: the remainder is dropped.
          Row{511, "511.00 bytes ", "0"}, Row{513, "513.00 bytes ", "1"},
          Row{4000787030527u, "3.64  TB ", "7814037168"},
          // No unit above TB.
          Row{2251799813685248u, "2048.00  TB ", "4398046511104"}}) {
        auto volume = usbVolume();
        volume.IOKitSize = row.bytes;
        const auto record = makeMediaRecord(volume);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->nsStrSize, row.sizeText) << row.bytes;
        EXPECT_EQ(record->nsStrSectors, row.sectorText) << row.bytes;
    }
}

TEST(GetMPSize, ReadsTheTextLikeANumber) {
    EXPECT_EQ(getMPSize(""), "0.00 bytes ");
    EXPECT_EQ(getMPSize("  2048"), "2.00  KB ");
    EXPECT_EQ(getMPSize("abc"), "0.00 bytes ");
    EXPECT_EQ(getMPSize("1048576"), "1024.00  KB ");
    EXPECT_EQ(getMPSize("1048577"), "1.00  MB ");
}

TEST(RawDevicePath, PrefersTheSourceFile) {
    auto record = *makeMediaRecord(usbVolume());
#if defined(__APPLE__)
    EXPECT_EQ(rawDevicePath(record), "/dev/rsdb1");
#else
    EXPECT_EQ(rawDevicePath(record), "/dev/sdb1");
    EXPECT_EQ(rawDevicePath("nvme0n1p2"), "/dev/nvme0n1p2");
#endif
    record.sourcePath = "/tmp/card.img";
    EXPECT_EQ(rawDevicePath(record), "/tmp/card.img");
}

class FixedVolumes : public VolumeEnumerator {
public:
    explicit FixedVolumes(std::vector<VolumeDescription> volumes) : volumes_(std::move(volumes)) {}
    std::vector<VolumeDescription> describeMountedVolumes() override { return volumes_; }

private:
    std::vector<VolumeDescription> volumes_;
};

TEST(BuildMediaList, KeepsOrderAndDropsSkippedVolumes) {
    auto first = usbVolume();
    first.DeviceIdentifier = "sdc1";
    auto image = usbVolume();
    image.BusProtocol = "Disk Image";
    auto cd = usbVolume();
    cd.OpticalDeviceType = "CD-R";
    VolumeDescription undescribed;
    auto last = usbVolume();
    last.DeviceIdentifier = "sda2";

    FixedVolumes enumerator({first, image, cd, undescribed, last});
    const auto records = buildMediaList(enumerator);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].nsStrDiskIdentifier, "sdc1");
    EXPECT_EQ(records[1].nsStrDiskIdentifier, "sda2");

    FixedVolumes none({});
    EXPECT_TRUE(buildMediaList(none).empty());
}

} // namespace
} // namespace quarry::media
