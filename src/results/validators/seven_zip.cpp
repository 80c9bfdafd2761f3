#include "results/validators/crc32.h"
#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 6> kSignature = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr std::uint64_t kStartHeaderBytes = 32;
// A closing header this large is not believed.
constexpr std::uint64_t kMaxClosingHeaderBytes = 64ULL << 20;

} // namespace

// The start header holds where the closing header lies and the checksums of both.
std::optional<std::uint64_t> sevenZipEnd(ByteReader& in, std::uint64_t) {
    const auto startCrc = in.u32le(8);
    const auto nextOffset = in.u64le(12);
    const auto nextBytes = in.u64le(20);
    const auto nextCrc = in.u32le(28);
    if (!in.matches(0, kSignature) || !startCrc || !nextOffset || !nextBytes || !nextCrc ||
        crc32(in, 12, 20) != startCrc || *nextBytes == 0 || *nextBytes > kMaxClosingHeaderBytes ||
        *nextOffset > in.size()) {
        return std::nullopt;
    }
    const std::uint64_t nextAt = kStartHeaderBytes + *nextOffset;
    if (crc32(in, nextAt, *nextBytes) != nextCrc) {
        return std::nullopt;
    }
    return nextAt + *nextBytes;
}

} // namespace quarry::results::validators
