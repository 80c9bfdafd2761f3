#include "block_fixtures.h"
#include "fake_machine.h"
#include "media/linux_disk_topology.h"
#include "media/sysfs_block.h"
#include "results/destination_check.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace quarry::results {
namespace {

using namespace quarry::test;

DeviceNumber deviceOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return {major(info.st_dev), minor(info.st_dev)};
}

const std::string kRefused(kSameDiskAlert);

// A machine with two disks: sdb (two partitions, an LVM volume on the second, and btrfs on it
// too) and sdc, which holds the file system of this test's folder and so the image file of
// loop3, which holds an LVM volume dm-1. loop5's image file is gone.
class FakeSystem : public testing::Test {
protected:
    void SetUp() override {
        FakeMachine machine(root_.path());
        const fs::path sdb = "devices/pci0000:00/0000:00:14.0/usb1/host6/block/sdb";
        const fs::path sdc = "devices/pci0000:00/0000:00:17.0/ata2/host1/block/sdc";
        machine.addPartition(sdb / "sdb1", "8:17", "400000", "1");
        machine.addPartition(sdb / "sdb2", "8:18", "400000", "2");
        machine.addDevice(sdb, "8:16", "1000000");
        machine.addPartition(sdc / "sdc1", "8:33", "400000", "1");
        machine.addPartition(sdc / "sdc2", "8:34", "400000", "2");
        machine.addDevice(sdc, "8:32", "1000000");
        const auto sys = machine.sys();
        machine.addDevice("devices/virtual/block/dm-0", "253:0", "400000");
        fs::create_directories(sys / "devices/virtual/block/dm-0/slaves");
        fs::create_directory_symlink("../../../../../" + (sdb / "sdb2").string(),
                                     sys / "devices/virtual/block/dm-0/slaves/sdb2");

        image_ = root_.path() / "images" / "card.img";
        writeFile(image_, "an image");
        machine.addDevice("devices/virtual/block/loop3", "7:3", "16");
        writeFile(sys / "devices/virtual/block/loop3/loop/backing_file", image_.string() + "\n");
        machine.addDevice("devices/virtual/block/dm-1", "253:1", "16");
        fs::create_directories(sys / "devices/virtual/block/dm-1/slaves");
        fs::create_directory_symlink("../../loop3", sys / "devices/virtual/block/dm-1/slaves/loop3");
        machine.addDevice("devices/virtual/block/loop5", "7:5", "16");
        writeFile(sys / "devices/virtual/block/loop5/loop/backing_file", "/gone/old.img (deleted)\n");

        // This folder's real file system stands for sdc1 here.
        here_ = deviceOf(root_.path());
        for (const auto taken : {sdb1, sdb2, sdc1, sdc2, DeviceNumber{8, 16}, DeviceNumber{8, 32}, dm0, dm1,
                                 loop3, loop5, btrfs})
            if (here_ == taken)
                GTEST_SKIP() << "this machine's device numbers collide with the fake ones";
        fs::create_directory_symlink("../../" + (sdc / "sdc1").string(),
                                     sys / "dev/block" /
                                         (std::to_string(here_.major) + ":" + std::to_string(here_.minor)));

        machine.setMountInfo("21 1 8:17 / /media/CARD rw - vfat /dev/sdb1 rw\n"
                             "22 1 0:50 / /srv rw - btrfs /dev/sdb2 rw\n"
                             "23 1 0:51 / /tmp rw - tmpfs tmpfs rw\n");
        disks_.emplace(machine.paths());
        check_.emplace(std::make_unique<media::LinuxDiskTopology>(machine.paths()));
    }

    static constexpr DeviceNumber sdb{8, 16}, sdb1{8, 17}, sdb2{8, 18}, sdc{8, 32}, sdc1{8, 33}, sdc2{8, 34},
        dm0{253, 0}, dm1{253, 1}, loop3{7, 3}, loop5{7, 5}, btrfs{0, 50}, tmpfs{0, 51};

    TempDir root_;
    fs::path image_;
    DeviceNumber here_;
    std::optional<media::LinuxDiskTopology> disks_;
    std::optional<DestinationCheck> check_;
};

