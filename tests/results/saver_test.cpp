#include "common/sector.h"
#include "disk_image.h"
#include "results/saver.h"
#include "test_files.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <unistd.h>

namespace {

using quarry::kSectorSize;
using namespace quarry::results;
using namespace quarry::test;

TEST(SaverNames, FoldersAndNumbering) {
    EXPECT_EQ(resultsFolder("/d", SearchKind::Photo),
              fs::path("/d/Quarry (Vez) Results/Photo Search/General Recovery Results"));
    EXPECT_EQ(resultsFolder("/d", SearchKind::Video).parent_path().filename(), "Video Search");
    EXPECT_EQ(resultsFolder("/d", SearchKind::File).parent_path().filename(), "File Search");

    EXPECT_EQ(itemExtension("GND00001.JPG"), "JPG");
    EXPECT_EQ(itemExtension("TAR.GZ00001.TAR.GZ"), "GZ");
    EXPECT_EQ(itemExtension("NOEXT"), "");

    EXPECT_EQ(numberedName("GND00001.JPG", 2), "GND00001 (2).JPG");
    EXPECT_EQ(numberedName("A.B.C", 3), "A.B (3).C");
    EXPECT_EQ(numberedName("NOEXT", 2), "NOEXT (2)");
}

TEST(SaverNames, UntrustedComponentsStayInside) {
    EXPECT_EQ(safePathComponent("../x"), ".._x");
    EXPECT_EQ(safePathComponent(".."), "__");
    EXPECT_EQ(safePathComponent("."), "_");
    EXPECT_EQ(safePathComponent(""), "_");
    EXPECT_EQ(safePathComponent(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(safePathComponent("/etc/passwd"), "_etc_passwd");
    EXPECT_EQ(safePathComponent(" JPEG"), " JPEG");
}

TEST(ItemSaver, SavesBytesWithoutOverwritingAndLeavesNoPartialFiles) {
    TempDir dir;
    ItemSaver saver(dir.path(), SearchKind::Photo);
    const std::vector<std::uint8_t> first{1, 2, 3}, second{4, 5}, third{6};

    const auto a = saver.saveBytes("GND00001.JPG", first);
    const auto b = saver.saveBytes("GND00001.JPG", second);
    ItemSaver again(dir.path(), SearchKind::Photo); // a second run into the same folder
    const auto c = again.saveBytes("GND00001.JPG", third);
    ASSERT_TRUE(a.ok && b.ok && c.ok) << a.error << b.error << c.error;

    const auto jpg = resultsFolder(dir.path(), SearchKind::Photo) / "JPG";
    EXPECT_EQ(a.path, jpg / "GND00001.JPG");
    EXPECT_EQ(b.path, jpg / "GND00001 (2).JPG");
    EXPECT_EQ(c.path, jpg / "GND00001 (3).JPG");
    EXPECT_EQ(readBytes(a.path), first);
    EXPECT_EQ(readBytes(b.path), second);
    EXPECT_EQ(readBytes(c.path), third);
    EXPECT_EQ(namesIn(jpg), (std::set<std::string>{"GND00001.JPG", "GND00001 (2).JPG", "GND00001 (3).JPG"}));
}

TEST(ItemSaver, HostileNamesAreWrittenInsideTheResultsFolder) {
    TempDir dir;
    ItemSaver saver(dir.path(), SearchKind::File);
    const std::vector<std::uint8_t> bytes{9};
    for (const char* name : {"../../escape00001.../..", "..", "/abs/x00001./abs/x", "x00001."}) {
        const auto result = saver.saveBytes(name, bytes);
        ASSERT_TRUE(result.ok) << name << ": " << result.error;
        const auto relative = fs::relative(result.path, saver.folder());
        ASSERT_FALSE(relative.empty());
        EXPECT_NE(*relative.begin(), "..") << result.path;
        EXPECT_EQ(std::distance(relative.begin(), relative.end()), 2) << result.path;
    }
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"Quarry (Vez) Results"});
}

TEST(ItemSaver, CopiesSectorRangesAndZeroFillsUnreadableSectors) {
    TempDir dir;
    PatternSource source(5000, {2100});
    ItemSaver saver(dir.path(), SearchKind::Video);

    const auto result = saver.saveSectors("AVI00001.AVI", source, 10, 2200);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.unreadableSectors, 1u);
    const auto bytes = readBytes(result.path);
    ASSERT_EQ(bytes.size(), (2200u - 10u) * kSectorSize);
    for (std::uint64_t s = 10; s < 2200; ++s) {
        const auto expected = s == 2100 ? 0 : PatternSource::fill(s);
        ASSERT_EQ(bytes[(s - 10) * kSectorSize], expected) << s;
        ASSERT_EQ(bytes[(s - 10) * kSectorSize + kSectorSize - 1], expected) << s;
    }

