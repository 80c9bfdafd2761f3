#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quarry::results {

struct PictureSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The stored width and height of a JPEG, PNG, GIF or BMP picture, read from its header;
// nothing for other bytes.
std::optional<PictureSize> pictureSize(std::span<const std::uint8_t> bytes);

// "WxH" (or "WXH"), as in 640x480; nothing when malformed.
std::optional<PictureSize> parsePictureSize(std::string_view text);

// Whether `size` is at least `minimum` in both directions.
inline bool atLeast(PictureSize size, PictureSize minimum) {
    return size.width >= minimum.width && size.height >= minimum.height;
}

} // namespace quarry::results
