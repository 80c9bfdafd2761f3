#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {'f', 'L', 'a', 'C'};
constexpr std::array<std::uint8_t, 3> kId3 = {'I', 'D', '3'};
constexpr std::uint8_t kLastBlock = 0x80;
constexpr std::uint8_t kInvalidBlockType = 0x7F;
constexpr std::uint64_t kStreamInfoBytes = 34;
constexpr std::uint64_t kMaxFrameBytes = 1U << 20;

struct StreamInfo {
    std::uint64_t minFrameBytes = 0;
    std::uint64_t maxFrameBytes = 0;
    std::uint64_t totalSamples = 0;
};

struct FrameHeader {
    std::uint64_t bytes = 0;
    std::uint64_t samples = 0;
    bool variableBlocks = false;
};

std::uint8_t crc8Step(std::uint8_t crc, std::uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
        crc = static_cast<std::uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

class Crc16 {
public:
    Crc16() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 8;
            for (int bit = 0; bit < 8; ++bit) {
                r = (r & 0x8000) != 0 ? (r << 1) ^ 0x8005 : r << 1;
            }
            table_[i] = static_cast<std::uint16_t>(r);
        }
    }

    std::uint16_t step(std::uint16_t crc, std::uint8_t byte) const {
        return static_cast<std::uint16_t>((crc << 8) ^ table_[((crc >> 8) ^ byte) & 0xFF]);
    }

private:
    std::array<std::uint16_t, 256> table_{};
};

// A frame header at `pos` whose own checksum holds.
std::optional<FrameHeader> readFrameHeader(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, 16> h{};
    const std::size_t available =
        static_cast<std::size_t>(std::min<std::uint64_t>(h.size(), in.size() - std::min(in.size(), pos)));
    if (available < 6 || !in.read(pos, std::span(h.data(), available)) || h[0] != 0xFF ||
        (h[1] & 0xFE) != 0xF8) {
        return std::nullopt;
    }
    const int sizeCode = h[2] >> 4;
    const int rateCode = h[2] & 0x0F;
    const int channels = h[3] >> 4;
    const int depthCode = (h[3] >> 1) & 0x07;
    if (sizeCode == 0 || rateCode == 15 || channels > 10 || depthCode == 3 || (h[3] & 0x01) != 0) {
        return std::nullopt;
    }
    // The frame or sample number, coded like UTF-8 in one to seven bytes.
    std::size_t at = 4;
    int extra = 0;
    for (std::uint8_t mask = 0x80; mask != 0 && (h[at] & mask) != 0; mask >>= 1) {
        ++extra;
    }
    if (extra == 1 || extra > 7) {
        return std::nullopt;
    }
    extra = extra == 0 ? 0 : extra - 1;
    ++at;
    for (int i = 0; i < extra; ++i, ++at) {
        if ((h[at] & 0xC0) != 0x80) {
            return std::nullopt;
        }
    }
    std::uint64_t samples = 0;
    if (sizeCode == 1) {
        samples = 192;
    } else if (sizeCode <= 5) {
        samples = 576ULL << (sizeCode - 2);
    } else if (sizeCode == 6) {
        samples = h[at++] + 1ULL;
    } else if (sizeCode == 7) {
        samples = (static_cast<std::uint64_t>(h[at]) << 8 | h[at + 1]) + 1;
        at += 2;
    } else {
        samples = 256ULL << (sizeCode - 8);
    }
    at += rateCode == 12 ? 1 : (rateCode == 13 || rateCode == 14) ? 2 : 0;
    if (at >= available) {
        return std::nullopt;
    }
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < at; ++i) {
        crc = crc8Step(crc, h[i]);
    }
    if (crc != h[at]) {
        return std::nullopt;
    }
    return FrameHeader{at + 1, samples, (h[1] & 0x01) != 0};
}

// Offset after the metadata blocks at `pos`, filling `info` from the stream information block.
std::optional<std::uint64_t> skipMetadata(ByteReader& in, std::uint64_t pos, StreamInfo& info) {
    bool first = true;
    for (;;) {
        const auto type = in.u8(pos);
        const auto length = in.u32be(pos);
        if (!type || !length || (*type & 0x7F) == kInvalidBlockType) {
            return std::nullopt;
        }
        const std::uint64_t bytes = *length & 0xFFFFFF;
        if (first) {
            const auto sizes = in.u64be(pos + 4);
            const auto frameBytes = in.u16be(pos + 12);
            const auto format = in.u64be(pos + 14);
            if ((*type & 0x7F) != 0 || bytes != kStreamInfoBytes || !sizes || !frameBytes || !format) {
                return std::nullopt;
            }
            info.minFrameBytes = (*sizes >> 8) & 0xFFFFFF;
            info.maxFrameBytes = ((*sizes & 0xFF) << 16) | *frameBytes;
            info.totalSamples = *format & 0xFFFFFFFFFULL;
            first = false;
        }
        pos += 4 + bytes;
        if ((*type & kLastBlock) != 0) {
            return pos;
        }
    }
}

} // namespace

// Frames carry no length: each ends where its 16-bit checksum comes out zero and, but for the last,
// the next frame's header begins. The stream information block says how many samples there are,
// which tells which frame is the last.
std::optional<std::uint64_t> flacEnd(ByteReader& in, std::uint64_t) {
    static const Crc16 crc16;
    std::uint64_t pos = 0;
    if (in.matches(0, kId3)) {
        std::array<std::uint8_t, 10> tag{};
        if (!in.read(0, tag)) {
            return std::nullopt;
        }
        pos = 10 + (static_cast<std::uint64_t>(tag[6] & 0x7F) << 21 | (tag[7] & 0x7F) << 14 |
                    (tag[8] & 0x7F) << 7 | (tag[9] & 0x7F));
    }
    StreamInfo info;
    if (!in.matches(pos, kSignature)) {
        return std::nullopt;
    }
    const auto audio = skipMetadata(in, pos + kSignature.size(), info);
    if (!audio || info.totalSamples == 0) {
        return std::nullopt;
    }
    const std::uint64_t maxFrame = info.maxFrameBytes != 0 ? info.maxFrameBytes : kMaxFrameBytes;
    std::uint64_t frame = *audio;
    std::uint64_t samples = 0;
    for (;;) {
        const auto header = readFrameHeader(in, frame);
        if (!header) {
            return std::nullopt;
        }
        samples += header->samples;
        const bool last = samples >= info.totalSamples;
        std::uint16_t crc = 0;
        std::uint64_t at = frame;
        std::optional<std::uint64_t> next;
        while (!next && at - frame <= maxFrame) {
            const auto piece = in.view(at, static_cast<std::size_t>(maxFrame + 1 - (at - frame)));
            if (piece.empty()) {
                return std::nullopt;
            }
            for (const std::uint8_t byte : piece) {
                crc = crc16.step(crc, byte);
                ++at;
                if (crc != 0 || at - frame < header->bytes + 2 || at - frame < info.minFrameBytes) {
                    continue;
                }
                if (last) {
                    return at;
                }
                const auto following = readFrameHeader(in, at);
                if (following && following->variableBlocks == header->variableBlocks) {
                    next = at;
                    break;
                }
            }
        }
        if (!next) {
            return std::nullopt;
        }
        frame = *next;
    }
}

} // namespace quarry::results::validators
