#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quarry::results {

// What a photo's EXIF block says about it; empty texts and zero sizes where it says nothing.
struct PhotoSummary {
    std::string make;
    std::string model;
    // As the camera wrote it: "YYYY:MM:DD HH:MM:SS".
    std::string dateTaken;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // EXIF orientation 1 to 8; 1 (as stored) when absent or out of range.
    int orientation = 1;
    bool hasExif = false;
};

// Reads the EXIF block of a JPEG (or of a bare EXIF/TIFF block). Bytes that hold none, or a
// damaged one, give an empty summary; nothing is ever read outside `bytes`.
PhotoSummary summarisePhoto(std::span<const std::uint8_t> bytes);

} // namespace quarry::results
