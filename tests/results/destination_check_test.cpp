#include "block_fixtures.h"
#include "media/sysfs_block.h"
#include "results/destination_check.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace quarry::results {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quarry-dest-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

DeviceNumber deviceOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return {major(info.st_dev), minor(info.st_dev)};
}

const std::string kRefused(kSameDiskAlert);

// A machine with two disks: sdb (two partitions, an LVM volume on the second, and btrfs on it
// too) and sdc, which holds the file system of this test's folder and so the image file of
// loop3. loop5's image file is gone.
class FakeSystem : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(root_.path().empty());
        const auto sys = root_.path() / "sys";
        const fs::path sdb = "devices/pci0000:00/0000:00:14.0/usb1/host6/block/sdb";
        const fs::path sdc = "devices/pci0000:00/0000:00:17.0/ata2/host1/block/sdc";
        for (const auto& disk : {sdb, sdc}) {
            writeFile(sys / disk / "size", "1000000\n");
            for (const char* n : {"1", "2"}) {
                const auto partition = disk.filename().string() + n;
                writeFile(sys / disk / partition / "size", "400000\n");
                writeFile(sys / disk / partition / "partition", std::string(n) + "\n");
                link(sys, disk / partition, partition);
            }
            link(sys, disk, disk.filename().string());
        }
        writeFile(sys / "devices/virtual/block/dm-0/size", "400000\n");
        fs::create_directories(sys / "devices/virtual/block/dm-0/slaves");
        fs::create_directory_symlink("../../../../../" + (sdb / "sdb2").string(),
                                     sys / "devices/virtual/block/dm-0/slaves/sdb2");
        link(sys, "devices/virtual/block/dm-0", "dm-0");

        image_ = root_.path() / "images" / "card.img";
        writeFile(image_, "an image");
        writeFile(sys / "devices/virtual/block/loop3/size", "16\n");
        writeFile(sys / "devices/virtual/block/loop3/loop/backing_file", image_.string() + "\n");
        link(sys, "devices/virtual/block/loop3", "loop3");
        writeFile(sys / "devices/virtual/block/loop5/size", "16\n");
        writeFile(sys / "devices/virtual/block/loop5/loop/backing_file", "/gone/old.img (deleted)\n");
        link(sys, "devices/virtual/block/loop5", "loop5");

        // This folder's real file system stands for sdc1 here.
        here_ = deviceOf(root_.path());
        for (const auto taken :
             {sdb1, sdb2, sdc1, sdc2, DeviceNumber{8, 16}, DeviceNumber{8, 32}, dm0, loop3, loop5, btrfs})
            if (here_ == taken)
                GTEST_SKIP() << "this machine's device numbers collide with the fake ones";
        fs::create_directory_symlink("../../" + (sdc / "sdc1").string(),
                                     sys / "dev/block" /
                                         (std::to_string(here_.major) + ":" + std::to_string(here_.minor)));

        writeFile(root_.path() / "mountinfo", "21 1 8:17 / /media/CARD rw - vfat /dev/sdb1 rw\n"
                                              "22 1 0:50 / /srv rw - btrfs /dev/sdb2 rw\n"
                                              "23 1 0:51 / /tmp rw - tmpfs tmpfs rw\n");
        check_.emplace(media::LinuxSystemPaths{root_.path() / "mountinfo", sys, root_.path() / "dev"});
    }

    // sys/dev/block/M:m and sys/class/block/NAME for the device at `folder`.
    void link(const fs::path& sys, const fs::path& folder, const std::string& name) {
        const auto number = readNumber(sys / folder);
        fs::create_directories(sys / "dev/block");
        fs::create_directories(sys / "class/block");
        fs::create_directory_symlink("../../" + folder.string(), sys / "dev/block" / number);
        fs::create_directory_symlink("../../" + folder.string(), sys / "class/block" / name);
    }

    std::string readNumber(const fs::path& folder) {
        const auto name = folder.filename().string();
        static const std::map<std::string, std::string> numbers{
            {"sdb", "8:16"},  {"sdb1", "8:17"},  {"sdb2", "8:18"}, {"sdc", "8:32"}, {"sdc1", "8:33"},
            {"sdc2", "8:34"}, {"dm-0", "253:0"}, {"loop3", "7:3"}, {"loop5", "7:5"}};
        return numbers.at(name);
    }

    static constexpr DeviceNumber sdb{8, 16}, sdb1{8, 17}, sdb2{8, 18}, sdc{8, 32}, sdc1{8, 33}, sdc2{8, 34},
        dm0{253, 0}, loop3{7, 3}, loop5{7, 5}, btrfs{0, 50}, tmpfs{0, 51};

    TempDir root_;
    fs::path image_;
    DeviceNumber here_;
    std::optional<DestinationCheck> check_;
};

