#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kCollection = {'t', 't', 'c', 'f'};
constexpr std::uint32_t kTrueType = 0x00010000;
constexpr std::uint32_t kOpenType = 0x4F54544F;      // "OTTO"
constexpr std::uint32_t kAppleTrueType = 0x74727565; // "true"
constexpr std::uint16_t kMaxTables = 256;
constexpr std::uint32_t kMaxFontsInCollection = 256;

constexpr std::uint32_t kHeadMagic = 0x5F0F3CF5;
constexpr std::uint32_t kHead = 0x68656164;       // "head"
constexpr std::uint32_t kBitmapHead = 0x62686564; // "bhed", the same table in bitmap-only fonts
constexpr std::uint64_t kHeadMagicAt = 12;

bool isTagCharacter(std::uint32_t c) {
    return c >= 0x20 && c <= 0x7E;
}

// End of the tables of the font whose table directory is at `dir`, each padded to four bytes. The
// directory's search fields must fit its table count, its tags be printable and in ascending order,
// and its font header table carry the header's magic number.
std::optional<std::uint64_t> sfntTablesEnd(ByteReader& in, std::uint64_t dir) {
    const auto version = in.u32be(dir);
    const auto tables = in.u16be(dir + 4);
    const auto searchRange = in.u16be(dir + 6);
    const auto entrySelector = in.u16be(dir + 8);
    const auto rangeShift = in.u16be(dir + 10);
    if (!version || (*version != kTrueType && *version != kOpenType && *version != kAppleTrueType) ||
        !tables || *tables == 0 || *tables > kMaxTables || !searchRange || !entrySelector || !rangeShift) {
        return std::nullopt;
    }
    std::uint16_t power = 1;
    std::uint16_t log2 = 0;
    while (power * 2 <= *tables) {
        power = static_cast<std::uint16_t>(power * 2);
        ++log2;
    }
    if (*searchRange != power * 16 || *entrySelector != log2 || *rangeShift != *tables * 16 - power * 16) {
        return std::nullopt;
    }
    std::uint64_t end = dir + 12 + 16ULL * *tables;
    std::uint32_t previousTag = 0;
    bool headHolds = false;
    for (std::uint16_t i = 0; i < *tables; ++i) {
        const std::uint64_t record = dir + 12 + 16ULL * i;
        const auto tag = in.u32be(record);
        const auto offset = in.u32be(record + 8);
        const auto length = in.u32be(record + 12);
        if (!tag || !offset || !length || (i > 0 && *tag <= previousTag) || !isTagCharacter(*tag >> 24) ||
            !isTagCharacter(*tag >> 16 & 0xFF) || !isTagCharacter(*tag >> 8 & 0xFF) ||
            !isTagCharacter(*tag & 0xFF)) {
            return std::nullopt;
        }
        if (*tag == kHead || *tag == kBitmapHead) {
            headHolds = in.u32be(*offset + kHeadMagicAt) == kHeadMagic;
        }
        previousTag = *tag;
        end = std::max(end, (static_cast<std::uint64_t>(*offset) + *length + 3) / 4 * 4);
    }
    return headHolds ? std::optional(end) : std::nullopt;
}

} // namespace

// TrueType and OpenType fonts and collections: the furthest table the directories name.
std::optional<std::uint64_t> sfntEnd(ByteReader& in, std::uint64_t) {
    if (!in.matches(0, kCollection)) {
        return sfntTablesEnd(in, 0);
    }
    const auto fonts = in.u32be(8);
    if (!fonts || *fonts == 0 || *fonts > kMaxFontsInCollection) {
        return std::nullopt;
    }
    std::uint64_t end = 12 + 4ULL * *fonts;
    for (std::uint32_t i = 0; i < *fonts; ++i) {
        const auto dir = in.u32be(12 + 4ULL * i);
        const auto fontEnd = dir ? sfntTablesEnd(in, *dir) : std::nullopt;
        if (!fontEnd) {
            return std::nullopt;
        }
        end = std::max(end, *fontEnd);
    }
    return end;
}

} // namespace quarry::results::validators
