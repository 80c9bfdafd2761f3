#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {'G', 'I', 'F', '8'};
constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImage = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;

std::uint64_t colorTableBytes(std::uint8_t flags) {
    return (flags & 0x80) != 0 ? 3ULL << ((flags & 0x07) + 1) : 0;
}

// Offset after a chain of data sub-blocks ending in a zero-length block.
std::optional<std::uint64_t> skipSubBlocks(ByteReader& in, std::uint64_t pos) {
    for (;;) {
        const auto length = in.u8(pos);
        if (!length) {
            return std::nullopt;
        }
        pos += 1 + *length;
        if (*length == 0) {
            return pos;
        }
    }
}

} // namespace

std::optional<std::uint64_t> gifEnd(ByteReader& in, std::uint64_t) {
    const auto version = in.u8(4);
    if (!in.matches(0, kSignature) || (version != '7' && version != '9') || in.u8(5) != 'a') {
        return std::nullopt;
    }
    const auto screenFlags = in.u8(10);
    if (!screenFlags) {
        return std::nullopt;
    }
    std::uint64_t pos = 13 + colorTableBytes(*screenFlags);
    bool sawImage = false;
    for (;;) {
        const auto block = in.u8(pos);
        if (block == kTrailer) {
            return sawImage ? std::optional(pos + 1) : std::nullopt;
        }
        std::optional<std::uint64_t> next;
        if (block == kExtension) {
            next = skipSubBlocks(in, pos + 2);
        } else if (block == kImage) {
            const auto imageFlags = in.u8(pos + 9);
            if (!imageFlags) {
                return std::nullopt;
            }
            // Descriptor, local colour table, then the LZW minimum code size before the data.
            next = skipSubBlocks(in, pos + 10 + colorTableBytes(*imageFlags) + 1);
            sawImage = true;
        }
        if (!next) {
            return std::nullopt;
        }
        pos = *next;
    }
}

} // namespace quarry::results::validators
