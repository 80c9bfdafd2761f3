#pragma once

#include "signatures/definition_parser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarry::carving {

// Where a header must stand in a sector: at byte 0 ("1"), found by a scan from byte 0
// ("nn"), or at a fixed 0-based offset (any other text, read as a 1-based position).
enum class HeaderPosition { First, Scan, Offset };

// A numbered header position past this 0-based byte never matches.
inline constexpr std::int64_t kLastNumberedStart = 506;

// One signature record, converted once for a scan.
struct CompiledSignature {
    std::string extension;
    std::uint64_t maxSize = 0; // read as a signed 64-bit number, compared unsigned
    std::vector<std::uint8_t> header;
    HeaderPosition position = HeaderPosition::First;
    std::int64_t offset = 0; // 0-based; meaningful for HeaderPosition::Offset
    int firstByte = 0;       // the sector byte that must stand where a comparison starts
    std::string headerText;
    std::string positionText;
    std::size_t recordIndex = 0;
};

// Record `recordIndex` (fields 7r to 7r+6) of `list`; the record must be whole.
CompiledSignature compileRecord(const signatures::SignatureList& list, std::size_t recordIndex);

// Whole records of a list, in list order; a trailing partial record is left out.
std::vector<CompiledSignature> compileList(const signatures::SignatureList& list);

// The header test of one record against one 512-byte sector. Never reads outside the
// sector: a comparison that would is a mismatch.
bool matchesHeader(const CompiledSignature& signature, const std::uint8_t* sector512);

} // namespace quarry::carving
