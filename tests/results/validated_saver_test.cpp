#include "carving/faulty_source.h"
#include "carving/memory_source.h"
#include "common/sector.h"
#include "disk_image.h"
#include "results/validated_saver.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace quarry::results {
namespace {

using namespace quarry::test;

// Random bytes with corpus files written at chosen sectors.
std::vector<std::uint8_t>
medium(std::uint64_t sectorCount,
       const std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>& files) {
    auto bytes = buildImage(sectorCount, Filler::Random, {}, 7);
    for (const auto& [sector, file] : files)
        std::copy(file.begin(), file.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize));
    return bytes;
}

TEST(ValidatedSaver, SectorItemsAreSavedToTheirRealEnd) {
    const auto png = corpusBytes("018_julia-set.png");
    const auto pdf = corpusBytes("092_032270.pdf");
    const auto mov = corpusBytes("079_png.mov");
    ASSERT_FALSE(png.empty() || pdf.empty() || mov.empty());
    const auto bytes = medium(1200, {{10, png}, {500, pdf}, {600, mov}});
    carving::MemorySource source(bytes);
    TempDir dir;
    ItemSaver saver(dir.path(), SearchKind::File);
    ValidatedSaver validated(saver, &source);

    struct Case {
        const char* name;
        std::uint64_t start, end;
        const std::vector<std::uint8_t>& file;
    };
    // Items cut short by the next header, and items running on into the next file.
    for (const auto& c : {Case{"PNG00001.PNG", 10, 20, png}, Case{"PDF00001.PDF", 500, 600, pdf},
                          Case{"MOV00001.MOV", 600, 610, mov}, Case{"PNG00002.PNG", 10, 501, png}}) {
        const auto item = validated.saveSectors(c.name, c.start, c.end);
        ASSERT_TRUE(item.save.ok) << c.name << ": " << item.save.error;
        EXPECT_TRUE(item.validated) << c.name;
        EXPECT_EQ(item.save.bytes, c.file.size()) << c.name;
        EXPECT_EQ(readBytes(item.save.path), c.file) << c.name;
    }

    // An unreadable sector inside the document costs only itself: its end is still found.
    carving::FaultySource faulty(source);
    faulty.failSector(510);
    ValidatedSaver damaged(saver, &faulty);
    const auto item = damaged.saveSectors("PDF00002.PDF", 500, 600);
    EXPECT_TRUE(item.validated);
    EXPECT_EQ(item.save.unreadableSectors, 1u);
    auto expected = pdf;
    std::fill_n(expected.begin() + 10 * kSectorSize, kSectorSize, std::uint8_t{0});
    EXPECT_EQ(readBytes(item.save.path), expected);
}

TEST(ValidatedSaver, BrokenOrUnknownFilesKeepTheirSectors) {
    auto pdf = corpusBytes("092_032270.pdf");
    ASSERT_GT(pdf.size(), 20 * kSectorSize);
    // The medium ends in the middle of the document.
    const std::vector<std::uint8_t> cut(pdf.begin(), pdf.begin() + 20 * kSectorSize);
    const auto bytes = medium(30, {{10, cut}, {2, {'%', 'P', 'D', 'F', '-', '1'}}});
    carving::MemorySource source(bytes);
    TempDir dir;
    ItemSaver saver(dir.path(), SearchKind::File);
    ValidatedSaver validated(saver, &source);

    for (const auto& [name, start] :
         {std::pair{"PDF00001.PDF", 10}, std::pair{"XYZ00001.XYZ", 10}, std::pair{"PDF00002.PDF", 2}}) {
        const auto item = validated.saveSectors(name, start, 30);
        ASSERT_TRUE(item.save.ok) << name << ": " << item.save.error;
        EXPECT_FALSE(item.validated) << name;
        EXPECT_EQ(readBytes(item.save.path), sectorSlice(bytes, start, 30)) << name;
    }
}

TEST(ValidatedSaver, PhotosAreMeasuredInTheirBytesThenOnTheMedium) {
    const auto jpg = corpusBytes("040_Canon_40D.jpg");
    const auto png = corpusBytes("018_julia-set.png");
    ASSERT_FALSE(jpg.empty() || png.empty());
    // The PNG is cut off after four sectors by random bytes.
    const std::vector<std::uint8_t> pngStart(png.begin(), png.begin() + 4 * kSectorSize);
    const auto bytes = medium(100, {{3, jpg}, {60, pngStart}});
    carving::MemorySource source(bytes);
    TempDir dir;
    ItemSaver saver(dir.path(), SearchKind::Photo);
    ValidatedSaver onMedium(saver, &source);
    ValidatedSaver bytesOnly(saver, nullptr);

    const auto whole = onMedium.savePhoto("GND00001.JPG", sectorSlice(bytes, 3, 50), 3);
    ASSERT_TRUE(whole.save.ok) << whole.save.error;
    EXPECT_TRUE(whole.validated);
    EXPECT_EQ(readBytes(whole.save.path), jpg);

    // An item cut short, as by a picture embedded on a sector boundary.
    const auto cutShort = onMedium.savePhoto("GND00002.JPG", sectorSlice(bytes, 3, 7), 3);
    ASSERT_TRUE(cutShort.save.ok) << cutShort.save.error;
    EXPECT_TRUE(cutShort.validated);
    EXPECT_EQ(readBytes(cutShort.save.path), jpg);

    const auto noMedium = bytesOnly.savePhoto("GND00003.JPG", sectorSlice(bytes, 3, 7), 3);
    ASSERT_TRUE(noMedium.save.ok) << noMedium.save.error;
    EXPECT_FALSE(noMedium.validated);
    EXPECT_EQ(readBytes(noMedium.save.path), sectorSlice(bytes, 3, 7));

    const auto broken = onMedium.savePhoto("GND00004.PNG", sectorSlice(bytes, 60, 64), 60);
    ASSERT_TRUE(broken.save.ok) << broken.save.error;
    EXPECT_FALSE(broken.validated);
    EXPECT_EQ(readBytes(broken.save.path), sectorSlice(bytes, 60, 64));

    // A sector item with no medium to read cannot be saved, and says so.
    const auto unreadable = bytesOnly.saveSectors("AVI00001.AVI", 0, 4);
    EXPECT_FALSE(unreadable.save.ok);
    EXPECT_FALSE(unreadable.save.error.empty());
}

} // namespace
} // namespace quarry::results
