#include "results/validators/crc32.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 1U) != 0 ? (r >> 1) ^ 0xEDB88320U : r >> 1;
        }
        table[i] = r;
    }
    return table;
}

constexpr auto kTable = makeTable();

} // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous) {
    std::uint32_t crc = ~previous;
    for (const std::uint8_t b : bytes) {
        crc = (crc >> 8) ^ kTable[(crc ^ b) & 0xFF];
    }
    return ~crc;
}

std::optional<std::uint32_t> crc32(ByteReader& in, std::uint64_t offset, std::uint64_t count) {
    if (offset > in.size() || count > in.size() - offset) {
        return std::nullopt;
    }
    std::uint32_t crc = 0;
    while (count > 0) {
        const auto piece =
            in.view(offset, static_cast<std::size_t>(std::min<std::uint64_t>(count, 1U << 20)));
        if (piece.empty()) {
            return std::nullopt;
        }
        crc = crc32(piece, crc);
        offset += piece.size();
        count -= piece.size();
    }
    return crc;
}

} // namespace quarry::results::validators
