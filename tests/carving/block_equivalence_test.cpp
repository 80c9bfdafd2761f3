#include "carving/block_reader.h"
#include "carving/memory_source.h"
#include "carving_test_support.h"
#include "faulty_source.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace quarry::carving {
namespace {

using namespace test_support;

// Lists whose records share headers, first bytes and positions, so that dispatch order,
// scanned positions and size limits all come into play.
signatures::SignatureList randomList(std::mt19937_64& random) {
    static const char* headers[] = {"FFD8FF", "FFD8",     "89504E47", "0000",
                                    "AAAAAB", "66747970", "4D4D002A", "00"};
    static const char* positions[] = {"1", "1", "nn", "5", "507", "2", "0"};
    static const char* sizes[] = {"100000", "1024", "512", "-1", "3000", "40000", "0"};
    static const char* extensions[] = {"JPG", "PNG", "MP4", "TIF", "JPG", " X"};
    signatures::SignatureList list;
    const int records = static_cast<int>(random() % 7);
    for (int r = 0; r < records; ++r) {
        const std::string header = headers[random() % std::size(headers)];
        const bool noFirstByte = random() % 8 == 0;
        addRecord(list, extensions[random() % std::size(extensions)], sizes[random() % std::size(sizes)],
                  header, positions[random() % std::size(positions)],
                  noFirstByte ? std::optional<std::string>("") : std::nullopt);
    }
    return list;
}

// Random filler, blank runs and headers of the list planted where their records look.
Image randomImage(std::mt19937_64& random, std::uint64_t sectors, const signatures::SignatureList& list) {
    Image image(sectors);
    std::uint64_t s = 0;
    while (s < sectors) {
        const std::uint64_t run = std::min<std::uint64_t>(1 + random() % 40, sectors - s);
        if (random() % 3 != 0) {
            image.randomize(random, s, s + run);
        }
        s += run;
    }
    const std::uint64_t plants = sectors / 8;
    for (std::uint64_t i = 0; i < plants && list.size() >= 7; ++i) {
        const std::size_t r = random() % (list.size() / 7);
        const auto header = hexBytes(list[7 * r + 2]);
        const std::string& position = list[7 * r + 3];
        std::size_t offset = 0;
        if (position == "nn") {
            offset = random() % 3;
        } else if (position != "1" && position != "0") {
            offset = static_cast<std::size_t>(std::stoul(position)) - 1;
        }
        if (offset + header.size() <= kSectorSize) {
            image.put(random() % sectors, offset, header);
        }
    }
    return image;
}

// What an observer of the reads was shown: sector indices and whether each held the image's bytes.
class SeenSectors final : public BlockObserver {
public:
    explicit SeenSectors(const Image& image) : image_(image) {}
    void sectorsRead(std::uint64_t first, std::size_t count, const std::uint8_t* bytes) override {
        for (std::size_t i = 0; i < count; ++i) {
            seen.push_back(first + i);
            exact = exact && std::equal(bytes + i * kSectorSize, bytes + (i + 1) * kSectorSize,
                                        image_.bytes().begin() +
                                            static_cast<std::ptrdiff_t>((first + i) * kSectorSize));
        }
    }
    std::vector<std::uint64_t> seen;
    bool exact = true;

private:
    const Image& image_;
};

// Hand-overs, pass starts and for_index at each, final state and counters must not depend on
// the block size, the range, bad sectors or where a stop lands. An observer of the reads sees
// each sector of the general pass once, in order, as on the medium, and never a failed one.
TEST(CarvingBlockReads, EnginesGiveExactlyTheResultsOfSectorBySectorReading) {
    std::mt19937_64 random(20240611);
    const std::size_t blockSizes[] = {1, 3, 64, kDefaultBlockSectors};
    std::size_t itemsSeen = 0;
    std::size_t stopsSeen = 0;
    std::size_t badSeen = 0;
    for (int round = 0; round < 160; ++round) {
        const signatures::SignatureList general = randomList(random);
        const signatures::SignatureList thorough = randomList(random);
        const std::uint64_t sectors = 1 + random() % 3000;
        const Image image = randomImage(random, sectors, general.empty() ? thorough : general);
        MemorySource memory = image.source();

        ScanSetup setup;
        setup.general = &general;
        setup.thorough = &thorough;
        setup.thoroughPass = random() % 4 != 0;
        setup.start = random() % 2 == 0 ? 0 : random() % sectors;
        setup.end = *setup.start + random() % (sectors - *setup.start + 1);
        setup.blockSectors = blockSizes[random() % std::size(blockSizes)];
        setup.stopAfterItems = random() % 3 == 0 ? 1 + random() % 5 : 0;

        std::set<std::uint64_t> badSectors;
        const auto faulty = [&](FaultySource& source) {
            std::mt19937_64 faults(static_cast<std::uint64_t>(round));
            const std::uint64_t bad = round % 2 == 0 ? 0 : 1 + faults() % 6;
            std::uint64_t sector = 0;
            for (std::uint64_t i = 0; i < bad; ++i) {
                sector = faults() % (sectors + 1);
                badSectors.insert(sector);
                source.failSector(sector);
            }
            if (round % 5 == 1) {
                // The medium cannot be put back after its last bad sector: the pass ends there.
                source.failRepositionTo(sector + 1);
            }
        };
        const bool raw = round % 2 == 1 || round % 3 == 0;
        SCOPED_TRACE(::testing::Message()
                     << "round " << round << (raw ? " raw" : " photo") << " block " << setup.blockSectors
                     << " range " << *setup.start << ".." << *setup.end);

        FaultySource realSource(memory);
        FaultySource referenceSource(memory);
        faulty(realSource);
        faulty(referenceSource);
        ScanRun real;
        ScanRun reference;
        SeenSectors observer(image);
        ScanSetup observed = setup;
        observed.observer = &observer;
        if (raw) {
            FoundFileGroups realGroups;
            FoundFileGroups referenceGroups;
            makeGroups(realGroups, {"JPG", "PNG", " X"});
            makeGroups(referenceGroups, {"JPG", "PNG", " X"});
            real = runRaw(&realSource, observed, realGroups, Engine::Real);
            reference = runRaw(&referenceSource, setup, referenceGroups, Engine::Reference);
            EXPECT_EQ(realGroups.snapshot().size(), referenceGroups.snapshot().size());
            for (std::size_t g = 0; g < realGroups.size(); ++g) {
                EXPECT_EQ(realGroups.snapshot()[g].NoOfFile, referenceGroups.snapshot()[g].NoOfFile);
                EXPECT_EQ(realGroups.snapshot()[g].FileName, referenceGroups.snapshot()[g].FileName);
            }
            // Each item is counted before its hand-over is reported.
            EXPECT_EQ(real.countsAtHandOver, reference.countsAtHandOver);
        } else {
            PhotoCounters realCounters;
            PhotoCounters referenceCounters;
            real = runPhoto(&realSource, observed, realCounters, Engine::Real);
            reference = runPhoto(&referenceSource, setup, referenceCounters, Engine::Reference);
            EXPECT_EQ(realCounters.GND_Image_number.load(), referenceCounters.GND_Image_number.load());
            EXPECT_EQ(realCounters.THD_Image_number.load(), referenceCounters.THD_Image_number.load());
        }
        ASSERT_EQ(real.events, reference.events);
        EXPECT_TRUE(observer.exact);
        EXPECT_TRUE(std::is_sorted(observer.seen.begin(), observer.seen.end()) &&
                    std::adjacent_find(observer.seen.begin(), observer.seen.end()) == observer.seen.end());
        for (const std::uint64_t s : observer.seen) {
            EXPECT_TRUE(s >= *setup.start && s < *setup.end && badSectors.count(s) == 0) << s;
        }
        if (!general.empty() && badSectors.empty() && setup.stopAfterItems == 0) {
            EXPECT_EQ(observer.seen.size(), *setup.end - *setup.start);
        }
        itemsSeen += items(real.events).size();
        stopsSeen += real.result.status == ScanStatus::Stopped ? 1 : 0;
        badSeen += real.result.badSectors;
        EXPECT_EQ(real.photos, reference.photos);
        EXPECT_EQ(real.result.status, reference.result.status);
        EXPECT_EQ(real.result.sectorsScanned, reference.result.sectorsScanned);
        EXPECT_EQ(real.result.badSectors, reference.result.badSectors);
        EXPECT_EQ(real.forIndexAtEnd, reference.forIndexAtEnd);
        // A stop asked for after the last poll is left for the caller.
        EXPECT_EQ(real.stopNowAtEnd, reference.stopNowAtEnd);
    }
    // The generator must exercise what it is meant to.
    EXPECT_GT(itemsSeen, 1000u);
    EXPECT_GT(stopsSeen, 10u);
    EXPECT_GT(badSeen, 50u);
}

} // namespace
} // namespace quarry::carving
