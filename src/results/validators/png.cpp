#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<std::uint8_t, 4> kHeaderType = {'I', 'H', 'D', 'R'};
constexpr std::uint32_t kEndType = 0x49454E44; // "IEND"
constexpr std::uint32_t kEndCrc = 0xAE426082;  // the CRC of an empty IEND, always the same
constexpr std::uint32_t kMaxChunkBytes = 0x7FFFFFFF;

bool isChunkType(std::uint32_t type) {
    for (int shift = 0; shift < 32; shift += 8) {
        const auto c = static_cast<std::uint8_t>(type >> shift);
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::uint64_t> pngEnd(ByteReader& in, std::uint64_t) {
    if (!in.matches(0, kSignature) || !in.matches(12, kHeaderType)) {
        return std::nullopt;
    }
    std::uint64_t pos = kSignature.size();
    for (;;) {
        const auto length = in.u32be(pos);
        const auto type = in.u32be(pos + 4);
        if (!length || !type || *length > kMaxChunkBytes || !isChunkType(*type)) {
            return std::nullopt;
        }
        const std::uint64_t crc = pos + 8 + *length;
        if (*type == kEndType) {
            if (*length != 0 || in.u32be(crc) != kEndCrc) {
                return std::nullopt;
            }
            return crc + 4;
        }
        pos = crc + 4;
    }
}

} // namespace quarry::results::validators
