#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/preview_extract.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using quarry::kSectorSize;
using namespace quarry::results;
namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "preview-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Every byte of sector n is (n + 1) mod 251, never 0, so a zero-filled sector stands out.
class PatternSource : public quarry::carving::SectorSource {
public:
    explicit PatternSource(std::uint64_t sectors) : sectors_(sectors) {}
    std::set<std::uint64_t> bad;
    std::function<void(std::uint64_t)> onRead;

    std::uint64_t sectorCount() const override { return sectors_; }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        for (std::size_t k = 0; k < count; ++k) {
            const auto n = first + k;
            if (onRead)
                onRead(n);
            if (n >= sectors_ || bad.count(n))
                return false;
            std::memset(out + k * kSectorSize, static_cast<int>(fill(n)), kSectorSize);
        }
        return true;
    }
    static std::uint8_t fill(std::uint64_t n) { return static_cast<std::uint8_t>((n + 1) % 251); }

private:
    std::uint64_t sectors_;
};

std::vector<std::uint8_t> readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
        const auto bytes = readAll(path);
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
    const auto fills = sectorFills(readAll(path));
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
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(100 * kSectorSize, 'x');
    }
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
    {
        std::ofstream out(victim);
        out << "keep me";
    }
    fs::create_symlink(victim, path);
    PatternSource source(8);
    const auto result = extractPreviewFile(source, 0, 3, path, stop);
    EXPECT_TRUE(result.created);
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(fs::file_size(path), 3 * kSectorSize);
    EXPECT_EQ(readAll(victim), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
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
