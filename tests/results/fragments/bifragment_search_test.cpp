#include "carving/extent_source.h"
#include "carving/memory_source.h"
#include "common/sector.h"
#include "disk_image.h"
#include "results/fragments/bifragment_search.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace quarry::results::fragments {
namespace {

using namespace quarry::test;

constexpr std::uint64_t kStart = 16;
constexpr std::uint64_t kCluster = 8;

// Random bytes with `jpeg` written at kStart: its first `firstClusters` clusters there, then a
// gap of `gapClusters` (holding `inGap` at its start), then the rest.
std::vector<std::uint8_t> split(const std::vector<std::uint8_t>& jpeg, std::uint64_t firstClusters,
                                std::uint64_t gapClusters, const std::vector<std::uint8_t>& inGap = {}) {
    auto bytes =
        buildImage(kStart + jpeg.size() / kSectorSize + (gapClusters + 2) * kCluster, Filler::Random, {}, 3);
    const std::size_t cut = firstClusters * kCluster * kSectorSize;
    EXPECT_LE(cut, jpeg.size()) << "the first piece is cut from inside the picture";
    const auto at = [&](std::uint64_t sector) {
        return bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize);
    };
    std::copy(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(cut), at(kStart));
    std::copy(inGap.begin(), inGap.end(), at(kStart + firstClusters * kCluster));
    std::copy(jpeg.begin() + static_cast<std::ptrdiff_t>(cut), jpeg.end(),
              at(kStart + (firstClusters + gapClusters) * kCluster));
    return bytes;
}

std::vector<std::uint8_t> joined(carving::MemorySource& medium, const FragmentSearch& found) {
    carving::ExtentSource source(medium, found.pieces);
    std::vector<std::uint8_t> bytes(source.sectorCount() * kSectorSize);
    EXPECT_TRUE(source.readSectors(0, static_cast<std::size_t>(source.sectorCount()), bytes.data()));
    bytes.resize(static_cast<std::size_t>(found.bytes));
    return bytes;
}

TEST(BifragmentSearch, JoinsDecodeOnlyWhenRight) {
    const auto jpeg = corpusBytes("053_DSCN0010.jpg");
    const auto other = corpusBytes("044_Canon_PowerShot_S40.jpg");
    ASSERT_FALSE(jpeg.empty() || other.empty());
    const std::uint64_t size = jpeg.size();
    auto corrupt = buildImage(kStart + jpeg.size() / kSectorSize + 4 * kCluster, Filler::Random, {}, 5);
    std::copy(jpeg.begin(), jpeg.end(), corrupt.begin() + kStart * kSectorSize);
    const auto noise = buildImage(2 * kCluster, Filler::Random, {}, 9);
    std::copy(noise.begin(), noise.end(), corrupt.begin() + (kStart + 10 * kCluster) * kSectorSize);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> medium;
        FragmentHint hint;
        bool restored;
    };
    for (const auto& c : {
             Case{"random gap, size known", split(jpeg, 12, 5), {size, kCluster}, true},
             Case{"random gap, size and cluster guessed", split(jpeg, 12, 5), {}, true},
             Case{"a whole picture in the gap", split(jpeg, 7, 9, other), {}, true},
             Case{"corrupt middle, size known", corrupt, {size, kCluster}, false},
             Case{"corrupt middle", corrupt, {}, false},
             Case{"whole and contiguous", split(jpeg, size / (kCluster * kSectorSize), 0), {}, false},
         }) {
        carving::MemorySource medium(c.medium);
        const auto found = findSecondPiece(medium, kStart, c.hint);
        ASSERT_EQ(found.pieces.size(), c.restored ? 2U : 0U) << c.what;
        if (c.restored) {
            EXPECT_EQ(joined(medium, found), jpeg) << c.what;
        }
    }
}

TEST(BifragmentSearch, StopsAtItsCap) {
    const auto jpeg = corpusBytes("053_DSCN0010.jpg");
    ASSERT_FALSE(jpeg.empty());
    // A gap of zeros, then the picture again from its second cluster: every cluster of it
    // reads as a start and only decoding tells the joins apart.
    auto bytes = buildImage(kStart + 2 * jpeg.size() / kSectorSize, Filler::Zero, {});
    const auto at = [&](std::uint64_t cluster) {
        return bytes.begin() + static_cast<std::ptrdiff_t>((kStart + cluster * kCluster) * kSectorSize);
    };
    std::copy(jpeg.begin(), jpeg.begin() + 6 * kCluster * kSectorSize, at(0));
    std::copy(jpeg.begin() + kCluster * kSectorSize, jpeg.end(), at(8));
    carving::MemorySource medium(bytes);
    SearchLimits limits;
    limits.maxCandidates = 3;
    const auto found = findSecondPiece(medium, kStart, {}, limits);
    EXPECT_TRUE(found.capped);
    EXPECT_EQ(found.candidates, 3U);
    EXPECT_TRUE(found.pieces.empty());
}

} // namespace
} // namespace quarry::results::fragments
