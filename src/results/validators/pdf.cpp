#include "common/sector.h"
#include "results/validators/formats.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 5> kHeader = {'%', 'P', 'D', 'F', '-'};
constexpr std::array<std::uint8_t, 5> kEndMarker = {'%', '%', 'E', 'O', 'F'};
constexpr std::size_t kLookAhead = 64;
constexpr std::size_t kScanPiece = 1 << 20;
// A megabyte of zero bytes in a row is free space; not even uncompressed streams hold one.
constexpr std::uint64_t kMaxZeroRun = 1 << 20;

bool isSpace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
bool isDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

// Skips digits then white space in `text` from `at`; false when there was no digit or no space.
bool skipNumber(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && isDigit(static_cast<std::uint8_t>(text[at]))) {
        ++at;
    }
    if (at == start || at == text.size() || !isSpace(static_cast<std::uint8_t>(text[at]))) {
        return false;
    }
    while (at < text.size() && isSpace(static_cast<std::uint8_t>(text[at]))) {
        ++at;
    }
    return true;
}

// True when the bytes after an end-of-file marker are an incremental update of the same document: an
// object ("12 0 obj"), a cross-reference section or a trailer.
bool updateFollows(ByteReader& in, std::uint64_t pos) {
    std::array<std::uint8_t, kLookAhead> raw{};
    const std::size_t got =
        static_cast<std::size_t>(std::min<std::uint64_t>(raw.size(), in.size() - std::min(in.size(), pos)));
    if (!in.read(pos, std::span(raw.data(), got))) {
        return false;
    }
    std::string_view text(reinterpret_cast<const char*>(raw.data()), got);
    std::size_t at = 0;
    while (at < text.size() && isSpace(static_cast<std::uint8_t>(text[at]))) {
        ++at;
    }
    text.remove_prefix(at);
    if (text.starts_with("xref") || text.starts_with("trailer")) {
        return true;
    }
    at = 0;
    return skipNumber(text, at) && skipNumber(text, at) && text.substr(at).starts_with("obj");
}

} // namespace

std::optional<std::uint64_t> pdfEnd(ByteReader& in, std::uint64_t) {
    if (!in.matches(0, kHeader)) {
        return std::nullopt;
    }
    std::uint64_t pos = kHeader.size();
    ZeroRun zeros;
    for (;;) {
        const auto piece = in.view(pos, kScanPiece);
        if (piece.empty()) {
            return std::nullopt;
        }
        const auto* percent = static_cast<const std::uint8_t*>(std::memchr(piece.data(), '%', piece.size()));
        if (percent == nullptr) {
            if (zeros.add(piece) >= kMaxZeroRun) {
                return std::nullopt;
            }
            pos += piece.size();
            continue;
        }
        zeros.add(piece.first(static_cast<std::size_t>(percent - piece.data()) + 1));
        const std::uint64_t at = pos + static_cast<std::uint64_t>(percent - piece.data());
        pos = at + 1;
        // A new document starting on a sector boundary is the next file: a truncated document never
        // borrows its end.
        if (at % kSectorSize == 0 && in.matches(at, kHeader)) {
            return std::nullopt;
        }
        if (!in.matches(at, kEndMarker)) {
            continue;
        }
        std::uint64_t end = at + kEndMarker.size();
        if (in.u8(end) == '\r') {
            ++end;
        }
        if (in.u8(end) == '\n') {
            ++end;
        }
        if (!updateFollows(in, end)) {
            return end;
        }
        pos = end;
    }
}

} // namespace quarry::results::validators
