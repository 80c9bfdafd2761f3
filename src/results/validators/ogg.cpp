#include "results/validators/formats.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quarry::results::validators {
namespace {

constexpr std::array<std::uint8_t, 4> kCapture = {'O', 'g', 'g', 'S'};
constexpr std::uint8_t kBeginsStream = 0x02;
constexpr std::uint8_t kEndsStream = 0x04;
constexpr std::uint64_t kHeaderBytes = 27;
constexpr std::size_t kCrcAt = 22;

// The page checksum: CRC-32 with polynomial 0x04C11DB7, not reflected, no final inversion.
class PageCrc {
public:
    PageCrc() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) {
                r = (r & 0x80000000U) != 0 ? (r << 1) ^ 0x04C11DB7U : r << 1;
            }
            table_[i] = r;
        }
    }

    std::uint32_t update(std::uint32_t crc, std::span<const std::uint8_t> bytes) const {
        for (const std::uint8_t b : bytes) {
            crc = (crc << 8) ^ table_[((crc >> 24) ^ b) & 0xFF];
        }
        return crc;
    }

private:
    std::array<std::uint32_t, 256> table_{};
};

struct Page {
    std::uint8_t flags = 0;
    std::uint32_t serial = 0;
    std::uint64_t bytes = 0;
};

std::optional<Page> readPage(ByteReader& in, std::uint64_t pos, const PageCrc& crc) {
    std::array<std::uint8_t, kHeaderBytes + 255> header{};
    if (!in.read(pos, std::span(header.data(), kHeaderBytes)) || !in.matches(pos, kCapture) ||
        header[4] != 0) {
        return std::nullopt;
    }
    const std::size_t segments = header[26];
    const auto table = std::span(header.data() + kHeaderBytes, segments);
    if (!in.read(pos + kHeaderBytes, table)) {
        return std::nullopt;
    }
    std::uint64_t body = 0;
    for (const std::uint8_t lacing : table) {
        body += lacing;
    }
    const std::uint32_t stated = static_cast<std::uint32_t>(header[kCrcAt]) |
                                 static_cast<std::uint32_t>(header[kCrcAt + 1]) << 8 |
                                 static_cast<std::uint32_t>(header[kCrcAt + 2]) << 16 |
                                 static_cast<std::uint32_t>(header[kCrcAt + 3]) << 24;
    std::fill_n(header.begin() + kCrcAt, 4, 0);
    std::uint32_t sum = crc.update(0, std::span(header.data(), kHeaderBytes + segments));
    std::vector<std::uint8_t> data(static_cast<std::size_t>(body));
    if (!in.read(pos + kHeaderBytes + segments, data)) {
        return std::nullopt;
    }
    sum = crc.update(sum, data);
    if (sum != stated) {
        return std::nullopt;
    }
    const std::uint32_t serial =
        static_cast<std::uint32_t>(header[14]) | static_cast<std::uint32_t>(header[15]) << 8 |
        static_cast<std::uint32_t>(header[16]) << 16 | static_cast<std::uint32_t>(header[17]) << 24;
    return Page{header[5], serial, kHeaderBytes + segments + body};
}

} // namespace

// Pages follow each other until every logical stream begun in the file has ended; a page that is
// damaged or missing before then means the file is broken.
std::optional<std::uint64_t> oggEnd(ByteReader& in, std::uint64_t) {
    static const PageCrc crc;
    std::vector<std::uint32_t> open;
    std::uint64_t pos = 0;
    bool first = true;
    for (;;) {
        const auto page = readPage(in, pos, crc);
        if (!page) {
            return std::nullopt;
        }
        const bool begins = (page->flags & kBeginsStream) != 0;
        const auto known = std::find(open.begin(), open.end(), page->serial);
        if (first && !begins) {
            return std::nullopt;
        }
        if (begins && known == open.end()) {
            open.push_back(page->serial);
        } else if (!begins && known == open.end()) {
            return std::nullopt;
        }
        first = false;
        pos += page->bytes;
        if ((page->flags & kEndsStream) != 0) {
            open.erase(std::find(open.begin(), open.end(), page->serial));
            if (open.empty()) {
                return pos;
            }
        }
    }
}

} // namespace quarry::results::validators