TEST_F(FakeSystem, WholeDisksBehindEachKindOfDevice) {
    using Disks = std::set<std::string>;
    EXPECT_EQ(check_->wholeDisks(sdb1), Disks{"sdb"});
    EXPECT_EQ(check_->wholeDisks(sdb), Disks{"sdb"});
    EXPECT_EQ(check_->wholeDisks(dm0), Disks{"sdb"});
    EXPECT_EQ(check_->wholeDisks(btrfs), Disks{"sdb"});
    EXPECT_EQ(check_->wholeDisks(loop3), Disks{"sdc"});
    EXPECT_EQ(check_->wholeDisks(loop5), Disks{"loop5"});
    EXPECT_EQ(check_->wholeDisks(tmpfs), Disks{});
    EXPECT_EQ(check_->wholeDisks({9, 9}), Disks{});
}

TEST_F(FakeSystem, RefusesEveryDestinationOnTheScannedDisk) {
    // Same partition, a sibling partition, the whole disk, and a volume built on the disk.
    EXPECT_EQ(check_->refusal(sdb1, sdb1), kRefused);
    EXPECT_EQ(check_->refusal(sdb2, sdb1), kRefused);
    EXPECT_EQ(check_->refusal(sdb1, sdb), kRefused);
    EXPECT_EQ(check_->refusal(sdb, sdb2), kRefused);
    EXPECT_EQ(check_->refusal(dm0, sdb1), kRefused);
    EXPECT_EQ(check_->refusal(btrfs, sdb), kRefused);
    // A loop device is on the disk of its image file, both as the source and as the destination.
    EXPECT_EQ(check_->refusal(sdc2, loop3), kRefused);
    EXPECT_EQ(check_->refusal(loop3, sdc), kRefused);
    // Devices sysfs doesn't know are compared by number.
    EXPECT_EQ(check_->refusal({9, 9}, {9, 9}), kRefused);
}

TEST_F(FakeSystem, AllowsOtherDisks) {
    EXPECT_FALSE(check_->refusal(sdc1, sdb1));
    EXPECT_FALSE(check_->refusal(sdb2, sdc));
    EXPECT_FALSE(check_->refusal(dm0, sdc1));
    EXPECT_FALSE(check_->refusal(btrfs, sdc2));
    EXPECT_FALSE(check_->refusal(sdb1, loop3));
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
// A loop device whose image file lies in the destination's file system, as the kernel shows it.
TEST(ThisMachine, LoopDeviceOverAnImageBesideTheDestination) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "attaching a loop device needs root";
    TempDir dir;
    const auto image = dir.path() / "card.img";
    std::ofstream(image, std::ios::binary) << std::string(1 << 20, '\0');
    test::LoopDevice loop(image);
    if (!loop.attached())
        GTEST_SKIP() << "no loop device could be attached";
    const DestinationCheck check;
    EXPECT_EQ(check.refusal(dir.path() / "not" / "made" / "yet", loop.path()), kRefused);
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
