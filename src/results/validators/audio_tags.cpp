#include "results/validators/audio_tags.h"

#include <array>
#include <optional>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 8> kApeTag = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
constexpr std::array<std::uint8_t, 3> kId3v1 = {'T', 'A', 'G'};
constexpr std::array<std::uint8_t, 11> kLyricsBegin = {'L', 'Y', 'R', 'I', 'C', 'S', 'B', 'E', 'G', 'I', 'N'};
constexpr std::array<std::uint8_t, 9> kLyricsEnd = {'L', 'Y', 'R', 'I', 'C', 'S', '2', '0', '0'};
constexpr std::uint64_t kApeFrameBytes = 32; // the header and the footer alike
constexpr std::uint32_t kApeIsHeader = 1U << 29;
// Cover art makes APE tags large; one that claims more is not believed.
constexpr std::uint64_t kMaxApeBytes = 16ULL << 20;
// Tags without a header are the old text-only kind; the search for their footer stays short.
constexpr std::uint64_t kMaxHeaderlessApeBytes = 64ULL << 10;
constexpr std::uint64_t kLyricsSizeDigits = 6;
constexpr std::uint64_t kId3v1Bytes = 128;
constexpr int kMaxTags = 4;

// Bytes of the APE tag that starts at `pos`: from its header, or from the footer that a tag without
// a header ends with, whose size must reach back exactly to `pos`.
std::optional<std::uint64_t> apeTagBytes(ByteReader& in, std::uint64_t pos) {
    if (in.matches(pos, kApeTag)) {
        const auto bytes = in.u32le(pos + 12);
        const auto flags = in.u32le(pos + 20);
        if (bytes && flags && (*flags & kApeIsHeader) != 0 && *bytes >= kApeFrameBytes &&
            *bytes <= kMaxApeBytes && in.matches(pos + *bytes, kApeTag)) {
            return kApeFrameBytes + *bytes;
        }
        return std::nullopt;
    }
    // A tag without a header: the first footer after `pos` must count back exactly to it.
    const auto footer = in.find(pos, pos + kMaxHeaderlessApeBytes, kApeTag);
    const auto bytes = footer ? in.u32le(*footer + 12) : std::nullopt;
    const auto flags = footer ? in.u32le(*footer + 20) : std::nullopt;
    if (bytes && flags && (*flags & kApeIsHeader) == 0 && *footer + kApeFrameBytes == pos + *bytes) {
        return *bytes;
    }
    return std::nullopt;
}

// Lyrics3v2: "LYRICSBEGIN", fields, then the size of all that in six digits and "LYRICS200".
std::optional<std::uint64_t> lyricsTagBytes(ByteReader& in, std::uint64_t pos) {
    if (!in.matches(pos, kLyricsBegin)) {
        return std::nullopt;
    }
    constexpr std::uint64_t kMaxBody = 999999;
    const auto end = in.find(pos + kLyricsBegin.size(),
                             pos + kMaxBody + kLyricsSizeDigits + kLyricsEnd.size(), kLyricsEnd);
    if (!end || *end < pos + kLyricsBegin.size() + kLyricsSizeDigits) {
        return std::nullopt;
    }
    std::uint64_t stated = 0;
    for (std::uint64_t i = *end - kLyricsSizeDigits; i < *end; ++i) {
        const auto digit = in.u8(i);
        if (!digit || *digit < '0' || *digit > '9') {
            return std::nullopt;
        }
        stated = stated * 10 + (*digit - '0');
    }
    if (pos + stated + kLyricsSizeDigits != *end) {
        return std::nullopt;
    }
    return *end + kLyricsEnd.size() - pos;
}

} // namespace

std::uint64_t skipTrailingTags(ByteReader& in, std::uint64_t pos) {
    for (int tag = 0; tag < kMaxTags; ++tag) {
        if (const auto ape = apeTagBytes(in, pos)) {
            pos += *ape;
        } else if (const auto lyrics = lyricsTagBytes(in, pos)) {
            pos += *lyrics;
        } else if (in.matches(pos, kId3v1) && pos + kId3v1Bytes <= in.size()) {
            return pos + kId3v1Bytes; // always the very last
        } else {
            break;
        }
    }
    return pos;
}

} // namespace quarry::results::validators
