#include "range/sector_range.h"

#include "common/decimal.h"

#include <algorithm>

namespace quarry::range {
namespace {

constexpr std::string_view kMaximumExceeded = "\nMaximum sector range exceeded";
constexpr std::string_view kValidStart = "Please enter valid Start Sector value.";
constexpr std::string_view kValidEnd = "Please enter valid End Sector value.";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A sector number read from a text; a negative reading is no sector and counts as 0.
std::uint64_t readSector(std::string_view text) {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(readSigned64(text), 0));
}

RangeAlert alert(std::string_view message, std::string_view informative, RangeField focus) {
    return RangeAlert{std::string(message), std::string(informative), focus};
}

// Steps 1-3 for the start field, 4-6 for the end field.
std::optional<RangeAlert> validateField(std::string_view text, std::string_view sectorsText,
                                        std::string_view invalidMessage, std::string_view informative,
                                        RangeField focus) {
    if (text.empty() || !Check_For_Valid_Sec(text))
        return alert(invalidMessage, "", focus);
    if (text.size() > sectorsText.size())
        return alert(kMaximumExceeded, informative, focus);
    if (readSector(text) > readSector(sectorsText))
        return alert(kMaximumExceeded, informative, focus);
    return std::nullopt;
}

} // namespace

bool Check_For_Valid_Sec(std::string_view text) {
    return std::all_of(text.begin(), text.end(), isDigit);
}

std::optional<RangeAlert> validateSectorRange(std::string_view startText, std::string_view endText,
                                              std::string_view sectorsText) {
    if (auto failed = validateField(startText, sectorsText, "\nPlease enter valid Start Sector value.",
                                    kValidStart, RangeField::Start))
        return failed;
    if (auto failed = validateField(endText, sectorsText, "\nPlease enter valid End Sector value.", kValidEnd,
                                    RangeField::End))
        return failed;
    if (readSector(endText) <= readSector(startText))
        return alert("\nEnd Sector should be greater than Start Sector.", "", RangeField::End);
    return std::nullopt;
}

ScanBounds computeScanBounds(bool entireDiskOn, bool sectorRangeOn, std::string_view sectorsText,
                             std::string_view startText, std::string_view endText) {
    ScanBounds bounds;
    if (entireDiskOn && !sectorRangeOn) {
        bounds.end_sector = readSector(sectorsText);
    } else if (!entireDiskOn && sectorRangeOn) {
        bounds.start_sector = readSector(startText);
        bounds.end_sector = readSector(endText);
    }
    // An unvalidated range could run backwards; it must not wrap into a huge sector count.
    if (bounds.end_sector > bounds.start_sector)
        bounds.total_sector = bounds.end_sector - bounds.start_sector;
    return bounds;
}

} // namespace quarry::range
