#include "results/validators/formats.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quarry::results::validators {
namespace {

constexpr std::size_t kScanPiece = 1 << 20;
// Even a black picture codes to fewer zero bytes than this in a row; such a run is free space.
constexpr std::uint64_t kMaxZeroRun = 64 * 1024;
constexpr std::uint8_t kStartOfImage[] = {0xFF, 0xD8};
constexpr std::uint8_t kEndOfImage[] = {0xFF, 0xD9};
constexpr std::uint8_t kMpfTag[] = {'M', 'P', 'F', 0};
constexpr std::uint16_t kMpEntryTag = 0xB002;
constexpr std::uint32_t kMaxMpEntries = 64;

// Offset of the marker that ends the entropy-coded data starting at `pos`: the first 0xFF that is
// neither a stuffed zero, a restart marker nor a fill byte.
std::optional<std::uint64_t> skipEntropyCodedData(ByteReader& in, std::uint64_t pos) {
    ZeroRun zeros;
    for (;;) {
        const auto piece = in.view(pos, kScanPiece);
        if (piece.empty()) {
            return std::nullopt;
        }
        const auto* ff = static_cast<const std::uint8_t*>(std::memchr(piece.data(), 0xFF, piece.size()));
        if (ff == nullptr) {
            if (zeros.add(piece) >= kMaxZeroRun) {
                return std::nullopt;
            }
            pos += piece.size();
            continue;
        }
        zeros.add(piece.first(static_cast<std::size_t>(ff - piece.data()) + 1));
        const std::uint64_t at = pos + static_cast<std::uint64_t>(ff - piece.data());
        const auto next = in.u8(at + 1);
        if (!next) {
            return std::nullopt;
        }
        if (*next == 0x00 || (*next >= 0xD0 && *next <= 0xD7)) {
            pos = at + 2;
        } else if (*next == 0xFF) {
            pos = at + 1;
        } else {
            return at;
        }
    }
}

// End of the further images that a multi-picture index (APP2 "MPF") places after the first one. Each
// must start with a start-of-image and end with an end-of-image marker where the index says, else it
// is ignored.
std::uint64_t multiPictureEnd(ByteReader& in, std::uint64_t payload, std::uint64_t payloadBytes) {
    if (payloadBytes < 16 || !in.matches(payload, kMpfTag)) {
        return 0;
    }
    const std::uint64_t base = payload + 4;
    const auto order = in.u16be(base);
    if (!order || (*order != 0x4949 && *order != 0x4D4D)) {
        return 0;
    }
    const bool big = *order == 0x4D4D;
    const auto ifd = in.u32(base + 4, big);
    const auto entries = ifd ? in.u16(base + *ifd, big) : std::nullopt;
    if (!entries) {
        return 0;
    }
    std::uint64_t end = 0;
    for (std::uint16_t i = 0; i < *entries; ++i) {
        const std::uint64_t entry = base + *ifd + 2 + 12ULL * i;
        if (in.u16(entry, big) != kMpEntryTag) {
            continue;
        }
        const auto count = in.u32(entry + 4, big);
        const auto list = in.u32(entry + 8, big);
        if (!count || !list) {
            return 0;
        }
        const std::uint32_t images = std::min(*count / 16, kMaxMpEntries);
        for (std::uint32_t k = 1; k < images; ++k) {
            const std::uint64_t record = base + *list + 16ULL * k;
            const auto bytes = in.u32(record + 4, big);
            const auto offset = in.u32(record + 8, big);
            if (!bytes || !offset || *offset == 0 || *bytes < 4) {
                continue;
            }
            const std::uint64_t start = base + *offset;
            const std::uint64_t stop = start + *bytes;
            if (in.matches(start, kStartOfImage) && in.matches(stop - 2, kEndOfImage)) {
                end = std::max(end, stop);
            }
        }
        break;
    }
    return end;
}

} // namespace

std::optional<std::uint64_t> jpegEnd(ByteReader& in, std::uint64_t) {
    if (!in.matches(0, std::array<std::uint8_t, 3>{0xFF, 0xD8, 0xFF})) {
        return std::nullopt;
    }
    std::uint64_t pos = 2;
    std::uint64_t further = 0;
    bool sawScan = false;
    for (;;) {
        if (in.u8(pos) != 0xFF) {
            return std::nullopt;
        }
        std::optional<std::uint8_t> marker;
        do {
            marker = in.u8(++pos);
        } while (marker == 0xFF);
        if (!marker) {
            return std::nullopt;
        }
        ++pos;
        if (*marker == 0xD9) {
            return sawScan ? std::optional(std::max(pos, further)) : std::nullopt;
        }
        if (*marker == 0x01 || (*marker >= 0xD0 && *marker <= 0xD7)) {
            continue;
        }
        if (*marker < 0xC0 || *marker == 0xD8) {
            return std::nullopt;
        }
        const auto length = in.u16be(pos);
        if (!length || *length < 2) {
            return std::nullopt;
        }
        if (*marker == 0xE2) {
            further = std::max(further, multiPictureEnd(in, pos + 2, *length - 2U));
        }
        pos += *length;
        if (*marker == 0xDA) {
            const auto next = skipEntropyCodedData(in, pos);
            if (!next) {
                return std::nullopt;
            }
            pos = *next;
            sawScan = true;
        }
    }
}

} // namespace quarry::results::validators
