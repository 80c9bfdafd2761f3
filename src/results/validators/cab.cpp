#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {'M', 'S', 'C', 'F'};
constexpr std::uint64_t kHeaderBytes = 36;

} // namespace

// Cabinet files state their size in the header, next to where the file list starts.
std::optional<std::uint64_t> cabinetEnd(ByteReader& in, std::uint64_t) {
    const auto cabinetBytes = in.u32le(8);
    const auto filesAt = in.u32le(16);
    const auto minor = in.u8(24);
    const auto major = in.u8(25);
    if (!in.matches(0, kSignature) || !cabinetBytes || !filesAt || major != 1 || minor != 3 ||
        *cabinetBytes < kHeaderBytes || *filesAt < kHeaderBytes || *filesAt >= *cabinetBytes) {
        return std::nullopt;
    }
    return *cabinetBytes;
}

} // namespace quarry::results::validators
