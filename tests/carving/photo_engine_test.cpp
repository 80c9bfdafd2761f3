#include "carving/memory_source.h"
#include "engine_fixture.h"

#include <gtest/gtest.h>
#include <limits>

namespace quarry::carving {
namespace {

using namespace test_support;

const auto kJpeg = hexBytes("FFD8FFE0");
const auto kPng = hexBytes("89504E47");

// Photo scans over small images; each case also runs with the image shifted by k sectors.
class CarvingPhotoScan : public ::testing::TestWithParam<std::uint64_t> {
protected:
    ScanRun scan(const Image& image, ScanSetup setup) {
        return scanShifted(image, setup, GetParam(), [&](SectorSource* source, const ScanSetup& s) {
            return runPhoto(source, s, counters);
        });
    }

    ScanRun scan(const Image& image, const signatures::SignatureList& general) {
        ScanSetup setup;
        setup.general = &general;
        setup.thorough = &noRecords;
        return scan(image, setup);
    }

    PhotoCounters counters;
    signatures::SignatureList noRecords;
};

TEST_P(CarvingPhotoScan, HeaderAtByteZeroStartsAPhotoThatRunsToTheNextHeader) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "10000", "FFD8FF", "1");
    Image image(20);
    image.put(2, 0, kJpeg);
    image.put(3, 0, {1, 2, 3});
    image.put(5, 0, kJpeg);
    image.put(9, 1, kJpeg); // not at byte 0
    const ScanRun run = scan(image, list);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"GND00001.JPG", 2, 5}, {"GND00002.JPG", 5, 20}}));
    ASSERT_EQ(run.photos.size(), 2u);
    EXPECT_EQ(run.photos[0],
              std::vector<std::uint8_t>(image.bytes().begin() + 2 * 512, image.bytes().begin() + 5 * 512));
    EXPECT_EQ(run.events[1].uid, "GND00001.JPG");
    EXPECT_EQ(run.events[1].forIndex, 6u); // handed over after the next header's sector was read
    EXPECT_EQ(run.events[2].forIndex, 20u);
    EXPECT_EQ(run.result.status, ScanStatus::Complete);
    EXPECT_EQ(run.result.sectorsScanned, 20u); // the empty thorough list reads nothing
    EXPECT_EQ(run.forIndexAtEnd, 0u);          // the thorough pass started over, then found its list empty
}

TEST_P(CarvingPhotoScan, SizeLimitEndsThePhotoBeforeTheSectorThatReachesIt) {
    const auto photosFor = [&](const std::string& maxSize) {
        signatures::SignatureList list;
        addRecord(list, "JPG", maxSize, "FFD8FF", "1");
        Image image(12);
        image.put(3, 0, kJpeg);
        image.put(9, 0, kJpeg);
        return items(scan(image, list).events);
    };
    EXPECT_EQ(photosFor("1024"), (std::vector<Item>{{"GND00001.JPG", 3, 4}, {"GND00002.JPG", 9, 10}}));
    EXPECT_EQ(photosFor("2000"), (std::vector<Item>{{"GND00001.JPG", 3, 6}, {"GND00002.JPG", 9, 12}}));
    EXPECT_EQ(photosFor("2048"), (std::vector<Item>{{"GND00001.JPG", 3, 6}, {"GND00002.JPG", 9, 12}}));
    EXPECT_EQ(photosFor("2049"), (std::vector<Item>{{"GND00001.JPG", 3, 7}, {"GND00002.JPG", 9, 12}}));
    EXPECT_TRUE(photosFor("512").empty());
    EXPECT_TRUE(photosFor("0").empty());
    EXPECT_TRUE(photosFor("junk").empty());
    // Negative reads as a huge limit: the photo runs to the next header or the pass end.
    EXPECT_EQ(photosFor("-1"), (std::vector<Item>{{"GND00001.JPG", 3, 9}, {"GND00002.JPG", 9, 12}}));
}

