#include "common/sector.h"
#include "disk_image.h"
#include "results/preview_extract.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace {

using quarry::kSectorSize;
using namespace quarry::results;
using namespace quarry::test;

// The byte each sector of the file holds, or -1 when a sector is not uniform.
std::vector<int> sectorFills(const std::vector<std::uint8_t>& bytes) {
    std::vector<int> fills;
    for (std::size_t at = 0; at + kSectorSize <= bytes.size(); at += kSectorSize) {
        bool uniform = true;
        for (std::size_t k = 1; k < kSectorSize; ++k)
            uniform = uniform && bytes[at + k] == bytes[at];
        fills.push_back(uniform ? bytes[at] : -1);
    }
    return fills;
}

TEST(PreviewFilePath, NamedDprvWithTheItemsExtension) {
    EXPECT_EQ(previewFilePath("/res", "AVI00002.AVI"), "/res/dprv.AVI");
    EXPECT_EQ(previewFilePath("/res", "a.b.pdf"), "/res/dprv.pdf");
    EXPECT_EQ(previewFilePath("/res", "NOEXT"), "/res/dprv");
    EXPECT_EQ(previewFilePath("/res", "x./../../etc"), "/res/dprv");
}

class PreviewExtract : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = (dir.path() / "dprv.JPG").string();
    std::atomic<int> stop{0};
};

// Each sector written holds the source's sector, or zeros where it could not be read; a stop keeps
// what was written before it.
TEST_F(PreviewExtract, CopiesTheRangeSectorForSector) {
    struct Case {
        const char* what;
        std::uint64_t start, end;
        std::set<std::uint64_t> bad;
        std::uint64_t stopAtRead; // 0: never
        std::uint64_t written;
    };
    for (const auto& c :
         {Case{"from the first sector", 0, 7, {}, 0, 7}, Case{"from sector 5", 5, 12, {}, 0, 7},
          Case{"unreadable sectors", 10, 18, {11, 12, 15}, 0, 8}, Case{"stopped", 10, 40, {}, 13, 4},
          Case{"empty range", 5, 5, {}, 0, 0}, Case{"inverted range", 6, 2, {}, 0, 0}}) {
        SCOPED_TRACE(c.what);
        PatternSource source(64, c.bad);
        stop = 0;
        source.onRead = [&](std::uint64_t n) {
            if (n == c.stopAtRead && n != 0)
                stop = 1;
        };
        const auto result = extractPreviewFile(source, c.start, c.end, path, stop);
        EXPECT_TRUE(result.created);
        EXPECT_EQ(result.sectorsWritten, c.written);
        EXPECT_EQ(result.unreadableSectors, c.bad.size());
        EXPECT_EQ(result.stopped, c.stopAtRead != 0);
        EXPECT_EQ(fs::file_size(path), c.written * kSectorSize);
        std::vector<int> expected;
        for (std::uint64_t s = c.start; s < c.start + c.written; ++s)
            expected.push_back(c.bad.count(s) != 0 ? 0 : PatternSource::fill(s));
        EXPECT_EQ(sectorFills(readBytes(path)), expected);
    }
}

TEST_F(PreviewExtract, ReplacesALongerFileAndIsPrivate) {
    writeFile(path, std::string(100 * kSectorSize, 'x'));
    ::chmod(path.c_str(), 0666);
    PatternSource source(8);
    extractPreviewFile(source, 0, 2, path, stop);
    EXPECT_EQ(fs::file_size(path), 2 * kSectorSize);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(PreviewExtract, DoesNotFollowASymbolicLink) {
    const auto victim = dir.path() / "victim.txt";
    writeFile(victim, "keep me");
    fs::create_symlink(victim, path);
    PatternSource source(8);
    const auto result = extractPreviewFile(source, 0, 3, path, stop);
    EXPECT_TRUE(result.created);
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(fs::file_size(path), 3 * kSectorSize);
    EXPECT_EQ(readText(victim), "keep me");
}

TEST_F(PreviewExtract, NothingIsCopiedWhenTheFileCannotBeCreated) {
    PatternSource source(8);
    const auto result =
        extractPreviewFile(source, 0, 4, (dir.path() / "missing" / "dprv.JPG").string(), stop);
    EXPECT_FALSE(result.created);
    EXPECT_EQ(result.sectorsWritten, 0u);
}

} // namespace
