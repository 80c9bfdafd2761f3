#include "range/sector_range.h"

#include <gtest/gtest.h>
#include <limits>

namespace quarry::range {
namespace {

const std::string kStartInvalid = "\nPlease enter valid Start Sector value.";
const std::string kEndInvalid = "\nPlease enter valid End Sector value.";
const std::string kExceeded = "\nMaximum sector range exceeded";
const std::string kStartInfo = "Please enter valid Start Sector value.";
const std::string kEndInfo = "Please enter valid End Sector value.";
const std::string kEndNotGreater = "\nEnd Sector should be greater than Start Sector.";

void expectAlert(const std::optional<RangeAlert>& alert, const std::string& message,
                 const std::string& informative, RangeField focus) {
    ASSERT_TRUE(alert.has_value());
    EXPECT_EQ(alert->message, message);
    EXPECT_EQ(alert->informative, informative);
    EXPECT_EQ(alert->focus, focus);
}

TEST(CheckForValidSec, AcceptsOnlyAsciiDigits) {
    EXPECT_TRUE(Check_For_Valid_Sec("0123456789"));
    EXPECT_TRUE(Check_For_Valid_Sec(""));
    EXPECT_FALSE(Check_For_Valid_Sec("12a"));
    EXPECT_FALSE(Check_For_Valid_Sec(" 12"));
    EXPECT_FALSE(Check_For_Valid_Sec("+12"));
    EXPECT_FALSE(Check_For_Valid_Sec("-12"));
    EXPECT_FALSE(Check_For_Valid_Sec("1.5"));
    EXPECT_FALSE(Check_For_Valid_Sec("\xd9\xa1")); // ARABIC-INDIC DIGIT ONE
}

TEST(ReadInt64, ReadsLikeAnIntegerPrefix) {
    EXPECT_EQ(readInt64("  \t42abc"), 42);
    EXPECT_EQ(readInt64("-17"), -17);
    EXPECT_EQ(readInt64("+0009"), 9);
    EXPECT_EQ(readInt64("abc"), 0);
    EXPECT_EQ(readInt64(""), 0);
    EXPECT_EQ(readInt64("- 5"), 0);
    EXPECT_EQ(readInt64("7814037168"), 7814037168);
}

TEST(ReadInt64, SaturatesAtBothEnds) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(readInt64("9223372036854775807"), kMax);
    EXPECT_EQ(readInt64("9223372036854775808"), kMax);
    EXPECT_EQ(readInt64("99999999999999999999999"), kMax);
    EXPECT_EQ(readInt64("-9223372036854775808"), kMin);
    EXPECT_EQ(readInt64("-9223372036854775809"), kMin);
}

TEST(ValidateSectorRange, StartFieldAlerts) {
    expectAlert(validateSectorRange("", "", "1000"), kStartInvalid, "", RangeField::Start);
    expectAlert(validateSectorRange("12x", "500", "1000"), kStartInvalid, "", RangeField::Start);
    expectAlert(validateSectorRange(" 12", "500", "1000"), kStartInvalid, "", RangeField::Start);
    expectAlert(validateSectorRange("+12", "500", "1000"), kStartInvalid, "", RangeField::Start);
    expectAlert(validateSectorRange("-12", "500", "1000"), kStartInvalid, "", RangeField::Start);
    // Longer than the count text, although only 1 by value.
    expectAlert(validateSectorRange("00001", "500", "1000"), kExceeded, kStartInfo, RangeField::Start);
    expectAlert(validateSectorRange("1001", "500", "1000"), kExceeded, kStartInfo, RangeField::Start);
}

TEST(ValidateSectorRange, EndFieldAlerts) {
    expectAlert(validateSectorRange("0", "", "1000"), kEndInvalid, "", RangeField::End);
    expectAlert(validateSectorRange("0", "5o0", "1000"), kEndInvalid, "", RangeField::End);
    expectAlert(validateSectorRange("0", "500 ", "1000"), kEndInvalid, "", RangeField::End);
    expectAlert(validateSectorRange("0", "-500", "1000"), kEndInvalid, "", RangeField::End);
    expectAlert(validateSectorRange("0", "00500", "1000"), kExceeded, kEndInfo, RangeField::End);
    expectAlert(validateSectorRange("0", "1001", "1000"), kExceeded, kEndInfo, RangeField::End);
    expectAlert(validateSectorRange("500", "500", "1000"), kEndNotGreater, "", RangeField::End);
    expectAlert(validateSectorRange("600", "500", "1000"), kEndNotGreater, "", RangeField::End);
}

TEST(ValidateSectorRange, FirstFailureWins) {
    // A bad start is reported before the end field is looked at.
    expectAlert(validateSectorRange("", "x", "1000"), kStartInvalid, "", RangeField::Start);
    expectAlert(validateSectorRange("2000", "", "1000"), kExceeded, kStartInfo, RangeField::Start);
}

TEST(ValidateSectorRange, AcceptsRangesUpToTheCount) {
    EXPECT_FALSE(validateSectorRange("0", "1000", "1000"));
    EXPECT_FALSE(validateSectorRange("999", "1000", "1000"));
    EXPECT_FALSE(validateSectorRange("0050", "0100", "1000"));
    // A start equal to the count passes its own checks; only the end check stops it.
    expectAlert(validateSectorRange("1000", "1000", "1000"), kEndNotGreater, "", RangeField::End);
}

TEST(ValidateSectorRange, ComparesBeyondThirtyTwoBits) {
    EXPECT_FALSE(validateSectorRange("3000000000", "3500000000", "7814037168"));
    EXPECT_FALSE(validateSectorRange("4294967296", "4294967297", "7814037168"));
    expectAlert(validateSectorRange("4294967297", "4294967296", "7814037168"), kEndNotGreater, "",
                RangeField::End);
    expectAlert(validateSectorRange("0", "7814037169", "7814037168"), kExceeded, kEndInfo, RangeField::End);
    expectAlert(validateSectorRange("9000000000", "9000000001", "7814037168"), kExceeded, kStartInfo,
                RangeField::Start);
}

TEST(ComputeScanBounds, EntireDiskReadsTheCount) {
    const auto bounds = computeScanBounds(true, false, "7814037168", "12", "34");
    EXPECT_EQ(bounds.start_sector, 0u);
    EXPECT_EQ(bounds.end_sector, 7814037168u);
    EXPECT_EQ(bounds.total_sector, 7814037168u);
}

TEST(ComputeScanBounds, SectorRangeReadsTheFields) {
    const auto bounds = computeScanBounds(false, true, "7814037168", "3000000000", "3500000000");
    EXPECT_EQ(bounds.start_sector, 3000000000u);
    EXPECT_EQ(bounds.end_sector, 3500000000u);
    EXPECT_EQ(bounds.total_sector, 500000000u);

    const auto whole = computeScanBounds(false, true, "1000", "0", "1000");
    EXPECT_EQ(whole.end_sector, computeScanBounds(true, false, "1000", "", "").end_sector);
    EXPECT_EQ(whole.total_sector, 1000u);
}

TEST(ComputeScanBounds, UndecidedRadiosAndBackwardRangesScanNothing) {
    for (const bool both : {true, false}) {
        const auto bounds = computeScanBounds(both, both, "1000", "10", "20");
        EXPECT_EQ(bounds.start_sector, 0u);
        EXPECT_EQ(bounds.end_sector, 0u);
        EXPECT_EQ(bounds.total_sector, 0u);
    }
    EXPECT_EQ(computeScanBounds(false, true, "1000", "20", "10").total_sector, 0u);
    EXPECT_EQ(computeScanBounds(false, true, "1000", "-20", "10").start_sector, 0u);
}

} // namespace
} // namespace quarry::range
