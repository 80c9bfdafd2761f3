#include "range/sector_range.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>

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

struct RangeCase {
    std::string start, end, count;
    std::optional<RangeField> focus; // none: the range is accepted
    std::string message, informative;
};

void PrintTo(const RangeCase& c, std::ostream* out) {
    *out << '"' << c.start << "\" .. \"" << c.end << "\" of " << c.count;
}

class ValidateSectorRange : public testing::TestWithParam<RangeCase> {};

TEST_P(ValidateSectorRange, AlertsOrAccepts) {
    const auto& c = GetParam();
    const auto alert = validateSectorRange(c.start, c.end, c.count);
    if (!c.focus)
        EXPECT_FALSE(alert);
    else
        expectAlert(alert, c.message, c.informative, *c.focus);
}

constexpr auto kStart = RangeField::Start;
constexpr auto kEnd = RangeField::End;

INSTANTIATE_TEST_SUITE_P(StartField, ValidateSectorRange,
                         testing::Values(RangeCase{"", "", "1000", kStart, kStartInvalid, ""},
                                         RangeCase{"12x", "500", "1000", kStart, kStartInvalid, ""},
                                         RangeCase{" 12", "500", "1000", kStart, kStartInvalid, ""},
                                         RangeCase{"+12", "500", "1000", kStart, kStartInvalid, ""},
                                         RangeCase{"-12", "500", "1000", kStart, kStartInvalid, ""},
                                         // Longer than the count text, although only 1 by value.
                                         RangeCase{"00001", "500", "1000", kStart, kExceeded, kStartInfo},
                                         RangeCase{"1001", "500", "1000", kStart, kExceeded, kStartInfo},
                                         // A bad start is reported before the end field is looked at.
                                         RangeCase{"", "x", "1000", kStart, kStartInvalid, ""},
                                         RangeCase{"2000", "", "1000", kStart, kExceeded, kStartInfo}));

INSTANTIATE_TEST_SUITE_P(EndField, ValidateSectorRange,
                         testing::Values(RangeCase{"0", "", "1000", kEnd, kEndInvalid, ""},
                                         RangeCase{"0", "5o0", "1000", kEnd, kEndInvalid, ""},
                                         RangeCase{"0", "500 ", "1000", kEnd, kEndInvalid, ""},
                                         RangeCase{"0", "-500", "1000", kEnd, kEndInvalid, ""},
                                         RangeCase{"0", "00500", "1000", kEnd, kExceeded, kEndInfo},
                                         RangeCase{"0", "1001", "1000", kEnd, kExceeded, kEndInfo},
                                         RangeCase{"500", "500", "1000", kEnd, kEndNotGreater, ""},
                                         RangeCase{"600", "500", "1000", kEnd, kEndNotGreater, ""}));

INSTANTIATE_TEST_SUITE_P(
    UpToTheCount, ValidateSectorRange,
    testing::Values(RangeCase{"0", "1000", "1000", {}, "", ""}, RangeCase{"999", "1000", "1000", {}, "", ""},
                    RangeCase{"0050", "0100", "1000", {}, "", ""},
                    // A start equal to the count passes its own checks; only the end check stops it.
                    RangeCase{"1000", "1000", "1000", kEnd, kEndNotGreater, ""}));

INSTANTIATE_TEST_SUITE_P(
    BeyondThirtyTwoBits, ValidateSectorRange,
    testing::Values(RangeCase{"3000000000", "3500000000", "7814037168", {}, "", ""},
                    RangeCase{"4294967296", "4294967297", "7814037168", {}, "", ""},
                    RangeCase{"4294967297", "4294967296", "7814037168", kEnd, kEndNotGreater, ""},
                    RangeCase{"0", "7814037169", "7814037168", kEnd, kExceeded, kEndInfo},
                    RangeCase{"9000000000", "9000000001", "7814037168", kStart, kExceeded, kStartInfo}));

// The entire disk reads the count, a sector range the fields; undecided radios scan nothing.
TEST(ComputeScanBounds, FromTheRadiosAndFields) {
    const struct {
        bool entire, range;
        const char *count, *start, *end;
        std::uint64_t startSector, endSector, total;
    } rows[] = {
        {true, false, "7814037168", "12", "34", 0, 7814037168, 7814037168},
        {true, false, "1000", "", "", 0, 1000, 1000},
        {false, true, "7814037168", "3000000000", "3500000000", 3000000000, 3500000000, 500000000},
        {false, true, "1000", "0", "1000", 0, 1000, 1000},
        {true, true, "1000", "10", "20", 0, 0, 0},
        {false, false, "1000", "10", "20", 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.entire << row.range << " " << row.start << ".." << row.end);
        const auto bounds = computeScanBounds(row.entire, row.range, row.count, row.start, row.end);
        EXPECT_EQ(bounds.start_sector, row.startSector);
        EXPECT_EQ(bounds.end_sector, row.endSector);
        EXPECT_EQ(bounds.total_sector, row.total);
    }
    // Backward or negative fields scan nothing.
    EXPECT_EQ(computeScanBounds(false, true, "1000", "20", "10").total_sector, 0u);
    EXPECT_EQ(computeScanBounds(false, true, "1000", "-20", "10").start_sector, 0u);
}

} // namespace
} // namespace quarry::range
