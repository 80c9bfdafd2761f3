#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::uint64_t kBlock = 512;
constexpr std::uint64_t kRecord = 20 * kBlock; // the usual blocking factor
constexpr std::size_t kSizeAt = 124;
constexpr std::size_t kChecksumAt = 148;
constexpr std::size_t kMagicAt = 257;

using Block = std::array<std::uint8_t, kBlock>;

// Octal digits, or a big-endian binary number when the high bit of the first byte is set.
std::optional<std::uint64_t> number(const Block& block, std::size_t at, std::size_t width) {
    if ((block[at] & 0x80) != 0) {
        std::uint64_t value = 0;
        for (std::size_t i = 1; i < width; ++i) {
            value = value << 8 | block[at + i];
        }
        return value;
    }
    std::uint64_t value = 0;
    std::size_t i = 0;
    while (i < width && block[at + i] == ' ') {
        ++i;
    }
    const std::size_t first = i;
    for (; i < width && block[at + i] >= '0' && block[at + i] <= '7'; ++i) {
        value = value << 3 | static_cast<std::uint64_t>(block[at + i] - '0');
    }
    if (i == first || (i < width && block[at + i] != ' ' && block[at + i] != 0)) {
        return std::nullopt;
    }
    return value;
}

bool checksumHolds(const Block& block) {
    const auto stated = number(block, kChecksumAt, 8);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        sum += (i >= kChecksumAt && i < kChecksumAt + 8) ? ' ' : block[i];
    }
    return stated == sum;
}

bool isZero(const Block& block) {
    return std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0; });
}

} // namespace

// Headers with a checksum, each followed by its member's data in whole blocks, up to two zero blocks;
// the zero blocks that pad the last record belong to the archive too.
std::optional<std::uint64_t> tarEnd(ByteReader& in, std::uint64_t) {
    constexpr std::array<std::uint8_t, 5> kMagic = {'u', 's', 't', 'a', 'r'};
    if (!in.matches(kMagicAt, kMagic)) {
        return std::nullopt;
    }
    Block block{};
    std::uint64_t pos = 0;
    for (;;) {
        if (!in.read(pos, block)) {
            return std::nullopt;
        }
        if (isZero(block)) {
            break;
        }
        const auto size = number(block, kSizeAt, 12);
        if (!checksumHolds(block) || !size || *size > in.size()) {
            return std::nullopt;
        }
        pos += kBlock + (*size + kBlock - 1) / kBlock * kBlock;
    }
    if (pos == 0 || !in.read(pos + kBlock, block) || !isZero(block)) {
        return std::nullopt;
    }
    std::uint64_t end = pos + 2 * kBlock;
    while (end % kRecord != 0 && in.read(end, block) && isZero(block)) {
        end += kBlock;
    }
    return end;
}

} // namespace quarry::results::validators
