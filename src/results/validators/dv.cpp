#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::uint64_t kBlockBytes = 80;
constexpr int kBlocksPerSequence = 150;
constexpr std::uint64_t kSequenceBytes = kBlockBytes * kBlocksPerSequence;
constexpr int kSequences525 = 10; // 525 lines, 60 fields
constexpr int kSequences625 = 12; // 625 lines, 50 fields
constexpr std::uint8_t k625Lines = 0x80;
constexpr std::uint64_t kMaxSequences = 1ULL << 24;

enum Section : std::uint8_t { kHeader = 0, kSubcode = 1, kVideoAux = 2, kAudio = 3, kVideo = 4 };

// The section and number of block `index` of a DIF sequence: a header, two subcode and three video
// auxiliary blocks, then nine times an audio block and fifteen video blocks.
std::pair<Section, std::uint8_t> expectedBlock(int index) {
    if (index == 0) {
        return {kHeader, 0};
    }
    if (index < 3) {
        return {kSubcode, static_cast<std::uint8_t>(index - 1)};
    }
    if (index < 6) {
        return {kVideoAux, static_cast<std::uint8_t>(index - 3)};
    }
    const int group = (index - 6) / 16;
    const int within = (index - 6) % 16;
    if (within == 0) {
        return {kAudio, static_cast<std::uint8_t>(group)};
    }
    return {kVideo, static_cast<std::uint8_t>(group * 15 + within - 1)};
}

// Every block of the sequence at `pos` carries the identifier its place calls for.
bool sequenceHolds(ByteReader& in, std::uint64_t pos, int sequence) {
    for (int index = 0; index < kBlocksPerSequence; ++index) {
        std::array<std::uint8_t, 3> id{};
        if (!in.read(pos + kBlockBytes * static_cast<std::uint64_t>(index), id)) {
            return false;
        }
        const auto [section, number] = expectedBlock(index);
        if (id[0] >> 5 != section || (id[0] & 0x10) == 0 || id[1] >> 4 != sequence || id[2] != number) {
            return false;
        }
    }
    return true;
}

} // namespace

// DV (IEC 61834 and SMPTE 314M) in DIF blocks: frames of ten or twelve DIF sequences, each of 150
// blocks whose identifiers follow a fixed order. The file ends after the last whole frame.
std::optional<std::uint64_t> dvEnd(ByteReader& in, std::uint64_t) {
    const auto flags = in.u8(3);
    if (!flags || (*flags & 0x7F) != 0x3F) {
        return std::nullopt;
    }
    const int sequences = (*flags & k625Lines) != 0 ? kSequences625 : kSequences525;
    std::uint64_t walked = 0;
    while (walked < kMaxSequences &&
           sequenceHolds(in, walked * kSequenceBytes, static_cast<int>(walked % sequences))) {
        ++walked;
    }
    const std::uint64_t frames = walked / static_cast<std::uint64_t>(sequences);
    return frames > 0 ? std::optional(frames * sequences * kSequenceBytes) : std::nullopt;
}

} // namespace quarry::results::validators