TEST_F(FakeSystem, WholeDisksBehindEachKindOfDevice) {
    using Disks = std::set<std::string>;
    EXPECT_EQ(disks_->wholeDisks(sdb1, true), Disks{"sdb"});
    EXPECT_EQ(disks_->wholeDisks(sdb, true), Disks{"sdb"});
    EXPECT_EQ(disks_->wholeDisks(dm0, true), Disks{"sdb"});
    EXPECT_EQ(disks_->wholeDisks(btrfs, true), Disks{"sdb"});
    EXPECT_EQ(disks_->wholeDisks(loop3, true), Disks{"sdc"});
    EXPECT_EQ(disks_->wholeDisks(loop3, false), Disks{"loop3"});
    EXPECT_EQ(disks_->wholeDisks(loop5, true), Disks{"loop5"});
    EXPECT_EQ(disks_->wholeDisks(tmpfs, true), Disks{});
    EXPECT_EQ(disks_->wholeDisks({9, 9}, true), Disks{});
}

TEST_F(FakeSystem, RefusesEveryDestinationOnTheScannedDisk) {
    // Same partition, a sibling partition, the whole disk, and a volume built on the disk.
    EXPECT_EQ(check_->refusal(sdb1, sdb1), kRefused);
    EXPECT_EQ(check_->refusal(sdb2, sdb1), kRefused);
    EXPECT_EQ(check_->refusal(sdb1, sdb), kRefused);
    EXPECT_EQ(check_->refusal(sdb, sdb2), kRefused);
    EXPECT_EQ(check_->refusal(dm0, sdb1), kRefused);
    EXPECT_EQ(check_->refusal(btrfs, sdb), kRefused);
    // Saving into a loop device writes its image file, on the image's disk.
    EXPECT_EQ(check_->refusal(loop3, sdc), kRefused);
    EXPECT_EQ(check_->refusal(dm1, loop3), kRefused);
    // Devices sysfs doesn't know are compared by number.
    EXPECT_EQ(check_->refusal({9, 9}, {9, 9}), kRefused);
}

TEST_F(FakeSystem, AllowsOtherDisks) {
    EXPECT_FALSE(check_->refusal(sdc1, sdb1));
    EXPECT_FALSE(check_->refusal(sdb2, sdc));
    EXPECT_FALSE(check_->refusal(dm0, sdc1));
    EXPECT_FALSE(check_->refusal(btrfs, sdc2));
    EXPECT_FALSE(check_->refusal(sdb1, loop3));
    // New files beside a loop device's image file cannot overwrite the image.
    EXPECT_FALSE(check_->refusal(sdc2, loop3));
    EXPECT_FALSE(check_->refusal(tmpfs, sdb));
    EXPECT_FALSE(check_->refusal(sdc1, loop5));
    EXPECT_FALSE(check_->refusal({9, 9}, sdb));
}

TEST_F(FakeSystem, ImageFileSourcesAndFoldersStillToBeMade) {
    // Saving next to an image file cannot harm it.
    EXPECT_FALSE(check_->refusal(image_.parent_path() / "out", image_));
    EXPECT_FALSE(check_->refusal(root_.path() / "missing" / "out", root_.path() / "missing.img"));
}

#ifdef __linux__
// A loop device whose image file lies in the destination's file system, as the kernel shows it:
// saving beside the image cannot harm it.
TEST(ThisMachine, LoopDeviceOverAnImageBesideTheDestination) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "attaching a loop device needs root";
    TempDir dir;
    const auto image = dir.path() / "card.img";
    writeFile(image, std::string(1 << 20, '\0'));
    test::LoopDevice loop(image);
    if (!loop.attached())
        GTEST_SKIP() << "no loop device could be attached";
    const DestinationCheck check;
    EXPECT_FALSE(check.refusal(dir.path() / "not" / "made" / "yet", loop.path()));
    EXPECT_FALSE(check.refusal(dir.path(), image));

    const fs::path tiny = dir.path() / "tiny";
    test::TinyFileSystem memory(tiny, "64k");
    if (memory.mounted()) {
        EXPECT_FALSE(check.refusal(tiny, loop.path()));
    }
}

TEST(ThisMachine, TheDeviceHoldingAFolderIsItsDisk) {
    TempDir dir;
    const auto number = deviceOf(dir.path());
    const auto device = media::readSysfsBlockDevice("/sys", number.major, number.minor);
    if (!device || !fs::is_block_file("/dev/" + device->kernelName))
        GTEST_SKIP() << "this folder is not on a block device with a node in /dev";
    const DestinationCheck check;
    EXPECT_EQ(check.refusal(dir.path(), "/dev/" + device->kernelName), kRefused);
    if (fs::is_block_file("/dev/" + device->wholeDiskName)) {
        EXPECT_EQ(check.refusal(dir.path() / "out", "/dev/" + device->wholeDiskName), kRefused);
    }
}
#endif

} // namespace
} // namespace quarry::results
