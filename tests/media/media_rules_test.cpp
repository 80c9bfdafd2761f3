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

TEST(MakeMediaRecord, MapsEveryField) {
    const auto record = makeMediaRecord(usbVolume());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->nsStrDiskIdentifier, "sdb1");
    EXPECT_EQ(record->nsStrVolName, "CARD");
    EXPECT_EQ(record->nsStrFileSystem, "MS-DOS (FAT32)");
    EXPECT_EQ(record->nsStrSize, "14.91  GB ");
    EXPECT_EQ(record->nsStrParentDisk, "sdb");
    EXPECT_EQ(record->nsStrSectors, "31266816");
    EXPECT_TRUE(record->sourcePath.empty());
}

TEST(MakeMediaRecord, SkipsDiskImagesCdsAndNamelessDevices) {
    auto image = usbVolume();
    image.BusProtocol = "Disk Image";
    EXPECT_FALSE(makeMediaRecord(image));

    // Only the exact text counts.
    image.BusProtocol = "disk image";
    EXPECT_TRUE(makeMediaRecord(image));

    for (const char* type : {"CD-ROM", "CD-RW", "xCDx"}) {
        auto cd = usbVolume();
        cd.OpticalDeviceType = type;
        EXPECT_FALSE(makeMediaRecord(cd)) << type;
    }
    for (const char* type : {"DVD-ROM", "cd-rom", "BD-R", ""}) {
        auto disc = usbVolume();
        disc.OpticalDeviceType = type;
        EXPECT_TRUE(makeMediaRecord(disc)) << type;
    }

    auto nameless = usbVolume();
    nameless.DeviceIdentifier.reset();
    EXPECT_FALSE(makeMediaRecord(nameless));
    nameless.DeviceIdentifier = "";
    EXPECT_FALSE(makeMediaRecord(nameless));
}

TEST(MakeMediaRecord, VolumeNameRules) {
    auto volume = usbVolume();
    volume.VolumeName = "";
    auto record = makeMediaRecord(volume);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->nsStrVolName, "Untitled");
    EXPECT_EQ(cellText(*record, "Collumn2"), "Untitled");

    volume.VolumeName.reset();
    record = makeMediaRecord(volume);
    ASSERT_TRUE(record);
    EXPECT_FALSE(record->nsStrVolName.has_value());
    EXPECT_EQ(cellText(*record, "Collumn2"), "");
}

TEST(MakeMediaRecord, OnlyTheIdentifierIsRequired) {
    VolumeDescription volume;
    volume.DeviceIdentifier = "vda";
    const auto record = makeMediaRecord(volume);
    ASSERT_TRUE(record);
    EXPECT_FALSE(record->nsStrVolName);
    EXPECT_EQ(record->nsStrFileSystem, "");
    EXPECT_EQ(record->nsStrSize, "0.00 bytes ");
    EXPECT_EQ(record->nsStrParentDisk, "");
    EXPECT_EQ(record->nsStrSectors, "0");
}

struct SizeRow {
    std::uint64_t bytes;
    const char* sizeText;
    const char* sectorText;
};

class SizeTable : public testing::TestWithParam<SizeRow> {};

TEST_P(SizeTable, SizeAndSectorTexts) {
    auto volume = usbVolume();
    volume.IOKitSize = GetParam().bytes;
    const auto record = makeMediaRecord(volume);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->nsStrSize, GetParam().sizeText);
    EXPECT_EQ(record->nsStrSectors, GetParam().sectorText);
}

INSTANTIATE_TEST_SUITE_P(
    Media, SizeTable,
    testing::Values(SizeRow{500, "500.00 bytes ", "0"}, SizeRow{1024, "1024.00 bytes ", "2"},
                    SizeRow{1025, "1.00  KB ", "2"}, SizeRow{1572864, "1.50  MB ", "3072"},
                    SizeRow{16008609792u, "14.91  GB ", "31266816"},
                    SizeRow{500107862016u, "465.76  GB ", "976773168"},
                    SizeRow{4000787030016u, "3.64  TB ", "7814037168"},
                    // Not multiples of 512: the remainder is dropped.
                    SizeRow{511, "511.00 bytes ", "0"}, SizeRow{513, "513.00 bytes ", "1"},
                    SizeRow{4000787030527u, "3.64  TB ", "7814037168"},
                    // No unit above TB.
                    SizeRow{2251799813685248u, "2048.00  TB ", "4398046511104"}),
    [](const testing::TestParamInfo<SizeRow>& row) { return "Bytes" + std::to_string(row.param.bytes); });

TEST(GetMPSize, ReadsTheTextLikeANumber) {
    EXPECT_EQ(getMPSize(""), "0.00 bytes ");
    EXPECT_EQ(getMPSize("  2048"), "2.00  KB ");
    EXPECT_EQ(getMPSize("abc"), "0.00 bytes ");
    EXPECT_EQ(getMPSize("1048576"), "1024.00  KB ");
    EXPECT_EQ(getMPSize("1048577"), "1.00  MB ");
}

TEST(CellText, ColumnsOneToSix) {
    const auto record = *makeMediaRecord(usbVolume());
    EXPECT_EQ(cellText(record, "Collumn1"), "sdb1");
    EXPECT_EQ(cellText(record, "Collumn2"), "CARD");
    EXPECT_EQ(cellText(record, "Collumn3"), "MS-DOS (FAT32)");
    EXPECT_EQ(cellText(record, "Collumn4"), "14.91  GB ");
    EXPECT_EQ(cellText(record, "Collumn5"), "sdb");
    EXPECT_EQ(cellText(record, "Collumn6"), "31266816");
    EXPECT_EQ(cellText(record, "Collumn7"), "");
    EXPECT_EQ(cellText(record, "Column1"), "");
    EXPECT_EQ(cellText(record, ""), "");
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
