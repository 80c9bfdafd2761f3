#include "range/sector_range.h"

#include <algorithm>
#include <limits>

namespace quarry::range {
namespace {

constexpr std::string_view kMaximumExceeded = "\nMaximum sector range exceeded";
constexpr std::string_view kValidStart = "Please enter valid Start Sector value.";
constexpr std::string_view kValidEnd = "Please enter valid End Sector value.";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A sector number read from a text; a negative reading is no sector and counts as 0.
std::uint64_t readSector(std::string_view text) {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(readInt64(text), 0));
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

std::int64_t readInt64(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate towards the sign so that the most negative value is reachable.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (negative) {
            if (value < (kMin + digit) / 10)
                return kMin;
            value = value * 10 - digit;
        } else {
            if (value > (kMax - digit) / 10)
                return kMax;
            value = value * 10 + digit;
        }
    }
    return value;
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
