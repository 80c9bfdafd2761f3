#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {'F', 'L', 'V', 1};
constexpr std::uint64_t kTagHeaderBytes = 11;

bool isTagType(std::uint8_t type) {
    const std::uint8_t kind = type & 0x1F;
    return (type & 0xC0) == 0 && (kind == 8 || kind == 9 || kind == 18);
}

} // namespace

// Tags follow each other, each followed by its own size; the file ends after the last tag whose
// size is confirmed that way.
std::optional<std::uint64_t> flvEnd(ByteReader& in, std::uint64_t) {
    const auto headerBytes = in.u32be(5);
    if (!in.matches(0, kSignature) || !headerBytes || *headerBytes < 9 || in.u32be(*headerBytes) != 0U) {
        return std::nullopt;
    }
    std::uint64_t pos = *headerBytes + 4;
    bool sawTag = false;
    for (;;) {
        const auto type = in.u8(pos);
        const auto sizeField = in.u32be(pos);
        if (!type || !sizeField || !isTagType(*type)) {
            break;
        }
        const std::uint64_t dataBytes = *sizeField & 0xFFFFFF;
        const std::uint64_t trailer = pos + kTagHeaderBytes + dataBytes;
        if (in.u32be(trailer) != kTagHeaderBytes + dataBytes) {
            break;
        }
        pos = trailer + 4;
        sawTag = true;
    }
    return sawTag ? std::optional(pos) : std::nullopt;
}

} // namespace quarry::results::validators
