#include "carving/block_reader.h"
#include "carving/faulty_source.h"
#include "carving/memory_source.h"
#include "carving/sector_source.h"
#include "engine_fixture.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace quarry::carving {
namespace {

using namespace test_support;

class TempFile {
public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes)
        : path_(std::filesystem::temp_directory_path() /
                ("quarry-carving-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

TEST(CarvingFileSource, ReadsWholeSectorsOfAnImageFile) {
    std::vector<std::uint8_t> bytes(5 * kSectorSize + 100);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    const TempFile file(bytes);
    const auto source = openFileSource(file.path());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->sectorCount(), 5u);
    std::vector<std::uint8_t> out(3 * kSectorSize);
    ASSERT_TRUE(source->readSectors(2, 3, out.data()));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 2 * kSectorSize));
    EXPECT_FALSE(source->readSectors(3, 3, out.data()));
    EXPECT_FALSE(source->readSectors(5, 1, out.data()));
    EXPECT_TRUE(source->readSectors(5, 0, out.data()));

    EXPECT_EQ(openFileSource(file.path() + "-missing"), nullptr);
    EXPECT_EQ(openFileSource(std::filesystem::temp_directory_path().string()), nullptr);
}

TEST(CarvingFileSource, ImageFileScansLikeTheSameBytesInMemory) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    Image image(3000);
    std::mt19937_64 random(3);
    image.randomize(random, 100, 2900);
    for (std::uint64_t s : {5, 700, 2047, 2048, 2999}) {
        image.put(s, 0, hexBytes("FFD8FF"));
    }
    const TempFile file(image.bytes());
    const auto fileSource = openFileSource(file.path());
    MemorySource memory = image.source();
    ScanSetup setup;
    setup.general = &list;
    setup.thorough = &list;
    PhotoCounters a;
    PhotoCounters b;
    const ScanRun fromFile = runPhoto(fileSource.get(), setup, a);
    const ScanRun fromMemory = runPhoto(&memory, setup, b);
    EXPECT_EQ(fromFile.events, fromMemory.events);
    EXPECT_EQ(items(fromFile.events).size(), 10u);
}

// Windows of 32 blocks: block sizes 3 and 64 put window edges all over a small image, and
// the file ends with a part sector.
TEST(CarvingFileSource, ImageFileInPlaceGivesTheResultsOfReadingIt) {
    signatures::SignatureList photos;
    addRecord(photos, "JPG", "100000", "FFD8FF", "1");
    addRecord(photos, "PNG", "20000", "89504E47", "1");
    signatures::SignatureList raws;
    addRecord(raws, "MP4", "1", "66747970", "5");
    addRecord(raws, "JPG", "1", "FFD8FF", "1");
    Image image(5000);
    std::mt19937_64 random(11);
    image.randomize(random, 50, 4990);
    for (std::uint64_t s : {0, 95, 96, 97, 191, 192, 1000, 2047, 2048, 3071, 4999}) {
        image.put(s, 0, hexBytes(s % 2 == 0 ? "FFD8FF" : "89504E47"));
    }
    for (std::uint64_t s : {3, 200, 1919, 4000}) {
        image.put(s, 4, hexBytes("66747970"));
    }
    std::vector<std::uint8_t> bytes = image.bytes();
    bytes.resize(bytes.size() + 300, 0xAB);
    const TempFile file(bytes);
    const auto inPlace = openFileSource(file.path());
    ASSERT_NE(inPlace, nullptr);
    ASSERT_EQ(inPlace->sectorCount(), 5000u);
    FaultySource read(*inPlace); // offers nothing in place, so every sector is read

    const auto last = inPlace->mapSectors(4990, 10);
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(
        std::equal(last->data(), last->data() + 10 * kSectorSize, bytes.begin() + 4990 * kSectorSize));
    EXPECT_EQ(inPlace->mapSectors(4990, 11), nullptr);
    EXPECT_EQ(read.mapSectors(0, 1), nullptr);

    struct Range {
        std::uint64_t start;
        std::uint64_t end;
    };
    std::size_t photosSeen = 0;
    for (const std::size_t block : {std::size_t{3}, std::size_t{64}, kDefaultBlockSectors}) {
        for (const Range range : {Range{0, 5000}, Range{50, 4321}, Range{97, 98}, Range{1000, 1000}}) {
            SCOPED_TRACE(::testing::Message()
                         << "block " << block << " range " << range.start << ".." << range.end);
            ScanSetup setup;
            setup.general = &photos;
            setup.thorough = &photos;
            setup.start = range.start;
            setup.end = range.end;
            setup.blockSectors = block;
            PhotoCounters a;
            PhotoCounters b;
            const ScanRun mapped = runPhoto(inPlace.get(), setup, a);
            const ScanRun readOnly = runPhoto(&read, setup, b);
            EXPECT_EQ(mapped.events, readOnly.events);
            EXPECT_EQ(mapped.photos, readOnly.photos);
            EXPECT_EQ(mapped.result.sectorsScanned, readOnly.result.sectorsScanned);
            EXPECT_EQ(mapped.result.badSectors, 0u);
            photosSeen += mapped.photos.size();

            setup.general = &raws;
            setup.thorough = &raws;
            FoundFileGroups mappedGroups;
            FoundFileGroups readGroups;
            makeGroups(mappedGroups, {"MP4", "JPG"});
            makeGroups(readGroups, {"MP4", "JPG"});
            const ScanRun mappedRaw = runRaw(inPlace.get(), setup, mappedGroups);
            const ScanRun readRaw = runRaw(&read, setup, readGroups);
            EXPECT_EQ(mappedRaw.events, readRaw.events);
            EXPECT_EQ(mappedRaw.result.sectorsScanned, readRaw.result.sectorsScanned);
        }
    }
    EXPECT_GT(photosSeen, 60u);
}

