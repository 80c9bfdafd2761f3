#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kForm = {'F', 'O', 'R', 'M'};
constexpr std::array<std::uint8_t, 4> kDjVuPrefix = {'A', 'T', '&', 'T'};

} // namespace

// "FORM" containers (AIFF, DjVu, ...): the form states its size in big-endian byte order. DjVu
// files put "AT&T" in front of it.
std::optional<std::uint64_t> iffEnd(ByteReader& in, std::uint64_t) {
    const std::uint64_t form = in.matches(0, kDjVuPrefix) ? kDjVuPrefix.size() : 0;
    const auto size = in.u32be(form + 4);
    std::array<std::uint8_t, 4> type{};
    if (!in.matches(form, kForm) || !size || *size < 4 || !in.read(form + 8, type)) {
        return std::nullopt;
    }
    for (const std::uint8_t c : type) {
        if (c < 0x20 || c > 0x7E) {
            return std::nullopt;
        }
    }
    return form + 8 + *size;
}

} // namespace quarry::results::validators
