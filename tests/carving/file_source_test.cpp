#include "carving/block_reader.h"
#include "carving/memory_source.h"
#include "carving/sector_source.h"
#include "carving_test_support.h"
#include "test_files.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace quarry::carving {
namespace {

using namespace test_support;

// An image file holding `bytes`, removed afterwards.
class TempFile {
public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes) { test::writeBytes(path(), bytes); }
    std::string path() const { return (dir_.path() / "image").string(); }

private:
    test::TempDir dir_;
};

TEST(CarvingFileSource, ReadsWholeSectorsOfAnImageFile) {
    std::vector<std::uint8_t> bytes(5 * kSectorSize + 100);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    const TempFile file(bytes);
    const auto source = openFileSource(file.path());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->sectorCount(), 6u); // the part sector at the end counts
    std::vector<std::uint8_t> out(3 * kSectorSize);
    ASSERT_TRUE(source->readSectors(2, 3, out.data()));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 2 * kSectorSize));
    EXPECT_FALSE(source->readSectors(4, 3, out.data()));
    EXPECT_FALSE(source->readSectors(6, 1, out.data()));
    EXPECT_TRUE(source->readSectors(6, 0, out.data()));

    EXPECT_EQ(openFileSource(file.path() + "-missing"), nullptr);
    EXPECT_EQ(openFileSource(std::filesystem::temp_directory_path().string()), nullptr);
}

// An image file's part sector at its end is one more sector, zero-padded; sectors that another
// program cuts off during a scan fail one by one and read as zeros, and the scan ends complete.
TEST(CarvingFileSource, PartSectorIsReadAndShortenedFileFailsOnlyWhatItLost) {
    Image image(256);
    std::mt19937_64 random(5);
    image.randomize(random, 0, 256);
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    ScanSetup setup;
    setup.general = &list;
    setup.thoroughPass = false;
    struct Case {
        std::uint64_t keptBytes; // the file's length once the source is open
        std::uint64_t unreadable;
    };
    const std::uint64_t whole = 256 * kSectorSize + 300;
    for (const Case c : {Case{whole, 0}, Case{64 * kSectorSize, 193}, Case{64 * kSectorSize + 300, 193}}) {
        SCOPED_TRACE(c.keptBytes);
        std::vector<std::uint8_t> bytes = image.bytes();
        bytes.resize(bytes.size() + 300, 0xAB);
        const TempFile file(bytes);
        const auto source = openFileSource(file.path());
        ASSERT_NE(source, nullptr);
        ASSERT_EQ(source->sectorCount(), 257u);
        std::filesystem::resize_file(file.path(), c.keptBytes);

        std::vector<std::uint8_t> out(257 * kSectorSize, 0xEE);
        const ZeroFilledRead read = readSectorsOrZeros(*source, 0, 257, out.data());
        EXPECT_EQ(read.unreadable, c.unreadable);
        std::vector<std::uint8_t> expected = bytes;
        expected.resize(257 * kSectorSize, 0);
        const std::uint64_t wholeSectorsKept = c.keptBytes / kSectorSize;
        if (c.unreadable > 0)
            std::fill(expected.begin() + static_cast<std::ptrdiff_t>(wholeSectorsKept * kSectorSize),
                      expected.end(), 0);
        EXPECT_EQ(out, expected);

        PhotoCounters counters;
        const ScanRun run = runPhoto(source.get(), setup, counters);
        EXPECT_EQ(run.result.status, ScanStatus::Complete);
        EXPECT_EQ(run.result.sectorsScanned, 257u);
        EXPECT_EQ(run.result.badSectors, c.unreadable);
    }
}

} // namespace
} // namespace quarry::carving
