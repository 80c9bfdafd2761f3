#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kWoff = {'w', 'O', 'F', 'F'};
constexpr std::array<std::uint8_t, 4> kWoff2 = {'w', 'O', 'F', '2'};

} // namespace

// Web fonts state their whole length in the header.
std::optional<std::uint64_t> woffEnd(ByteReader& in, std::uint64_t) {
    const bool version2 = in.matches(0, kWoff2);
    const auto length = in.u32be(8);
    const std::uint64_t headerBytes = version2 ? 48 : 44;
    if ((!version2 && !in.matches(0, kWoff)) || !length || *length < headerBytes || in.u16be(14) != 0U) {
        return std::nullopt;
    }
    return *length;
}

} // namespace quarry::results::validators
