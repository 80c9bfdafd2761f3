#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::uint32_t kEbmlHeader = 0x1A45DFA3;
constexpr std::uint32_t kSegment = 0x18538067;
constexpr std::uint32_t kCluster = 0x1F43B675;
constexpr std::uint32_t kVoid = 0xEC;
constexpr std::uint32_t kCrc32 = 0xBF;

constexpr std::array<std::uint32_t, 10> kSegmentChildren = {0x114D9B74, 0x1549A966, 0x1654AE6B, kCluster,
                                                            0x1C53BB6B, 0x1941A469, 0x1043A770, 0x1254C367,
                                                            kVoid,      kCrc32};
constexpr std::array<std::uint32_t, 9> kClusterChildren = {0xE7, 0x5854, 0xA7,  0xAB,  0xA3,
                                                           0xA0, 0xAF,   kVoid, kCrc32};

struct Element {
    std::uint32_t id = 0;
    std::optional<std::uint64_t> size; // empty when the writer left it unknown
    std::uint64_t dataStart = 0;
};

// Length of a variable-size integer from its first byte: one more than the leading zero bits.
int vintLength(std::uint8_t first) {
    int length = 1;
    for (std::uint8_t mask = 0x80; mask != 0 && (first & mask) == 0; mask >>= 1) {
        ++length;
    }
    return length;
}

std::optional<Element> readElement(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, 12> raw{};
    const auto first = in.u8(pos);
    if (!first || *first == 0) {
        return std::nullopt;
    }
    const int idLength = vintLength(*first);
    if (idLength > 4 || !in.read(pos, std::span(raw.data(), static_cast<std::size_t>(idLength) + 1))) {
        return std::nullopt;
    }
    Element element;
    for (int i = 0; i < idLength; ++i) {
        element.id = element.id << 8 | raw[static_cast<std::size_t>(i)];
    }
    const std::uint8_t sizeFirst = raw[static_cast<std::size_t>(idLength)];
    if (sizeFirst == 0) {
        return std::nullopt;
    }
    const int sizeLength = vintLength(sizeFirst);
    const std::uint64_t sizeAt = pos + static_cast<std::uint64_t>(idLength);
    if (!in.read(sizeAt, std::span(raw.data(), static_cast<std::size_t>(sizeLength)))) {
        return std::nullopt;
    }
    std::uint64_t value = sizeFirst & (0xFFU >> sizeLength);
    bool allOnes = value == (0xFFU >> sizeLength);
    for (int i = 1; i < sizeLength; ++i) {
        const std::uint8_t byte = raw[static_cast<std::size_t>(i)];
        value = value << 8 | byte;
        allOnes = allOnes && byte == 0xFF;
    }
    if (!allOnes) {
        element.size = value;
    }
    element.dataStart = sizeAt + static_cast<std::uint64_t>(sizeLength);
    return element;
}

template <std::size_t N> bool contains(const std::array<std::uint32_t, N>& list, std::uint32_t id) {
    return std::find(list.begin(), list.end(), id) != list.end();
}

// Offset after the children of an element of unknown size: where the first element that cannot be one
// of its children begins.
std::optional<std::uint64_t> walkUnknownSize(ByteReader& in, std::uint64_t pos, bool cluster) {
    bool sawCluster = false;
    for (;;) {
        const auto element = readElement(in, pos);
        if (!element) {
            return (cluster || sawCluster) && pos <= in.size() ? std::optional(pos) : std::nullopt;
        }
        const bool child =
            cluster ? contains(kClusterChildren, element->id) : contains(kSegmentChildren, element->id);
        if (!child) {
            return cluster || sawCluster ? std::optional(pos) : std::nullopt;
        }
        if (element->size) {
            if (*element->size > in.size() - std::min(in.size(), element->dataStart)) {
                return std::nullopt;
            }
            pos = element->dataStart + *element->size;
        } else if (!cluster && element->id == kCluster) {
            const auto next = walkUnknownSize(in, element->dataStart, true);
            if (!next) {
                return std::nullopt;
            }
            pos = *next;
        } else {
            return std::nullopt;
        }
        sawCluster = sawCluster || element->id == kCluster;
    }
}

} // namespace

std::optional<std::uint64_t> matroskaEnd(ByteReader& in, std::uint64_t) {
    const auto header = readElement(in, 0);
    if (!header || header->id != kEbmlHeader || !header->size) {
        return std::nullopt;
    }
    const auto segment = readElement(in, header->dataStart + *header->size);
    if (!segment || segment->id != kSegment) {
        return std::nullopt;
    }
    const auto firstChild = readElement(in, segment->dataStart);
    if (!firstChild || !contains(kSegmentChildren, firstChild->id)) {
        return std::nullopt;
    }
    if (segment->size) {
        return segment->dataStart + *segment->size;
    }
    // Live recordings leave the segment's size unknown: the file ends after its last cluster.
    return walkUnknownSize(in, segment->dataStart, false);
}

} // namespace quarry::results::validators
