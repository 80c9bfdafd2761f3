#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {'8', 'B', 'P', 'S'};
constexpr std::array<std::array<std::uint8_t, 4>, 6> kResourceSignatures = {{{'8', 'B', 'I', 'M'},
                                                                             {'8', 'B', '6', '4'},
                                                                             {'M', 'e', 'S', 'a'},
                                                                             {'A', 'g', 'H', 'g'},
                                                                             {'P', 'H', 'U', 'T'},
                                                                             {'D', 'C', 'S', 'R'}}};
constexpr std::uint64_t kHeaderBytes = 26;
constexpr std::uint16_t kMaxChannels = 56;
constexpr std::array<std::uint16_t, 4> kDepths = {1, 8, 16, 32};
constexpr std::array<std::uint16_t, 8> kColourModes = {0, 1, 2, 3, 4, 7, 8, 9};
constexpr std::uint32_t kMaxResources = 1U << 16;

enum Compression : std::uint16_t { kRaw = 0, kRunLength = 1, kZip = 2, kZipPredicted = 3 };

struct Header {
    bool large = false; // PSB: larger limits and 8-byte lengths
    std::uint16_t channels = 0;
    std::uint32_t height = 0;
    std::uint32_t width = 0;
    std::uint16_t depth = 0;
};

std::optional<Header> readHeader(ByteReader& in) {
    const auto version = in.u16be(4);
    const auto reservedHigh = in.u32be(6);
    const auto reservedLow = in.u16be(10);
    const auto channels = in.u16be(12);
    const auto height = in.u32be(14);
    const auto width = in.u32be(18);
    const auto depth = in.u16be(22);
    const auto mode = in.u16be(24);
    if (!in.matches(0, kSignature) || (version != 1 && version != 2) || reservedHigh != 0u ||
        reservedLow != 0 || !channels || *channels == 0 || *channels > kMaxChannels || !depth || !mode ||
        std::find(kDepths.begin(), kDepths.end(), *depth) == kDepths.end() ||
        std::find(kColourModes.begin(), kColourModes.end(), *mode) == kColourModes.end()) {
        return std::nullopt;
    }
    const bool large = version == 2;
    const std::uint32_t maxSide = large ? 300000 : 30000;
    if (!height || !width || *height == 0 || *width == 0 || *height > maxSide || *width > maxSide) {
        return std::nullopt;
    }
    return Header{large, *channels, *height, *width, *depth};
}

// The image resources must fill their section exactly: signature, identifier, a name padded to an
// even length, and data padded the same way.
bool resourcesFill(ByteReader& in, std::uint64_t pos, std::uint64_t end) {
    for (std::uint32_t count = 0; pos < end && count < kMaxResources; ++count) {
        const bool known = std::any_of(kResourceSignatures.begin(), kResourceSignatures.end(),
                                       [&](const auto& signature) { return in.matches(pos, signature); });
        const auto nameBytes = in.u8(pos + 6);
        if (!known || !nameBytes) {
            return false;
        }
        const std::uint64_t sizeAt = pos + 6 + (*nameBytes + 2U) / 2 * 2;
        const auto bytes = in.u32be(sizeAt);
        if (!bytes) {
            return false;
        }
        pos = sizeAt + 4 + (*bytes + 1ULL) / 2 * 2;
    }
    return pos == end;
}

std::optional<std::uint64_t> sectionEnd(ByteReader& in, std::uint64_t pos, bool eightBytes) {
    std::optional<std::uint64_t> bytes = in.u64be(pos);
    if (!eightBytes) {
        bytes = in.u32be(pos);
    }
    const std::uint64_t fieldBytes = eightBytes ? 8 : 4;
    if (!bytes || *bytes > in.size()) {
        return std::nullopt;
    }
    return pos + fieldBytes + *bytes;
}

} // namespace

// Photoshop documents (PSD and PSB): a header of sane fields, three sections each led by its length,
// then the merged image, raw or run-length coded, whose length follows from the header.
std::optional<std::uint64_t> psdEnd(ByteReader& in, std::uint64_t itemBytes) {
    const auto header = readHeader(in);
    const auto colourModeEnd = header ? sectionEnd(in, kHeaderBytes, false) : std::nullopt;
    const auto resourcesEnd = colourModeEnd ? sectionEnd(in, *colourModeEnd, false) : std::nullopt;
    if (!resourcesEnd || !resourcesFill(in, *colourModeEnd + 4, *resourcesEnd)) {
        return std::nullopt;
    }
    const auto layersEnd = sectionEnd(in, *resourcesEnd, header->large);
    const auto compression = layersEnd ? in.u16be(*layersEnd) : std::nullopt;
    if (!compression) {
        return std::nullopt;
    }
    const std::uint64_t data = *layersEnd + 2;
    const std::uint64_t rows = static_cast<std::uint64_t>(header->channels) * header->height;
    switch (*compression) {
    case kRaw:
        return data + rows * ((static_cast<std::uint64_t>(header->width) * header->depth + 7) / 8);
    case kRunLength: {
        // A table of every row's coded length comes first.
        const std::uint64_t entryBytes = header->large ? 4 : 2;
        std::uint64_t end = data + rows * entryBytes;
        for (std::uint64_t row = 0; row < rows; ++row) {
            std::optional<std::uint32_t> bytes = in.u32be(data + row * entryBytes);
            if (!header->large) {
                bytes = in.u16be(data + row * entryBytes);
            }
            if (!bytes) {
                return std::nullopt;
            }
            end += *bytes;
        }
        return end;
    }
    case kZip:
    case kZipPredicted:
        // Deflate data states no length: it runs to the end of the file.
        return itemBytes > data ? std::optional(itemBytes) : std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace quarry::results::validators
