#include "carving/memory_source.h"
#include "common/sector.h"
#include "results/found_item_bytes.h"
#include "results/photo_summary.h"
#include "test_files.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using quarry::kSectorSize;
using namespace quarry::results;
using namespace quarry::test;

struct SummaryCase {
    const char* label;
    std::vector<std::uint8_t> bytes;
    PhotoSummary expected;
};

std::vector<std::uint8_t> head(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(std::min(size, bytes.size()));
    return bytes;
}

// A JPEG start whose EXIF block points its first directory far outside itself.
std::vector<std::uint8_t> hostileExif() {
    std::vector<std::uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x1A, 'E',  'x',  'i', 'f', 0, 0,
                                       'I',  'I',  42,   0,    0xF0, 0xFF, 0xFF, 0x7F, // IFD0 offset
                                       0xFF, 0xFF, 0x12, 0x01, 3,    0,    1,    0,    0,   0,   6, 0};
    bytes.resize(bytes.size() + 64, 0xFF);
    return bytes;
}

TEST(PhotoSummary, ReadsWhatTheExifBlockSays) {
    const std::vector<std::uint8_t> canon = corpusBytes("040_Canon_40D.jpg");
    const std::vector<SummaryCase> cases = {
        {"camera JPEG", canon, {"Canon", "Canon EOS 40D", "2008:05:30 15:56:01", 100, 68, 1, true}},
        {"turned a quarter", corpusBytes("063_Portrait_6.jpg"), {"", "", "", 0, 0, 6, true}},
        {"padded texts",
         corpusBytes("053_DSCN0010.jpg"),
         {"NIKON", "COOLPIX P6000", "2008:10:22 16:28:39", 640, 480, 1, true}},
        {"no EXIF", corpusBytes("003_2004default.jpg"), {}},
        {"cut inside the EXIF block", head(canon, 300), {}},
        {"directory outside the block", hostileExif(), {}},
        {"not a picture", std::vector<std::uint8_t>(4096, 0xFF), {}},
        {"nothing", {}, {}},
    };
    for (const SummaryCase& c : cases) {
        SCOPED_TRACE(c.label);
        const PhotoSummary got = summarisePhoto(c.bytes);
        EXPECT_EQ(got.make, c.expected.make);
        EXPECT_EQ(got.model, c.expected.model);
        EXPECT_EQ(got.dateTaken, c.expected.dateTaken);
        EXPECT_EQ(got.width, c.expected.width);
        EXPECT_EQ(got.height, c.expected.height);
        EXPECT_EQ(got.orientation, c.expected.orientation);
    }
}

TEST(ReadFoundItem, ReadsTheItemBackWholeAndBounded) {
    const std::vector<std::uint8_t> photo = corpusBytes("053_DSCN0010.jpg");
    std::vector<std::uint8_t> medium((4 + (photo.size() + kSectorSize - 1) / kSectorSize) * kSectorSize, 0);
    std::fill_n(medium.begin(), kSectorSize * 4, 0x11);
    ASSERT_FALSE(photo.empty());
    std::copy(photo.begin(), photo.end(), medium.begin() + kSectorSize * 4);
    quarry::carving::MemorySource source(medium);
    const std::uint64_t sectors = medium.size() / kSectorSize;

    // An item cut short after two sectors comes back as the whole photo.
    EXPECT_EQ(readFoundItem(source, "GND00001.JPG", 4, 6, 1u << 20), photo);
    // Without room for the whole photo, only what the item covers.
    EXPECT_EQ(readFoundItem(source, "GND00001.JPG", 4, 6, kSectorSize * 3).size(), kSectorSize * 2);
    // Clipped to the medium's end; nothing past it.
    EXPECT_EQ(readFoundItem(source, "FILE.BIN", sectors - 1, sectors + 9, 1u << 20).size(), kSectorSize);
    EXPECT_TRUE(readFoundItem(source, "FILE.BIN", sectors, sectors + 1, 1u << 20).empty());
    EXPECT_TRUE(readFoundItem(source, "FILE.BIN", 2, 2, 1u << 20).empty());

    // A file's real length where its check finds the end, else that of its sectors.
    EXPECT_EQ(foundItemLength(source, "GND00001.JPG", 4, 6, 1u << 20), photo.size());
    EXPECT_EQ(foundItemLength(source, "FILE.BIN", 4, 6, 1u << 20), kSectorSize * 2);
    EXPECT_EQ(foundItemLength(source, "FILE.BIN", sectors, sectors + 1, 1u << 20), 0u);
}

} // namespace
