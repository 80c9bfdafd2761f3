#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kHeaderChunk = {'M', 'T', 'h', 'd'};
constexpr std::uint32_t kHeaderBytes = 6;

bool isChunkId(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, 4> id{};
    if (!in.read(pos, id)) {
        return false;
    }
    for (const std::uint8_t c : id) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

} // namespace

// Standard MIDI files: a header chunk that counts the track chunks after it.
std::optional<std::uint64_t> midiEnd(ByteReader& in, std::uint64_t) {
    const auto headerBytes = in.u32be(4);
    const auto format = in.u16be(8);
    const auto tracks = in.u16be(10);
    if (!in.matches(0, kHeaderChunk) || headerBytes != kHeaderBytes || !format || *format > 2 || !tracks ||
        *tracks == 0) {
        return std::nullopt;
    }
    std::uint64_t pos = 8 + kHeaderBytes;
    for (std::uint16_t i = 0; i < *tracks; ++i) {
        const auto bytes = in.u32be(pos + 4);
        if (!bytes || !isChunkId(in, pos)) {
            return std::nullopt;
        }
        pos += 8 + *bytes;
    }
    return pos;
}

} // namespace quarry::results::validators
