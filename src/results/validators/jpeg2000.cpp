#include "results/validators/boxes.h"
#include "results/validators/formats.h"

#include <array>

namespace quarry::results::validators {
namespace {

constexpr std::uint16_t kStartOfCodestream = 0xFF4F;
constexpr std::uint16_t kImageSize = 0xFF51;
constexpr std::uint16_t kStartOfTile = 0xFF90;
constexpr std::uint16_t kEndOfCodestream = 0xFFD9;
// Marker segments of the main header, each led by its length.
constexpr std::uint16_t kFirstHeaderSegment = 0xFF50;
constexpr std::uint16_t kLastHeaderSegment = 0xFF6F;
constexpr std::uint16_t kMaxComponents = 16384;
constexpr std::uint8_t kMaxComponentBits = 38;
constexpr std::uint16_t kTilePartHeaderBytes = 10;
constexpr int kMaxSegments = 1 << 20;

constexpr std::array<std::uint8_t, 12> kJp2Signature = {0,   0,   0,    12,   'j',  'P',
                                                        ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
constexpr BoxType kFileType = {'f', 't', 'y', 'p'};
constexpr BoxType kHeader = {'j', 'p', '2', 'h'};
constexpr BoxType kCodestream = {'j', 'p', '2', 'c'};
// Boxes that stand at the top level of JP2 and JPX files.
constexpr std::array<BoxType, 16> kTopLevelBoxes = {{{'f', 't', 'y', 'p'},
                                                     {'j', 'p', '2', 'h'},
                                                     {'j', 'p', '2', 'c'},
                                                     {'j', 'p', '2', 'i'},
                                                     {'x', 'm', 'l', ' '},
                                                     {'u', 'u', 'i', 'd'},
                                                     {'u', 'i', 'n', 'f'},
                                                     {'r', 'r', 'e', 'q'},
                                                     {'a', 's', 'o', 'c'},
                                                     {'f', 't', 'b', 'l'},
                                                     {'d', 't', 'b', 'l'},
                                                     {'j', 'p', 'c', 'h'},
                                                     {'j', 'p', 'l', 'h'},
                                                     {'n', 'l', 's', 't'},
                                                     {'c', 'g', 'r', 'p'},
                                                     {'r', 'e', 's', ' '}}};

// Tiles of the image as the SIZ segment lays them out, or nullopt when its fields are not sane.
std::optional<std::uint64_t> readImageSize(ByteReader& in, std::uint64_t siz) {
    const auto length = in.u16be(siz + 2);
    const auto width = in.u32be(siz + 6);
    const auto height = in.u32be(siz + 10);
    const auto left = in.u32be(siz + 14);
    const auto top = in.u32be(siz + 18);
    const auto tileWidth = in.u32be(siz + 22);
    const auto tileHeight = in.u32be(siz + 26);
    const auto tileLeft = in.u32be(siz + 30);
    const auto tileTop = in.u32be(siz + 34);
    const auto components = in.u16be(siz + 38);
    if (!length || !width || !height || !left || !top || !tileWidth || !tileHeight || !tileLeft || !tileTop ||
        !components || *components == 0 || *components > kMaxComponents || *length != 38 + 3U * *components ||
        *width <= *left || *height <= *top || *tileWidth == 0 || *tileHeight == 0 || *tileLeft > *left ||
        *tileTop > *top) {
        return std::nullopt;
    }
    for (std::uint16_t c = 0; c < *components; ++c) {
        const std::uint64_t at = siz + 40 + 3ULL * c;
        const auto bits = in.u8(at);
        const auto dx = in.u8(at + 1);
        const auto dy = in.u8(at + 2);
        if (!bits || (*bits & 0x7F) >= kMaxComponentBits || !dx || *dx == 0 || !dy || *dy == 0) {
            return std::nullopt;
        }
    }
    const std::uint64_t across = (*width - *tileLeft + *tileWidth - 1ULL) / *tileWidth;
    const std::uint64_t down = (*height - *tileTop + *tileHeight - 1ULL) / *tileHeight;
    return across * down;
}

// Offset after the JPEG 2000 codestream at `start`: SOC, a sane SIZ, the main header's segments,
// then tile-parts each stating its length, up to EOC. A last tile-part of length 0 runs to EOC,
// which the coded data cannot contain.
std::optional<std::uint64_t> codestreamEnd(ByteReader& in, std::uint64_t start) {
    if (in.u16be(start) != kStartOfCodestream || in.u16be(start + 2) != kImageSize) {
        return std::nullopt;
    }
    const auto tiles = readImageSize(in, start + 2);
    if (!tiles) {
        return std::nullopt;
    }
    std::uint64_t pos = start + 4 + *in.u16be(start + 4);
    bool sawTile = false;
    for (int segment = 0; segment < kMaxSegments; ++segment) {
        const auto marker = in.u16be(pos);
        if (!marker) {
            return std::nullopt;
        }
        if (*marker == kEndOfCodestream) {
            return sawTile ? std::optional(pos + 2) : std::nullopt;
        }
        if (*marker == kStartOfTile) {
            const auto length = in.u16be(pos + 2);
            const auto tile = in.u16be(pos + 4);
            const auto bytes = in.u32be(pos + 6);
            if (length != kTilePartHeaderBytes || !tile || *tile >= *tiles || !bytes ||
                (*bytes != 0 && *bytes < kTilePartHeaderBytes + 4U)) {
                return std::nullopt;
            }
            sawTile = true;
            if (*bytes == 0) {
                const auto end = in.find(pos + 12, in.size(), std::array<std::uint8_t, 2>{0xFF, 0xD9});
                return end ? std::optional(*end + 2) : std::nullopt;
            }
            pos += *bytes;
            continue;
        }
        if (sawTile || *marker < kFirstHeaderSegment || *marker > kLastHeaderSegment ||
            *marker == kStartOfCodestream) {
            return std::nullopt;
        }
        const auto length = in.u16be(pos + 2);
        if (!length || *length < 2) {
            return std::nullopt;
        }
        pos += 2 + *length;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint64_t> j2kEnd(ByteReader& in, std::uint64_t) {
    return codestreamEnd(in, 0);
}

// JP2 and JPX files: the signature box, a file-type box, then top-level boxes among which a header
// and a codestream that holds together. The file ends after the last such box.
std::optional<std::uint64_t> jp2End(ByteReader& in, std::uint64_t itemBytes) {
    const auto fileType = readBox(in, kJp2Signature.size(), itemBytes);
    if (!in.matches(0, kJp2Signature) || !fileType || fileType->type != kFileType) {
        return std::nullopt;
    }
    bool header = false;
    bool codestream = false;
    const std::uint64_t end =
        walkKnownBoxes(in, kJp2Signature.size(), itemBytes, kTopLevelBoxes, [&](const Box& box) {
            header = header || box.type == kHeader;
            if (box.type == kCodestream) {
                const auto inner = codestreamEnd(in, box.payload);
                codestream = inner && *inner <= box.end;
                return codestream;
            }
            return true;
        });
    return header && codestream ? std::optional(end) : std::nullopt;
}

} // namespace quarry::results::validators
