#include "results/validators/audio_tags.h"
#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr int kMinFrames = 3;
constexpr std::uint64_t kHeaderBytes = 7;
constexpr std::uint64_t kCrcBytes = 2;
constexpr int kMaxRateIndex = 12;

struct Frame {
    std::uint32_t shape = 0; // MPEG version, profile, sample rate and channels: equal in every frame
    std::uint64_t bytes = 0;
};

// An ADTS frame header: twelve sync bits, layer 0, a known sample rate and a length that holds at
// least the header.
std::optional<Frame> readFrame(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, kHeaderBytes> h{};
    if (!in.read(pos, h) || h[0] != 0xFF || (h[1] & 0xF6) != 0xF0) {
        return std::nullopt;
    }
    const int rateIndex = (h[2] >> 2) & 0x0F;
    const bool crc = (h[1] & 1) == 0;
    const std::uint64_t bytes = static_cast<std::uint64_t>(h[3] & 0x03) << 11 |
                                static_cast<std::uint64_t>(h[4]) << 3 | static_cast<std::uint64_t>(h[5] >> 5);
    if (rateIndex > kMaxRateIndex || bytes < kHeaderBytes + (crc ? kCrcBytes : 0)) {
        return std::nullopt;
    }
    const std::uint32_t channels = static_cast<std::uint32_t>((h[2] & 1) << 2 | h[3] >> 6);
    const std::uint32_t shape = static_cast<std::uint32_t>(h[1] & 0x08) << 8 |
                                static_cast<std::uint32_t>(h[2] & 0xFC) << 3 | channels;
    return Frame{shape, bytes};
}

} // namespace

// AAC in ADTS frames: a chain of consistent frame headers, each frame stating its own length, then
// the tags a tagger may have appended.
std::optional<std::uint64_t> aacEnd(ByteReader& in, std::uint64_t) {
    const auto first = readFrame(in, 0);
    if (!first) {
        return std::nullopt;
    }
    std::uint64_t pos = 0;
    int frames = 0;
    for (auto frame = first; frame && frame->shape == first->shape && frame->bytes <= in.size() - pos;
         frame = readFrame(in, pos)) {
        pos += frame->bytes;
        ++frames;
    }
    return frames >= kMinFrames ? std::optional(skipTrailingTags(in, pos)) : std::nullopt;
}

} // namespace quarry::results::validators
