#include "block_fixtures.h"
#include "fake_machine.h"
#include "media/block_probe.h"
#include "media/linux_enumerator.h"
#include "media/mount_table.h"
#include "media/sysfs_block.h"
#include "test_files.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>
#include <unistd.h>

namespace quarry::media {
namespace {

using namespace quarry::test;
using quarry::test::LoopDevice;

constexpr const char* kMkfsFat = "/usr/sbin/mkfs.fat";

// A FAT32 file system in a regular file, as mkfs.fat makes it.
bool makeFat32Image(const fs::path& image, const std::string& label) {
    fs::remove(image);
    const std::string command =
        std::string(kMkfsFat) + " -F 32 -n " + label + " -C '" + image.string() + "' 40000 >/dev/null 2>&1";
    return access(kMkfsFat, X_OK) == 0 && std::system(command.c_str()) == 0;
}

// A sysfs, /dev and mountinfo of a machine with a card reader, a disk image and an LVM volume.
class FakeSystem : public testing::Test {
protected:
    void SetUp() override {
        FakeMachine machine(root_.path());
        const fs::path disk = "devices/pci0000:00/0000:00:14.0/usb1/host6/block/sdb";
        machine.addDevice(disk, "8:16", "31266816");
        machine.addPartition(disk / "sdb1", "8:17", "31264768", "1");
        machine.addDevice("devices/virtual/block/loop3", "7:3", "8192");
        writeFile(machine.sys() / "devices/virtual/block/loop3/loop/backing_file", "/home/me/disk.img\n");
        machine.addDevice("devices/virtual/block/dm-0", "253:0", "1000001");
        machine.setMountInfo("20 1 0:22 / /proc rw - proc proc rw\n"
                             "21 1 8:17 / /media/me/CARD\\040A rw - vfat /dev/sdb1 rw\n"
                             "22 1 0:40 / /net rw - nfs4 server:/export rw\n"
                             "23 1 8:17 /DCIM /mnt/bind rw shared:1 - vfat /dev/sdb1 rw\n"
                             "24 1 7:3 / /mnt/image rw - ext4 /dev/loop3 rw\n"
                             "25 1 0:45 / /mnt/sshfs rw - fuse.sshfs me@host: rw\n"
                             "26 1 253:0 / /srv rw master:4 - xfs /dev/mapper/vg-srv rw\n"
                             "27 1 9:9 / /gone rw - ext4 /dev/md9 rw\n"
                             "28 1 8:16 / /mnt/whole rw - vfat /dev/sdb rw\n");
        paths_ = machine.paths();
    }

    TempDir root_;
    LinuxSystemPaths paths_;
};

TEST_F(FakeSystem, SysfsGivesNameParentAndSize) {
    const auto partition = readSysfsBlockDevice(paths_.sysRoot, 8, 17);
    ASSERT_TRUE(partition);
    EXPECT_EQ(partition->kernelName, "sdb1");
    EXPECT_EQ(partition->wholeDiskName, "sdb");
    EXPECT_EQ(partition->sizeBytes, 31264768ull * 512);

    const auto whole = readSysfsBlockDevice(paths_.sysRoot, 8, 16);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->wholeDiskName, "sdb");
    EXPECT_FALSE(readSysfsBlockDevice(paths_.sysRoot, 0, 22));
}

TEST_F(FakeSystem, ListsBlockDevicesOnceInMountOrder) {
    LinuxVolumeEnumerator enumerator(paths_);
    const auto volumes = enumerator.describeMountedVolumes();
    const auto fieldsOf = [](const VolumeDescription& v) {
        return std::tie(v.BusProtocol, v.OpticalDeviceType, v.DeviceIdentifier, v.VolumeName,
                        v.FilesystemUserVisibleName, v.IOKitSize, v.ParentWholeDisk);
    };
    // No device node to probe: the mount table's type stands in, and there is no label.
    const std::vector<VolumeDescription> expected{
        {std::nullopt, std::nullopt, "sdb1", std::nullopt, "MS-DOS (FAT)", 31264768ull * 512, "sdb"},
        {"Disk Image", std::nullopt, "loop3", std::nullopt, "ext4", 8192ull * 512, "loop3"},
        {std::nullopt, std::nullopt, "dm-0", std::nullopt, "xfs", 1000001ull * 512, "dm-0"},
        {std::nullopt, std::nullopt, "sdb", std::nullopt, "MS-DOS (FAT)", 31266816ull * 512, "sdb"}};
    ASSERT_EQ(volumes.size(), expected.size());
    for (std::size_t i = 0; i < volumes.size(); ++i)
        EXPECT_EQ(fieldsOf(volumes[i]), fieldsOf(expected[i])) << i;

    const auto records = buildMediaList(enumerator);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].nsStrDiskIdentifier, "sdb1");
    EXPECT_EQ(records[0].nsStrSectors, "31264768");
    EXPECT_EQ(records[1].nsStrDiskIdentifier, "dm-0");
    EXPECT_EQ(records[1].nsStrSize, "488.28  MB ");
    EXPECT_EQ(records[2].nsStrDiskIdentifier, "sdb");
}

