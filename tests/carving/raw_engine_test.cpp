#include "carving/memory_source.h"
#include "engine_fixture.h"

#include <gtest/gtest.h>

namespace quarry::carving {
namespace {

using namespace test_support;

const auto kAvi = hexBytes("52494646");

// Raw scans over small images; each case also runs with the image shifted by k sectors.
class CarvingRawScan : public ::testing::TestWithParam<std::uint64_t> {
protected:
    ScanRun scan(const Image& image, ScanSetup setup) {
        return scanShifted(image, setup, GetParam(), [&](SectorSource* source, const ScanSetup& s) {
            return runRaw(source, s, groups);
        });
    }

    ScanRun scan(const Image& image, const signatures::SignatureList& general) {
        ScanSetup setup;
        setup.general = &general;
        setup.thoroughPass = false;
        return scan(image, setup);
    }

    FoundFileGroups groups;
};

TEST_P(CarvingRawScan, OneHeaderOpensAnItemForEveryLaterRecordWithTheSameHeaderAndPosition) {
    signatures::SignatureList list;
    addRecord(list, "EARLY", "0", "52494646", "1", ""); // cannot match itself
    addRecord(list, "AVI", "0", "52494646", "1");
    addRecord(list, "SCAN", "0", "52494646", "nn");
    addRecord(list, "WAV", "0", "52494646", "1");
    addRecord(list, "OTHER", "0", "52494647", "1");
    addRecord(list, "WEBP", "5", "52494646", "1");
    makeGroups(groups, {"EARLY", "AVI", "SCAN", "WAV", "OTHER"});
    Image image(120);
    image.put(100, 0, kAvi);
    const ScanRun run = scan(image, list);
    EXPECT_EQ(items(run.events),
              (std::vector<Item>{
                  {"AVI00001.AVI", 100, 120}, {"WAV00001.WAV", 100, 120}, {"WEBP00003.WEBP", 100, 120}}));
    // Counted before each hand-over is reported.
    EXPECT_EQ(run.countsAtHandOver, (std::vector<std::uint64_t>{1, 1, 0}));
    const auto rows = groups.snapshot();
    EXPECT_EQ(rows[1].NoOfFile, "1");
    EXPECT_EQ(rows[1].FileName, "AVI00001.AVI");
    EXPECT_EQ(rows[0].NoOfFile, "0");
    EXPECT_EQ(rows[2].NoOfFile, "0");
}

TEST_P(CarvingRawScan, NextHeaderEndsTheItemsWithItsOwnSector) {
    signatures::SignatureList list;
    addRecord(list, "AVI", "0", "52494646", "1");
    makeGroups(groups, {"AVI"});
    Image image(200);
    image.put(100, 0, kAvi);
    image.put(150, 0, kAvi);
    image.put(151, 0, kAvi);
    image.put(199, 0, kAvi);
    const ScanRun run = scan(image, list);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"AVI00001.AVI", 100, 151},
                                                    {"AVI00002.AVI", 150, 152},
                                                    {"AVI00003.AVI", 151, 200},
                                                    {"AVI00004.AVI", 199, 200}}));
    EXPECT_EQ(run.events[1].forIndex, 151u);
    EXPECT_EQ(run.events[4].forIndex, 200u);
}

TEST_P(CarvingRawScan, ItemsEndAtEighteenMebibytesAndSectorsAreSkippedUntilTheNextHeader) {
    signatures::SignatureList list;
    addRecord(list, "AVI", "0", "52494646", "1");
    addRecord(list, "WAV", "0", "52494646", "1");
    makeGroups(groups, {"AVI", "WAV"});
    Image image(40010);
    image.put(100, 0, kAvi);
    image.fill(20000, 0x33);
    image.put(40000, 0, kAvi);
    const ScanRun run = scan(image, list);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"AVI00001.AVI", 100, 36964},
                                                    {"WAV00001.WAV", 100, 36964},
                                                    {"AVI00002.AVI", 40000, 40010},
                                                    {"WAV00002.WAV", 40000, 40010}}));
    EXPECT_EQ(run.events[1].forIndex, 36964u);
}