TEST_P(CarvingPhotoScan, NumbersGoOnAfterPhotosThatGaveNoBytes) {
    signatures::SignatureList list;
    addRecord(list, "TINY", "100", "AABB", "1");
    addRecord(list, "JPG", "10000", "FFD8FF", "1");
    Image image(10);
    image.put(1, 0, hexBytes("AABB"));
    image.put(4, 0, kJpeg);
    EXPECT_EQ(items(scan(image, list).events), (std::vector<Item>{{"GND00002.JPG", 4, 10}}));
    EXPECT_EQ(counters.GND_Image_number.load(), 2u);
}

TEST_P(CarvingPhotoScan, HeadersInConsecutiveSectorsAndInTheLastSector) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    Image image(8);
    image.put(4, 0, kJpeg);
    image.put(5, 0, kJpeg);
    image.put(7, 0, kJpeg);
    EXPECT_EQ(items(scan(image, list).events),
              (std::vector<Item>{{"GND00001.JPG", 4, 5}, {"GND00002.JPG", 5, 7}, {"GND00003.JPG", 7, 8}}));
}

TEST_P(CarvingPhotoScan, BlankSectorsAreAppendedButNeverTested) {
    signatures::SignatureList list;
    addRecord(list, "ZERO", "100000", "0000", "1");
    Image image(10);
    image.put(6, 2, {1}); // 00 00 01: matches
    const ScanRun run = scan(image, list);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"GND00001.ZERO", 6, 10}}));
    ASSERT_EQ(run.photos.size(), 1u);
    EXPECT_EQ(run.photos[0].size(), 4u * 512);
}

TEST_P(CarvingPhotoScan, OpenPhotoKeepsTheLimitOfItsOwnType) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    addRecord(list, "PNG", "1024", "89504E47", "1");
    Image image(40);
    for (std::uint64_t s = 0; s < 40; ++s) {
        image.fill(s, 0x11); // tested, matching nothing: the PNG record is examined last
    }
    image.put(1, 0, kJpeg);
    image.put(30, 0, kPng);
    EXPECT_EQ(items(scan(image, list).events),
              (std::vector<Item>{{"GND00001.JPG", 1, 30}, {"GND00002.PNG", 30, 31}}));
}

TEST_P(CarvingPhotoScan, NumberedAndScannedPositionsInAScan) {
    signatures::SignatureList list;
    addRecord(list, "MP4", "100000", "66747970", "5");
    addRecord(list, "JPG", "100000", "FFD8FF", "nn");
    Image image(12);
    image.put(2, 4, hexBytes("66747970"));
    image.put(5, 0, hexBytes("FFFFD8FF"));
    image.put(8, 0, hexBytes("FF00FFD8FF")); // the scan stops at the 00
    EXPECT_EQ(items(scan(image, list).events),
              (std::vector<Item>{{"GND00001.MP4", 2, 5}, {"GND00002.JPG", 5, 12}}));
}

TEST_P(CarvingPhotoScan, ThoroughPassNamesAfreshWhileIdentifiersRunOn) {
    signatures::SignatureList general;
    addRecord(general, "JPG", "100000", "FFD8FF", "1");
    signatures::SignatureList thorough;
    addRecord(thorough, "JPG", "100000", "FFD8", "1");
    addRecord(thorough, "PNG", "100000", "89504E47", "1");
    Image image(10);
    image.put(1, 0, kJpeg);
    image.put(3, 0, kPng);
    image.put(6, 0, hexBytes("FFD800"));
    ScanSetup setup;
    setup.general = &general;
    setup.thorough = &thorough;
    ScanRun run = scan(image, setup);
    const std::vector<Item> expected = {
        {"GND00001.JPG", 1, 10}, {"THD00001.JPG", 1, 3}, {"THD00002.PNG", 3, 6}, {"THD00003.JPG", 6, 10}};
    EXPECT_EQ(items(run.events), expected);
    EXPECT_EQ(run.events[4].uid, "THD00002.PNG");
    EXPECT_EQ(run.result.sectorsScanned, 20u);

    // A second scan restarts the names and continues the identifiers.
    run = scan(image, setup);
    EXPECT_EQ(run.events[1].name, "GND00001.JPG");
    EXPECT_EQ(run.events[1].uid, "GND00002.JPG");
    EXPECT_EQ(run.events[3].name, "THD00001.JPG");
    EXPECT_EQ(run.events[3].uid, "THD00004.JPG");
    ASSERT_EQ(run.events.size(), 6u);
    EXPECT_EQ(run.events[0].kind, "pass");
    EXPECT_EQ(run.events[2].kind, "pass");
    EXPECT_EQ(run.events[2].pass, PassKind::Thorough);
}