TEST_F(FakeSystem, ProbedDeviceGivesLabelAndFatVersion) {
    if (!makeFat32Image(paths_.devRoot / "sdb1", "CARD"))
        GTEST_SKIP() << "mkfs.fat is not available";
    LinuxVolumeEnumerator enumerator(paths_);
    const auto volume = enumerator.describeBlockDevice(8, 17, "vfat");
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->VolumeName, "CARD");
    EXPECT_EQ(volume->FilesystemUserVisibleName, "MS-DOS (FAT32)");
    // The size is the device's, not the file system's.
    EXPECT_EQ(volume->IOKitSize, 31264768ull * 512);
}

TEST_F(FakeSystem, UnreadableMountTableListsNothing) {
    paths_.mountInfo = root_.path() / "missing";
    LinuxVolumeEnumerator enumerator(paths_);
    EXPECT_TRUE(enumerator.describeMountedVolumes().empty());
}

TEST(FileSystemNames, FatByVersionOthersByName) {
    EXPECT_EQ(fileSystemDisplayName("vfat", "FAT16"), "MS-DOS (FAT16)");
    EXPECT_EQ(fileSystemDisplayName("msdos", ""), "MS-DOS (FAT)");
    EXPECT_EQ(fileSystemDisplayName("ntfs3", ""), "NTFS");
    EXPECT_EQ(fileSystemDisplayName("ext4", "1.0"), "ext4");
    EXPECT_EQ(fileSystemDisplayName("f2fs", ""), "f2fs");
}

TEST(OpticalMedia, OnlyCdProfilesSayCd) {
    for (const std::uint16_t profile : std::initializer_list<std::uint16_t>{0x08, 0x09, 0x0A})
        EXPECT_NE(opticalMediaName(profile).value_or("").find("CD"), std::string::npos) << profile;
    for (const std::uint16_t profile :
         std::initializer_list<std::uint16_t>{0x10, 0x1B, 0x2B, 0x40, 0x43, 0x51})
        EXPECT_EQ(opticalMediaName(profile).value_or("CD").find("CD"), std::string::npos) << profile;
    EXPECT_FALSE(opticalMediaName(0));
    EXPECT_FALSE(opticalMediaName(0xFFFF));
}

TEST(ThisMachine, RootVolumeIsDescribed) {
    const auto mounts = parseMountInfo(readText("/proc/self/mountinfo"));
    const auto root =
        std::find_if(mounts.begin(), mounts.end(), [](const auto& m) { return m.mountPoint == "/"; });
    ASSERT_NE(root, mounts.end());
    const auto device = readSysfsBlockDevice("/sys", root->major, root->minor);
    if (!device)
        GTEST_SKIP() << "the root file system (" << root->fsType << ") is not on a block device";

    LinuxVolumeEnumerator enumerator;
    const auto volumes = enumerator.describeMountedVolumes();
    const auto found = std::find_if(volumes.begin(), volumes.end(),
                                    [&](const auto& v) { return v.DeviceIdentifier == device->kernelName; });
    ASSERT_NE(found, volumes.end());
    EXPECT_FALSE(found->DeviceIdentifier->empty());
    EXPECT_FALSE(found->FilesystemUserVisibleName.value_or("").empty());
    EXPECT_GT(found->IOKitSize.value_or(0), 0u);
    EXPECT_FALSE(found->ParentWholeDisk.value_or("").empty());

    if (found->BusProtocol != "Disk Image") {
        const auto records = listMountedMedia();
        EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                                [&](const auto& r) { return r.nsStrDiskIdentifier == device->kernelName; }));
    }
}

TEST(ThisMachine, LoopDeviceIsADiskImage) {
    if (geteuid() != 0)
        GTEST_SKIP() << "attaching a loop device needs root";
    TempDir dir;
    const auto image = dir.path() / "card.img";
    if (!makeFat32Image(image, "LOOPCARD"))
        GTEST_SKIP() << "mkfs.fat is not available";
    LoopDevice loop(image);
    if (!loop.attached())
        GTEST_SKIP() << "no loop device could be attached";

    struct stat info {};
    ASSERT_EQ(stat(loop.path().c_str(), &info), 0);
    LinuxVolumeEnumerator enumerator;
    const auto volume = enumerator.describeBlockDevice(major(info.st_rdev), minor(info.st_rdev), "vfat");
    ASSERT_TRUE(volume);
    EXPECT_EQ("/dev/" + volume->DeviceIdentifier.value_or(""), loop.path());
    EXPECT_EQ(volume->BusProtocol, "Disk Image");
    EXPECT_EQ(volume->IOKitSize, fs::file_size(image));
    EXPECT_EQ(volume->FilesystemUserVisibleName, "MS-DOS (FAT32)");
    EXPECT_EQ(volume->VolumeName, "LOOPCARD");
    EXPECT_FALSE(makeMediaRecord(*volume));
}

} // namespace
} // namespace quarry::media
