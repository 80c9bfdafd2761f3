#include "results/validators/crc32.h"
#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 7> kRar4 = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr std::array<std::uint8_t, 8> kRar5 = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
constexpr std::uint64_t kMaxHeaderBytes = 1U << 20;

// RAR 1.5-4.x: blocks with a 16-bit header checksum, up to the end-of-archive block. Archives from
// versions without that block end after their last valid block.
std::optional<std::uint64_t> rar4End(ByteReader& in) {
    constexpr std::uint8_t kFileHeader = 0x74;
    constexpr std::uint8_t kSubBlock = 0x7A;
    constexpr std::uint8_t kEndOfArchive = 0x7B;
    constexpr std::uint16_t kLongBlock = 0x8000;
    constexpr std::uint16_t kLargeFile = 0x0100;
    std::uint64_t pos = kRar4.size();
    bool sawFile = false;
    for (;;) {
        const auto storedCrc = in.u16le(pos);
        const auto type = in.u8(pos + 2);
        const auto flags = in.u16le(pos + 3);
        const auto headerBytes = in.u16le(pos + 5);
        const bool plausible = storedCrc && type && flags && headerBytes && *type >= 0x73 &&
                               *type <= kEndOfArchive && *headerBytes >= 7;
        const auto crc = plausible ? crc32(in, pos + 2, *headerBytes - 2U) : std::nullopt;
        if (!crc || (*crc & 0xFFFF) != *storedCrc) {
            return sawFile ? std::optional(pos) : std::nullopt;
        }
        std::uint64_t dataBytes = 0;
        if ((*flags & kLongBlock) != 0) {
            const auto low = in.u32le(pos + 7);
            if (!low) {
                return std::nullopt;
            }
            dataBytes = *low;
            if ((*type == kFileHeader || *type == kSubBlock) && (*flags & kLargeFile) != 0) {
                const auto high = in.u32le(pos + 32);
                if (!high) {
                    return std::nullopt;
                }
                dataBytes |= static_cast<std::uint64_t>(*high) << 32;
            }
        }
        if (dataBytes > in.size()) {
            return std::nullopt;
        }
        pos += *headerBytes + dataBytes;
        sawFile = sawFile || *type == kFileHeader;
        if (*type == kEndOfArchive) {
            return pos;
        }
    }
}

// RAR 5: variable-length integers of seven bits a byte, low bits first.
std::optional<std::uint64_t> readVint(ByteReader& in, std::uint64_t& pos) {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 70; shift += 7) {
        const auto b = in.u8(pos++);
        if (!b) {
            return std::nullopt;
        }
        value |= static_cast<std::uint64_t>(*b & 0x7F) << shift;
        if ((*b & 0x80) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> rar5End(ByteReader& in) {
    constexpr std::uint64_t kEndOfArchive = 5;
    constexpr std::uint64_t kHasExtra = 0x01;
    constexpr std::uint64_t kHasData = 0x02;
    std::uint64_t pos = kRar5.size();
    for (;;) {
        const auto storedCrc = in.u32le(pos);
        std::uint64_t at = pos + 4;
        const auto headerBytes = readVint(in, at);
        if (!storedCrc || !headerBytes || *headerBytes == 0 || *headerBytes > kMaxHeaderBytes) {
            return std::nullopt;
        }
        const std::uint64_t headerEnd = at + *headerBytes;
        if (crc32(in, pos + 4, headerEnd - pos - 4) != storedCrc) {
            return std::nullopt;
        }
        const auto type = readVint(in, at);
        const auto flags = readVint(in, at);
        if (!type || !flags || *type == 0 || *type > kEndOfArchive) {
            return std::nullopt;
        }
        if ((*flags & kHasExtra) != 0 && !readVint(in, at)) {
            return std::nullopt;
        }
        std::uint64_t dataBytes = 0;
        if ((*flags & kHasData) != 0) {
            const auto data = readVint(in, at);
            if (!data || *data > in.size()) {
                return std::nullopt;
            }
            dataBytes = *data;
        }
        pos = headerEnd + dataBytes;
        if (*type == kEndOfArchive) {
            return pos;
        }
    }
}

} // namespace

std::optional<std::uint64_t> rarEnd(ByteReader& in, std::uint64_t) {
    if (in.matches(0, kRar5)) {
        return rar5End(in);
    }
    if (in.matches(0, kRar4)) {
        return rar4End(in);
    }
    return std::nullopt;
}

} // namespace quarry::results::validators
