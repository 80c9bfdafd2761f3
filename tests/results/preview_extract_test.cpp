#include "common/sector.h"
#include "disk_image.h"
#include "results/preview_extract.h"
#include "test_files.h"

#include <gtest/gtest.h>
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

TEST_F(PreviewExtract, CopiesExactlyTheRangeFromAnyStart) {
    PatternSource source(64);
    for (std::uint64_t start : {0u, 5u}) {
        const auto result = extractPreviewFile(source, start, start + 7, path, stop);
        EXPECT_TRUE(result.created);
        EXPECT_EQ(result.sectorsWritten, 7u);
        EXPECT_FALSE(result.stopped);
        const auto bytes = readBytes(path);
        ASSERT_EQ(bytes.size(), 7 * kSectorSize);
        const auto fills = sectorFills(bytes);
        for (std::uint64_t k = 0; k < 7; ++k)
            EXPECT_EQ(fills[k], PatternSource::fill(start + k)) << "start " << start << " sector " << k;
    }
}

TEST_F(PreviewExtract, UnreadableSectorsBecomeZerosAndTheRestStaysAligned) {
    PatternSource source(64);
    source.bad = {11, 12, 15};
    const auto result = extractPreviewFile(source, 10, 18, path, stop);
    EXPECT_EQ(result.sectorsWritten, 8u);
    EXPECT_EQ(result.unreadableSectors, 3u);
    const auto fills = sectorFills(readBytes(path));
    const std::vector<int> expected{PatternSource::fill(10),
                                    0,
                                    0,
                                    PatternSource::fill(13),
                                    PatternSource::fill(14),
                                    0,
                                    PatternSource::fill(16),
                                    PatternSource::fill(17)};
    EXPECT_EQ(fills, expected);
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

TEST_F(PreviewExtract, StopFlagEndsTheCopyKeepingWhatWasWritten) {
    PatternSource source(64);
    source.onRead = [&](std::uint64_t n) {
        if (n == 13)
            stop = 1;
    };
    const auto result = extractPreviewFile(source, 10, 40, path, stop);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.sectorsWritten, 4u);
    EXPECT_EQ(fs::file_size(path), 4 * kSectorSize);
}

TEST_F(PreviewExtract, NothingIsCopiedWhenTheFileCannotBeCreated) {
    PatternSource source(8);
    const auto result =
        extractPreviewFile(source, 0, 4, (dir.path() / "missing" / "dprv.JPG").string(), stop);
    EXPECT_FALSE(result.created);
    EXPECT_EQ(result.sectorsWritten, 0u);
}

TEST_F(PreviewExtract, EmptyOrInvertedRangeGivesAnEmptyFile) {
    PatternSource source(8);
    EXPECT_EQ(extractPreviewFile(source, 5, 5, path, stop).sectorsWritten, 0u);
    EXPECT_EQ(extractPreviewFile(source, 6, 2, path, stop).sectorsWritten, 0u);
    EXPECT_EQ(fs::file_size(path), 0u);
}

} // namespace
