#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/saver.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <unistd.h>
#include <vector>

namespace {

using quarry::kSectorSize;
using namespace quarry::results;
namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "saver-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::vector<std::uint8_t> readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

// Sector i holds the byte i % 251 everywhere; chosen sectors fail to read.
class PatternSource : public quarry::carving::SectorSource {
public:
    PatternSource(std::uint64_t sectors, std::set<std::uint64_t> bad)
        : sectors_(sectors), bad_(std::move(bad)) {}
    std::uint64_t sectorCount() const override { return sectors_; }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        for (std::size_t i = 0; i < count; ++i) {
            if (first + i >= sectors_ || bad_.count(first + i))
                return false;
            std::memset(out + i * kSectorSize, static_cast<int>((first + i) % 251), kSectorSize);
        }
        return true;
    }

private:
    std::uint64_t sectors_;
    std::set<std::uint64_t> bad_;
};

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
    EXPECT_EQ(readAll(a.path), first);
    EXPECT_EQ(readAll(b.path), second);
    EXPECT_EQ(readAll(c.path), third);
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
    const auto bytes = readAll(result.path);
    ASSERT_EQ(bytes.size(), (2200u - 10u) * kSectorSize);
    for (std::uint64_t s = 10; s < 2200; ++s) {
        const auto expected = s == 2100 ? 0 : s % 251;
        ASSERT_EQ(bytes[(s - 10) * kSectorSize], expected) << s;
        ASSERT_EQ(bytes[(s - 10) * kSectorSize + kSectorSize - 1], expected) << s;
    }
}

TEST(ItemSaver, FailureIsReportedAndLeavesNothingBehind) {
    TempDir dir;
    // A file where the results folder should be: nothing can be created below it.
    std::ofstream(dir.path() / "Quarry (Vez) Results") << "x";
    ItemSaver saver(dir.path(), SearchKind::Photo);
    const std::vector<std::uint8_t> bytes{1};
    const auto result = saver.saveBytes("GND00001.JPG", bytes);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"Quarry (Vez) Results"});
}

} // namespace
