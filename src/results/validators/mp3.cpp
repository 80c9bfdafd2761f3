#include "results/validators/audio_tags.h"
#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 3> kId3 = {'I', 'D', '3'};
constexpr std::uint64_t kMaxJunkBeforeAudio = 4096;
constexpr int kMinFrames = 3;

// Kilobits per second by [version is MPEG-1][layer 1..3][index].
constexpr std::uint16_t kBitrates[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}};
constexpr std::uint32_t kSampleRates[3] = {44100, 48000, 32000};

struct Frame {
    std::uint32_t shape = 0; // version, layer and sample rate: equal in every frame of a stream
    std::uint64_t bytes = 0;
};

std::optional<Frame> readFrame(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, 4> h{};
    if (!in.read(pos, h) || h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int version = (h[1] >> 3) & 3;   // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
    const int layerBits = (h[1] >> 1) & 3; // 3 layer I, 2 layer II, 1 layer III
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return std::nullopt;
    }
    const int layer = 4 - layerBits;
    const bool mpeg1 = version == 3;
    const std::uint64_t bitrate = kBitrates[mpeg1 ? 1 : 0][layer - 1][bitrateIndex] * 1000ULL;
    const std::uint64_t rate = kSampleRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const std::uint64_t padding = (h[2] >> 1) & 1;
    std::uint64_t bytes = 0;
    if (layer == 1) {
        bytes = (12 * bitrate / rate + padding) * 4;
    } else if (layer == 3 && !mpeg1) {
        bytes = 72 * bitrate / rate + padding;
    } else {
        bytes = 144 * bitrate / rate + padding;
    }
    return Frame{static_cast<std::uint32_t>(h[1] & 0xFE) << 8 | (h[2] & 0x0C), bytes};
}

// Offset after the frames that start at `pos`, or nullopt when fewer than a few follow each other.
std::optional<std::uint64_t> walkFrames(ByteReader& in, std::uint64_t pos) {
    const auto first = readFrame(in, pos);
    if (!first) {
        return std::nullopt;
    }
    int frames = 0;
    for (auto frame = first; frame && frame->shape == first->shape && frame->bytes <= in.size() - pos;
         frame = readFrame(in, pos)) {
        pos += frame->bytes;
        ++frames;
    }
    return frames >= kMinFrames ? std::optional(pos) : std::nullopt;
}

std::uint64_t id3v2Bytes(ByteReader& in) {
    std::array<std::uint8_t, 10> h{};
    if (!in.read(0, h) || !in.matches(0, kId3) || h[3] == 0xFF || h[4] == 0xFF) {
        return 0;
    }
    std::uint64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if ((h[static_cast<std::size_t>(i)] & 0x80) != 0) {
            return 0;
        }
        size = size << 7 | h[static_cast<std::size_t>(i)];
    }
    const bool footer = (h[5] & 0x10) != 0;
    return 10 + size + (footer ? 10 : 0);
}

} // namespace

std::optional<std::uint64_t> mp3End(ByteReader& in, std::uint64_t) {
    const std::uint64_t tagBytes = id3v2Bytes(in);
    if (tagBytes == 0 && !readFrame(in, 0)) {
        return std::nullopt;
    }
    // Some writers leave padding between the tag and the first frame.
    for (std::uint64_t pos = tagBytes; pos <= tagBytes + kMaxJunkBeforeAudio; ++pos) {
        if (const auto end = walkFrames(in, pos)) {
            return skipTrailingTags(in, *end);
        }
        if (tagBytes == 0) {
            break;
        }
    }
    return std::nullopt;
}

} // namespace quarry::results::validators
