#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

using Guid = std::array<std::uint8_t, 16>;

constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kDataObject = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                              0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
// Objects that may follow the data object at the top level: the index objects.
constexpr std::array<Guid, 4> kIndexObjects = {{
    {0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11, 0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB},
    {0xD3, 0x29, 0xE2, 0xD6, 0xDA, 0x35, 0xD1, 0x11, 0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE},
    {0xF8, 0x03, 0xB1, 0xFE, 0xAD, 0x12, 0x64, 0x4C, 0x84, 0x0F, 0x2A, 0x1D, 0x2F, 0x7A, 0xD4, 0x8C},
    {0xD0, 0x3F, 0xB7, 0x3C, 0x4A, 0x0C, 0x03, 0x48, 0x95, 0x3D, 0xED, 0xF7, 0xB6, 0x22, 0x8F, 0x0C},
}};
constexpr std::uint64_t kObjectHeaderBytes = 24;

} // namespace

// Windows Media files: a header object, a data object and optional index objects, each stating its
// 64-bit size.
std::optional<std::uint64_t> asfEnd(ByteReader& in, std::uint64_t) {
    std::uint64_t pos = 0;
    bool sawData = false;
    for (;;) {
        Guid id{};
        const auto size = in.u64le(pos + 16);
        if (!in.read(pos, id) || !size) {
            break;
        }
        const bool expected = pos == 0 ? id == kHeaderObject
                                       : (!sawData && id == kDataObject) ||
                                             (sawData && std::find(kIndexObjects.begin(), kIndexObjects.end(),
                                                                   id) != kIndexObjects.end());
        if (!expected) {
            break;
        }
        if (*size < kObjectHeaderBytes || *size > in.size() - pos) {
            return std::nullopt;
        }
        sawData = sawData || id == kDataObject;
        pos += *size;
    }
    return sawData ? std::optional(pos) : std::nullopt;
}

} // namespace quarry::results::validators
