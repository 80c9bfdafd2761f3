#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarry::range {

// True when every character is an ASCII digit; an empty text passes (emptiness is rejected
// before this is asked).
bool Check_For_Valid_Sec(std::string_view text);

enum class RangeField { Start, End };

// A failed validation: the alert's message and informative text, and where the focus goes.
struct RangeAlert {
    std::string message;
    std::string informative;
    RangeField focus;
};

// The seven checks of a typed sector range, in order; the first failure is returned.
std::optional<RangeAlert> validateSectorRange(std::string_view startText, std::string_view endText,
                                              std::string_view sectorsText);

// start_sector, end_sector (exclusive) and total_sector of a scan.
struct ScanBounds {
    std::uint64_t start_sector = 0;
    std::uint64_t end_sector = 0;
    std::uint64_t total_sector = 0;
};

// Bounds from the scan-range screen's state: the whole medium when only the entire-disk
// radio is on, the typed range when only the sector-range radio is on, else 0..0.
ScanBounds computeScanBounds(bool entireDiskOn, bool sectorRangeOn, std::string_view sectorsText,
                             std::string_view startText, std::string_view endText);

} // namespace quarry::range
