#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quarry::traces {

// Little-endian fields of on-disk structures.
inline std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(le16(p)) | static_cast<std::uint32_t>(le16(p + 2)) << 16;
}
inline std::uint64_t le64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(le32(p)) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}

// UTF-16LE code units as UTF-8; a unit that pairs with nothing becomes U+FFFD, and the name
// ends at the first NUL.
std::string utf8FromUtf16(const std::uint8_t* units, std::size_t count);

// A DOS date and time (local time, taken as UTC: the card never says which zone) as seconds
// since 1970; nothing when the date is not a real one.
std::optional<std::int64_t> dosTime(std::uint16_t date, std::uint16_t time);

// An NTFS time (100 ns since 1601) as seconds since 1970; nothing for 0.
std::optional<std::int64_t> ntfsTime(std::uint64_t ticks);

} // namespace quarry::traces
