#include "media/enumeration.h"
#include "media/plist_parser.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

namespace quarry::media {
namespace {

std::string fixture(const std::string& name) {
    std::ifstream file(std::string(QUARRY_TEST_SOURCE_DIR) + "/tests/media/data/" + name);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

auto fieldsOf(const VolumeDescription& v) {
    return std::tie(v.BusProtocol, v.OpticalDeviceType, v.DeviceIdentifier, v.VolumeName,
                    v.FilesystemUserVisibleName, v.IOKitSize, v.ParentWholeDisk);
}

// What the disk utility's output says of a volume: a key of the wrong type, or a size that is
// no 64-bit count, counts as absent; a real size is cut to whole bytes.
TEST(DiskutilPlist, DescribesTheVolume) {
    const auto sized = [](const char* value) {
        return "<plist><dict><key>IOKitSize</key>" + std::string(value) + "</dict></plist>";
    };
    VolumeDescription cutSize;
    cutSize.IOKitSize = 1536;
    const std::vector<std::pair<std::string, VolumeDescription>> cases{
        {fixture("disk_image.plist"),
         {"Disk Image", std::nullopt, "disk4s1", "Installer", "HFS+", 52428800u, "disk4"}},
        {fixture("cd.plist"), {"ATAPI", "CD-ROM", "disk3", "HOLIDAY_2009", "ISO 9660", 681574400u, "disk3"}},
        {fixture("empty_name.plist"),
         {"USB", std::nullopt, "disk2s1", "", "MS-DOS (FAT32)", 16008609792u, "disk2"}},
        {fixture("missing_name.plist"),
         {"SATA", std::nullopt, "disk0s2", std::nullopt, "Mac OS Extended (Journaled)", 500107862016u,
          "disk0"}},
        {fixture("odd_size.plist"),
         {"USB", std::nullopt, "disk5s1", "Backup <2024>", "ExFAT", 4000787030123u, "disk5"}},
        {"<plist><dict><key>DeviceIdentifier</key><integer>3</integer><key>VolumeName</key><true/>"
         "<key>IOKitSize</key><string>1024</string></dict></plist>",
         {}},
        {sized("<integer>-5</integer>"), {}},
        {sized("<integer>18446744073709551616</integer>"), {}},
        {sized("<real>1536.9</real>"), cutSize},
        {"<plist><array><string>disk2</string></array></plist>", {}},
        {"Could not find disk", {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(fieldsOf(describeFromDiskutilPlist(text)), fieldsOf(expected)) << text;
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

    // Every prefix of a valid document is either complete or rejected, never a crash.
    for (std::size_t length = 0; length + 10 < valid.size(); ++length)
        EXPECT_FALSE(parsePropertyList(std::string_view(valid).substr(0, length))) << length;

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    EXPECT_FALSE(parsePropertyList(deep));
}

} // namespace
} // namespace quarry::media
