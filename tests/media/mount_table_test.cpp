#include "media/mount_table.h"

#include <gtest/gtest.h>
#include <tuple>

namespace quarry::media {
namespace {

TEST(MountInfo, ReadsFieldsAroundTheSeparator) {
    const auto entries = parseMountInfo(
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
        "36 35 8:17 /photos /media/My\\040Card rw,noatime shared:1 master:2 - vfat /dev/sdb1 rw,fmask=0022\n"
        "40 27 0:35 / /home rw shared:7 - btrfs /dev/nvme0n1p3 rw,ssd\n"
        "41 27 0:50 / /mnt/odd\\011tab\\134back rw propagate_from:3 unbindable - fuse.sshfs user@host: rw\n");
    using Fields =
        std::tuple<std::uint32_t, std::uint32_t, std::string, std::string, std::string, std::string>;
    std::vector<Fields> fields;
    for (const auto& e : entries)
        fields.emplace_back(e.major, e.minor, e.root, e.mountPoint, e.fsType, e.source);
    EXPECT_EQ(fields, (std::vector<Fields>{{254, 0, "/", "/", "ext4", "/dev/vda"},
                                           {8, 17, "/photos", "/media/My Card", "vfat", "/dev/sdb1"},
                                           {0, 35, "/", "/home", "btrfs", "/dev/nvme0n1p3"},
                                           {0, 50, "/", "/mnt/odd\ttab\\back", "fuse.sshfs", "user@host:"}}));
}

TEST(MountInfo, DropsMalformedLines) {
    const auto entries = parseMountInfo("\n"
                                        "garbage\n"
                                        "1 2 8:1 / /a rw ext4 /dev/sda1 rw\n"   // no separator
                                        "1 2 8:1 / /a rw -\n"                   // nothing after it
                                        "1 2 8x1 / /a rw - ext4 /dev/sda1 rw\n" // bad device number
                                        "1 2 8:1 / /b rw - ext4 /dev/sda1 rw"); // no final line feed
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].mountPoint, "/b");
}

TEST(MountInfo, UnescapesOnlyThreeOctalDigits) {
    EXPECT_EQ(unescapeMountField("a\\040b"), "a b");
    EXPECT_EQ(unescapeMountField("\\012"), "\n");
    EXPECT_EQ(unescapeMountField("a\\09b"), "a\\09b");
    EXPECT_EQ(unescapeMountField("end\\04"), "end\\04");
    EXPECT_EQ(unescapeMountField("\\"), "\\");
}

} // namespace
} // namespace quarry::media
