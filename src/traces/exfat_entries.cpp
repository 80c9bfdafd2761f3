#include "traces/exfat_entries.h"

#include "traces/bytes.h"

namespace quarry::traces {
namespace {

constexpr std::size_t kEntry = 32;
constexpr std::uint8_t kInUse = 0x80;
constexpr std::uint8_t kFile = 0x85;
constexpr std::uint8_t kStream = 0xC0;
constexpr std::uint8_t kName = 0xC1;

// Sum over the set with every entry taken as in use, as when it was written.
std::uint16_t setChecksum(const std::uint8_t* p, std::size_t bytes) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        if (i == 2 || i == 3) {
            continue;
        }
        const std::uint8_t b = i % kEntry == 0 ? static_cast<std::uint8_t>(p[i] | kInUse) : p[i];
        sum = static_cast<std::uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + b);
    }
    return sum;
}

// exFAT's packed local time, moved to UTC when the entry gives the offset.
std::optional<std::int64_t> exFatTime(std::uint32_t packed, std::uint8_t tenMs, std::uint8_t utcOffset) {
    auto t = dosTime(static_cast<std::uint16_t>(packed >> 16), static_cast<std::uint16_t>(packed & 0xFFFF));
    if (t) {
        *t += tenMs / 100;
        if ((utcOffset & 0x80) != 0) {
            const int quarters = static_cast<std::int8_t>(static_cast<std::uint8_t>(utcOffset << 1)) / 2;
            *t -= quarters * 15 * 60;
        }
    }
    return t;
}

} // namespace

std::optional<ExFatEntry> readExFatEntrySet(const std::uint8_t* p, std::size_t available,
                                            std::size_t& length) {
    if ((p[0] | kInUse) != kFile || available < 3 * kEntry) {
        return std::nullopt;
    }
    const unsigned secondaries = p[1];
    length = (secondaries + 1) * kEntry;
    if (secondaries < 2 || secondaries > 18 || length > available) {
        return std::nullopt;
    }
    const bool deleted = (p[0] & kInUse) == 0;
    const std::uint8_t* stream = p + kEntry;
    if ((stream[0] | kInUse) != kStream || ((stream[0] & kInUse) == 0) != deleted) {
        return std::nullopt;
    }
    for (unsigned k = 2; k <= secondaries; ++k) {
        if ((p[k * kEntry] | kInUse) != kName) {
            return std::nullopt;
        }
    }
    if (setChecksum(p, length) != le16(p + 2)) {
        return std::nullopt;
    }
    const unsigned nameUnits = stream[3];
    if (nameUnits == 0 || nameUnits > (secondaries - 1) * 15) {
        return std::nullopt;
    }
    std::string units;
    for (unsigned k = 2; k <= secondaries; ++k) {
        units.append(reinterpret_cast<const char*>(p + k * kEntry + 2), 30);
    }
    ExFatEntry entry;
    entry.name = utf8FromUtf16(reinterpret_cast<const std::uint8_t*>(units.data()), nameUnits);
    entry.folder = (le16(p + 4) & 0x10) != 0;
    entry.mtime = exFatTime(le32(p + 12), p[21], p[23]);
    entry.firstCluster = le32(stream + 20);
    entry.bytes = le64(stream + 24);
    entry.deleted = deleted;
    return entry;
}

} // namespace quarry::traces