    // A stop during a long copy abandons it: no file, not even a partial one.
    std::uint64_t sectorsRead = 0;
    source.onRead = [&](std::uint64_t) {
        ++sectorsRead;
    };
    saver.setStopRequest([&] { return sectorsRead > 0; });
    const auto stopped = saver.saveSectors("AVI00002.AVI", source, 0, 5000);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.ok);
    EXPECT_LT(sectorsRead, 5000u);
    EXPECT_EQ(namesIn(result.path.parent_path()), std::set<std::string>{"AVI00001.AVI"});
}

TEST(ItemSaver, FailureIsReportedAndLeavesNothingBehind) {
    const struct {
        const char* what;
        const char* error; // part of the error text
        std::function<void(const fs::path&)> plant;
    } cases[] = {
        {"a file where the results folder should be", "Not a directory",
         [](const fs::path& dir) {
             writeFile(dir / "Quarry (Vez) Results", "x");
         }},
        // A link planted where the extension's folder goes must not send the file elsewhere.
        {"a link where the extension's folder should be", "symbolic link",
         [](const fs::path& dir) {
             const auto results = resultsFolder(dir, SearchKind::Photo);
             fs::create_directories(results);
             fs::create_directory(dir / "elsewhere");
             fs::create_directory_symlink(dir / "elsewhere", results / "JPG");
         }},
    };
    for (const auto& c : cases) {
        TempDir dir;
        c.plant(dir.path());
        ItemSaver saver(dir.path(), SearchKind::Photo);
        const std::vector<std::uint8_t> bytes{1};
        const auto result = saver.saveBytes("GND00001.JPG", bytes);
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_NE(result.error.find(c.error), std::string::npos) << c.what << ": " << result.error;
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            files += entry.is_regular_file() && entry.path().filename() != "Quarry (Vez) Results";
        EXPECT_EQ(files, 0u) << c.what;
    }
}

// A destination that reports a chosen amount of free space and runs out after a chosen number
// of bytes.
class CrampedFileSystem : public SaveFileSystem {
public:
    std::optional<std::uint64_t> available;
    std::uint64_t writable = std::numeric_limits<std::uint64_t>::max();
    int error = ENOSPC;

    std::optional<std::uint64_t> availableBytes(const fs::path&) override { return available; }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (written_ >= writable) {
            errno = error;
            return -1;
        }
        const auto n = ::write(fd, data, std::min<std::uint64_t>(size, writable - written_));
        if (n > 0)
            written_ += static_cast<std::uint64_t>(n);
        return n;
    }

private:
    std::uint64_t written_ = 0;
};

