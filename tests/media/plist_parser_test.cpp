#include "media/enumeration.h"
#include "media/plist_parser.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace quarry::media {
namespace {

std::string fixture(const std::string& name) {
    std::ifstream file(std::string(QUARRY_TEST_SOURCE_DIR) + "/tests/media/data/" + name);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(DiskutilPlist, DiskImage) {
    const auto text = fixture("disk_image.plist");
    ASSERT_FALSE(text.empty());
    const auto volume = describeFromDiskutilPlist(text);
    EXPECT_EQ(volume.BusProtocol, "Disk Image");
    EXPECT_EQ(volume.DeviceIdentifier, "disk4s1");
    EXPECT_FALSE(makeMediaRecord(volume));
}

TEST(DiskutilPlist, CdIsSkipped) {
    const auto volume = describeFromDiskutilPlist(fixture("cd.plist"));
    EXPECT_EQ(volume.OpticalDeviceType, "CD-ROM");
    EXPECT_EQ(volume.VolumeName, "HOLIDAY_2009");
    EXPECT_FALSE(makeMediaRecord(volume));
}

TEST(DiskutilPlist, EmptyNameIsUntitled) {
    const auto record = makeMediaRecord(describeFromDiskutilPlist(fixture("empty_name.plist")));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->nsStrDiskIdentifier, "disk2s1");
    EXPECT_EQ(record->nsStrVolName, "Untitled");
    EXPECT_EQ(record->nsStrFileSystem, "MS-DOS (FAT32)");
    EXPECT_EQ(record->nsStrSize, "14.91  GB ");
    EXPECT_EQ(record->nsStrParentDisk, "disk2");
    EXPECT_EQ(record->nsStrSectors, "31266816");
}

TEST(DiskutilPlist, MissingNameStaysAbsent) {
    const auto volume = describeFromDiskutilPlist(fixture("missing_name.plist"));
    EXPECT_FALSE(volume.VolumeName);
    EXPECT_FALSE(volume.OpticalDeviceType);
    const auto record = makeMediaRecord(volume);
    ASSERT_TRUE(record);
    EXPECT_FALSE(record->nsStrVolName);
    EXPECT_EQ(record->nsStrSize, "465.76  GB ");
    EXPECT_EQ(record->nsStrSectors, "976773168");
}

TEST(DiskutilPlist, OddSizeAndEntities) {
    const auto record = makeMediaRecord(describeFromDiskutilPlist(fixture("odd_size.plist")));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->nsStrVolName, "Backup <2024>");
    EXPECT_EQ(record->nsStrFileSystem, "ExFAT");
    EXPECT_EQ(record->nsStrSize, "3.64  TB ");
    EXPECT_EQ(record->nsStrSectors, "7814037168"); // 4000787030123 / 512, remainder dropped
}

TEST(PlistParser, ReadsEveryValueType) {
    const auto root = parsePropertyList(fixture("odd_size.plist"));
    ASSERT_TRUE(root);
    ASSERT_EQ(root->type, PlistValue::Type::Dict);
    const auto* uuid = root->find("DiskUUID");
    ASSERT_TRUE(uuid);
    EXPECT_EQ(uuid->type, PlistValue::Type::Data);
    EXPECT_EQ(uuid->text,
              std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f", 16));
    const auto* partitions = root->find("Partitions");
    ASSERT_TRUE(partitions);
    ASSERT_EQ(partitions->children.size(), 1u);
    const auto* size = partitions->children[0].find("Size");
    ASSERT_TRUE(size);
    EXPECT_EQ(size->type, PlistValue::Type::Real);
    EXPECT_EQ(size->text, "1.5e3");
    const auto* date = root->find("MountTime");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->type, PlistValue::Type::Date);
    EXPECT_EQ(date->text, "2024-03-01T10:00:00Z");

    const auto card = parsePropertyList(fixture("empty_name.plist"));
    ASSERT_TRUE(card);
    EXPECT_EQ(card->find("MediaName")->text, "Card & Reader \xe2\x80\x93 SD");
    EXPECT_TRUE(card->find("Ejectable")->boolean);
    EXPECT_EQ(card->find("NoSuchKey"), nullptr);
}

TEST(PlistParser, EmptyElementsCdataAndBareRoot) {
    const auto root = parsePropertyList("<dict><key>A</key><string/><key>B</key><array/>"
                                        "<key>C</key><string><![CDATA[x<y]]>&#65;</string></dict>");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->find("A")->text, "");
    EXPECT_EQ(root->find("B")->type, PlistValue::Type::Array);
    EXPECT_EQ(root->find("C")->text, "x<yA");
}

TEST(PlistParser, WrongTypesCountAsAbsent) {
    const auto volume = describeFromDiskutilPlist("<plist><dict>"
                                                  "<key>DeviceIdentifier</key><integer>3</integer>"
                                                  "<key>VolumeName</key><true/>"
                                                  "<key>IOKitSize</key><string>1024</string>"
                                                  "</dict></plist>");
    EXPECT_FALSE(volume.DeviceIdentifier);
    EXPECT_FALSE(volume.VolumeName);
    EXPECT_FALSE(volume.IOKitSize);

    const auto negative =
        describeFromDiskutilPlist("<plist><dict><key>IOKitSize</key><integer>-5</integer></dict></plist>");
    EXPECT_FALSE(negative.IOKitSize);
    const auto huge = describeFromDiskutilPlist(
        "<plist><dict><key>IOKitSize</key><integer>18446744073709551616</integer></dict></plist>");
    EXPECT_FALSE(huge.IOKitSize);
    const auto real =
        describeFromDiskutilPlist("<plist><dict><key>IOKitSize</key><real>1536.9</real></dict></plist>");
    EXPECT_EQ(real.IOKitSize, 1536u);
}

TEST(PlistParser, GarbageGivesNothing) {
    const std::string valid = fixture("missing_name.plist");
    const char* garbage[] = {
        "",
        "Could not find disk: /dev",
        "<plist version=\"1.0\"></plist>",
        "<plist><dict><key>A</key></dict></plist>",
        "<plist><dict><key>A</key><string>x</dict></plist>",
        "<plist><dict><string>x</string></dict></plist>",
        "<plist><integer>12a</integer></plist>",
        "<plist><data>!!!</data></plist>",
        "<plist><string>&bogus;</string></plist>",
        "<plist><string>&#0;</string></plist>",
        "<plist><string>&#xD800;</string></plist>",
        "<plist><string>x</string></plist><plist/>",
        "<plist><dict></dict>",
        "<plist><unknown/></plist>",
        "<!-- never closed",
    };
    for (const char* text : garbage)
        EXPECT_FALSE(parsePropertyList(text)) << text;
    EXPECT_FALSE(describeFromDiskutilPlist("Could not find disk").DeviceIdentifier);

    // Every prefix of a valid document is either complete or rejected, never a crash.
    for (std::size_t length = 0; length + 10 < valid.size(); ++length)
        EXPECT_FALSE(parsePropertyList(std::string_view(valid).substr(0, length))) << length;

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    EXPECT_FALSE(parsePropertyList(deep));
}

TEST(PlistParser, RootThatIsNotADictionaryDescribesNothing) {
    const auto volume = describeFromDiskutilPlist("<plist><array><string>disk2</string></array></plist>");
    EXPECT_FALSE(volume.DeviceIdentifier);
    EXPECT_FALSE(makeMediaRecord(volume));
}

} // namespace
} // namespace quarry::media
