#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 3> kStartCodePrefix = {0, 0, 1};
constexpr std::uint8_t kPicture = 0x00;
constexpr std::uint8_t kLastSlice = 0xAF;
constexpr std::uint8_t kUserData = 0xB2;
constexpr std::uint8_t kSequenceHeader = 0xB3;
constexpr std::uint8_t kExtension = 0xB5;
constexpr std::uint8_t kSequenceEnd = 0xB7;
constexpr std::uint8_t kGroupOfPictures = 0xB8;
constexpr std::uint8_t kProgramEnd = 0xB9;
constexpr std::uint8_t kPack = 0xBA;
constexpr std::uint8_t kSystemHeader = 0xBB;
// After a sequence header come at most its two quantiser matrices before the next start code.
constexpr std::uint64_t kMaxSequenceHeaderBytes = 12 + 128 + 128 + 8;
// Coded pictures are cut into slices; no slice of a real stream is this long.
constexpr std::uint64_t kMaxStartCodeGap = 4ULL << 20;
constexpr std::uint64_t kMaxPackOffset = 512; // the first pack lies in the item's first sector
constexpr int kMinPacks = 2;
constexpr std::uint64_t kMaxUnits = 1ULL << 26;

// A video sequence header with a picture size, a known aspect ratio and frame rate, and its marker.
bool sequenceHeaderHolds(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, 12> h{};
    if (!in.read(pos, h) || h[0] != 0 || h[1] != 0 || h[2] != 1 || h[3] != kSequenceHeader) {
        return false;
    }
    const unsigned width = static_cast<unsigned>(h[4]) << 4 | h[5] >> 4;
    const unsigned height = static_cast<unsigned>(h[5] & 0x0F) << 8 | h[6];
    const unsigned aspect = h[7] >> 4;
    const unsigned rate = h[7] & 0x0F;
    const bool marker = (h[10] & 0x20) != 0;
    return width != 0 && height != 0 && aspect != 0 && aspect != 15 && rate != 0 && rate <= 8 && marker;
}

bool isVideoStartCode(std::uint8_t code) {
    return code <= kLastSlice || code == kUserData || code == kSequenceHeader || code == kExtension ||
           code == kSequenceEnd || code == kGroupOfPictures;
}

// Length of the pack header at `pos` (MPEG-1 or MPEG-2), or nullopt when its marker bits are wrong.
std::optional<std::uint64_t> packHeaderBytes(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, 14> h{};
    if (!in.read(pos, h)) {
        return std::nullopt;
    }
    if ((h[4] & 0xC4) == 0x44 && (h[6] & 0x04) != 0 && (h[8] & 0x04) != 0 && (h[9] & 0x01) != 0 &&
        (h[12] & 0x03) == 0x03) {
        return 14 + (h[13] & 0x07);
    }
    if ((h[4] & 0xF1) == 0x21 && (h[6] & 0x01) != 0 && (h[8] & 0x01) != 0 && (h[9] & 0x80) != 0 &&
        (h[11] & 0x01) != 0) {
        return 12;
    }
    return std::nullopt;
}

} // namespace

// MPEG-1/2 video elementary stream: a sane sequence header, then start codes that video may hold, one
// following another at most a few megabytes apart, up to the sequence end code.
std::optional<std::uint64_t> mpegVideoEnd(ByteReader& in, std::uint64_t) {
    if (!sequenceHeaderHolds(in, 0)) {
        return std::nullopt;
    }
    auto next = in.find(4, kMaxSequenceHeaderBytes, kStartCodePrefix);
    for (std::uint64_t units = 0; next && units < kMaxUnits; ++units) {
        const auto code = in.u8(*next + 3);
        if (!code || !isVideoStartCode(*code) ||
            (*code == kSequenceHeader && !sequenceHeaderHolds(in, *next))) {
            return std::nullopt;
        }
        if (*code == kSequenceEnd) {
            return *next + 4;
        }
        next = in.find(*next + 4, *next + 4 + kMaxStartCodeGap, kStartCodePrefix);
    }
    return std::nullopt;
}

// MPEG program stream: pack headers with their marker bits, each followed by packets that state their
// length, up to the program end code or, in a stream cut without one, the last whole pack.
std::optional<std::uint64_t> mpegProgramEnd(ByteReader& in, std::uint64_t) {
    const std::array<std::uint8_t, 4> pack = {0, 0, 1, kPack};
    const auto first = in.find(0, kMaxPackOffset + pack.size(), pack);
    if (!first || !packHeaderBytes(in, *first)) {
        return std::nullopt;
    }
    std::uint64_t pos = *first;
    std::uint64_t lastWholePack = pos;
    int packs = 0;
    for (std::uint64_t units = 0; units < kMaxUnits; ++units) {
        const auto code = in.u8(pos + 3);
        if (!code || !in.matches(pos, kStartCodePrefix)) {
            break;
        }
        if (*code == kProgramEnd) {
            return packs > 0 ? std::optional(pos + 4) : std::nullopt;
        }
        if (*code == kPack) {
            const auto bytes = packHeaderBytes(in, pos);
            if (!bytes) {
                break;
            }
            lastWholePack = pos;
            ++packs;
            pos += *bytes;
        } else if (*code >= kSystemHeader) {
            const auto bytes = in.u16be(pos + 4);
            if (!bytes) {
                break;
            }
            pos += 6 + *bytes;
        } else {
            break;
        }
    }
    // Without an end code the stream ends after the last packet that held, or before the pack that
    // the medium cut.
    const std::uint64_t end = pos <= in.size() ? pos : lastWholePack;
    return packs >= kMinPacks && end > *first ? std::optional(end) : std::nullopt;
}

} // namespace quarry::results::validators