TEST(ItemSaver, SavesAnExactByteCountFromSectors) {
    TempDir dir;
    PatternSource source(100, {});
    ItemSaver saver(dir.path(), SearchKind::File);
    const auto result = saver.saveFromSource("PDF00001.PDF", source, 3, 1000);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.bytes, 1000u);
    const auto bytes = readBytes(result.path);
    ASSERT_EQ(bytes.size(), 1000u);
    EXPECT_EQ(bytes[0], PatternSource::fill(3));
    EXPECT_EQ(bytes[511], PatternSource::fill(3));
    EXPECT_EQ(bytes[512], PatternSource::fill(4));
    EXPECT_EQ(bytes[999], PatternSource::fill(4));
    // Sectors past the medium's end read as zeros, like any unreadable sector.
    const auto past = saver.saveFromSource("PDF00002.PDF", source, 99, 700);
    ASSERT_TRUE(past.ok) << past.error;
    EXPECT_EQ(past.unreadableSectors, 1u);
    EXPECT_EQ(readBytes(past.path).back(), 0);
}

TEST(ItemSaverSpace, EachFileMustFitWithTheMarginAndSavingStopsAtTheFirstThatDoesNot) {
    TempDir dir;
    CrampedFileSystem cramped;
    cramped.available = kFreeSpaceMargin + 1000;
    ItemSaver saver(dir.path(), SearchKind::Photo, cramped);
    PatternSource source(10, {});

    const auto fits = saver.saveBytes("GND00001.JPG", std::vector<std::uint8_t>(1000, 7));
    ASSERT_TRUE(fits.ok) << fits.error;
    EXPECT_FALSE(saver.destinationFull());

    const auto tooBig = saver.saveBytes("GND00002.JPG", std::vector<std::uint8_t>(1001, 7));
    EXPECT_FALSE(tooBig.ok);
    EXPECT_TRUE(tooBig.destinationFull);
    EXPECT_TRUE(saver.destinationFull());
    // Stopped for good, even for items that would fit.
    EXPECT_TRUE(saver.saveBytes("GND00003.JPG", std::vector<std::uint8_t>(1, 7)).destinationFull);
    EXPECT_TRUE(saver.saveSectors("GND00004.JPG", source, 0, 1).destinationFull);

    EXPECT_EQ(namesIn(saver.folder() / "JPG"), std::set<std::string>{"GND00001.JPG"});
    EXPECT_EQ(readBytes(fits.path).size(), 1000u);

    cramped.available = kFreeSpaceMargin - 1;
    ItemSaver nearlyFull(dir.path(), SearchKind::Photo, cramped);
    EXPECT_TRUE(nearlyFull.saveBytes("GND00005.JPG", std::vector<std::uint8_t>{}).destinationFull);
}

TEST(ItemSaverSpace, RunningOutWhileWritingRemovesThePartialFile) {
    for (const int error : {ENOSPC, EDQUOT}) {
        TempDir dir;
        CrampedFileSystem cramped;
        cramped.writable = 5000;
        cramped.error = error;
        ItemSaver saver(dir.path(), SearchKind::Video, cramped);
        PatternSource source(100, {});

        const auto first = saver.saveSectors("AVI00001.AVI", source, 0, 4);
        ASSERT_TRUE(first.ok) << first.error;
        const auto second = saver.saveSectors("AVI00002.AVI", source, 4, 20);
        EXPECT_FALSE(second.ok);
        EXPECT_TRUE(second.destinationFull);
        EXPECT_TRUE(saver.saveBytes("AVI00003.AVI", std::vector<std::uint8_t>{1}).destinationFull);
        EXPECT_EQ(namesIn(saver.folder() / "AVI"), std::set<std::string>{"AVI00001.AVI"}) << error;
        EXPECT_EQ(readBytes(first.path).size(), 4 * kSectorSize);
    }
    // Other write errors are failures of one item; saving goes on.
    TempDir dir;
    CrampedFileSystem broken;
    broken.writable = 0;
    broken.error = EIO;
    ItemSaver saver(dir.path(), SearchKind::Video, broken);
    const auto failed = saver.saveBytes("AVI00001.AVI", std::vector<std::uint8_t>{1});
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.destinationFull);
    EXPECT_FALSE(saver.destinationFull());
    EXPECT_TRUE(namesIn(saver.folder() / "AVI").empty());
}

} // namespace
