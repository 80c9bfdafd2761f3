#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <cstdint>

namespace quarry::demo {

// What a camera would record about one shot.
struct ShotInfo {
    QByteArray make;
    QByteArray model;
    QDateTime taken;
    QSize storedSize;             // pixels as stored, before the orientation is applied
    std::uint16_t orientation{1}; // EXIF orientation, 1 to 8
};

// Builds the EXIF APP1 segment of a camera JPEG: the TIFF header, IFD0 with
// the orientation and the usual baseline tags, and an Exif sub-directory.
class ExifSegment {
public:
    static QByteArray build(const ShotInfo& shot);

    // The JPEG with the segment placed right after its SOI marker, where
    // cameras put it. Empty when `jpeg` does not start with SOI.
    static QByteArray insertAfterSoi(const QByteArray& jpeg, const QByteArray& segment);
};

} // namespace quarry::demo
