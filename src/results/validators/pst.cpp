#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {'!', 'B', 'D', 'N'};
constexpr std::array<std::uint8_t, 2> kClientMagic = {'S', 'M'};
constexpr std::uint64_t kAnsiFileEof = 0xA8;
constexpr std::uint64_t kUnicodeFileEof = 0xB8;
constexpr std::uint64_t kHeaderBytes = 512;

} // namespace

// Outlook data files keep their own length in the header's root structure: a 32-bit field in the
// old ANSI layout, a 64-bit one in the Unicode layout.
std::optional<std::uint64_t> outlookEnd(ByteReader& in, std::uint64_t) {
    const auto version = in.u16le(10);
    if (!in.matches(0, kSignature) || !in.matches(8, kClientMagic) || !version) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> end;
    if (*version == 14 || *version == 15) {
        end = in.u32le(kAnsiFileEof);
    } else if (*version >= 23) {
        end = in.u64le(kUnicodeFileEof);
    }
    return end && *end >= kHeaderBytes ? end : std::nullopt;
}

} // namespace quarry::results::validators
