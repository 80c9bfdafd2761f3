#include "results/validators/formats.h"

#include <algorithm>
#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::uint64_t kFileHeaderBytes = 14;
constexpr std::array<std::uint32_t, 8> kInfoHeaderSizes = {12, 16, 40, 52, 56, 64, 108, 124};
constexpr std::array<std::uint16_t, 8> kBitCounts = {1, 2, 4, 8, 16, 24, 32, 64};
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;
// RGB, RLE8, RLE4, bit fields, JPEG, PNG, alpha bit fields, and the three CMYK kinds.
constexpr std::array<std::uint32_t, 10> kCompressions = {0, 1, 2, 3, 4, 5, 6, 11, 12, 13};
// A stated file size this far beyond the pixel data is not believed.
constexpr std::uint64_t kMaxStatedSlack = 65536;
constexpr std::uint64_t kMaxPixelBytes = 1ULL << 40;

struct Layout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t imageBytes = 0;
    std::uint64_t profileEnd = 0;
};

std::optional<Layout> readLayout(ByteReader& in, std::uint32_t headerSize) {
    Layout layout;
    std::optional<std::uint16_t> planes;
    std::optional<std::uint16_t> bits;
    if (headerSize == 12) {
        const auto width = in.u16le(18);
        const auto height = in.u16le(20);
        planes = in.u16le(22);
        bits = in.u16le(24);
        if (!width || !height) {
            return std::nullopt;
        }
        layout.width = *width;
        layout.height = *height;
    } else {
        const auto width = in.u32le(18);
        const auto height = in.u32le(22);
        planes = in.u16le(26);
        bits = in.u16le(28);
        const auto compression = in.u32le(30);
        const auto imageBytes = in.u32le(34);
        if (!width || !height || !compression || !imageBytes) {
            return std::nullopt;
        }
        layout.width = static_cast<std::int32_t>(*width);
        layout.height = static_cast<std::int32_t>(*height);
        layout.compression = headerSize >= 40 ? *compression : kRgb;
        layout.imageBytes = *imageBytes;
    }
    if (planes != 1 || !bits || std::find(kBitCounts.begin(), kBitCounts.end(), *bits) == kBitCounts.end() ||
        layout.width <= 0 || layout.height == 0 ||
        std::find(kCompressions.begin(), kCompressions.end(), layout.compression) == kCompressions.end()) {
        return std::nullopt;
    }
    layout.bitCount = *bits;
    if (headerSize == 124) {
        const auto profileOffset = in.u32le(kFileHeaderBytes + 112);
        const auto profileBytes = in.u32le(kFileHeaderBytes + 116);
        if (profileOffset && profileBytes && *profileOffset != 0 && *profileBytes != 0) {
            layout.profileEnd = kFileHeaderBytes + *profileOffset + *profileBytes;
        }
    }
    return layout;
}

} // namespace

std::optional<std::uint64_t> bmpEnd(ByteReader& in, std::uint64_t) {
    const auto magic = in.u16le(0);
    const auto stated = in.u32le(2);
    const auto pixelOffset = in.u32le(10);
    const auto headerSize = in.u32le(14);
    if (magic != 0x4D42 || !stated || !pixelOffset || !headerSize ||
        std::find(kInfoHeaderSizes.begin(), kInfoHeaderSizes.end(), *headerSize) == kInfoHeaderSizes.end() ||
        *pixelOffset < kFileHeaderBytes + *headerSize) {
        return std::nullopt;
    }
    const auto layout = readLayout(in, *headerSize);
    if (!layout) {
        return std::nullopt;
    }
    const bool uncompressed = layout->compression == kRgb || layout->compression == kBitFields ||
                              layout->compression == kAlphaBitFields;
    std::uint64_t needed = 0;
    if (uncompressed) {
        const std::uint64_t rowBytes =
            (static_cast<std::uint64_t>(layout->width) * layout->bitCount + 31) / 32 * 4;
        const std::uint64_t rows = layout->height < 0 ? static_cast<std::uint64_t>(-layout->height)
                                                      : static_cast<std::uint64_t>(layout->height);
        if (rowBytes > kMaxPixelBytes / rows) {
            return std::nullopt;
        }
        needed = *pixelOffset + rowBytes * rows;
    } else if (layout->imageBytes == 0) {
        // A compressed bitmap that states no data size is measured by its file size alone.
        return *stated > *pixelOffset ? std::optional<std::uint64_t>(*stated) : std::nullopt;
    } else {
        needed = *pixelOffset + static_cast<std::uint64_t>(layout->imageBytes);
    }
    needed = std::max(needed, layout->profileEnd);
    if (*stated >= needed && *stated - needed <= kMaxStatedSlack) {
        return *stated;
    }
    // Writers that leave the size field wrong still need every pixel row.
    return needed;
}

} // namespace quarry::results::validators
