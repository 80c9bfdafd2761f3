#include "results/validators/crc32.h"

#include <algorithm>
#include <zlib.h>

namespace quarry::results::validators {

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous) {
    return static_cast<std::uint32_t>(::crc32_z(previous, bytes.data(), bytes.size()));
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
