#include "carving/extent_source.h"
#include "carving/memory_source.h"
#include "carving_test_support.h"
#include "faulty_source.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace quarry::carving {
namespace {

using namespace test_support;

const auto kJpeg = hexBytes("FFD8FFE0");

// The one routine that reads "sectors or zeros" for every reader: only the failing sectors are
// zeros and counted; once the source cannot be put back, the rest are too.
TEST(CarvingReadFailure, SectorsOrZerosCostsOnlyTheFailingSectors) {
    MemorySource memory(std::vector<std::uint8_t>(10 * kSectorSize, 7));
    struct Case {
        std::uint64_t first;
        std::size_t count;
        std::vector<std::uint64_t> zeroSectors;
        bool lost;
    };
    for (const Case& c : {Case{0, 10, {2, 5, 6, 7, 8, 9}, true}, Case{0, 4, {2}, false},
                          Case{3, 2, {}, false}, Case{8, 3, {10}, false}}) {
        FaultySource source(memory);
        source.failSector(2);
        source.failSector(5);
        source.failRepositionTo(6);
        std::vector<std::uint8_t> out(c.count * kSectorSize, 0xEE);
        const ZeroFilledRead read = readSectorsOrZeros(source, c.first, c.count, out.data());
        EXPECT_EQ(read.unreadable, c.zeroSectors.size()) << c.first;
        EXPECT_EQ(read.lost, c.lost) << c.first;
        for (std::size_t k = 0; k < c.count; ++k) {
            const bool zero = std::count(c.zeroSectors.begin(), c.zeroSectors.end(), c.first + k) > 0;
            EXPECT_EQ(out[k * kSectorSize + 100], zero ? 0 : 7) << c.first + k;
        }
    }
}

// A file in pieces reads as one source: pieces in file order, clipped to the medium, and a bad
// sector inside a piece costs only that sector.
TEST(CarvingReadFailure, ExtentSourceJoinsPiecesInOrderWithinTheMedium) {
    std::vector<std::uint8_t> bytes(10 * kSectorSize);
    for (std::size_t s = 0; s < 10; ++s) {
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(s * kSectorSize), kSectorSize,
                    std::uint8_t(s));
    }
    MemorySource memory(std::move(bytes));
    FaultySource medium(memory);
    medium.failSector(8);
    ExtentSource file(medium, {{7, 2}, {1, 2}, {9, 5}, {40, 3}});
    EXPECT_EQ(file.sectorCount(), 5u); // {9, 5} clipped to one sector, {40, 3} dropped
    std::vector<std::uint8_t> out(6 * kSectorSize);
    EXPECT_FALSE(file.readSectors(0, 6, out.data()));
    const ZeroFilledRead read = readSectorsOrZeros(file, 0, 5, out.data());
    EXPECT_EQ(read.unreadable, 1u);
    const std::uint8_t expected[] = {7, 0, 1, 2, 9};
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(out[k * kSectorSize + 3], expected[k]) << k;
    }
}

// A bad sector reads as zeros and the sectors after it keep their own numbers; only that
// sector is lost, even inside a block read at once.
class CarvingReadFailureBlocks : public ::testing::TestWithParam<std::size_t> {};

TEST_P(CarvingReadFailureBlocks, BadSectorReadsAsZerosAndLaterSectorsStayAligned) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    Image image(40);
    for (std::uint64_t s = 0; s < 40; ++s) {
        image.fill(s, 0x11);
    }
    image.put(2, 0, kJpeg);
    image.put(10, 0, kJpeg); // unreadable: no header is seen there
    image.put(20, 0, kJpeg);
    MemorySource memory = image.source();
    FaultySource source(memory);
    source.failSector(5);
    source.failSector(10);
    source.failSector(39);

    PhotoCounters counters;
    ScanSetup setup;
    setup.general = &list;
    setup.thoroughPass = false;
    setup.blockSectors = GetParam();
    const ScanRun run = runPhoto(&source, setup, counters);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"GND00001.JPG", 2, 20}, {"GND00002.JPG", 20, 40}}));
    ASSERT_EQ(run.photos.size(), 2u);
    std::vector<std::uint8_t> expected(image.bytes().begin() + 2 * 512, image.bytes().begin() + 20 * 512);
    std::fill_n(expected.begin() + 3 * 512, 512, 0);
    std::fill_n(expected.begin() + 8 * 512, 512, 0);
    EXPECT_EQ(run.photos[0], expected);
    EXPECT_EQ(run.result.badSectors, 3u);
    EXPECT_EQ(run.result.sectorsScanned, 40u);
    EXPECT_EQ(run.result.status, ScanStatus::Complete);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, CarvingReadFailureBlocks, ::testing::Values(1u, 8u, 2048u));

TEST(CarvingReadFailure, SectorsPastTheEndOfTheMediumReadAsZeros) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    Image image(10);
    image.put(8, 0, kJpeg);
    MemorySource source = image.source();
    PhotoCounters counters;
    ScanSetup setup;
    setup.general = &list;
    setup.thoroughPass = false;
    setup.end = 14;
    const ScanRun run = runPhoto(&source, setup, counters);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"GND00001.JPG", 8, 14}}));
    EXPECT_EQ(run.result.badSectors, 4u);
}

} // namespace
} // namespace quarry::carving
