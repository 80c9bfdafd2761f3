#include "carving/memory_source.h"
#include "carving_test_support.h"

#include <gtest/gtest.h>

namespace quarry::carving {
namespace {

using namespace test_support;

const auto kAvi = hexBytes("52494646");

// What the generated comparison with the reference engines cannot reach: limits beyond its
// small images, counters that outlive a scan, names of unusual characters, no medium at all.
// Each case also runs with the image shifted by k sectors.
class CarvingEngineRules : public ::testing::TestWithParam<std::uint64_t> {
protected:
    ScanRun photoScan(const Image& image, const ScanSetup& setup) {
        return scanShifted(image, setup, GetParam(), [&](SectorSource* source, const ScanSetup& s) {
            return runPhoto(source, s, counters);
        });
    }

    ScanRun rawScan(const Image& image, const signatures::SignatureList& general) {
        ScanSetup setup;
        setup.general = &general;
        setup.thoroughPass = false;
        return scanShifted(image, setup, GetParam(), [&](SectorSource* source, const ScanSetup& s) {
            return runRaw(source, s, groups);
        });
    }

    PhotoCounters counters;
    FoundFileGroups groups;
};

TEST_P(CarvingEngineRules, ThoroughPassNamesAfreshWhileIdentifiersRunOn) {
    signatures::SignatureList general;
    addRecord(general, "JPG", "100000", "FFD8FF", "1");
    signatures::SignatureList thorough;
    addRecord(thorough, "JPG", "100000", "FFD8", "1");
    addRecord(thorough, "PNG", "100000", "89504E47", "1");
    Image image(10);
    image.put(1, 0, hexBytes("FFD8FFE0"));
    image.put(3, 0, hexBytes("89504E47"));
    image.put(6, 0, hexBytes("FFD800"));
    ScanSetup setup;
    setup.general = &general;
    setup.thorough = &thorough;
    // The first scan's items are the reference's (see the block comparison); a second scan
    // restarts the names and continues the identifiers.
    photoScan(image, setup);
    const ScanRun run = photoScan(image, setup);
    ASSERT_EQ(run.events.size(), 6u);
    EXPECT_EQ(run.events[1].name, "GND00001.JPG");
    EXPECT_EQ(run.events[1].uid, "GND00002.JPG");
    EXPECT_EQ(run.events[3].name, "THD00001.JPG");
    EXPECT_EQ(run.events[3].uid, "THD00004.JPG");
    EXPECT_EQ(run.events[0].kind, "pass");
    EXPECT_EQ(run.events[2].kind, "pass");
    EXPECT_EQ(run.events[2].pass, PassKind::Thorough);
}

TEST_P(CarvingEngineRules, RawItemsEndAtEighteenMebibytesAndSectorsAreSkippedUntilTheNextHeader) {
    signatures::SignatureList list;
    addRecord(list, "AVI", "0", "52494646", "1");
    addRecord(list, "WAV", "0", "52494646", "1");
    makeGroups(groups, {"AVI", "WAV"});
    Image image(40010);
    image.put(100, 0, kAvi);
    image.fill(20000, 0x33);
    image.put(40000, 0, kAvi);
    const ScanRun run = rawScan(image, list);
    EXPECT_EQ(items(run.events), (std::vector<Item>{{"AVI00001.AVI", 100, 36964},
                                                    {"WAV00001.WAV", 100, 36964},
                                                    {"AVI00002.AVI", 40000, 40010},
                                                    {"WAV00002.WAV", 40000, 40010}}));
    EXPECT_EQ(run.events[1].forIndex, 36964u);
}

TEST_P(CarvingEngineRules, RawNamesAreTrimmedWhileTheIdentifierIsNot) {
    signatures::SignatureList list;
    addRecord(list, " JPEG", "0", "FFD8FF", "1");
    addRecord(list, "\xC2\xA0X\xE2\x80\xA8", "0", "4142", "1");
    makeGroups(groups, {" JPEG"});
    Image image(10);
    image.put(2, 0, hexBytes("FFD8FF"));
    image.put(5, 0, hexBytes("4142"));
    const ScanRun run = rawScan(image, list);
    ASSERT_EQ(run.events.size(), 3u);
    EXPECT_EQ(run.events[1].name, "JPEG00001. JPEG");
    EXPECT_EQ(run.events[1].uid, " JPEG00001. JPEG");
    EXPECT_EQ(run.events[2].name, "X\xE2\x80\xA8"
                                  "00002.\xC2\xA0X"); // no group: the pass count
    EXPECT_EQ(groups.countFor(" JPEG"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Shifted, CarvingEngineRules, ::testing::Values(0u, 1u, 2047u, 4095u));

// The photo engine leaves for_index at the range start, the raw engine at 0.
TEST(CarvingEngines, OpenFailureReadsNothing) {
    for (const bool raw : {false, true}) {
        SCOPED_TRACE(raw ? "raw" : "photo");
        signatures::SignatureList list;
        addRecord(list, "JPG", "100000", "FFD8FF", "1");
        ScanControl control;
        control.stop_now = 1;
        control.for_index = 99;
        RecordingSink sink(control);
        ScanRequest request;
        request.start_sector = 10;
        request.end_sector = 30;
        request.general = &list;
        PhotoCounters counters;
        FoundFileGroups groups;
        const ScanResult result =
            raw ? runRawScan(request, control, groups, sink) : runPhotoScan(request, control, counters, sink);
        EXPECT_EQ(result.status, ScanStatus::OpenFailure);
        EXPECT_TRUE(sink.events.empty());
        EXPECT_EQ(control.stop_now.load(), 0);
        EXPECT_EQ(control.for_index.load(), raw ? 0u : 10u);
        EXPECT_EQ(control.total_sector.load(), 20u);
    }
}

} // namespace
} // namespace quarry::carving
