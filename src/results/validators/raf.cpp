#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {

std::optional<std::uint64_t> rafEnd(ByteReader& in, std::uint64_t) {
    constexpr std::array<std::uint8_t, 16> kSignature = {'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M',
                                                         'C', 'C', 'D', '-', 'R', 'A', 'W', ' '};
    constexpr std::array<std::uint8_t, 2> kStartOfImage = {0xFF, 0xD8};
    if (!in.matches(0, kSignature)) {
        return std::nullopt;
    }
    // Offset and length of the preview, the sensor header and the sensor data.
    std::uint64_t end = 0;
    for (const std::uint64_t at : {84, 92, 100}) {
        const auto offset = in.u32be(at);
        const auto bytes = in.u32be(at + 4);
        if (!offset || !bytes) {
            return std::nullopt;
        }
        end = std::max(end, static_cast<std::uint64_t>(*offset) + *bytes);
    }
    const auto preview = in.u32be(84);
    if (!preview || !in.matches(*preview, kStartOfImage)) {
        return std::nullopt;
    }
    return end;
}

} // namespace quarry::results::validators