// Another program shortening the image during a scan must not end the process: sectors it no
// longer has read as zeros in place, and fail when read.
TEST(CarvingFileSource, ImageFileShortenedWhileInPlaceReadsZeros) {
    Image image(256);
    std::mt19937_64 random(5);
    image.randomize(random, 0, 256);
    const TempFile file(image.bytes());
    const auto source = openFileSource(file.path());
    ASSERT_NE(source, nullptr);
    const auto view = source->mapSectors(0, 256);
    ASSERT_NE(view, nullptr);
    std::filesystem::resize_file(file.path(), 64 * kSectorSize);

    const std::uint8_t* bytes = view->data();
    EXPECT_TRUE(std::equal(bytes, bytes + 64 * kSectorSize, image.bytes().begin()));
    EXPECT_TRUE(std::all_of(bytes + 64 * kSectorSize, bytes + 256 * kSectorSize,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(view->unreadableSectors(), 192u);
    EXPECT_EQ(source->mapSectors(0, 65), nullptr);
    std::vector<std::uint8_t> out(kSectorSize);
    EXPECT_FALSE(source->readSectors(64, 1, out.data()));

    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    ScanSetup setup;
    setup.general = &list;
    setup.thoroughPass = false;
    PhotoCounters counters;
    const ScanRun run = runPhoto(source.get(), setup, counters);
    EXPECT_EQ(run.result.sectorsScanned, 256u);
    EXPECT_EQ(run.result.badSectors, 192u);
}

// Sectors that a scan already reading in place finds gone count as bad sectors too.
TEST(CarvingFileSource, SectorsLostUnderAWindowCountAsFailedReads) {
    Image image(256);
    std::mt19937_64 random(7);
    image.randomize(random, 0, 256);
    const TempFile file(image.bytes());
    const auto source = openFileSource(file.path());
    ASSERT_NE(source, nullptr);
    BlockReader reader(*source, 256);
    reader.restart(256);
    auto outcome = BlockReader::Outcome::Failed;
    reader.sector(0, outcome);
    ASSERT_TRUE(reader.inPlace());
    std::filesystem::resize_file(file.path(), 64 * kSectorSize);

    bool zerosAfterTheEnd = true;
    for (std::uint64_t s = 1; s < 256; ++s) {
        const std::uint8_t* sector = reader.sector(s, outcome);
        EXPECT_EQ(outcome, BlockReader::Outcome::Read);
        if (s >= 64)
            zerosAfterTheEnd = zerosAfterTheEnd && std::all_of(sector, sector + kSectorSize,
                                                               [](std::uint8_t b) { return b == 0; });
    }
    EXPECT_TRUE(zerosAfterTheEnd);
    EXPECT_EQ(reader.takeUnreadableSectors(), 192u);
    EXPECT_EQ(reader.takeUnreadableSectors(), 0u);
}

// Blocks every read at or after `gate` until released, so another thread can stop the scan
// at a known sector.
class GatedSource final : public SectorSource {
public:
    GatedSource(SectorSource& inner, std::uint64_t gate) : inner_(inner), gate_(gate) {}
    std::uint64_t sectorCount() const override { return inner_.sectorCount(); }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        if (first + count > gate_) {
            reached.store(true);
            while (!released.load()) {
                std::this_thread::yield();
            }
        }
        return inner_.readSectors(first, count, out);
    }
    std::atomic<bool> reached{false};
    std::atomic<bool> released{false};

private:
    SectorSource& inner_;
    std::uint64_t gate_;
};

TEST(CarvingStop, StopFromAnotherThreadIsSeenAtTheNextSector) {
    signatures::SignatureList list;
    addRecord(list, "AVI", "0", "52494646", "1");
    Image image(1024);
    image.put(10, 0, hexBytes("52494646"));
    MemorySource memory = image.source();
    GatedSource source(memory, 128);

    FoundFileGroups groups;
    makeGroups(groups, {"AVI"});
    ScanControl control;
    RecordingSink sink(control);
    RawScanRequest request;
    request.source = &source;
    request.end_sector = image.sectors();
    request.general = &list;
    request.thorough = &list;
    request.blockSectors = 64;

    ScanResult result;
    std::thread worker([&] { result = runRawScan(request, control, groups, sink); });
    while (!source.reached.load()) {
        std::this_thread::yield();
    }
    control.stop_now.store(1);
    source.released.store(true);
    worker.join();

    EXPECT_EQ(result.status, ScanStatus::Stopped);
    EXPECT_EQ(control.stop_now.load(), 0);
    EXPECT_EQ(control.for_index.load(), 129u);
    EXPECT_EQ(items(sink.events), (std::vector<Item>{{"AVI00001.AVI", 10, 129}}));
}

} // namespace
} // namespace quarry::carving
