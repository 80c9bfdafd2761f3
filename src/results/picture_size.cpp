#include "results/picture_size.h"

#include <charconv>

namespace quarry::results {
namespace {

std::uint32_t be16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] << 8 | b[at + 1]);
}
std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at) {
    return be16(b, at) << 16 | be16(b, at + 2);
}
std::uint32_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}

// The first start-of-frame segment holds the size; the segments before it are skipped by length.
std::optional<PictureSize> jpegSize(std::span<const std::uint8_t> b) {
    std::size_t at = 2;
    while (at + 9 <= b.size()) {
        if (b[at] != 0xFF)
            return std::nullopt;
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return PictureSize{be16(b, at + 7), be16(b, at + 5)};
        if (marker == 0xD9 || marker == 0xDA)
            return std::nullopt;
        at += 2 + be16(b, at + 2);
    }
    return std::nullopt;
}

} // namespace

std::optional<PictureSize> pictureSize(std::span<const std::uint8_t> b) {
    if (b.size() >= 4 && b[0] == 0xFF && b[1] == 0xD8)
        return jpegSize(b);
    if (b.size() >= 24 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G' && b[12] == 'I' &&
        b[13] == 'H' && b[14] == 'D' && b[15] == 'R')
        return PictureSize{be32(b, 16), be32(b, 20)};
    if (b.size() >= 10 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F')
        return PictureSize{le16(b, 6), le16(b, 8)};
    if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') {
        // A negative height marks a top-down bitmap.
        const auto width = static_cast<std::int32_t>(le16(b, 18) | le16(b, 20) << 16);
        const auto height = static_cast<std::int32_t>(le16(b, 22) | le16(b, 24) << 16);
        return PictureSize{
            static_cast<std::uint32_t>(width < 0 ? -static_cast<std::int64_t>(width) : width),
            static_cast<std::uint32_t>(height < 0 ? -static_cast<std::int64_t>(height) : height)};
    }
    return std::nullopt;
}

std::optional<PictureSize> parsePictureSize(std::string_view text) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return std::nullopt;
    PictureSize size;
    const auto number = [](std::string_view digits, std::uint32_t& out) {
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
        return error == std::errc() && end == digits.data() + digits.size() && !digits.empty();
    };
    if (!number(text.substr(0, x), size.width) || !number(text.substr(x + 1), size.height))
        return std::nullopt;
    return size;
}

} // namespace quarry::results