TEST_P(CarvingPhotoScan, EmptyGeneralListReadsNothingAndTheThoroughPassStillRuns) {
    signatures::SignatureList thorough;
    addRecord(thorough, "JPG", "100000", "FFD8FF", "1");
    Image image(6);
    image.put(2, 0, kJpeg);
    ScanSetup setup;
    setup.general = &noRecords;
    setup.thorough = &thorough;
    const ScanRun run = scan(image, setup);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"THD00001.JPG", 2, 6}}));
    EXPECT_EQ(run.result.sectorsScanned, 6u);

    setup.thoroughPass = false;
    const ScanRun off = scan(image, setup);
    EXPECT_TRUE(items(off.events).empty());
    EXPECT_EQ(off.result.sectorsScanned, 0u);
    EXPECT_EQ(off.forIndexAtEnd, 0u);
}

TEST_P(CarvingPhotoScan, StopKeepsThePartPhotoAndSkipsTheThoroughPass) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    Image image(20);
    image.put(2, 0, kJpeg);
    image.put(5, 0, kJpeg);
    image.put(6, 0, {7});
    ScanSetup setup;
    setup.general = &list;
    setup.thorough = &list;
    setup.stopAfterItems = 1; // the stop arrives while sector 5 is handled
    const ScanRun run = scan(image, setup);
    EXPECT_EQ(run.result.status, ScanStatus::Stopped);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"GND00001.JPG", 2, 5}, {"GND00002.JPG", 5, 6}}));
    EXPECT_EQ(run.events.back().forIndex, 6u);
    EXPECT_EQ(run.forIndexAtEnd, 6u);
    EXPECT_EQ(run.stopNowAtEnd, 0);
    EXPECT_EQ(run.result.sectorsScanned, 6u);
}

TEST_P(CarvingPhotoScan, RangeLimitsTheScan) {
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    Image image(20);
    image.put(2, 0, kJpeg);
    image.put(8, 0, kJpeg);
    image.put(15, 0, kJpeg);
    ScanSetup setup;
    setup.general = &list;
    setup.thoroughPass = false;
    setup.start = 3;
    setup.end = 15;
    EXPECT_EQ(items(scan(image, setup).events), (std::vector<Item>{{"GND00001.JPG", 8, 15}}));
}

INSTANTIATE_TEST_SUITE_P(Shifted, CarvingPhotoScan, ::testing::Values(0u, 1u, 4095u));

TEST(CarvingPhotoEngine, OpenFailureReadsNothing) {
    PhotoCounters counters;
    signatures::SignatureList list;
    addRecord(list, "JPG", "100000", "FFD8FF", "1");
    ScanControl control;
    control.stop_now = 1;
    RecordingSink sink(control);
    ScanRequest request;
    request.start_sector = 10;
    request.end_sector = 30;
    request.general = &list;
    const ScanResult result = runPhotoScan(request, control, counters, sink);
    EXPECT_EQ(result.status, ScanStatus::OpenFailure);
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(control.stop_now.load(), 0);
    EXPECT_EQ(control.for_index.load(), 10u);
    EXPECT_EQ(control.total_sector.load(), 20u);
}

} // namespace
} // namespace quarry::carving
