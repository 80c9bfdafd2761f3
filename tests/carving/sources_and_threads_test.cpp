#include "carving/block_reader.h"
#include "carving/memory_source.h"
#include "carving/sector_source.h"
#include "engine_fixture.h"
#include "faulty_source.h"

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
    EXPECT_EQ(source->sectorCount(), 6u); // the part sector at the end counts
    std::vector<std::uint8_t> out(3 * kSectorSize);
    ASSERT_TRUE(source->readSectors(2, 3, out.data()));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 2 * kSectorSize));
    ASSERT_TRUE(source->readSectors(5, 1, out.data()));
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 100, bytes.begin() + 5 * kSectorSize));
    EXPECT_TRUE(
        std::all_of(out.begin() + 100, out.begin() + kSectorSize, [](std::uint8_t b) { return b == 0; }));
    EXPECT_FALSE(source->readSectors(4, 3, out.data()));
    EXPECT_FALSE(source->readSectors(6, 1, out.data()));
    EXPECT_TRUE(source->readSectors(6, 0, out.data()));

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
    ScanRequest request;
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