TEST_P(CarvingRawScan, NamesNumberPerTypeAcrossBothPasses) {
    signatures::SignatureList general;
    addRecord(general, "JPG", "0", "FFD8FF", "1");
    signatures::SignatureList thorough;
    addRecord(thorough, "JPG", "0", "FFD8", "1");
    makeGroups(groups, {"JPG"});
    Image image(30);
    for (std::uint64_t s : {1, 3, 5, 7, 9}) {
        image.put(s, 0, hexBytes("FFD8FF"));
    }
    image.put(20, 0, hexBytes("FFD800"));
    ScanSetup setup;
    setup.general = &general;
    setup.thorough = &thorough;
    const ScanRun run = scan(image, setup);
    const auto found = items(run.events);
    ASSERT_EQ(found.size(), 11u);
    EXPECT_EQ(found[4], (Item{"JPG00005.JPG", 9, 30}));
    EXPECT_EQ(found[5], (Item{"JPG00006.JPG", 1, 4}));
    EXPECT_EQ(found[10], (Item{"JPG00011.JPG", 20, 30}));
    EXPECT_EQ(groups.countFor("JPG"), 11u);
    EXPECT_EQ(run.result.sectorsScanned, 60u);
}

TEST_P(CarvingRawScan, RecordsWithTheSameExtensionShareAName) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "0", "FFD8FF", "1");
    addRecord(list, "JPG", "0", "FFD8FF", "1");
    makeGroups(groups, {"JPG"});
    Image image(10);
    image.put(2, 0, hexBytes("FFD8FF"));
    image.put(6, 0, hexBytes("FFD8FF"));
    const ScanRun run = scan(image, list);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"JPG00001.JPG", 2, 7},
                                                    {"JPG00001.JPG", 2, 7},
                                                    {"JPG00003.JPG", 6, 10},
                                                    {"JPG00003.JPG", 6, 10}}));
}

TEST_P(CarvingRawScan, NamesAreTrimmedWhileTheIdentifierIsNot) {
    signatures::SignatureList list;
    addRecord(list, " JPEG", "0", "FFD8FF", "1");
    addRecord(list, "\xC2\xA0X\xE2\x80\xA8", "0", "4142", "1");
    makeGroups(groups, {" JPEG"});
    Image image(10);
    image.put(2, 0, hexBytes("FFD8FF"));
    image.put(5, 0, hexBytes("4142"));
    const ScanRun run = scan(image, list);
    ASSERT_EQ(run.events.size(), 3u);
    EXPECT_EQ(run.events[1].name, "JPEG00001. JPEG");
    EXPECT_EQ(run.events[1].uid, " JPEG00001. JPEG");
    EXPECT_EQ(run.events[2].name, "X\xE2\x80\xA8"
                                  "00002.\xC2\xA0X"); // no group: the pass count
    EXPECT_EQ(groups.countFor(" JPEG"), 1u);
}

TEST_P(CarvingRawScan, StopAfterAHeaderHandsOverTheOpenItems) {
    signatures::SignatureList list;
    addRecord(list, "AVI", "0", "52494646", "1");
    makeGroups(groups, {"AVI"});
    Image image(40);
    image.put(10, 0, kAvi);
    image.put(20, 0, kAvi);
    ScanSetup setup;
    setup.general = &list;
    setup.thorough = &list;
    setup.stopAfterItems = 1;
    const ScanRun run = scan(image, setup);
    EXPECT_EQ(run.result.status, ScanStatus::Stopped);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"AVI00001.AVI", 10, 21}, {"AVI00002.AVI", 20, 21}}));
    EXPECT_EQ(run.forIndexAtEnd, 21u);
    EXPECT_EQ(run.stopNowAtEnd, 0);
    EXPECT_EQ(run.events.size(), 3u); // no thorough pass
}

TEST_P(CarvingRawScan, EmptyListsEndThePassesWithoutReading) {
    signatures::SignatureList none;
    signatures::SignatureList thorough;
    addRecord(thorough, "AVI", "0", "52494646", "1");
    makeGroups(groups, {"AVI"});
    Image image(10);
    image.put(3, 0, kAvi);
    ScanSetup setup;
    setup.general = &none;
    setup.thorough = &thorough;
    setup.thoroughPass = false;
    ScanRun run = scan(image, setup);
    EXPECT_TRUE(items(run.events).empty());
    EXPECT_EQ(run.result.sectorsScanned, 0u);
    setup.thoroughPass = true;
    run = scan(image, setup);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"AVI00001.AVI", 3, 10}}));
}

INSTANTIATE_TEST_SUITE_P(Shifted, CarvingRawScan, ::testing::Values(0u, 1u, 2047u));

TEST(CarvingRawEngine, OpenFailureReadsNothing) {
    FoundFileGroups groups;
    ScanControl control;
    control.stop_now = 1;
    control.for_index = 99;
    RecordingSink sink(control);
    ScanRequest request;
    request.start_sector = 10;
    request.end_sector = 30;
    const ScanResult result = runRawScan(request, control, groups, sink);
    EXPECT_EQ(result.status, ScanStatus::OpenFailure);
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(control.stop_now.load(), 0);
    EXPECT_EQ(control.for_index.load(), 0u);
}

} // namespace
} // namespace quarry::carving
